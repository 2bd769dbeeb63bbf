// The pause's keystroke on POSIX: one key read from the controlling terminal (/dev/tty) in
// non-canonical mode without echo, never through standard input, so typed-ahead answers stay
// where they are. Raw mode lasts one key press, and only the foreground job changes the terminal:
// a pause in the background lets job control stop the game (SIGTTOU), as it stops any job that
// touches its terminal from there, and takes raw mode once the shell brings the game back. The
// terminal gets its own settings back on every way out: the end of the read here, and Ctrl-Z and
// every signal whose default action ends the process in the signal guard's handlers.
// A terminal that hangs up, or whose read ends or fails, is gone: that pause ends at once, and the
// game goes on as one without a terminal, with no pause that waits.
#include "console/key_press.h"
#include "console/posix/descriptor_wait.h"
#include "console/posix/job_control.h"
#include "console/posix/signal_guard.h"
#include "console/terminal_keys.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A byte read after the end of one key begins the next.
TerminalKeys gKeys;

// The terminal's own settings, less what raw mode takes away. ISIG stays: Ctrl-C still
// interrupts, Ctrl-Z still stops. Without IEXTEN Ctrl-V and Ctrl-O are keys, and without IXON so
// are Ctrl-S and Ctrl-Q, not flow control.
termios rawFrom(termios settings)
{
    settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    return settings;
}

bool sameSettings(const termios& one, const termios& other)
{
    return one.c_iflag == other.c_iflag && one.c_oflag == other.c_oflag && one.c_cflag == other.c_cflag &&
           one.c_lflag == other.c_lflag && std::equal(one.c_cc, one.c_cc + NCCS, other.c_cc) &&
           cfgetispeed(&one) == cfgetispeed(&other) && cfgetospeed(&one) == cfgetospeed(&other);
}

// Sets raw mode and reads it back: tcsetattr succeeds when any one change took, and only the
// whole of raw mode will do.
bool takeRawMode(int terminal, const termios& raw)
{
    termios now{};
    return setTerminal(terminal, raw) && tcgetattr(terminal, &now) == 0 &&
           (now.c_lflag & (ICANON | ECHO | IEXTEN)) == 0 && (now.c_iflag & IXON) == 0 && now.c_cc[VMIN] == 1 &&
           now.c_cc[VTIME] == 0;
}

// Raw mode for one key press: set up by the constructor, undone by the destructor. Every signal
// stays blocked for its whole life, except while the pause waits and, for SIGTTIN and SIGTTOU,
// while it touches the terminal, so no handler runs between a check of what the handlers did and
// the wait after it.
class RawMode {
public:
    explicit RawMode(int terminal) : terminal_(terminal)
    {
        sigset_t all;
        sigfillset(&all);
        sigprocmask(SIG_SETMASK, &all, &previous_);
        waitMask_ = withoutJobControl(previous_);
        installSignalGuard(terminal);
        taken_ = takeRawModeInForeground();
    }

    ~RawMode()
    {
        // TCSANOW rather than TCSAFLUSH: keys typed ahead for the next answer must survive. Once
        // the session is gone, no job can take the terminal from the game: back they go too.
        if (held_ && (mayGiveBack() || waitForForeground(terminal_, waitMask_))) {
            setTerminal(terminal_, original_);
        }
        releaseSettings();
        removeSignalGuard();
        sigprocmask(SIG_SETMASK, &previous_, nullptr);
    }

    RawMode(const RawMode&) = delete;
    RawMode& operator=(const RawMode&) = delete;

    // False when the terminal would not take raw mode (a read now would wait for a whole line,
    // echoed), or when the game is in the background and job control cannot stop it.
    bool taken() const { return taken_; }

    // Waits for one byte, at most `timeoutMs` (-1: for ever), with signals let through. After a
    // stop or a continue it takes raw mode again first, in the foreground. Empty when no byte
    // came in time, raw mode could not be taken again, or the terminal is gone (gone() says so).
    std::optional<unsigned char> readByte(int timeoutMs)
    {
        for (;;) {
            if (stopOrContinueCame() && !takeRawModeInForeground()) {
                return std::nullopt;
            }
            const Readiness readiness = waitForDescriptor(terminal_, WaitFor::Reading, timeoutMs, &waitMask_);
            if (readiness == Readiness::Interrupted) {
                continue;
            }
            gone_ = readiness == Readiness::Failed;
            if (readiness != Readiness::Ready) {
                return std::nullopt;
            }
            unsigned char byte = 0;
            const ssize_t got = readTerminal(terminal_, byte);
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
    // Takes raw mode in the foreground, and again for as long as a stop or a continue comes
    // meanwhile: its handler, or the shell, may have set the terminal back.
    bool takeRawModeInForeground()
    {
        bool raw = false;
        do {
            raw = waitForForeground(terminal_, waitMask_) && holdTerminalsOwnSettings() && takeRawMode(terminal_, raw_);
        } while (stopOrContinueCame());
        return raw;
    }

    // Reads the terminal's own settings, in the foreground: at the pause's start, and afresh after
    // a stop, since the player may have changed them meanwhile (stty) and must find them so after
    // the pause. A terminal still in the pause's raw mode (a continue alone) keeps those held.
    bool holdTerminalsOwnSettings()
    {
        foregroundSeen();
        termios now{};
        if (tcgetattr(terminal_, &now) != 0) {
            return false;
        }
        if (!held_ || !sameSettings(now, raw_)) {
            original_ = now;
            raw_ = rawFrom(now);
            holdSettings(now);
            held_ = true;
        }
        return true;
    }

    int terminal_;
    termios original_{};
    termios raw_{};
    sigset_t previous_{};
    sigset_t waitMask_{};  // the mask the game had before the pause, less SIGTTIN, SIGTTOU and SIGCONT
    bool held_ = false;    // original_ is to be given back
    bool taken_ = false;
    bool gone_ = false;
};

// The controlling terminal, looked for at the first pause and kept open: -1 when there is none, or
// once it is gone. Non-blocking, so that the pause waits in pselect or ppoll, with signals let
// through, and never in read with them blocked.
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
