// The calendar clock is the C library's, read through time() so that a preloaded or faked clock
// (the end-to-end tests pin the seed so) is the one the game sees.
#include "console/calendar_clock.h"

#include <ctime>

std::int64_t calendarClockSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }
