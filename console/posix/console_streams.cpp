// On POSIX the game reads standard input and writes standard output with read and write itself,
// byte for byte, rather than through the C++ library's own buffers over them. That lets it take
// the descriptors as a parent left them: one left non-blocking is waited for, as a blocking one
// would be, where the library would take "nothing yet" for the end of the input or for a failed
// write. And it tells a read that failed (EIO, a directory, a descriptor open only for writing)
// from the end of the input: the failure sets the input stream's badbit, the end only its eofbit.
#include "console/console_streams.h"

#include <cerrno>
#include <ios>
#include <istream>
#include <ostream>
#include <poll.h>
#include <streambuf>
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

// One read of up to `size` bytes: the count, 0 at the end of the input, -1 when the read failed.
ssize_t readSome(int fd, char* into, std::size_t size)
{
    for (;;) {
        const ssize_t got = read(fd, into, size);
        if (got >= 0) {
            return got;
        }
        if (wouldBlock(errno)) {
            waitUntilReady(fd, POLLIN);
        } else if (errno != EINTR) {
            return -1;
        }
    }
}

// Writes all `size` bytes; false when a write failed (a full disk, a reader gone).
bool writeAll(int fd, const char* bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t sent = write(fd, bytes, size);
        if (sent > 0) {
            bytes += sent;
            size -= static_cast<std::size_t>(sent);
        } else if (sent < 0 && wouldBlock(errno)) {
            waitUntilReady(fd, POLLOUT);
        } else if (sent == 0 || errno != EINTR) {
            return false;
        }
    }
    return true;
}

// A stream buffer over one descriptor: reads refill it, and a flush or a full buffer empties it.
// A failed read sets badbit on `stream`: the stream then fails as at the end of the input, and
// its state tells the two apart.
class DescriptorBuffer : public std::streambuf {
public:
    DescriptorBuffer(int fd, std::ios& stream) : fd_(fd), stream_(stream) { setp(buffer_, buffer_ + sizeof buffer_); }

protected:
    int_type underflow() override
    {
        const ssize_t got = readSome(fd_, buffer_, sizeof buffer_);
        if (got <= 0) {
            if (got < 0) {
                stream_.setstate(std::ios::badbit);
            }
            return traits_type::eof();
        }
        setg(buffer_, buffer_, buffer_ + got);
        return traits_type::to_int_type(buffer_[0]);
    }

    int_type overflow(int_type c) override
    {
        if (sync() != 0) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override
    {
        const bool written = writeAll(fd_, pbase(), static_cast<std::size_t>(pptr() - pbase()));
        setp(buffer_, buffer_ + sizeof buffer_);  // what could not be written is dropped
        return written ? 0 : -1;
    }

private:
    int fd_;
    std::ios& stream_;
    char buffer_[65536];
};

// A standard stream and the buffer over its descriptor, which reports to it.
struct StandardStream {
    explicit StandardStream(int fd) : buffer(fd, stream) { stream.rdbuf(&buffer); }

    std::iostream stream{nullptr};
    DescriptorBuffer buffer;
};

}  // namespace

std::ostream& consoleOutput()
{
    static StandardStream output(STDOUT_FILENO);
    return output.stream;
}

std::istream& consoleInput()
{
    static StandardStream input(STDIN_FILENO);
    input.stream.tie(&consoleOutput());
    return input.stream;
}
