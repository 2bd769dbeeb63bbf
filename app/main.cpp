// Program entry: seed the game's random source from the calendar clock and show the title.
#include "app/title_menu.h"
#include "console/calendar_clock.h"
#include "console/console.h"
#include "console/console_session.h"
#include "console/console_streams.h"
#include "console/text_encoding.h"
#include "random/game_random.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <ostream>

namespace {

// Output that could not be written: a full disk, a reader gone while SIGPIPE is ignored. The game
// stops at its next read or pause, which then neither waits nor counts as the player's choice.
constexpr int kExitOutputFailed = 2;

}  // namespace

int main()
{
    const ConsoleSession session;
    // The C++ standard streams keep their own buffers, not C stdio's; the game's input stays tied
    // to its output, so a prompt shows before its read.
    std::ios::sync_with_stdio(false);
    Console console{consoleInput(), consoleOutput(), consoleTextEncoding(), std::nullopt};

    GameRandom random;
    random.seed(static_cast<std::uint32_t>(calendarClockSeconds()));
    const int status = runTitleMenu(random, console);
    if (!console.out.flush()) {
        // C stdio rather than std::cerr, whose standard stream objects would otherwise be built
        // into the browser's download for this one line.
        std::fputs("qzvillage: the game's output could not be written\n", stderr);
        return kExitOutputFailed;
    }
    return status;
}
