// The game's buffered output: bytes gather in a fixed buffer and go to the writer's sink at each
// flush, or sooner when the buffer is full. A sink that fails marks the writer failed for good:
// what it could not take is dropped, and so is everything written after, since nobody is left to
// read it. The buffer is the writer's own, so flushing never needs memory.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// Takes one flush's bytes for `target`; false when they could not all be written.
using ByteSink = bool (*)(void* target, const char* bytes, std::size_t size);

struct ConsoleWriter {
    ByteSink sink = nullptr;
    void* target = nullptr;  // handed to the sink, which says what it is
    bool failed = false;
    std::size_t used = 0;  // how many of `bytes` wait for the next flush
    std::array<char, 4096> bytes{};
};

// Appends `bytes` to the buffer. What does not fit in the room left flushes the buffer first, and a
// part larger than the whole buffer then goes to the sink at once rather than in pieces.
void writeBytes(ConsoleWriter& writer, std::string_view bytes);

// Hands the buffered bytes to the sink. False when the writer has failed, now or before.
bool flush(ConsoleWriter& writer);

// A writer whose every flush appends to `memory`, which must outlive it.
ConsoleWriter memoryWriter(std::string& memory);
