// The browser's half of the contract between the game and its page: the functions the page puts on
// the module object it creates each game with, as the game calls them. The page's half is its own
// ES module, which names the same hooks. Every buffer passed here belongs to the game; every array
// the page hands back is the page's, and the game copies what it needs out of it before returning.
#pragma once

#include <cstdint>

namespace page {

// qzWrite: hands the page `length` bytes of output, on each flush. The page gets a copy of them.
void write(const char* bytes, int length);

// qzReadLine: waits (suspending the game) for the next whole line of answers and returns its
// length in bytes, line feed included, or -1 when the input has ended.
int waitForLine();

// qzTakeLine: copies the line waitForLine() announced into `destination`, which has room for
// the length it returned.
void takeLine(char* destination);

// qzReadKey: waits (suspending the game) for the next key at a pause, as the bytes a terminal
// sends for it, copies at most `capacity` of them into `destination` and returns how many.
int waitForKey(unsigned char* destination, int capacity);

// qzEnded: tells the page how the game ended, once, after the game's last output: `code` is a
// GameEnding's value (console/game_ending.h), 0 victory, 1 defeat, 2 the input's end, 3 left at
// the title. The page says so in words; a game that stops without it has stopped with an error.
void ended(int code);

// qzClockSeconds: the calendar clock's reading in whole seconds since 1970, for the seed. A
// resumed game gets the reading it was first started with, so its replay draws the same numbers.
std::int64_t clockSeconds();

}  // namespace page
