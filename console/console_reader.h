// The game's buffered input and the three kinds of token it reads from it. A reader either holds
// all its bytes from the start (memoryReader) or reads standard input (standard_io.h) a buffer at a
// time as its tokens need more. Every read skips white space first (space, \t, \n, \v, \f, \r);
// any other byte, 0x00 and 0x80 to 0xFF among them, is part of a token.
//
// A read that finds no token, or a malformed one, fails, and so does every read after it. So does
// every read once the input has ended, even inside a token: the end is never asked about again,
// so a terminal's Ctrl-D ends the game's input once and for all.
//
// The reader calls readStandardInput directly, where the writer hands its bytes to a sink through
// a pointer: in the browser a read waits for the page's next line, and the build there (Asyncify)
// can suspend the game only inside direct calls, taking every call through a pointer for one that
// never waits. Writing never waits, so the writer's sink may be a pointer. Tests give the reader a
// scripted standard input at link time instead (tests/support/scripted_input.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

struct ConsoleReader {
    const char* next = nullptr;  // the bytes read but not yet taken: [next, end)
    const char* end = nullptr;
    bool ended = false;    // the input has ended (or failed): it is not read again
    bool failed = false;   // a read of standard input failed, which its end never does
    bool refused = false;  // a read found no token or a malformed one: no read succeeds again
    std::array<char, 4096> bytes{};
};

// A reader of `bytes` alone, which must outlive it; standard input is never read.
ConsoleReader memoryReader(std::string_view bytes);

// An optional sign and at least one digit, all the digits there are; fails when the number does
// not fit 32 bits. The sign and digits are taken even then, and the sign when no digit follows.
std::optional<int> takeInt(ConsoleReader& reader);

// One byte.
std::optional<char> takeChar(ConsoleReader& reader);

// Bytes up to the next white space or the end of the input, of any length.
std::optional<std::string> takeWord(ConsoleReader& reader);
