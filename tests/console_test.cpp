// The console's rules: how parts are written, the three reads, and the pause's held-back code.
#include "console/console.h"
#include "console/key_decoding.h"
#include "tests/game_session.h"
#include "tests/scripted_keys.h"

#include <gtest/gtest.h>

#include <climits>

TEST(ConsoleOutput, PartsAreWrittenPlainlyAndLinesEndWithALineFeed)
{
    GameSession game;
    const std::string name = "A\xff\x01z";  // a name is bytes, whatever they are
    writeLine(game.console, "攻击力是：", -35, name, 0, INT_MIN);
    write(game.console, "选择：");
    EXPECT_EQ(game.takeOutput(), "攻击力是：-35A\xff\x01z0-2147483648\n选择：");
}

TEST(ConsoleOutput, LiteralsFollowTheConsoleEncodingButNamesNeverChange)
{
    GameSession game;
    game.console.encoding = TextEncoding::Gbk;
    const std::string utf8Name = "勇者";
    writeLine(game.console, "你的名字是：", utf8Name, "·");
    // 你的名字是： in GBK, the name untouched, then the middle dot A1A4.
    EXPECT_EQ(game.takeOutput(), "\xC4\xE3\xB5\xC4\xC3\xFB\xD7\xD6\xCA\xC7\xA3\xBA" + utf8Name + "\xA1\xA4\n");
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
        {"\x1b", false},      {"\x1b[", false},     {"\x1bO", false},   {"\x1b[[", false},
        {"\x1b[1;5", false},  {"\x1b[A", true},     {"\x1bOP", true},   {"\x1b[[A", true},
        {"\x1b[15~", true},   {"\x1b[1;5C", true},  {"\x1bx", true},
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
        {"\x1b[A", 2, 0xE0, 0x48},    // up
        {"\x1bOD", 2, 0xE0, 0x4B},    // left, application mode
        {"\x1b[1;5B", 2, 0xE0, 0x50}, // Ctrl+down
        {"\x1b[6~", 2, 0xE0, 0x51},   // page down
        {"\x1bOP", 2, 0x00, 0x3B},    // F1
        {"\x1b[[E", 2, 0x00, 0x3F},   // F5 on the Linux console
        {"\x1b[21~", 2, 0x00, 0x44},  // F10
        {"\x1b[24~", 2, 0xE0, 0x86},  // F12
        {"\x1b[200~", 2, 0xE0, 0x00}, // unknown: still a key without a character
        {"\x1b", 1, 0x1B, 0},         // Esc itself
        {"\x1bx", 1, 'x', 0},         // Alt+x
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
