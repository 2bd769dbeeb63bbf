// The process's console around a whole run of the game: whatever the platform needs set up
// before the first line, and put back after the last; the run itself, guarded against memory
// running out; and the line on standard error that says why a game failed.
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

// Runs `play(context)`: true when it ran to its end, false when memory ran out on the way. Where
// the build has exceptions, the allocation that failed unwinds the game to here, every record on
// the way giving back what it held. The browser's build has none: there the game is aborted.
bool runWithinMemory(void (*play)(void* context), void* context);

// Writes `line` to standard error at once, unbuffered. When even that fails, nobody is left to tell.
void reportFailure(const char* line);
