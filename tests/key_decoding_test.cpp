// Keys from Windows console key events, which must give what a terminal gives for the same key.
#include "console/key_decoding.h"
#include "tests/support/terminal_bytes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

TEST(KeyDecoding, WindowsConsoleSpecialKeysGiveTheCodesOfTheSameKeysOnATerminal)
{
    // Windows virtual-key codes, and what a terminal sends for the same key.
    const std::pair<unsigned short, std::string> rows[] = {
        {0x26, "\x1b[A"},   {0x28, "\x1b[B"},   {0x27, "\x1b[C"},   {0x25, "\x1b[D"},    // arrows
        {0x24, "\x1b[H"},   {0x23, "\x1b[F"},   {0x2D, "\x1b[2~"},  {0x2E, "\x1b[3~"},   // home end ins del
        {0x21, "\x1b[5~"},  {0x22, "\x1b[6~"},                                           // page up, down
        {0x70, "\x1bOP"},   {0x71, "\x1bOQ"},   {0x72, "\x1bOR"},   {0x73, "\x1bOS"},    // F1..F4
        {0x74, "\x1b[15~"}, {0x75, "\x1b[17~"}, {0x76, "\x1b[18~"}, {0x77, "\x1b[19~"},  // F5..F8
        {0x78, "\x1b[20~"}, {0x79, "\x1b[21~"}, {0x7A, "\x1b[23~"}, {0x7B, "\x1b[24~"},  // F9..F12
    };
    for (const auto& [virtualKey, sequence] : rows) {
        const std::optional<KeyPress> key = keyFromConsoleEvent(true, virtualKey, 0);
        ASSERT_TRUE(key.has_value()) << "virtual key " << virtualKey;
        EXPECT_EQ(describe(*key), keysOf({{sequence}})) << "virtual key " << virtualKey;
    }
    const std::optional<KeyPress> up = keyFromConsoleEvent(true, 0x26, 0);
    ASSERT_TRUE(up.has_value());
    EXPECT_EQ(up->codes[0], 0xE0);
    EXPECT_EQ(up->codes[1], 0x48);
}

TEST(KeyDecoding, WindowsConsoleKeysWithACharacterGiveItAndOthersAreSkipped)
{
    struct Row {
        bool keyDown;
        unsigned short virtualKey;
        unsigned char character;
        int codeCount;  // 0: the event does not end the pause
    };
    const Row rows[] = {
        {true, 0x41, 'a', 1},                       // A
        {true, 0x0D, '\r', 1},                      // Enter
        {true, 0x1B, 0x1B, 1},                      // Esc
        {true, 0x43, 0x03, 1},                      // Ctrl-C: the read clears the mode, so it is a key like any other
        {true, 0x68, '8', 1},                       // 8 on the keypad with Num Lock on
        {true, 0xE5, 0xD6, 1},                      // a character from the input method: its first byte in GBK
        {false, 0x41, 'a', 0},                      // releases
        {false, 0x26, 0, 0},   {true, 0x10, 0, 0},  // Shift, Ctrl, Alt, Caps Lock, Num Lock, Windows alone
        {true, 0x11, 0, 0},    {true, 0x12, 0, 0}, {true, 0x14, 0, 0}, {true, 0x90, 0, 0}, {true, 0x5B, 0, 0},
    };
    for (const Row& row : rows) {
        const std::optional<KeyPress> key = keyFromConsoleEvent(row.keyDown, row.virtualKey, row.character);
        const std::string what = "virtual key " + std::to_string(row.virtualKey) + (row.keyDown ? " down" : " up");
        if (row.codeCount == 0) {
            EXPECT_FALSE(key.has_value()) << what;
            continue;
        }
        ASSERT_TRUE(key.has_value()) << what;
        EXPECT_EQ(key->codeCount, 1) << what;
        EXPECT_EQ(key->codes[0], row.character) << what;
    }
}
