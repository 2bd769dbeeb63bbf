// pselect for one descriptor, its answer sorted into what the caller does next.
#include "console/posix/descriptor_wait.h"

#include <cerrno>
#include <sys/select.h>

Readiness waitForDescriptor(int fd, WaitFor purpose, int timeoutMs, const sigset_t* waitMask)
{
    const bool forWriting = purpose == WaitFor::Writing;
    if (fd < 0 || fd >= FD_SETSIZE) {
        return Readiness::Failed;
    }
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(fd, &ready);
    const timespec timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1'000'000L};
    const int found = pselect(fd + 1, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, nullptr,
                              timeoutMs < 0 ? nullptr : &timeout, waitMask);
    if (found > 0) {
        return Readiness::Ready;
    }
    if (found == 0) {
        return Readiness::TimedOut;
    }
    return errno == EINTR ? Readiness::Interrupted : Readiness::Failed;
}
