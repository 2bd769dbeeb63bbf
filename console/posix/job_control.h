// Job control as the pause meets it: the signals that stop a background job touching its
// terminal, the wait for the foreground that lets them, and the calls that touch the terminal.
#pragma once

#include <signal.h>
#include <sys/types.h>
#include <termios.h>

// `set` without the two signals that stop a background job touching its terminal, and without
// SIGCONT. The two are never blocked while the pause touches the terminal: blocked, the kernel
// would let the change through. SIGCONT, handed down blocked, would keep the pause from hearing
// of a continue after a stop it could not see (SIGSTOP), and from taking raw mode again.
sigset_t withoutJobControl(sigset_t set);

// Who holds the terminal, as the process group IDs tell: the game's process group, another job,
// nobody (the terminal's session is gone: its leader has left), or unseen: the foreground group
// reads 0, as it does while a leaving session is taken apart and, in a PID namespace that the
// foreground group lies outside (a sandbox started without a session of its own), all the time.
// Safe in a signal handler.
enum class Holder {
    Game,
    OtherJob,
    Nobody,
    Unseen,
};
Holder terminalHolder(int terminal);

// Waits until the game's process group is the terminal's foreground group. In the background a
// tcdrain, which changes nothing, has the kernel stop the game (SIGTTOU) until the shell brings it
// to the foreground; sent on in the background instead, it is stopped again. Where the groups are
// unseen, the kernel's letting that tcdrain through is what says the game is in the foreground.
// `waitMask` lets signals through meanwhile, so that a stopped game can still be ended. False when
// the game is in the background and job control cannot stop it (SIGTTOU ignored, or a process
// group that no shell could resume, for which the kernel answers EIO), and when the terminal is
// gone or its session is.
bool waitForForeground(int terminal, const sigset_t& waitMask);

// Sets the terminal at once (TCSANOW), or reads one byte of it, with SIGTTIN and SIGTTOU let
// through for the call alone, whatever else is blocked: from the background, job control stops
// the game. A stop's handler that interrupts the change has it made again once continued.
bool setTerminal(int terminal, const termios& settings);
ssize_t readTerminal(int terminal, unsigned char& byte);
