// On POSIX the game reads standard input and writes standard output with read and write itself,
// byte for byte, rather than through the C++ library's own buffers over them. That lets it take
// the descriptors as a parent left them: one left non-blocking is waited for, as a blocking one
// would be, where the library would take "nothing yet" for the end of the input or for a failed
// write. And a read that fails (EIO, a directory, a descriptor open only for writing) is told
// from the end of the input.
#include "console/standard_io.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {

// Waits until `fd` is ready for `events` after a read or write found it not ready (EAGAIN).
// A descriptor that will never be ready (a hang-up, an error) shows as ready: the next read or
// write then says what it is.
void waitUntilReady(int fd, short events)
{
    pollfd ready{fd, events, 0};
    while (poll(&ready, 1, -1) < 0 && errno == EINTR) {
    }
}

bool wouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

}  // namespace

std::ptrdiff_t readStandardInput(char* into, std::size_t size)
{
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, into, size);
        if (got >= 0) {
            return got;
        }
        if (wouldBlock(errno)) {
            waitUntilReady(STDIN_FILENO, POLLIN);
        } else if (errno != EINTR) {
            return -1;
        }
    }
}

bool writeStandardOutput(const char* bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t sent = write(STDOUT_FILENO, bytes, size);
        if (sent > 0) {
            bytes += sent;
            size -= static_cast<std::size_t>(sent);
        } else if (sent < 0 && wouldBlock(errno)) {
            waitUntilReady(STDOUT_FILENO, POLLOUT);
        } else if (sent == 0 || errno != EINTR) {
            return false;
        }
    }
    return true;
}
