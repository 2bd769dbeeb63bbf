// The bytes of standard input and standard output, moved as each platform moves them; the
// buffering and the reading rules over them are the console reader and writer's, the same everywhere.
#pragma once

#include <cstddef>

// Reads up to `size` bytes of standard input into `into`, waiting for at least one: how many it
// read, 0 at the end of the input, -1 when the read failed.
std::ptrdiff_t readStandardInput(char* into, std::size_t size);

// Writes all `size` bytes to standard output; false when they could not all be written.
bool writeStandardOutput(const char* bytes, std::size_t size);
