// The one way the POSIX console waits for a descriptor: pselect, which works on terminals
// everywhere (poll reports POLLNVAL for a terminal on macOS) and sets the signal mask for the wait
// alone, atomically on Linux, the BSDs and macOS; for a descriptor numbered beyond what select
// can take (FD_SETSIZE), ppoll, which does the same for any number where the system has it.
#pragma once

#include <signal.h>

enum class Readiness {
    Ready,        // a read or write will not block; after a hang-up, end of file or error too
    TimedOut,     // the time given ran out first
    Interrupted,  // a signal's handler ran
    Failed,       // the descriptor cannot be waited for: closed, or beyond FD_SETSIZE without ppoll
};

// What a wait is for.
enum class WaitFor {
    Reading,
    Writing,
};

// Waits until `fd` can be read or written, as `purpose` says, without blocking, at most `timeoutMs`
// milliseconds (-1: for as long as it takes), with `waitMask` as the signal mask meanwhile
// (nullptr: the current one). A descriptor that will never be ready again shows as Ready, so
// that the read or write that follows ends on what it finds: 0 for the end, or the error.
Readiness waitForDescriptor(int fd, WaitFor purpose, int timeoutMs, const sigset_t* waitMask);
