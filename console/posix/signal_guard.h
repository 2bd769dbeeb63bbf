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
// other job can hold the terminal (noOtherJobHolds). Forgets any stop or continue noted before:
// raw mode is about to be taken from these settings.
void holdSettings(const termios& settings);

// Nothing for the handlers to give back any more: the pause has done it, or never changed anything.
void releaseSettings();

// Puts back the handlers the game had before installSignalGuard.
void removeSignalGuard();

// Whether a stop or a continue came since the last call (or holdSettings): the terminal may
// have its own settings again, given back by a handler or set by the shell, so raw mode must be
// taken again. Asked once: the answer is then cleared.
bool stopOrContinueCame();
