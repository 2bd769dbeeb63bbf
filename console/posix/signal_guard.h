// The pause's signal guard: while a pause holds the terminal in raw mode, a signal that ends or
// stops the game gives the terminal its own settings back first, and a stop or a continue is
// noted, so that the pause takes raw mode again. It owns everything its handlers touch; each call
// is made with every signal that it handles blocked.
#pragma once

#include <termios.h>

// Installs the handlers for `terminal`: one for every signal whose default action ends the process
// and that the C library lets a program catch, one for the three that stop it (SIGTSTP, SIGTTIN,
// SIGTTOU) and one for SIGCONT. A signal the game was started with ignored stays ignored.
void installSignalGuard(int terminal);

// Holds `settings`, the terminal's own, for the handlers to give back, which they do only while no
// other job can hold the terminal (mayGiveBack). Forgets any stop or continue noted before: raw
// mode is about to be taken from these settings, read after them.
void holdSettings(const termios& settings);

// The game has seen itself in the terminal's foreground, and stays there until a stop or a
// continue: what mayGiveBack goes by where the process groups are unseen.
void foregroundSeen();

// Whether the terminal may be given its settings back now: the game's group holds it, or nobody
// does, or the groups are unseen and the game was last seen in the foreground. From the
// background the handlers must not, since they run with SIGTTOU blocked, which the kernel takes
// as leave to change the terminal under another job.
bool mayGiveBack();

// Nothing for the handlers to give back any more: the pause has done it, or never changed anything.
void releaseSettings();

// Puts back the handlers the game had before installSignalGuard.
void removeSignalGuard();

// Whether a stop or a continue came since the last call (or holdSettings): the terminal may
// have its own settings again, given back by a handler or set by the shell, so raw mode must be
// taken again. Asked once: the answer is then cleared.
bool stopOrContinueCame();
