// Program entry: seed the game's random source from the calendar clock and show the title.
#include "app/title_menu.h"
#include "console/calendar_clock.h"
#include "console/console.h"
#include "console/console_session.h"
#include "console/standard_console.h"
#include "console/text_encoding.h"
#include "random/game_random.h"

#include <cstdint>
#include <optional>

namespace {

// Output that could not be written (a full disk, a reader gone while SIGPIPE is ignored) stops the
// game at its next read or pause, which then neither waits nor counts as the player's choice; input
// that could not be read (an I/O error, a directory) stops it at that read. Either way it ends as
// at the end of the input, and this status and a line on standard error say that it failed. So
// does memory running out (a name longer than the memory left), which stops the game where it is.
constexpr int kExitFailed = 2;

struct Game {
    GameRandom& random;
    Console& console;
    int status = kExitFailed;
};

void play(void* game)
{
    Game& played = *static_cast<Game*>(game);
    played.status = runTitleMenu(played.random, played.console);
}

}  // namespace

int main()
{
    const ConsoleSession session;
    Console console{standardInput(), standardOutput(), consoleTextEncoding(), std::nullopt};

    GameRandom random;
    random.seed(static_cast<std::uint32_t>(calendarClockSeconds()));
    Game game{random, console};
    const bool enoughMemory = runWithinMemory(play, &game);
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
    return enoughMemory && written && !console.in.failed ? game.status : kExitFailed;
}
