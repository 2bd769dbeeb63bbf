// Job control as the pause meets it: a game in the background is stopped by the kernel when it
// touches its terminal, unless SIGTTOU is blocked or ignored, and waits stopped for the shell.
#include "console/posix/job_control.h"

#include <cerrno>
#include <unistd.h>

sigset_t withoutJobControl(sigset_t set)
{
    sigdelset(&set, SIGTTIN);
    sigdelset(&set, SIGTTOU);
    sigdelset(&set, SIGCONT);
    return set;
}

namespace {

bool isIgnored(int signal)
{
    struct sigaction current {};
    return sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

// Unblocks SIGTTIN and SIGTTOU, and returns the mask from before.
sigset_t letJobControlThrough()
{
    sigset_t jobControl;
    sigemptyset(&jobControl);
    sigaddset(&jobControl, SIGTTIN);
    sigaddset(&jobControl, SIGTTOU);
    sigset_t before;
    sigprocmask(SIG_UNBLOCK, &jobControl, &before);
    return before;
}

}  // namespace

Holder terminalHolder(int terminal)
{
    const pid_t foreground = tcgetpgrp(terminal);
    if (foreground > 0) {
        return foreground == getpgrp() ? Holder::Game : Holder::OtherJob;
    }
    if (foreground == 0) {
        return Holder::Unseen;
    }
    // The terminal is no longer the game's controlling terminal once its session is gone.
    return errno == ENOTTY ? Holder::Nobody : Holder::OtherJob;
}

bool waitForForeground(int terminal, const sigset_t& waitMask)
{
    for (;;) {
        const Holder holder = terminalHolder(terminal);
        if (holder == Holder::Game) {
            return true;
        }
        // Nobody's: no shell is left to bring the game back. The kernel applies no job control to a
        // terminal that is not the game's own any more, so the drain below would only wait for its
        // output to be sent, which a line held by Ctrl-S may keep it doing.
        if (holder == Holder::Nobody || isIgnored(SIGTTOU)) {
            return false;
        }
        sigset_t blocked;
        sigprocmask(SIG_SETMASK, &waitMask, &blocked);
        const int drained = tcdrain(terminal);
        const int error = errno;
        sigprocmask(SIG_SETMASK, &blocked, nullptr);
        if (drained == 0) {
            // After a stop the game may be in the foreground now; otherwise the kernel let a
            // background process through, and there is no job control to wait for. Unseen groups
            // leave the kernel's word alone, unless the session is being taken apart (no session).
            const Holder now = terminalHolder(terminal);
            return now == Holder::Game || (now == Holder::Unseen && tcgetsid(terminal) >= 0);
        }
        if (error != EINTR) {
            return false;
        }
    }
}

bool setTerminal(int terminal, const termios& settings)
{
    const sigset_t before = letJobControlThrough();
    int set = -1;
    do {
        set = tcsetattr(terminal, TCSANOW, &settings);
    } while (set != 0 && errno == EINTR);
    sigprocmask(SIG_SETMASK, &before, nullptr);
    return set == 0;
}

ssize_t readTerminal(int terminal, unsigned char& byte)
{
    const sigset_t before = letJobControlThrough();
    const ssize_t got = read(terminal, &byte, 1);
    const int error = errno;
    sigprocmask(SIG_SETMASK, &before, nullptr);
    errno = error;
    return got;
}
