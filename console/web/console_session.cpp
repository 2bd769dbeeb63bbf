// In the browser the page sets up its terminal before the game starts; the session only makes
// sure that whatever the game wrote last reaches the page when the game ends.
#include "console/console_session.h"
#include "console/console_streams.h"

#include <ostream>

ConsoleSession::ConsoleSession() = default;

ConsoleSession::~ConsoleSession() { consoleOutput().flush(); }
