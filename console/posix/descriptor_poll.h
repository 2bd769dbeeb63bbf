// The wait for a descriptor numbered beyond what select can take, as a launcher that leaks its
// descriptors leaves the game's own: FD_SETSIZE and above.
#pragma once

#include <ctime>
#include <signal.h>

// ppoll for one descriptor, to read it or, `forWriting`, to write it, as pselect for it would be:
// the number of descriptors ready, 0 when `timeout` (nullptr: none) ran out first, -1 with errno
// set when the wait failed or was interrupted. Where the system has no ppoll, -1 with EINVAL, as
// select says of such a number.
int pollOne(int fd, bool forWriting, const timespec* timeout, const sigset_t* waitMask);
