// Preloaded into the real game by the end-to-end tests that count how often it looks for its
// terminal: every open of /dev/tty writes one byte to the descriptor named in QZ_TTY_OPENS_FD,
// then goes on as the C library's own open. Not part of the game itself.
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

using OpenFunction = int (*)(const char*, int, ...);

int openAndCount(const char* name, const char* path, int flags, va_list rest)
{
    const char* fd = std::getenv("QZ_TTY_OPENS_FD");
    if (fd != nullptr && std::strcmp(path, "/dev/tty") == 0) {
        const ssize_t written = write(std::atoi(fd), "o", 1);
        (void)written;
    }
    // The mode is there only when the call creates a file.
    const int mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(rest, int) : 0;
    const auto next = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, name));
    return next(path, flags, mode);
}

}  // namespace

extern "C" int open(const char* path, int flags, ...)
{
    va_list rest;
    va_start(rest, flags);
    const int fd = openAndCount("open", path, flags, rest);
    va_end(rest);
    return fd;
}

extern "C" int open64(const char* path, int flags, ...)
{
    va_list rest;
    va_start(rest, flags);
    const int fd = openAndCount("open64", path, flags, rest);
    va_end(rest);
    return fd;
}
