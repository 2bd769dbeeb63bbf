// The session's care for standard input, output and error on POSIX: a closed one is opened on
// /dev/null, so a file opened later cannot take its number; an open one is left as it is. And a
// failure's lines, on a standard error left non-blocking and full.
// Each case runs in a child process, whose streams it may close freely.
#include "console/console_session.h"
#include "tests/posix/detached_game.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
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

// A reader that comes a moment late still gets a failure's lines; with none, the lines of a game
// wait a while once in all, never for ever.
TEST(ConsoleSession, FailureLinesWaitAWhileInAllForRoomOnAFullStandardError)
{
    for (const bool readerComes : {true, false}) {
        SCOPED_TRACE(readerComes ? "a reader a moment late" : "no reader");
        int ends[2] = {-1, -1};
        ASSERT_EQ(pipe(ends), 0);
        ASSERT_EQ(fcntl(ends[1], F_SETFL, O_NONBLOCK), 0);
        while (write(ends[1], "x", 1) == 1) {
        }
        const pid_t child = fork();
        if (child == 0) {
            dup2(ends[1], STDERR_FILENO);
            reportFailure("first\n");
            reportFailure("second\n");
            _exit(0);
        }
        close(ends[1]);
        std::optional<std::string> transcript;
        if (readerComes) {
            // The lateness is the case itself: far less than a reader that reads at all may take.
            std::this_thread::sleep_for(std::chrono::milliseconds{100});
            transcript = readToEnd(ends[0]);
        }
        const std::optional<Ended> ended = reapWithUsage(child);
        if (!ended) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        EXPECT_TRUE(ended) << "the second line waited for ever";
        EXPECT_TRUE(!readerComes || (transcript && transcript->ends_with("xfirst\nsecond\n")))
            << transcript.value_or("").size() << " bytes";
        close(ends[0]);
    }
}
