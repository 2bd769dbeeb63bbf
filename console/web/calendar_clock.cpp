// In the browser the calendar clock is the page's: a new game's reading of the real clock, or,
// when the page resumes a game after a reload, the reading that game was started with.
#include "console/calendar_clock.h"
#include "console/web/page_hooks.h"

std::int64_t calendarClockSeconds() { return page::clockSeconds(); }
