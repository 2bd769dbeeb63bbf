// Job control for the pause: the signals that stop a background job touching its terminal, and
// the wait for the foreground that lets them.
#pragma once

#include <signal.h>

// `set` without the two signals that stop a background job touching its terminal. They are
// never blocked while the pause touches it: blocked, the kernel would let the change through.
sigset_t withoutJobControl(sigset_t set);

// Waits until the game's process group is the terminal's foreground group. In the background a
// tcdrain, which changes nothing, has the kernel stop the game (SIGTTOU) until the shell brings it
// to the foreground; sent on in the background instead, it is stopped again. `waitMask` lets
// signals through meanwhile, so that a stopped game can still be ended. False when the game is in
// the background and job control cannot stop it (SIGTTOU ignored, or a process group that no shell
// could resume, for which the kernel answers EIO), and when the terminal is gone.
bool waitForForeground(int terminal, const sigset_t& waitMask);
