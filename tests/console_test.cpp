// The console's rules: how parts are written, the three reads, and the pause's held-back code.
#include "console/console.h"
#include "console/key_decoding.h"
#include "tests/game_session.h"
#include "tests/scripted_keys.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace {

template <typename Part>
concept Writable = requires(Console& console, const Part& part)
{
    writePart(console, part);
};

using TextOrBytes = std::variant<std::string, GameText>;

}  // namespace

// Only the game's own texts, bytes and numbers are parts: a char would print as a number and a
// pointer could be either kind of text.
static_assert(Writable<GameText> && Writable<char[4]> && Writable<std::string> && Writable<int> &&
              Writable<TextOrBytes>);
static_assert(!Writable<char> && !Writable<const char*> && !Writable<std::string_view> && !Writable<bool> &&
              !Writable<long> && !Writable<double>);

TEST(ConsoleOutput, GameTextsFollowTheEncodingAndEverythingElseIsWrittenAsItIs)
{
    const std::string name = "勇者\xff\x01";  // a player's name is bytes, whatever they are
    struct Row {
        TextEncoding encoding;
        std::string expected;
    };
    const Row rows[] = {
        {TextEncoding::Utf8, "你的名字是：" + name + "·-35\n选择：0-2147483648魔王魔王\n"},
        // The same texts in GBK; the name, and the same text held as bytes, untouched.
        {TextEncoding::Gbk, "\xC4\xE3\xB5\xC4\xC3\xFB\xD7\xD6\xCA\xC7\xA3\xBA" + name + "\xA1\xA4-35\n" +
                                "\xD1\xA1\xD4\xF1\xA3\xBA" + "0-2147483648" + "\xC4\xA7\xCD\xF5" + "魔王\n"},
    };
    for (const Row& row : rows) {
        GameSession game;
        game.console.encoding = row.encoding;
        writeLine(game.console, "你的名字是：", name, GameText("·"), -35);
        write(game.console, "选择：", 0, INT_MIN);
        writeLine(game.console, TextOrBytes(GameText("魔王")), TextOrBytes(std::string("魔王")));
        EXPECT_EQ(game.takeOutput(), row.expected) << "GBK: " << (row.encoding == TextEncoding::Gbk);
    }
}

TEST(ConsoleInput, ReadsSkipWhiteSpaceAndLeaveTheRestOfTheLine)
{
    GameSession game(" \t\n 1abc  x \r\n -7 2147483647");
    EXPECT_EQ(readInt(game.console), 1);
    EXPECT_EQ(readWord(game.console), "abc");
    EXPECT_EQ(readChar(game.console), 'x');
    EXPECT_EQ(readInt(game.console), -7);
    EXPECT_EQ(readInt(game.console), INT_MAX);
    EXPECT_EQ(readChar(game.console), std::nullopt);  // input has ended
}

TEST(ConsoleInput, FailedReads)
{
    for (const char* input : {"2147483648", "-2147483649", "abc", "+", "", "   \n\t"}) {
        GameSession game(input);
        EXPECT_EQ(readInt(game.console), std::nullopt) << "input: " << input;
    }
    GameSession nothing("  \n");
    EXPECT_EQ(readWord(nothing.console), std::nullopt);
    EXPECT_EQ(readChar(nothing.console), std::nullopt);
}

TEST(ConsoleInput, AWordHasNoLengthLimit)
{
    const std::string longName(1 << 20, 'n');
    GameSession game(longName + " y");
    EXPECT_EQ(readWord(game.console), longName);
    EXPECT_EQ(readChar(game.console), 'y');
}

TEST(ConsoleInput, ReadsStopWhenOutputCannotBeWritten)
{
    GameSession game("1 2");
    game.out.setstate(std::ios::badbit);  // the reader of the game's output has gone
    EXPECT_EQ(readInt(game.console), std::nullopt);
}

TEST(Pause, WritesItsPromptAndReadsOneKey)
{
    GameSession game("leftover");
    scriptKeyPresses({KeyPress{1, {'q', 0}}});
    waitForKey(game.console);
    EXPECT_EQ(game.takeOutput(), "按任意键继续...\n");
    EXPECT_EQ(keyboardReads(), 1);
    EXPECT_EQ(readWord(game.console), "leftover");  // the buffered input was not touched
}

TEST(Pause, ASpecialKeysSecondCodeEndsTheNextPauseAtOnce)
{
    GameSession game;
    scriptKeyPresses({KeyPress{2, {0xE0, 0x48}}, KeyPress{1, {'a', 0}}});
    waitForKey(game.console);  // the arrow key
    waitForKey(game.console);  // its held-back code: no read
    EXPECT_EQ(keyboardReads(), 1);
    waitForKey(game.console);  // waits again
    EXPECT_EQ(keyboardReads(), 2);
    EXPECT_EQ(countOf(game.takeOutput(), "按任意键继续...\n"), 3);
}

TEST(KeyDecoding, EscapeSequencesAreWholeWhenTheirLastByteArrives)
{
    struct Row {
        std::string bytes;
        bool whole;
    };
    const Row rows[] = {
        {"\x1b", false},     {"\x1b[", false},    {"\x1bO", false}, {"\x1b[[", false},
        {"\x1b[1;5", false}, {"\x1b[A", true},    {"\x1bOP", true}, {"\x1b[[A", true},
        {"\x1b[15~", true},  {"\x1b[1;5C", true}, {"\x1bx", true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(isWholeEscapeSequence(row.bytes), row.whole) << "bytes: " << row.bytes.substr(1);
    }
}

TEST(KeyDecoding, SpecialKeysGiveTwoCodesOtherKeysOne)
{
    struct Row {
        std::string bytes;
        int codeCount;
        unsigned char first;
        unsigned char second;
    };
    const Row rows[] = {
        {"\x1b[A", 2, 0xE0, 0x48},     // up
        {"\x1bOD", 2, 0xE0, 0x4B},     // left, application mode
        {"\x1b[1;5B", 2, 0xE0, 0x50},  // Ctrl+down
        {"\x1b[6~", 2, 0xE0, 0x51},    // page down
        {"\x1bOP", 2, 0x00, 0x3B},     // F1
        {"\x1b[[E", 2, 0x00, 0x3F},    // F5 on the Linux console
        {"\x1b[21~", 2, 0x00, 0x44},   // F10
        {"\x1b[24~", 2, 0xE0, 0x86},   // F12
        {"\x1b[200~", 2, 0xE0, 0x00},  // unknown: still a key without a character
        {"\x1b", 1, 0x1B, 0},          // Esc itself
        {"\x1bx", 1, 'x', 0},          // Alt+x
    };
    for (const Row& row : rows) {
        const KeyPress key = keyFromEscapeSequence(row.bytes);
        EXPECT_EQ(key.codeCount, row.codeCount) << "bytes: " << row.bytes.substr(1);
        EXPECT_EQ(key.codes[0], row.first) << "bytes: " << row.bytes.substr(1);
        if (row.codeCount == 2) {
            EXPECT_EQ(key.codes[1], row.second) << "bytes: " << row.bytes.substr(1);
        }
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
        const KeyPress expected = keyFromEscapeSequence(sequence);
        ASSERT_TRUE(key.has_value()) << "virtual key " << virtualKey;
        EXPECT_EQ(key->codeCount, 2) << "virtual key " << virtualKey;
        EXPECT_EQ(key->codes[0], expected.codes[0]) << "virtual key " << virtualKey;
        EXPECT_EQ(key->codes[1], expected.codes[1]) << "virtual key " << virtualKey;
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

TEST(KeyDecoding, TypedCharactersSpanAllTheirBytes)
{
    EXPECT_EQ(characterLength('a', TextEncoding::Utf8), 1);
    EXPECT_EQ(characterLength(0xC3, TextEncoding::Utf8), 2);
    EXPECT_EQ(characterLength(0xE4, TextEncoding::Utf8), 3);  // most Chinese characters
    EXPECT_EQ(characterLength(0xF0, TextEncoding::Utf8), 4);
    EXPECT_EQ(characterLength(0x80, TextEncoding::Utf8), 1);  // a stray continuation byte
    EXPECT_EQ(characterLength(0xD6, TextEncoding::Gbk), 2);
    EXPECT_EQ(characterLength('a', TextEncoding::Gbk), 1);
}

TEST(TextEncodingChoice, TheLocalesCharacterSetDecides)
{
    for (const char* gbk : {"zh_CN.GBK", "zh_CN.gb2312", "zh_CN.GB18030", "zh_CN.cp936", "zh_CN.EUC-CN",
                            "zh_CN.gbk@pinyin", "C.GB-2312"}) {
        EXPECT_EQ(encodingOfLocale(gbk), TextEncoding::Gbk) << gbk;
    }
    for (const char* other : {"zh_CN.UTF-8", "C", "POSIX", "en_US.utf8", "zh_CN", "", "zh_CN.GBKX"}) {
        EXPECT_EQ(encodingOfLocale(other), TextEncoding::Utf8) << other;
    }
}
