// In the browser the page sets up its terminal before the game starts; the session only makes
// sure that whatever the game wrote last reaches the page when the game ends. A failure's line
// goes to the browser's console.
#include "console/console_session.h"
#include "console/standard_console.h"

#include <emscripten/console.h>

ConsoleSession::ConsoleSession() = default;

ConsoleSession::~ConsoleSession() { flush(standardOutput()); }

void reportFailure(const char* line) { emscripten_console_error(line); }
