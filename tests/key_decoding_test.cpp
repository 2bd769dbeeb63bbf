// Keys from a terminal's bytes, with the gaps between them, and from Windows console key events.
#include "console/key_decoding.h"
#include "console/terminal_keys.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace {

// Bytes that arrive `gapMs` after the ones before them.
struct Burst {
    std::string bytes;
    int gapMs = 0;
};

// A key's codes in hex: "e0 48" for a key with two codes.
std::string describe(const KeyPress& key)
{
    char codes[16];
    std::snprintf(codes, sizeof codes, key.codeCount == 2 ? "%02x %02x" : "%02x", key.codes[0], key.codes[1]);
    return codes;
}

// Every key the bytes make, read as the keyboard reads them, described and separated by ", ". Time passes only while a
// read waits.
std::string keysOf(const std::vector<Burst>& bursts, TextEncoding encoding = TextEncoding::Utf8)
{
    std::deque<std::pair<unsigned char, int>> arrivals;
    for (const Burst& burst : bursts) {
        for (std::size_t i = 0; i < burst.bytes.size(); ++i) {
            arrivals.emplace_back(static_cast<unsigned char>(burst.bytes[i]), i == 0 ? burst.gapMs : 0);
        }
    }
    const ByteSource source = [&arrivals](int timeoutMs) -> std::optional<unsigned char> {
        if (arrivals.empty()) {
            return std::nullopt;
        }
        auto& [byte, gap] = arrivals.front();
        if (timeoutMs >= 0 && gap > timeoutMs) {
            gap -= timeoutMs;
            return std::nullopt;
        }
        const unsigned char next = byte;
        arrivals.pop_front();
        return next;
    };
    TerminalKeys keys;
    std::string text;
    for (KeyPress key = readTerminalKey(keys, source, encoding); key.codeCount > 0;
         key = readTerminalKey(keys, source, encoding)) {
        text += (text.empty() ? "" : ", ") + describe(key);
    }
    return text;
}

}  // namespace

TEST(KeyDecoding, EachKeyTakesAllItsBytesAndNoMore)
{
    struct Row {
        std::vector<Burst> bursts;
        const char* keys;
    };
    const Row rows[] = {
        {{{"\x1b[A"}}, "e0 48"},                                   // up
        {{{"\x1bOD"}}, "e0 4b"},                                   // left, application mode
        {{{"\x1b[1;5B"}}, "e0 50"},                                // Ctrl+down
        {{{"\x1b[6~"}}, "e0 51"},                                  // page down
        {{{"\x1b[7~\x1b[8~"}}, "e0 47, e0 4f"},                    // rxvt's home and end
        {{{"\x1bOP"}}, "00 3b"},                                   // F1
        {{{"\x1b[[E"}}, "00 3f"},                                  // F5 on the Linux console
        {{{"\x1b[21~\x1b[24~"}}, "00 44, e0 86"},                  // F10, F12
        {{{"\x1b[25~"}}, "e0 00"},                                 // unknown: still a key without a character
        {{{"\x1b"}}, "1b"},                                        // Esc itself
        {{{"\x1bx"}}, "78"},                                       // Alt+x
        {{{"\x1b\x1b[A"}}, "e0 48"},                               // Alt+up on rxvt
        {{{"\x1b\x1bx"}}, "1b, 78"},                               // Alt+Esc, then x
        {{{"\x1b[" + std::string(40, '1') + "~x"}}, "e0 00, 78"},  // no length limit
        {{{"\x1b[200~a\x1b[A\n\x1b[201~x"}}, "1b, 78"},            // a bracketed paste is one key
        {{{"\x1b[M !\"k"}}, "1b, 6b"},                             // mouse reports: X10, then SGR
        {{{"\x1b[<0;12;5M\x1b[<0;12;5m"}}, "1b, 1b"},
        {{{"\x1b[1\x03"}}, "e0 00, 03"},  // a control byte cannot continue a sequence
        {{{"\x1bOx"}}, "e0 00"},
        {{{"\x1b"}, {"[A", 30}}, "e0 48"},       // the rest of a key may lag a little
        {{{"\x1b"}, {"[A", 80}}, "1b, 5b, 41"},  // but not this much
        {{{"\x1b[1;5"}, {"x", 80}}, "e0 00, 78"},
        {{{"\x1b["}}, "5b"},  // Alt+[
        {{{"好\xc3\xa9\xf0\x9f\x98\x80"}}, "e5, c3, f0"},
        {{{"\xe4"
           "1\x80\xff"}},
         "e4, 31, 80, ff"},  // a lead byte the next one cannot continue
        {{{"\xe4\xbd"}, {"\xa0", 30}}, "e4"},
    };
    for (const Row& row : rows) {
        std::string bytes;
        for (const Burst& burst : row.bursts) {
            bytes += burst.bytes;
        }
        EXPECT_EQ(keysOf(row.bursts), row.keys) << "bytes: " << testing::PrintToString(bytes);
    }
}

TEST(KeyDecoding, GbkCharactersAreOneKeyFromTheirFirstLeadByteToTheirLast)
{
    const std::pair<std::string, const char*> rows[] = {
        {"\xd6\xd0", "d6"},
        {"\x81\x40\xfe\xfe", "81, fe"},
        {"\xfe\xa1"
         "a",
         "fe, 61"},
        {"\x81\x30\x81\x30", "81"},  // four bytes in GB18030
        {"\x81\n", "81, 0a"},
        {"\x81\x30 ", "81, 20"},
        {"\x80\xff", "80, ff"},
    };
    for (const auto& [bytes, keys] : rows) {
        EXPECT_EQ(keysOf({{bytes}}, TextEncoding::Gbk), keys) << testing::PrintToString(bytes);
    }
}
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
