// The pause's keystroke on POSIX: one key read from the controlling terminal (/dev/tty) in
// non-canonical mode without echo, never through standard input, so typed-ahead answers stay
// where they are. Raw mode lasts one key press, and only the foreground job changes the terminal:
// a pause in the background lets job control stop the game (SIGTTOU), as it stops any job that
// touches its terminal from there, and takes raw mode once the shell brings the game back. The
// terminal gets its own settings back on every way out: the end of the read, Ctrl-Z, and every
// signal whose default action ends the process and that the C library lets a program catch.
// A terminal that hangs up, or whose read ends or fails, is gone: that pause ends at once, and the
// game goes on as one without a terminal, with no pause that waits.
#include "console/key_press.h"
#include "console/posix/descriptor_wait.h"
#include "console/posix/job_control.h"
#include "console/posix/signal_facts.h"
#include "console/terminal_keys.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <initializer_list>
#include <optional>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Room for every signal number of the systems the game knows: FreeBSD's run up to 128.
constexpr int kSignalSlots = 129;

// Shared with the signal handlers, so plain globals: set before they are installed.
int gTerminal = -1;
termios gOriginal{};
termios gRaw{};
struct sigaction gPrevious[kSignalSlots] {};
bool gHandled[kSignalSlots]{};
// Whether the terminal may be in raw mode on the pause's account, so that a handler must put it back.
volatile sig_atomic_t gHeld = 0;
// Set by a handler after which raw mode must be taken again: the terminal was given back for a
// stop, or the game was continued, and the shell may have set the terminal meanwhile.
volatile sig_atomic_t gRetake = 0;

// A byte read after the end of one key begins the next.
TerminalKeys gKeys;

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

// Puts the terminal back from a handler, but only while the game is the foreground job: a handler
// runs with SIGTTOU blocked, and the kernel lets a background process that blocks it change the
// terminal, which would then be the shell's.
void giveBackFromHandler()
{
    if (gHeld != 0 && tcgetpgrp(gTerminal) == getpgrp()) {
        tcsetattr(gTerminal, TCSANOW, &gOriginal);
    }
}

extern "C" void onFatalSignal(int signal)
{
    giveBackFromHandler();
    sigaction(signal, &gPrevious[signal], nullptr);
    raiseAlone(signal);  // ends the process as it would have
}

extern "C" void onStop(int)
{
    const int savedErrno = errno;
    giveBackFromHandler();
    sigaction(SIGTSTP, &gPrevious[SIGTSTP], nullptr);
    raiseAlone(SIGTSTP);  // the process stops here; SIGCONT resumes it
    setHandler(SIGTSTP, onStop);
    // Even when it did not stop: the kernel drops the signal for a process group that no shell
    // could resume, and the terminal is back in its own mode all the same.
    gRetake = 1;
    errno = savedErrno;
}

extern "C" void onContinue(int) { gRetake = 1; }

void (*handlerFor(int signal))(int)
{
    if (signal == SIGTSTP) {
        return onStop;
    }
    if (signal == SIGCONT) {
        return onContinue;
    }
    return endsTheProcess(signal) ? onFatalSignal : nullptr;
}

void installHandlers()
{
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

void restoreHandlers()
{
    for (int signal = 1; signal < signalEnd(); ++signal) {
        if (gHandled[signal]) {
            sigaction(signal, &gPrevious[signal], nullptr);
        }
    }
}

// Sets raw mode (gRaw) and reads it back: tcsetattr succeeds when any one change took, and only
// the whole of raw mode will do.
bool takeRawMode(int terminal)
{
    termios now{};
    return tcsetattr(terminal, TCSANOW, &gRaw) == 0 && tcgetattr(terminal, &now) == 0 &&
           (now.c_lflag & (ICANON | ECHO | IEXTEN)) == 0 && (now.c_iflag & IXON) == 0 && now.c_cc[VMIN] == 1 &&
           now.c_cc[VTIME] == 0;
}

// Raw mode for one key press: set up by the constructor, undone by the destructor. Every signal
// but SIGTTIN and SIGTTOU stays blocked for its whole life, except while the pause waits, so no
// handler runs halfway through a change of the terminal or between a check and the wait after it.
class RawMode {
public:
    explicit RawMode(int terminal)
    {
        gTerminal = terminal;
        sigset_t all;
        sigfillset(&all);
        const sigset_t blocked = withoutJobControl(all);
        sigprocmask(SIG_SETMASK, &blocked, &previous_);
        waitMask_ = withoutJobControl(previous_);
        installHandlers();
        if (!waitForForeground(terminal, waitMask_) || tcgetattr(terminal, &gOriginal) != 0) {
            return;
        }
        gRaw = gOriginal;
        // ISIG stays: Ctrl-C still interrupts, Ctrl-Z still stops. Without IEXTEN Ctrl-V and Ctrl-O
        // are keys, and without IXON so are Ctrl-S and Ctrl-Q, not flow control.
        gRaw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
        gRaw.c_iflag &= ~static_cast<tcflag_t>(IXON);
        gRaw.c_cc[VMIN] = 1;
        gRaw.c_cc[VTIME] = 0;
        gHeld = 1;
        gRetake = 0;
        raw_ = takeRawMode(terminal);
    }

    ~RawMode()
    {
        // TCSANOW rather than TCSAFLUSH: keys typed ahead for the next answer must survive.
        if (gHeld != 0 && waitForForeground(gTerminal, waitMask_)) {
            tcsetattr(gTerminal, TCSANOW, &gOriginal);
        }
        gHeld = 0;
        restoreHandlers();
        sigprocmask(SIG_SETMASK, &previous_, nullptr);
    }

    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;

    // False when the terminal would not take raw mode (a read now would wait for a whole line,
    // echoed), or when the game is in the background and job control cannot stop it.
    bool taken() const { return raw_; }

    // Waits for one byte, at most `timeoutMs` (-1: for ever), with signals let through. After a
    // stop or a continue it takes raw mode again first, in the foreground. Empty when no byte
    // came in time, raw mode could not be taken again, or the terminal is gone (gone() says so).
    std::optional<unsigned char> readByte(int timeoutMs)
    {
        for (;;) {
            const Readiness readiness = waitForDescriptor(gTerminal, false, timeoutMs, &waitMask_);
            if (readiness == Readiness::Interrupted) {
                if (gRetake != 0 && !retake()) {
                    return std::nullopt;
                }
                continue;
            }
            gone_ = readiness == Readiness::Failed;
            if (readiness != Readiness::Ready) {
                return std::nullopt;
            }
            unsigned char byte = 0;
            const ssize_t got = read(gTerminal, &byte, 1);
            if (got == 1) {
                return byte;
            }
            // A hang-up reads as the end (0) or fails (EIO); either is final. Nothing to read after
            // all (another reader took it) or a signal: back to the wait, with signals let through.
            if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                gone_ = true;
                return std::nullopt;
            }
        }
    }

    // Whether the terminal is gone: hung up, at its end, or failing.
    bool gone() const { return gone_; }

private:
    bool retake()
    {
        gRetake = 0;
        return waitForForeground(gTerminal, waitMask_) && takeRawMode(gTerminal);
    }

    sigset_t previous_{};
    sigset_t waitMask_{};  // the mask the game had before the pause, less SIGTTIN and SIGTTOU
    bool raw_ = false;
    bool gone_ = false;
};

// The controlling terminal, looked for at the first pause and kept open: -1 when there is none, or
// once it is gone. Non-blocking, so that the pause waits in pselect, with signals let through,
// and never in read with them blocked.
constexpr int kNotLookedFor = -2;
int gControlling = kNotLookedFor;

int controllingTerminal()
{
    if (gControlling == kNotLookedFor) {
        gControlling = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    }
    return gControlling;
}

void forgetTerminal()
{
    close(gControlling);
    gControlling = -1;
}

}  // namespace

KeyPress readKeyPress(TextEncoding encoding)
{
    const int terminal = controllingTerminal();
    if (terminal < 0) {
        return KeyPress{};
    }
    KeyPress key;
    bool gone = false;
    {
        RawMode raw(terminal);
        if (!raw.taken()) {
            return KeyPress{};
        }
        key = readTerminalKey(
            gKeys, [&raw](int timeoutMs) { return raw.readByte(timeoutMs); }, encoding);
        gone = raw.gone();
    }  // a SIGHUP held back meanwhile ends the game here, with the terminal's settings seen to
    if (gone) {
        forgetTerminal();
    }
    return key;
}
