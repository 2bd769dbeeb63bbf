// The calendar clock that seeds the game, as each platform reads it.
#pragma once

#include <cstdint>

// Whole seconds since 1970, read once at program entry. On POSIX and Windows it is the C
// library's time(), which the end-to-end tests pin; in the browser the page gives it, so that a
// game resumed after a reload replays from the reading it first started with.
std::int64_t calendarClockSeconds();
