// Program entry: seed the game's random source from the calendar clock and show the title.
#include "app/title_menu.h"
#include "console/calendar_clock.h"
#include "console/console.h"
#include "console/console_session.h"
#include "console/console_streams.h"
#include "console/game_ending.h"
#include "console/text_encoding.h"
#include "random/game_random.h"

#include <cstdint>
#include <cstdio>
#include <istream>
#include <optional>
#include <ostream>

namespace {

// Output that could not be written (a full disk, a reader gone while SIGPIPE is ignored) stops the
// game at its next read or pause, which then neither waits nor counts as the player's choice; input
// that could not be read (an I/O error, a directory) stops it at that read. Either way it ends as
// at the end of the input, and this status and a line on standard error say that it failed.
constexpr int kExitFailed = 2;

}  // namespace

int main()
{
    const ConsoleSession session;
    Console console{consoleInput(), consoleOutput(), consoleTextEncoding(), std::nullopt};

    GameRandom random;
    random.seed(static_cast<std::uint32_t>(calendarClockSeconds()));
    const GameEnding ending = runTitleMenu(random, console);
    // C stdio rather than std::cerr, whose standard stream objects would otherwise be built into
    // the browser's download for these two lines.
    const bool written = static_cast<bool>(console.out.flush());
    if (!written) {
        std::fputs("qzvillage: the game's output could not be written\n", stderr);
    }
    if (console.in.bad()) {
        std::fputs("qzvillage: the game's input could not be read\n", stderr);
    }
    if (!written || console.in.bad()) {
        return kExitFailed;
    }
    reportEnding(ending);
    return exitStatus(ending);
}
