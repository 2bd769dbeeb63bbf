// On POSIX a terminal needs nothing for the whole run: raw mode lasts one key press and is
// handled where the key is read.
#include "console/console_session.h"

ConsoleSession::ConsoleSession() = default;

ConsoleSession::~ConsoleSession() = default;
