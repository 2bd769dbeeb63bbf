// The reader's tokens, byte by byte over its buffer, refilled from standard input.
#include "console/console_reader.h"

#include "console/standard_io.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

namespace {

constexpr int kEndOfInput = -1;

// The next byte as 0 to 255 without taking it, reading more when none is left; kEndOfInput once
// the input has ended or failed.
int peekByte(ConsoleReader& reader)
{
    if (reader.next == reader.end) {
        if (reader.ended) {
            return kEndOfInput;
        }
        const std::ptrdiff_t got = readStandardInput(reader.bytes.data(), reader.bytes.size());
        if (got <= 0) {
            reader.ended = true;
            reader.failed = got < 0;
            return kEndOfInput;
        }
        reader.next = reader.bytes.data();
        reader.end = reader.next + got;
    }
    // Unsigned: a byte 0xFF sign-extended would read as the end of the input.
    return static_cast<unsigned char>(*reader.next);
}

bool isBlank(int byte)
{
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' || byte == '\r';
}

bool isDigit(int byte) { return byte >= '0' && byte <= '9'; }

// Skips white space: the first byte of the token, or kEndOfInput when there is no token to read.
int startToken(ConsoleReader& reader)
{
    if (reader.refused) {
        return kEndOfInput;
    }
    int byte = peekByte(reader);
    while (isBlank(byte)) {
        ++reader.next;
        byte = peekByte(reader);
    }
    if (byte == kEndOfInput) {
        reader.refused = true;
    }
    return byte;
}

template <typename Value>
std::optional<Value> refuse(ConsoleReader& reader)
{
    reader.refused = true;
    return std::nullopt;
}

// A token that a failed read cut short is no token.
template <typename Value>
std::optional<Value> unlessFailed(ConsoleReader& reader, Value value)
{
    if (reader.failed) {
        return refuse<Value>(reader);
    }
    return value;
}

}  // namespace

ConsoleReader memoryReader(std::string_view bytes)
{
    ConsoleReader reader;
    reader.next = bytes.data();
    reader.end = bytes.data() + bytes.size();
    reader.ended = true;  // nothing is left to read beyond `bytes`
    return reader;
}

std::optional<int> takeInt(ConsoleReader& reader)
{
    int byte = startToken(reader);
    const bool negative = byte == '-';
    if (byte == '-' || byte == '+') {
        ++reader.next;
        byte = peekByte(reader);
    }
    if (!isDigit(byte)) {
        return refuse<int>(reader);
    }
    // The magnitude, held at one past the largest a 32-bit int allows once it is out of reach.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<int>::max()} + 2;
    std::int64_t magnitude = 0;
    for (; isDigit(byte); byte = peekByte(reader)) {
        magnitude = std::min(magnitude * 10 + (byte - '0'), kLimit);
        ++reader.next;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
        return refuse<int>(reader);
    }
    return unlessFailed(reader, static_cast<int>(value));
}

std::optional<char> takeChar(ConsoleReader& reader)
{
    if (startToken(reader) == kEndOfInput) {
        return std::nullopt;
    }
    return *reader.next++;
}

std::optional<std::string> takeWord(ConsoleReader& reader)
{
    int byte = startToken(reader);
    if (byte == kEndOfInput) {
        return std::nullopt;
    }
    std::string word;
    while (byte != kEndOfInput && !isBlank(byte)) {
        // The whole run of the buffer at once: a name of megabytes is no slower than a short one.
        const char* from = reader.next;
        while (reader.next != reader.end && !isBlank(static_cast<unsigned char>(*reader.next))) {
            ++reader.next;
        }
        word.append(from, reader.next);
        byte = peekByte(reader);
    }
    return unlessFailed(reader, std::move(word));
}
