// The real game as a plain child process with no terminal at all, its standard input and output
// the descriptors a test gives it, and what a test needs to watch any child it started: its output
// to the end, and its status with the CPU time it used. Every wait is bounded by kPatience.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

// Starts the game with the clock pinned to 0, in a session of its own without a terminal, reading
// `input` and writing `output`; -1 when it could not be started.
pid_t startDetachedGame(int input, int output);

// Reads `fd` to its end. With `writer`, only while that process waits (for the reader, since it has
// all its input), so that each of its writes finds the descriptor full. Empty after kPatience.
std::optional<std::string> readToEnd(int fd, pid_t writer = -1);

struct Ended {
    int status = 0;
    double cpuSeconds = 0;  // the whole run's, user and system
};

// Reaps `pid`, our child; empty when it has not ended within kPatience.
std::optional<Ended> reapWithUsage(pid_t pid);
