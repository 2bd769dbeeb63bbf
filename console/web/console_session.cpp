// In the browser the page sets up its terminal before the game starts; the session only makes
// sure that whatever the game wrote last reaches the page when the game ends. The game is built
// without exceptions here, so memory running out aborts it (the page then says the game stopped),
// and a failure's line goes to the browser's console.
#include "console/console_session.h"
#include "console/standard_console.h"

#include <emscripten/console.h>

#include <cstdlib>
#include <new>

ConsoleSession::ConsoleSession() = default;

ConsoleSession::~ConsoleSession() { flush(standardOutput()); }

bool runWithinMemory(void (*play)(void* context), void* context)
{
    std::set_new_handler(std::abort);  // rather than go on with no memory where some was asked for
    play(context);
    return true;
}

void reportFailure(const char* line) { emscripten_console_error(line); }
