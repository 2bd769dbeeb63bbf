// The signal handlers of the pause and the globals they share with it, which are set before the
// handlers are installed and read by them alone. A handler gives the terminal back, then lets the
// signal's own action happen, as it would have without the pause.
#include "console/posix/signal_guard.h"

#include "console/posix/job_control.h"
#include "console/posix/signal_facts.h"

#include <algorithm>
#include <cerrno>
#include <initializer_list>
#include <signal.h>
#include <unistd.h>

namespace {

// Room for every signal number of the systems the game knows: FreeBSD's run up to 128.
constexpr int kSignalSlots = 129;

int gTerminal = -1;
termios gOriginal{};
struct sigaction gPrevious[kSignalSlots] {};
bool gHandled[kSignalSlots]{};
// Whether gOriginal is to be given back: the terminal may be in raw mode on the pause's account.
volatile sig_atomic_t gHeld = 0;
// Set by a handler after which raw mode must be taken again: the terminal was given back for a
// stop, or the game was continued, and the shell may have set the terminal meanwhile.
volatile sig_atomic_t gRetake = 0;
// Whether the game was seen in the foreground since the last stop or continue.
volatile sig_atomic_t gForeground = 0;

// Whether the default action of `signal` ends the process. The others cannot be caught (SIGKILL,
// SIGSTOP), stop or continue the process (SIGTSTP, SIGTTIN, SIGTTOU, SIGCONT) or are ignored
// unless handled, which depends on the system.
bool endsTheProcess(int signal)
{
    for (const int other : {SIGKILL, SIGSTOP, SIGTSTP, SIGTTIN, SIGTTOU, SIGCONT}) {
        if (signal == other) {
            return false;
        }
    }
    return !isIgnoredByDefault(signal);
}

// One past the highest signal the pause handles.
int signalEnd() { return std::min(highestSignal() + 1, kSignalSlots); }

void setHandler(int signal, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigfillset(&action.sa_mask);  // a handler runs whole: no other one can undo what it did
    sigaction(signal, &action, nullptr);
}

// Lets `signal` through and sends it: with every other signal still blocked, its action (ending
// or stopping the process) is all that happens.
void raiseAlone(int signal)
{
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
}

void giveBackFromHandler()
{
    if (gHeld != 0 && mayGiveBack()) {
        tcsetattr(gTerminal, TCSANOW, &gOriginal);
    }
}

// The first process of a PID namespace, as a sandbox may start the game, is one that the kernel
// lets no signal's default action reach, but SIGKILL's and SIGSTOP's from outside.
bool defaultActionsDropped() { return getpid() == 1; }

// Whether the game's process group is led from outside its PID namespace (it reads as 0): the
// launcher that started it there is of its job, and is stopped with it.
bool jobReachesOutside() { return getpgrp() == 0; }

extern "C" void onFatalSignal(int signal)
{
    const int savedErrno = errno;
    giveBackFromHandler();
    sigaction(signal, &gPrevious[signal], nullptr);
    raiseAlone(signal);  // ends the process as it would have
    // Still here: the kernel dropped it, and the game goes on, as it would have without the pause,
    // which takes raw mode again. Its default action is left in place: the kernel drops it again.
    gRetake = 1;
    errno = savedErrno;
}

// Ctrl-Z, and SIGTTIN and SIGTTOU, whether job control or a hand sent them.
extern "C" void onStop(int signal)
{
    const int savedErrno = errno;
    giveBackFromHandler();
    gForeground = 0;
    sigaction(signal, &gPrevious[signal], nullptr);
    raiseAlone(signal);  // the process stops here; SIGCONT resumes it
    if (defaultActionsDropped() && jobReachesOutside()) {
        // The rest of the game's job has stopped: the game waits for the continue as if stopped.
        // Alone in its job (a container's first process), it goes on, as an orphan does.
        sigset_t continueOnly;
        sigfillset(&continueOnly);
        sigdelset(&continueOnly, SIGCONT);
        sigsuspend(&continueOnly);
    }
    setHandler(signal, onStop);
    // Even when it did not stop: the kernel drops the signal for a process group that no shell
    // could resume, and the terminal is back in its own mode all the same.
    gRetake = 1;
    errno = savedErrno;
}

// A continue may have come from `bg`.
extern "C" void onContinue(int)
{
    gForeground = 0;
    gRetake = 1;
}

void (*handlerFor(int signal))(int)
{
    if (signal == SIGTSTP || signal == SIGTTIN || signal == SIGTTOU) {
        return onStop;
    }
    if (signal == SIGCONT) {
        return onContinue;
    }
    return endsTheProcess(signal) ? onFatalSignal : nullptr;
}

}  // namespace

void installSignalGuard(int terminal)
{
    gTerminal = terminal;
    // The C library keeps two real-time signals for itself: sigaction refuses them, so they go
    // unhandled, as SIGKILL and SIGSTOP do.
    for (int signal = 1; signal < signalEnd(); ++signal) {
        void (*handler)(int) = handlerFor(signal);
        gHandled[signal] = handler != nullptr && sigaction(signal, nullptr, &gPrevious[signal]) == 0 &&
                           // What the parent chose to ignore stays ignored. SIGCONT's handler only
                           // has raw mode taken again, so it goes in even then.
                           (gPrevious[signal].sa_handler != SIG_IGN || signal == SIGCONT);
        if (gHandled[signal]) {
            setHandler(signal, handler);
        }
    }
}

void holdSettings(const termios& settings)
{
    gOriginal = settings;
    gHeld = 1;
    gRetake = 0;
}

void foregroundSeen() { gForeground = 1; }

bool mayGiveBack()
{
    switch (terminalHolder(gTerminal)) {
    case Holder::Game:
    case Holder::Nobody: return true;
    case Holder::Unseen: return gForeground != 0;
    case Holder::OtherJob: break;
    }
    return false;
}

void releaseSettings() { gHeld = 0; }

void removeSignalGuard()
{
    for (int signal = 1; signal < signalEnd(); ++signal) {
        if (gHandled[signal]) {
            sigaction(signal, &gPrevious[signal], nullptr);
        }
    }
}

bool stopOrContinueCame()
{
    const bool came = gRetake != 0;
    gRetake = 0;
    return came;
}
