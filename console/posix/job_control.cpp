// Job control as the pause meets it: a game in the background is stopped by the kernel when it
// touches its terminal, unless SIGTTOU is blocked or ignored, and waits stopped for the shell.
#include "console/posix/job_control.h"

#include <cerrno>
#include <termios.h>
#include <unistd.h>

sigset_t withoutJobControl(sigset_t set)
{
    sigdelset(&set, SIGTTIN);
    sigdelset(&set, SIGTTOU);
    return set;
}

namespace {

bool isIgnored(int signal)
{
    struct sigaction current {};
    return sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

}  // namespace

bool waitForForeground(int terminal, const sigset_t& waitMask)
{
    for (;;) {
        const pid_t foreground = tcgetpgrp(terminal);
        if (foreground == getpgrp()) {
            return true;
        }
        if (foreground < 0 || isIgnored(SIGTTOU)) {
            return false;
        }
        sigset_t blocked;
        sigprocmask(SIG_SETMASK, &waitMask, &blocked);
        const int drained = tcdrain(terminal);
        const int error = errno;
        sigprocmask(SIG_SETMASK, &blocked, nullptr);
        if (drained == 0) {
            // After a stop the game may be in the foreground now; otherwise the kernel let a
            // background process through, and there is no job control to wait for.
            return tcgetpgrp(terminal) == getpgrp();
        }
        if (error != EINTR) {
            return false;
        }
    }
}
