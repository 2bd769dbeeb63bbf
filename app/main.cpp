// Program entry: seed the game's random source from the calendar clock and show the title.
#include "app/title_menu.h"
#include "console/calendar_clock.h"
#include "console/console.h"
#include "console/console_session.h"
#include "console/game_ending.h"
#include "console/standard_console.h"
#include "console/text_encoding.h"
#include "random/game_random.h"

#include <cstdint>
#include <new>
#include <optional>

namespace {

// Output that could not be written (a full disk, a reader gone while SIGPIPE is ignored) stops the
// game at its next read or pause, which then neither waits nor counts as the player's choice; input
// that could not be read (an I/O error, a directory) stops it at that read. Either way it ends as
// at the end of the input, and this status and a line on standard error say that it failed. So
// does memory running out (a name longer than the memory left), which stops the game where it is.
constexpr int kExitFailed = 2;

// Runs `play`: true when it ran to its end, false when memory ran out on the way. The allocation
// that failed unwinds the game to here, every record on the way giving back what it held, and the
// game's code throws nothing itself.
template <typename Play>
bool runWithinMemory(const Play& play)
{
    // `play` is a template parameter, called directly, not a function pointer: in the browser every
    // wait is under this call, and the build there (Asyncify) can suspend the game only inside
    // direct calls (console_reader.h says the same of standard input). That build has no
    // exceptions either: there a failed allocation aborts the game.
#if __cpp_exceptions
    try {
        play();
    } catch (const std::bad_alloc&) {
        return false;
    }
#else
    play();
#endif
    return true;
}

}  // namespace

int main()
{
    const ConsoleSession session;
    Console console{standardInput(), standardOutput(), consoleTextEncoding(), std::nullopt};

    GameRandom random;
    random.seed(static_cast<std::uint32_t>(calendarClockSeconds()));
    GameEnding ending = GameEnding::InputEnded;
    const bool enoughMemory = runWithinMemory([&] { ending = runTitleMenu(random, console); });
    const bool written = flush(console.out);  // what was shown before memory ran out, too
    if (!enoughMemory) {
        reportFailure("qzvillage: not enough memory for the game's input\n");
    }
    if (!written) {
        reportFailure("qzvillage: the game's output could not be written\n");
    }
    if (console.in.failed) {
        reportFailure("qzvillage: the game's input could not be read\n");
    }
    if (!enoughMemory || !written || console.in.failed) {
        return kExitFailed;
    }
    reportEnding(ending);
    return exitStatus(ending);
}
