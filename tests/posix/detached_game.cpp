// Children watched through /proc and wait4, as Linux and the BSDs allow.
#include "tests/posix/detached_game.h"

#include "tests/support/pty_session.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// The fields of /proc/<pid>/stat after the command name, which is in parentheses and may hold
// spaces: the state letter first. Empty once the process has been reaped.
std::string statAfterName(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    const std::string line((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t nameEnd = line.rfind(')');
    return nameEnd == std::string::npos ? std::string() : line.substr(nameEnd + 2);
}

// Whether `pid` waits (sleeps) or has ended.
bool waitsOrEnded(pid_t pid)
{
    const std::string fields = statAfterName(pid);
    return fields.empty() || fields[0] == 'S' || fields[0] == 'Z';
}

double seconds(const timeval& time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

}  // namespace

pid_t startDetachedGame(int input, int output)
{
    const pid_t child = fork();
    if (child == 0) {
        setsid();
        dup2(input, STDIN_FILENO);
        dup2(output, STDOUT_FILENO);
        setenv("LD_PRELOAD", QZ_PINNED_CLOCK_PATH, 1);
        setenv("QZ_PINNED_TIME", "0", 1);
        setenv("LC_ALL", "C.UTF-8", 1);
        execl(QZ_GAME_PATH, QZ_GAME_PATH, static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

std::optional<std::string> readToEnd(int fd, pid_t writer)
{
    const auto deadline = Clock::now() + kPatience;
    std::string all;
    while (Clock::now() < deadline) {
        if (writer > 0 && !waitsOrEnded(writer)) {
            std::this_thread::sleep_for(std::chrono::milliseconds{1});
            continue;
        }
        pollfd ready{fd, POLLIN, 0};
        char buffer[65536];
        if (poll(&ready, 1, 20) <= 0) {
            continue;
        }
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            return got == 0 ? std::optional<std::string>(all) : std::nullopt;
        }
        all.append(buffer, static_cast<std::size_t>(got));
    }
    return std::nullopt;
}

std::optional<Ended> reapWithUsage(pid_t pid)
{
    const auto deadline = Clock::now() + kPatience;
    for (;;) {
        Ended ended;
        rusage usage{};
        if (wait4(pid, &ended.status, WNOHANG, &usage) == pid) {
            ended.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
            return ended;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds{5});
    }
}
