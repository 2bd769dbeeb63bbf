// pselect or ppoll for one descriptor, its answer sorted into what the caller does next.
#include "console/posix/descriptor_wait.h"

#include "console/posix/descriptor_poll.h"

#include <cerrno>
#include <sys/select.h>

namespace {

int selectOne(int fd, bool forWriting, const timespec* timeout, const sigset_t* waitMask)
{
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(fd, &ready);
    return pselect(fd + 1, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, nullptr, timeout, waitMask);
}

}  // namespace

Readiness waitForDescriptor(int fd, WaitFor purpose, int timeoutMs, const sigset_t* waitMask)
{
    if (fd < 0) {
        return Readiness::Failed;
    }
    const timespec timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1'000'000L};
    const timespec* limit = timeoutMs < 0 ? nullptr : &timeout;
    const bool forWriting = purpose == WaitFor::Writing;
    const int found =
        fd < FD_SETSIZE ? selectOne(fd, forWriting, limit, waitMask) : pollOne(fd, forWriting, limit, waitMask);
    if (found > 0) {
        return Readiness::Ready;
    }
    if (found == 0) {
        return Readiness::TimedOut;
    }
    return errno == EINTR ? Readiness::Interrupted : Readiness::Failed;
}
