// The portable console rules: how parts of a line are written, the three reads, and the pause
// with its held-back second code.
#include "console/console.h"

#include "console/key_press.h"

#include <charconv>
#include <istream>
#include <ostream>

void writePart(Console& console, const GameText& text)
{
    if (console.encoding == TextEncoding::Utf8) {
        console.out << text.utf8();
    } else {
        console.out << encodeLiteral(text.utf8(), console.encoding);
    }
}

void writePart(Console& console, const std::string& bytes)
{
    console.out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void writePart(Console& console, int number)
{
    // to_chars ignores any locale, so no separators can creep in.
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    console.out.write(digits, result.ptr - digits);
}

void endLine(Console& console)
{
    console.out.put('\n');
    console.out.flush();
}

std::string repeated(char c, int count) { return std::string(static_cast<std::size_t>(count), c); }

namespace {

template <typename Value>
std::optional<Value> readValue(Console& console)
{
    Value value{};
    console.out.flush();  // the prompt: a read would flush it too, but then wait even if it failed
    if (!console.out || !(console.in >> value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<int> readInt(Console& console) { return readValue<int>(console); }

std::optional<char> readChar(Console& console) { return readValue<char>(console); }

std::optional<std::string> readWord(Console& console) { return readValue<std::string>(console); }

void waitForKey(Console& console)
{
    writeLine(console, "按任意键继续...");
    if (!console.out) {
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
