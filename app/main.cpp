// Program entry: seed the game's random source from the calendar clock and show the title.
#include "app/title_menu.h"
#include "console/console.h"
#include "console/console_session.h"
#include "console/text_encoding.h"
#include "random/game_random.h"

#include <ctime>
#include <iostream>
#include <optional>

int main()
{
    const ConsoleSession session;
    // cin keeps its own buffer; it stays tied to cout, so a prompt shows before its read.
    std::ios::sync_with_stdio(false);
    Console console{std::cin, std::cout, consoleTextEncoding(), std::nullopt};

    GameRandom random;
    random.seed(static_cast<std::uint32_t>(std::time(nullptr)));
    return runTitleMenu(random, console);
}
