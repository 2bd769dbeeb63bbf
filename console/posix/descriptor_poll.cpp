// ppoll sets the signal mask for the wait alone, as pselect does, for any descriptor number. It
// is POSIX.1-2024's, and glibc declares it only with _GNU_SOURCE, so this file is compiled with
// the system's full headers even in a strictly POSIX build. CMake says whether the system has it
// (QZ_HAVE_PPOLL): macOS has not, and its poll cannot wait for a terminal anyway.
#include "console/posix/descriptor_poll.h"

#include <cerrno>
#include <poll.h>

// The parameters go unused without ppoll.
int pollOne([[maybe_unused]] int fd, [[maybe_unused]] bool forWriting, [[maybe_unused]] const timespec* timeout,
            [[maybe_unused]] const sigset_t* waitMask)
{
#if QZ_HAVE_PPOLL
    pollfd one{fd, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
    return ppoll(&one, 1, timeout, waitMask);
#else
    errno = EINVAL;
    return -1;
#endif
}
