// What this system does with each signal by default, and how many there are: facts of the
// platform, which CMake finds (cmake/posix_signals.cmake) so that no logic needs an #ifdef.
#pragma once

// Whether the default action of `signal` is to ignore it: SIGCHLD, SIGURG and SIGWINCH
// everywhere, SIGINFO (Ctrl-T) on the BSDs and macOS, SIGIO there but not on Linux, and so on.
bool isIgnoredByDefault(int signal);

// The highest signal number, real-time signals included where the system has them.
int highestSignal();
