// The pause's keystroke on POSIX: one key read from the controlling terminal (/dev/tty) in
// non-canonical mode without echo, never through standard input, so typed-ahead answers stay
// where they are. Raw mode lasts one key press; the terminal gets its own settings back on every
// way out, a fatal signal or Ctrl-Z included.
#include "console/key_decoding.h"
#include "console/key_press.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

// Bytes of one key arrive together; a gap this long means the key is complete.
constexpr int kRestOfKeyMilliseconds = 50;

// Shared with the signal handlers, so plain globals: set before they are installed.
int gTerminal = -1;
termios gOriginal{};
termios gRaw{};

constexpr int kFatalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void setHandler(int signal, void (*handler)(int), struct sigaction* previous)
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, previous);
}

extern "C" void onFatalSignal(int signal)
{
    tcsetattr(gTerminal, TCSANOW, &gOriginal);
    setHandler(signal, SIG_DFL, nullptr);
    raise(signal);  // blocked until this handler returns, then it ends the process as it would have
}

extern "C" void onStop(int)
{
    const int savedErrno = errno;
    tcsetattr(gTerminal, TCSANOW, &gOriginal);
    setHandler(SIGTSTP, SIG_DFL, nullptr);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    raise(SIGTSTP);  // the process stops here; SIGCONT resumes it
    // Raw again for the rest of the key read. SIGCONT has done that already after a real stop, but
    // a process group that no shell could resume is never stopped: the kernel drops the signal.
    tcsetattr(gTerminal, TCSANOW, &gRaw);
    setHandler(SIGTSTP, onStop, nullptr);
    errno = savedErrno;
}

extern "C" void onContinue(int)
{
    const int savedErrno = errno;
    tcsetattr(gTerminal, TCSANOW, &gRaw);
    errno = savedErrno;
}

// Raw mode for one key press: set up by the constructor, undone by the destructor.
class RawMode {
public:
    explicit RawMode(int terminal)
    {
        gTerminal = terminal;
        gRaw = gOriginal;
        gRaw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);  // ISIG stays: Ctrl-C still interrupts
        gRaw.c_iflag &= ~static_cast<tcflag_t>(IXON);  // Ctrl-S and Ctrl-Q are keys here, not flow control
        gRaw.c_cc[VMIN] = 1;
        gRaw.c_cc[VTIME] = 0;
        for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
            setHandler(kFatalSignals[i], onFatalSignal, &previousFatal_[i]);
            if (previousFatal_[i].sa_handler == SIG_IGN) {  // keep what the parent chose to ignore
                sigaction(kFatalSignals[i], &previousFatal_[i], nullptr);
            }
        }
        setHandler(SIGTSTP, onStop, &previousStop_);
        setHandler(SIGCONT, onContinue, &previousContinue_);
        tcsetattr(terminal, TCSANOW, &gRaw);
    }

    ~RawMode()
    {
        // TCSANOW rather than TCSAFLUSH: keys typed ahead for the next answer must survive.
        tcsetattr(gTerminal, TCSANOW, &gOriginal);
        for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
            sigaction(kFatalSignals[i], &previousFatal_[i], nullptr);
        }
        sigaction(SIGTSTP, &previousStop_, nullptr);
        sigaction(SIGCONT, &previousContinue_, nullptr);
    }

    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;

private:
    struct sigaction previousFatal_[std::size(kFatalSignals)]{};
    struct sigaction previousStop_ {};
    struct sigaction previousContinue_ {};
};

// One byte, waiting at most `timeoutMs` (-1: for ever). Empty when none came or the read failed.
std::optional<char> readByte(int terminal, int timeoutMs)
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
        char byte = 0;
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

KeyPress readOneKey(int terminal, TextEncoding encoding)
{
    const std::optional<char> first = readByte(terminal, -1);
    if (!first) {
        return KeyPress{};
    }
    std::string bytes(1, *first);
    if (*first == '\x1b') {
        while (!isWholeEscapeSequence(bytes)) {
            const std::optional<char> next = readByte(terminal, kRestOfKeyMilliseconds);
            if (!next) {
                break;
            }
            bytes += *next;
        }
        return keyFromEscapeSequence(bytes);
    }
    // The other bytes of a typed Chinese character belong to this key too, not to later reads.
    const int length = characterLength(static_cast<unsigned char>(*first), encoding);
    for (int i = 1; i < length; ++i) {
        if (!readByte(terminal, kRestOfKeyMilliseconds)) {
            break;
        }
    }
    return KeyPress{1, {static_cast<unsigned char>(*first), 0}};
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
        key = readOneKey(terminal, encoding);
    }
    close(terminal);
    return key;
}
