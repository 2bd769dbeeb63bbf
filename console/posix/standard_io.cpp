// On POSIX the game reads standard input and writes standard output with read and write itself,
// byte for byte, rather than through the C++ library's own buffers over them. That lets it take
// the descriptors as a parent left them: one left non-blocking is waited for, as a blocking one
// would be, where the library would take "nothing yet" for the end of the input or for a failed
// write. And a read that fails (EIO, a directory, a descriptor open only for writing) is told
// from the end of the input.
#include "console/standard_io.h"

#include "console/posix/descriptor_wait.h"

#include <cerrno>
#include <unistd.h>

namespace {

// Waits until `fd` is ready after a read or write found it not ready (EAGAIN). A descriptor that
// will never be ready (a hang-up, an error) shows as ready: the next read or write then says what
// it is. False when the wait itself failed, so that nothing waits on for ever.
bool waitUntilReady(int fd, WaitFor purpose)
{
    Readiness readiness = Readiness::Interrupted;
    while (readiness == Readiness::Interrupted) {
        readiness = waitForDescriptor(fd, purpose, -1, nullptr);
    }
    return readiness == Readiness::Ready;
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
        if (wouldBlock(errno) ? !waitUntilReady(STDIN_FILENO, WaitFor::Reading) : errno != EINTR) {
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
        } else if (sent == 0 ||
                   (wouldBlock(errno) ? !waitUntilReady(STDOUT_FILENO, WaitFor::Writing) : errno != EINTR)) {
            return false;
        }
    }
    return true;
}
