// On POSIX the terminal needs nothing for the whole run: raw mode lasts one key press and is
// handled where the key is read. The session only makes sure standard input, output and error are
// open: a file opened later, such as /dev/tty for the pause, would otherwise take a closed one's
// number and be read or written as if it were that stream. A failure's line goes straight to
// descriptor 2 with write, unbuffered.
#include "console/console_session.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

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
    for (std::size_t left = std::strlen(line); left > 0;) {
        const ssize_t sent = write(STDERR_FILENO, line, left);
        if (sent <= 0 && !(sent < 0 && errno == EINTR)) {
            return;
        }
        if (sent > 0) {
            line += sent;
            left -= static_cast<std::size_t>(sent);
        }
    }
}
