// The console as the game sees it: where text goes, where answers come from, and the pause.
// Game logic writes and reads only through these functions, so a whole game can run on memory in
// tests exactly as it runs on a terminal. The game uses no C++ stream and no printf-style
// formatting, only these: with their locales, they would be most of the browser's download.
#pragma once

#include "console/console_reader.h"
#include "console/console_writer.h"
#include "console/game_text.h"
#include "console/text_encoding.h"

#include <cstddef>
#include <optional>
#include <string>
#include <variant>

struct Console {
    ConsoleReader& in;  // buffered answers; each read flushes `out` first, so a prompt shows
    ConsoleWriter& out;
    TextEncoding encoding = TextEncoding::Utf8;  // how the game's own texts are written
    // The second code of a special key: it ends the next pause at once, without waiting.
    std::optional<unsigned char> heldKey;
};

// Parts of a line, each written as its type says:
// - a GameText, or a string literal, is the game's own text, written in the console's encoding;
// - a std::string is bytes, such as a player's name, written byte for byte;
// - an int is written in plain decimal with an ASCII '-' when negative;
// - a std::variant of these is written as the part it holds.
// Anything else, a char or a pointer among them, does not compile.
void writePart(Console& console, const GameText& text);
void writePart(Console& console, const std::string& bytes);
void writePart(Console& console, int number);

template <std::size_t N>
void writePart(Console& console, const char (&literal)[N])
{
    writePart(console, GameText(literal));
}

template <typename Other>
void writePart(Console& console, const Other& other) = delete;

template <typename... Alternatives>
void writePart(Console& console, const std::variant<Alternatives...>& part)
{
    std::visit([&console](const auto& held) { writePart(console, held); }, part);
}

// Writes the parts one after another, without a line break (prompts stay on their line).
template <typename... Parts>
void write(Console& console, const Parts&... parts)
{
    (writePart(console, parts), ...);
}

// Ends the line: a line feed, then a flush.
void endLine(Console& console);

// Writes the parts and ends the line.
template <typename... Parts>
void writeLine(Console& console, const Parts&... parts)
{
    write(console, parts...);
    endLine(console);
}

// A run of one ASCII character, for the game's rules and dividers.
std::string repeated(char c, int count);

// Whitespace-skipping reads from the buffered input, by the reader's rules (console_reader.h).
// Each flushes the output first, and is empty when the input has ended or failed, after a failed
// read, or when output can no longer be written (nobody is left to read the game).
// An integer takes an optional sign and digits and fails when it does not fit 32 bits.
std::optional<int> readInt(Console& console);
// One byte that is not white space; the rest of the line stays for later reads.
std::optional<char> readChar(Console& console);
// Bytes up to the next white space, of any length.
std::optional<std::string> readWord(Console& console);
// Whether a read has come to the end of the input: nothing is left to read, ever.
bool inputRanOut(const Console& console);

// Writes the pause prompt on its own line and waits for one key straight from the console,
// without echo and without touching the buffered input. Does not wait when there is no console,
// or when the output cannot be written (nobody sees the prompt).
void waitForKey(Console& console);
