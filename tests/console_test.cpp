// The console's rules: how parts are written, the three reads, and the pause's held-back code.
#include "console/console.h"
#include "tests/support/game_session.h"
#include "tests/support/scripted_input.h"
#include "tests/support/scripted_keys.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace {

template <typename Part>
concept Writable = requires(Console& console, const Part& part)
{
    writePart(console, part);
};

using TextOrBytes = std::variant<std::string, GameText>;

// A sink that keeps what has been flushed: what a terminal would have shown.
bool recordFlush(void* onScreen, const char* bytes, std::size_t size)
{
    static_cast<std::string*>(onScreen)->append(bytes, size);
    return true;
}

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

// A sink that takes `room` more flushes, then fails.
struct FailingSink {
    int room;
    std::vector<std::string> flushes;
};

bool flushUnlessFull(void* target, const char* bytes, std::size_t size)
{
    auto& sink = *static_cast<FailingSink*>(target);
    if (sink.room-- == 0) {
        return false;
    }
    sink.flushes.emplace_back(bytes, size);
    return true;
}

TEST(ConsoleOutput, APartLargerThanTheBufferGoesWholeAndAFailedFlushDropsTheRest)
{
    FailingSink sink{2, {}};
    ConsoleWriter writer{flushUnlessFull, &sink};
    const std::string large(10000, 'n');
    writeBytes(writer, "ab");
    writeBytes(writer, large);  // what was buffered goes first
    writeBytes(writer, "c");
    EXPECT_FALSE(flush(writer));
    writeBytes(writer, "d");
    EXPECT_FALSE(flush(writer));  // failed for good: nothing more reaches the sink
    EXPECT_EQ(sink.flushes, (std::vector<std::string>{"ab", large}));
    EXPECT_TRUE(writer.failed);
}

// The steps run in order on one console; each row gives what has been shown after its step.
TEST(ConsoleOutput, ALineIsFlushedAtItsEndAndAPromptBeforeItsRead)
{
    std::string onScreen;
    ConsoleWriter out{recordFlush, &onScreen};
    ConsoleReader in = memoryReader("7");
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
        EXPECT_EQ(onScreen, row.shown) << row.what;
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
    GameSession refused("abc");
    EXPECT_EQ(readInt(refused.console), std::nullopt);
    EXPECT_EQ(readWord(refused.console), std::nullopt);  // no read succeeds after a failed one
}

// Standard input handed out as a terminal does, a line or less per read; then a title choice, a
// name and an answer read from it.
TEST(ConsoleInput, StandardInputReadByRead)
{
    const struct {
        const char* what;
        std::vector<std::string> reads;
        std::optional<int> choice;
        std::optional<std::string> name;
        std::optional<char> answer;
        bool failed;
    } rows[] = {
        {"a line per read, a name starting with 0xFF", {"1\n", "\xff\xfeZed\n", "y\n"}, 1, "\xff\xfeZed", 'y', false},
        {"tokens split between reads", {" 1", "2\n\xff", "Zed", "\t", "\x80"}, 12, "\xffZed", '\x80', false},
        {"the end inside a number is the end for good", {"-3", "", "Ab y\n"}, -3, std::nullopt, std::nullopt, false},
        {"a failed read voids the number it cuts", {"1", kFailedRead, "2\n"}, {}, {}, {}, true},
        {"a read that fails ends the word it cuts", {"7 Ab", kFailedRead, "y\n"}, 7, std::nullopt, std::nullopt, true},
        {"a read that fails before a token", {"7\n", kFailedRead}, 7, std::nullopt, std::nullopt, true},
    };
    for (const auto& row : rows) {
        scriptStandardInput(row.reads);
        ConsoleReader reader;
        EXPECT_EQ(takeInt(reader), row.choice) << row.what;
        EXPECT_EQ(takeWord(reader), row.name) << row.what;
        EXPECT_EQ(takeChar(reader), row.answer) << row.what;
        EXPECT_EQ(reader.failed, row.failed) << row.what;
    }
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
    game.out.failed = true;  // the reader of the game's output has gone
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
