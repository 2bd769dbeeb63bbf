// The portable console rules: how parts of a line are written, the three reads, and the pause
// with its held-back second code.
#include "console/console.h"

#include "console/key_press.h"

#include <charconv>

void writePart(Console& console, const GameText& text)
{
    if (console.encoding == TextEncoding::Utf8) {
        writeBytes(console.out, text.utf8());
    } else {
        writeBytes(console.out, encodeLiteral(text.utf8(), console.encoding));
    }
}

void writePart(Console& console, const std::string& bytes) { writeBytes(console.out, bytes); }

void writePart(Console& console, int number)
{
    // to_chars ignores any locale, so no separators can creep in.
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    writeBytes(console.out, std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

void endLine(Console& console)
{
    writeBytes(console.out, "\n");
    flush(console.out);
}

std::string repeated(char c, int count) { return std::string(static_cast<std::size_t>(count), c); }

// Each read flushes the prompt first, and does not wait at all when it could not be shown.
std::optional<int> readInt(Console& console) { return flush(console.out) ? takeInt(console.in) : std::nullopt; }

std::optional<char> readChar(Console& console) { return flush(console.out) ? takeChar(console.in) : std::nullopt; }

std::optional<std::string> readWord(Console& console)
{
    return flush(console.out) ? takeWord(console.in) : std::nullopt;
}

bool inputRanOut(const Console& console) { return console.in.ended && console.in.next == console.in.end; }

void waitForKey(Console& console)
{
    writeLine(console, "按任意键继续...");
    if (console.out.failed) {
        return;  // nobody sees the prompt, so nobody would press the key
    }
    if (console.heldKey) {
        console.heldKey.reset();
        return;
    }
    const KeyPress key = readKeyPress(console.encoding);
    if (key.codeCount == 2) {
        console.heldKey = key.codes[1];
    }
}
