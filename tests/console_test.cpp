// The console's rules: how parts are written, the three reads, and the pause's held-back code.
#include "console/console.h"
#include "tests/support/game_session.h"
#include "tests/support/scripted_keys.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>

namespace {

template <typename Part>
concept Writable = requires(Console& console, const Part& part)
{
    writePart(console, part);
};

using TextOrBytes = std::variant<std::string, GameText>;

// Output that keeps what had been written at its last flush: what a terminal would have shown.
class FlushRecorder : public std::stringbuf {
public:
    std::string shown;

protected:
    int sync() override
    {
        shown = str();
        return 0;
    }
};

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

// The steps run in order on one console; each row gives what has been shown after its step.
TEST(ConsoleOutput, ALineIsFlushedAtItsEndAndAPromptBeforeItsRead)
{
    FlushRecorder recorder;
    std::ostream out(&recorder);
    std::istringstream in("7");  // not tied to `out`: the read must flush by itself
    Console console{in, out, TextEncoding::Utf8, std::nullopt};
    scriptKeyPresses({});
    const struct {
        const char* what;
        std::function<void()> step;
        std::string shown;
    } rows[] = {
        {"a prompt stays in the buffer", [&] { write(console, "选择："); }, ""},
        {"a read shows it first", [&] { readInt(console); }, "选择："},
        {"a line break inside a part is no line's end", [&] { write(console, "a\n", 1); }, "选择："},
        {"writeLine ends the line", [&] { writeLine(console, "b"); }, "选择：a\n1b\n"},
        {"so does endLine", [&] { write(console, 2), endLine(console); }, "选择：a\n1b\n2\n"},
        {"and the pause's prompt", [&] { waitForKey(console); }, "选择：a\n1b\n2\n按任意键继续...\n"},
    };
    for (const auto& row : rows) {
        row.step();
        EXPECT_EQ(recorder.shown, row.shown) << row.what;
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
