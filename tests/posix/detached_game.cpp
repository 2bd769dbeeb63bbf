// Children watched through /proc and wait4, as Linux and the BSDs allow.
#include "tests/posix/detached_game.h"

#include "tests/support/pty_session.h"

#include <array>
#include <cstdlib>
#include <poll.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// The game's path, after its emulator's command line in a cross build.
constexpr std::array kGameCommand{QZ_GAME_COMMAND, static_cast<const char*>(nullptr)};

// Whether `pid` waits (sleeps) or has ended.
bool waitsOrEnded(pid_t pid) { return std::string_view("SZX").find(processState(pid)) != std::string_view::npos; }

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
        execv(kGameCommand[0], const_cast<char* const*>(kGameCommand.data()));
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
    Ended ended;
    rusage usage{};
    if (!eventually([&] { return wait4(pid, &ended.status, WNOHANG, &usage) == pid; })) {
        return std::nullopt;
    }
    ended.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return ended;
}
