// The process's console around a whole run of the game: whatever the platform needs set up
// before the first line, and put back after the last; and the line on standard error that says
// why a game failed.
#pragma once

// Prepares the console when made, and restores what it changed when destroyed, which every way
// out of the game passes through.
struct ConsoleSession {
    ConsoleSession();
    // NOLINTNEXTLINE(performance-trivially-destructible): each platform defines it; not all are empty
    ~ConsoleSession();
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;
};

// Writes `line` to standard error at once, unbuffered. A standard error left non-blocking and full is
// waited for, but not for long: the game has ended. When even that fails, nobody is left to tell.
void reportFailure(const char* line);
