// Program entry: seed the game's random source from the calendar clock and show the title.
#include "app/title_menu.h"
#include "console/console.h"
#include "console/console_session.h"
#include "console/console_streams.h"
#include "console/text_encoding.h"
#include "random/game_random.h"

#include <ctime>
#include <iostream>
#include <optional>

int main()
{
    const ConsoleSession session;
    // The C++ standard streams keep their own buffers, not C stdio's; the game's input stays tied
    // to its output, so a prompt shows before its read.
    std::ios::sync_with_stdio(false);
    Console console{consoleInput(), consoleOutput(), consoleTextEncoding(), std::nullopt};

    GameRandom random;
    random.seed(static_cast<std::uint32_t>(std::time(nullptr)));
    return runTitleMenu(random, console);
}
