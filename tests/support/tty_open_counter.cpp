// Preloaded into the real game by the end-to-end test that counts how often it looks for its
// terminal: every open of /dev/tty writes one byte to the descriptor named in QZ_TTY_OPENS_FD,
// then goes on as the C library's own open. Not part of the game itself.
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

extern "C" int open(const char* path, int flags, ...)
{
    const char* counts = std::getenv("QZ_TTY_OPENS_FD");
    if (counts != nullptr && std::strcmp(path, "/dev/tty") == 0 && write(std::atoi(counts), "o", 1) != 1) {
        std::abort();
    }
    va_list rest;
    va_start(rest, flags);
    const int mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(rest, int) : 0;  // only when creating
    va_end(rest);
    using Open = int (*)(const char*, int, ...);
    return reinterpret_cast<Open>(dlsym(RTLD_NEXT, "open"))(path, flags, mode);
}
