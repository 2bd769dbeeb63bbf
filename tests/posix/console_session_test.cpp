// The session's care for standard input, output and error on POSIX: a closed one is opened on
// /dev/null, so a file opened later cannot take its number; an open one is left as it is.
// Each case runs in a child process, whose streams it may close freely.
#include "console/console_session.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <initializer_list>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool isDevNull(int fd)
{
    struct stat opened {};
    struct stat null {};
    return fstat(fd, &opened) == 0 && stat("/dev/null", &null) == 0 && S_ISCHR(opened.st_mode) &&
           opened.st_rdev == null.st_rdev;
}

// Closes `closed` in a child, starts a session there and checks the three numbers. The child's
// exit status: 0 when all is well, 10 + n when stream n is not /dev/null, 30 + n when it is not
// open for both reading and writing, 20 when a file opened afterwards took one of the three numbers.
int sessionInChild(std::initializer_list<int> closed)
{
    const pid_t child = fork();
    if (child == 0) {
        for (const int fd : closed) {
            close(fd);
        }
        const ConsoleSession session;
        for (const int fd : closed) {
            if (!isDevNull(fd)) {
                _exit(10 + fd);
            }
            if ((fcntl(fd, F_GETFL) & O_ACCMODE) != O_RDWR) {
                _exit(30 + fd);  // the game would fail to write to it, or to read from it
            }
        }
        if (open("/dev/null", O_RDONLY) <= STDERR_FILENO) {
            _exit(20);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(ConsoleSession, OpensClosedStandardStreamsOnDevNull)
{
    const std::initializer_list<int> cases[] = {{0}, {1}, {2}, {0, 2}, {1, 2}, {0, 1, 2}};
    for (const auto& closed : cases) {
        std::string names;
        for (const int fd : closed) {
            names += std::to_string(fd) + " ";
        }
        EXPECT_EQ(sessionInChild(closed), 0) << "closed: " << names;
    }
}

TEST(ConsoleSession, LeavesOpenStandardStreamsAlone)
{
    int pipeEnds[2] = {-1, -1};
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[0], STDIN_FILENO);
        struct stat before {};
        fstat(STDIN_FILENO, &before);
        const ConsoleSession session;
        struct stat after {};
        _exit(fstat(STDIN_FILENO, &after) == 0 && after.st_ino == before.st_ino && !isDevNull(STDIN_FILENO) ? 0 : 1);
    }
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
