// The pause's keystroke on POSIX: one key read from the controlling terminal (/dev/tty) in
// non-canonical mode without echo, never through standard input, so typed-ahead answers stay
// where they are. Raw mode lasts one key press; the terminal gets its own settings back on every
// way out: the end of the read, Ctrl-Z, and every signal whose default action ends the process.
#include "console/key_press.h"
#include "console/terminal_keys.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Shared with the signal handlers, so plain globals: set before they are installed.
int gTerminal = -1;
termios gOriginal{};
termios gRaw{};
struct sigaction gPrevious[NSIG] {};
bool gHandled[NSIG]{};

// A byte read after the end of one key begins the next.
TerminalKeys gKeys;

// Whether the default action of `signal` ends the process. The others cannot be caught (SIGKILL,
// SIGSTOP), stop the process (SIGTSTP, SIGTTIN, SIGTTOU) or are ignored unless handled.
bool endsTheProcess(int signal)
{
    switch (signal) {
    case SIGKILL:
    case SIGSTOP:
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU:
    case SIGCONT:
    case SIGCHLD:
    case SIGURG:
    case SIGWINCH: return false;
    default: return true;
    }
}

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

extern "C" void onFatalSignal(int signal)
{
    tcsetattr(gTerminal, TCSANOW, &gOriginal);
    sigaction(signal, &gPrevious[signal], nullptr);
    raiseAlone(signal);  // ends the process as it would have
}

extern "C" void onStop(int)
{
    const int savedErrno = errno;
    tcsetattr(gTerminal, TCSANOW, &gOriginal);
    sigaction(SIGTSTP, &gPrevious[SIGTSTP], nullptr);
    raiseAlone(SIGTSTP);  // the process stops here; SIGCONT resumes it
    // Raw again for the rest of the key read. SIGCONT's handler does that too after a real stop,
    // but a process group that no shell could resume is never stopped: the kernel drops the signal.
    tcsetattr(gTerminal, TCSANOW, &gRaw);
    setHandler(SIGTSTP, onStop);
    errno = savedErrno;
}

extern "C" void onContinue(int)
{
    const int savedErrno = errno;
    tcsetattr(gTerminal, TCSANOW, &gRaw);
    errno = savedErrno;
}

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

// Every signal blocked for the life of the object, so that no handler runs halfway through
// setting raw mode up or taking it down.
class BlockedSignals {
public:
    BlockedSignals()
    {
        sigset_t all;
        sigfillset(&all);
        sigprocmask(SIG_BLOCK, &all, &previous_);
    }
    ~BlockedSignals() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    BlockedSignals(const BlockedSignals&) = delete;
    BlockedSignals& operator=(const BlockedSignals&) = delete;

private:
    sigset_t previous_{};
};

void installHandlers()
{
    for (int signal = 1; signal < NSIG; ++signal) {
        void (*handler)(int) = handlerFor(signal);
        gHandled[signal] = handler != nullptr && sigaction(signal, nullptr, &gPrevious[signal]) == 0 &&
                           // What the parent chose to ignore stays ignored. SIGCONT's handler only
                           // takes raw mode again, so it goes in even then.
                           (gPrevious[signal].sa_handler != SIG_IGN || signal == SIGCONT);
        if (gHandled[signal]) {
            setHandler(signal, handler);
        }
    }
}

void restoreHandlers()
{
    for (int signal = 1; signal < NSIG; ++signal) {
        if (gHandled[signal]) {
            sigaction(signal, &gPrevious[signal], nullptr);
        }
    }
}

bool terminalIsRaw(int terminal)
{
    termios now{};
    return tcgetattr(terminal, &now) == 0 && (now.c_lflag & (ICANON | ECHO | IEXTEN)) == 0 &&
           (now.c_iflag & IXON) == 0 && now.c_cc[VMIN] == 1 && now.c_cc[VTIME] == 0;
}

// Raw mode for one key press: set up by the constructor, undone by the destructor.
class RawMode {
public:
    explicit RawMode(int terminal)
    {
        gTerminal = terminal;
        gRaw = gOriginal;
        // ISIG stays: Ctrl-C still interrupts, Ctrl-Z still stops. Without IEXTEN Ctrl-V and Ctrl-O
        // are keys, and without IXON so are Ctrl-S and Ctrl-Q, not flow control.
        gRaw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
        gRaw.c_iflag &= ~static_cast<tcflag_t>(IXON);
        gRaw.c_cc[VMIN] = 1;
        gRaw.c_cc[VTIME] = 0;
        const BlockedSignals blocked;
        installHandlers();
        // tcsetattr succeeds when any one change took; only the whole of raw mode will do.
        raw_ = tcsetattr(terminal, TCSANOW, &gRaw) == 0 && terminalIsRaw(terminal);
    }

    ~RawMode()
    {
        const BlockedSignals blocked;
        // TCSANOW rather than TCSAFLUSH: keys typed ahead for the next answer must survive.
        tcsetattr(gTerminal, TCSANOW, &gOriginal);
        restoreHandlers();
    }

    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;

    // False when the terminal would not take raw mode: a read now would wait for a whole line, echoed.
    bool taken() const { return raw_; }

private:
    bool raw_ = false;
};

// One byte, waiting at most `timeoutMs` (-1: for ever). Empty when none came or the read failed.
std::optional<unsigned char> readByte(int terminal, int timeoutMs)
{
    for (;;) {
        pollfd ready{terminal, POLLIN, 0};
        const int polled = poll(&ready, 1, timeoutMs);
        if (polled < 0 && errno == EINTR) {
            continue;  // Ctrl-Z and fg land here; go on waiting
        }
        if (polled <= 0) {
            return std::nullopt;
        }
        unsigned char byte = 0;
        const ssize_t got = read(terminal, &byte, 1);
        if (got == 1) {
            return byte;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return std::nullopt;
    }
}

}  // namespace

KeyPress readKeyPress(TextEncoding encoding)
{
    const int terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0) {
        return KeyPress{};
    }
    KeyPress key;
    if (tcgetattr(terminal, &gOriginal) == 0) {
        const RawMode raw(terminal);
        if (raw.taken()) {
            key = readTerminalKey(
                gKeys, [terminal](int timeoutMs) { return readByte(terminal, timeoutMs); }, encoding);
        }
    }
    close(terminal);
    return key;
}
