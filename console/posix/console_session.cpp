// On POSIX the terminal needs nothing for the whole run: raw mode lasts one key press and is
// handled where the key is read. The session only makes sure standard input, output and error are
// open: a file opened later, such as /dev/tty for the pause, would otherwise take a closed one's
// number and be read or written as if it were that stream. A failure's line goes straight to
// descriptor 2 with write, unbuffered; one left non-blocking and full is waited for, a while.
#include "console/console_session.h"

#include "console/posix/descriptor_wait.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long the failure's lines may wait, all together, for room on a full standard error. A reader
// that reads at all (a terminal, a logger, a parent reading as it goes) makes room well within it;
// one that reads only after the game has ended, or never, would otherwise hold the game and its
// exit status for ever. Standard output is waited for without end, since its reader is the player.
constexpr auto kPatienceForStandardError = std::chrono::seconds{2};

// Waits for room on standard error until `deadline`: false when none came, or the wait failed.
bool waitForRoom(Clock::time_point deadline)
{
    Readiness readiness = Readiness::Interrupted;
    while (readiness == Readiness::Interrupted) {
        // Past the deadline, the wait only looks.
        const milliseconds left = std::max(std::chrono::ceil<milliseconds>(deadline - Clock::now()), milliseconds{0});
        readiness = waitForDescriptor(STDERR_FILENO, WaitFor::Writing, static_cast<int>(left.count()), nullptr);
    }
    return readiness == Readiness::Ready;
}

}  // namespace

ConsoleSession::ConsoleSession()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // The ones below are open by now, so this is the lowest free number: open takes it.
            const int null = open("/dev/null", O_RDWR);
            if (null != fd && null != -1) {
                close(null);
            }
        }
    }
}

ConsoleSession::~ConsoleSession() = default;

void reportFailure(const char* line)
{
    // One deadline for all the lines of a game, from the first: a game that fails two ways waits once.
    static const Clock::time_point deadline = Clock::now() + kPatienceForStandardError;
    for (std::size_t left = std::strlen(line); left > 0;) {
        const ssize_t sent = write(STDERR_FILENO, line, left);
        if (sent > 0) {
            line += sent;
            left -= static_cast<std::size_t>(sent);
        } else if (sent == 0 || (errno == EAGAIN || errno == EWOULDBLOCK ? !waitForRoom(deadline) : errno != EINTR)) {
            return;
        }
    }
}
