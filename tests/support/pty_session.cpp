// Starting the real game on a pseudo-terminal and watching it from the terminal's other end.
// QZ_GAME_COMMAND and QZ_PINNED_CLOCK_PATH come from the build.
#include "tests/support/pty_session.h"

#include <pty.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sched.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The ends of the pipes the game takes as standard input and output, -1 to keep the terminal.
struct GamePipes {
    int answers = -1;
    int output = -1;
};

// The game's path, after its emulator's command line in a cross build.
constexpr std::array kGameCommand{QZ_GAME_COMMAND, static_cast<const char*>(nullptr)};

// Takes every descriptor below FD_SETSIZE that would be free once the game starts, and makes room
// above it (the hard limit allowing).
void leakDescriptors()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < FD_SETSIZE + 64 &&
        limit.rlim_max >= FD_SETSIZE + 64) {
        limit.rlim_cur = FD_SETSIZE + 64;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    const int null = open("/dev/null", O_RDONLY);
    for (int fd = 0; fd < FD_SETSIZE; ++fd) {
        const int flags = fcntl(fd, F_GETFD);
        if (flags == -1 || (flags & FD_CLOEXEC) != 0) {
            dup2(null, fd);
        }
    }
}

[[noreturn]] void execGame(const GameSetup& setup, GamePipes pipes)
{
    if (pipes.answers >= 0) {
        dup2(pipes.answers, STDIN_FILENO);
    }
    if (pipes.output >= 0) {
        dup2(pipes.output, STDOUT_FILENO);
    }
    for (const int ignored : setup.ignoredSignals) {
        signal(ignored, SIG_IGN);
    }
    sigset_t blocked;
    sigemptyset(&blocked);
    for (const int signal : setup.blockedSignals) {
        sigaddset(&blocked, signal);
    }
    sigprocmask(SIG_BLOCK, &blocked, nullptr);
    setenv("LD_PRELOAD", QZ_PINNED_CLOCK_PATH, 1);
    setenv("QZ_PINNED_TIME", "0", 1);
    setenv("LC_ALL", "C.UTF-8", 1);  // the game's texts in UTF-8, as the tests spell them
    if (setup.descriptorsLeaked) {
        leakDescriptors();
    }
    execv(kGameCommand[0], const_cast<char* const*>(kGameCommand.data()));
    _exit(127);
}

// Job control asked of the small shell, one byte each.
constexpr char kTakeTerminal = 't';
constexpr char kForeground = 'f';
constexpr char kBackground = 'b';

void obey(char command, pid_t game)
{
    if (command == kTakeTerminal || command == kForeground) {
        tcsetpgrp(STDIN_FILENO, command == kForeground ? game : getpgrp());
    }
    if (command == kForeground || command == kBackground) {
        kill(-game, SIGCONT);
    }
}

// The job of Launch::InPidNamespace, or the session leader of InContainer: starts the game as the
// first process of a new PID namespace, reports its pid (`reports`, unless -1), and ends as it ends. As a sandbox's
// launcher does, it leaves the signals that end a process to the game; a stop stops it with the game, as the job it is.
[[noreturn]] void runSandbox(int reports, const GameSetup& setup, GamePipes pipes)
{
    const pid_t game = unshare(CLONE_NEWPID) == 0 ? fork() : -1;
    if (game == 0) {
        if (setup.launch == Launch::InContainer && (setsid() < 0 || ioctl(STDIN_FILENO, TIOCSCTTY, 1) != 0)) {
            _exit(125);
        }
        execGame(setup, pipes);
    }
    for (const int ending : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
        signal(ending, SIG_IGN);
    }
    int status = 0;
    if (game < 0 || (reports >= 0 && write(reports, &game, sizeof game) != sizeof game) ||
        waitpid(game, &status, 0) != game) {
        _exit(126);
    }
    if (WIFSIGNALED(status)) {
        signal(WTERMSIG(status), SIG_DFL);
        raise(WTERMSIG(status));
    }
    _exit(WEXITSTATUS(status));
}

// The game of Launch::InContainer, which takes the terminal (TIOCSCTTY) for the session it leads.
// Its pid, as the tests' namespace numbers it, is the one child of `launcher`; -1 after kPatience.
pid_t containedGame(pid_t launcher)
{
    const std::string children =
        "/proc/" + std::to_string(launcher) + "/task/" + std::to_string(launcher) + "/children";
    pid_t game = -1;
    const auto started = [&] { return static_cast<bool>(std::ifstream(children) >> game); };
    return eventually(started) ? game : -1;
}

// The small shell of Launch::AsJob and InBackground. It reports the game's pid, then its wait
// status, on `reports`, and meanwhile does what it is asked on `commands`, answering each.
[[noreturn]] void runShell(int reports, int commands, const GameSetup& setup, GamePipes pipes)
{
    signal(SIGTTOU, SIG_IGN);  // a shell sets its terminal from the background too
    const pid_t game = fork();
    if (game == 0) {
        // The job takes the terminal before it runs, as a shell's child does in the foreground.
        setpgid(0, 0);
        if (setup.launch != Launch::InBackground) {
            tcsetpgrp(STDIN_FILENO, getpid());
        }
        signal(SIGTTOU, SIG_DFL);
        if (setup.launch == Launch::InPidNamespace) {
            runSandbox(reports, setup, pipes);
        }
        execGame(setup, pipes);
    }
    setpgid(game, game);
    if (setup.launch != Launch::InPidNamespace && write(reports, &game, sizeof game) != sizeof game) {
        _exit(126);
    }
    int status = 0;
    while (waitpid(game, &status, WNOHANG) != game) {
        pollfd asked{commands, POLLIN, 0};
        char command = 0;
        if (poll(&asked, 1, 5) > 0 && read(commands, &command, 1) == 1) {
            obey(command, game);
            if (write(commands, &command, 1) != 1) {
                _exit(126);
            }
        }
    }
    _exit(write(reports, &status, sizeof status) == sizeof status ? 0 : 126);
}

// In the child of forkpty, the session's leader: forks the rest of the session and waits for it,
// unless it is killed first (sessionLeaderLeaves). Returns in the child.
void leadUntilAsked()
{
    const pid_t rest = fork();
    if (rest != 0) {
        waitpid(rest, nullptr, 0);
        _exit(0);
    }
}

// Reads exactly `size` bytes from `fd` within `patience`.
bool readReport(int fd, void* into, std::size_t size, std::chrono::milliseconds patience)
{
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(patience.count())) <= 0) {
        return false;
    }
    return read(fd, into, size) == static_cast<ssize_t>(size);
}

// Adds to `output` what the game writes within `wait`.
void readFor(PtySession& session, std::chrono::milliseconds wait)
{
    pollfd ready{session.master, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(wait.count())) <= 0) {
        return;
    }
    char buffer[4096];
    const ssize_t got = read(session.master, buffer, sizeof buffer);
    if (got > 0) {
        session.output.append(buffer, static_cast<std::size_t>(got));
    } else {
        std::this_thread::sleep_for(wait);  // the game's side is closed: nothing will come
    }
}

// Reaps `pid` (our child) within the time left before `deadline`.
std::optional<int> reap(pid_t pid, Clock::time_point deadline)
{
    int status = 0;
    const auto reaped = [&] { return waitpid(pid, &status, WNOHANG) == pid; };
    return eventually(reaped, sleepBriefly, deadline) ? std::optional{status} : std::nullopt;
}

// The game may have ended before its answers come (a hang-up kills it): they then go nowhere, and
// the broken pipe must fail the write alone, not end the test by SIGPIPE.
void writeAll(int fd, std::string_view bytes)
{
    sigset_t brokenPipe;
    sigset_t before;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &brokenPipe, &before);
    while (!bytes.empty()) {
        const ssize_t sent = write(fd, bytes.data(), bytes.size());
        if (sent <= 0) {
            break;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    const timespec now{0, 0};
    while (sigtimedwait(&brokenPipe, nullptr, &now) == SIGPIPE) {
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

// The fields of /proc/PID/stat after its command's name, which may hold spaces: the
// state first. Empty once the game has been reaped.
std::vector<std::string> statFields(pid_t process)
{
    std::ifstream stat("/proc/" + std::to_string(process) + "/stat");
    const std::string line((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(line.substr(std::min(line.rfind(')') + 1, line.size())));
    return {std::istream_iterator<std::string>(fields), std::istream_iterator<std::string>()};
}

bool waitForState(pid_t process, std::string_view states)
{
    return eventually([&] { return states.find(processState(process)) != std::string_view::npos; });
}

bool askShell(PtySession& session, char command)
{
    char done = 0;
    return write(session.commands, &command, 1) == 1 && readReport(session.commands, &done, 1, kPatience) &&
           done == command;
}

}  // namespace

PtySession::~PtySession()
{
    if (game > 0) {
        kill(game, SIGKILL);
    }
    // The shell reaps the game and ends by itself; only a shell that does not is killed too.
    if (leader > 0 && !reap(leader, Clock::now() + kPatience)) {
        kill(leader, SIGKILL);
        waitpid(leader, nullptr, 0);
    }
    for (const int fd : {reports, commands, answers, reader}) {
        if (fd >= 0) {
            close(fd);
        }
    }
    if (master >= 0) {
        close(master);
    }
}

termios startingSettings()
{
    int master = -1;
    int slave = -1;
    termios settings{};
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) == 0) {
        tcgetattr(slave, &settings);
        close(slave);
        close(master);
    }
    settings.c_cc[VTIME] = 7;
    return settings;
}

bool spawnGame(PtySession& session, const GameSetup& setup, const termios& settings)
{
    const bool shell = setup.launch != Launch::Alone && setup.launch != Launch::InContainer;
    int reports[2] = {-1, -1};
    int commands[2] = {-1, -1};
    int input[2] = {-1, -1};
    int output[2] = {-1, -1};
    if ((shell &&
         (pipe2(reports, O_CLOEXEC) != 0 || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, commands) != 0)) ||
        (setup.answers == Answers::ThroughPipe && pipe2(input, O_CLOEXEC) != 0) ||
        (setup.outputToPipe && pipe2(output, O_CLOEXEC) != 0)) {
        session.output = "no pipe";
        return false;
    }
    termios initial = settings;
    winsize size{24, 80, 0, 0};
    const pid_t child = forkpty(&session.master, nullptr, &initial, &size);
    if (child < 0) {
        session.output = "no pseudo-terminal";
        return false;
    }
    if (child == 0) {
        if (setup.launch == Launch::UnderLeader) {
            leadUntilAsked();
        }
        for (const int ours : {input[1], output[0]}) {
            if (ours >= 0) {
                close(ours);  // or the game's input would never end, nor its output fail, while the shell lives
            }
        }
        const GamePipes pipes{input[0], output[1]};
        if (setup.launch == Launch::InContainer) {
            runSandbox(-1, setup, pipes);
        }
        if (shell) {
            close(reports[0]);
            close(commands[0]);
            runShell(reports[1], commands[1], setup, pipes);
        }
        execGame(setup, pipes);
    }
    fcntl(session.master, F_SETFD, FD_CLOEXEC);
    for (const int theirs : {input[0], output[1]}) {
        if (theirs >= 0) {
            close(theirs);
        }
    }
    session.answers = input[1];
    session.reader = output[0];
    session.leader = child;
    if (!shell) {
        session.game = session.job = setup.launch == Launch::Alone ? child : containedGame(child);
        return session.game > 0;
    }
    close(reports[1]);
    close(commands[1]);
    session.reports = reports[0];
    session.commands = commands[0];
    if (!readReport(session.reports, &session.game, sizeof session.game, kPatience)) {
        session.output = "the shell did not start the game";
        return false;
    }
    session.job = getpgid(session.game);
    return true;
}

std::optional<std::size_t> waitForFirstOf(PtySession& session, std::initializer_list<std::string_view> texts)
{
    const auto deadline = Clock::now() + kPatience;
    for (;;) {
        std::optional<std::size_t> first;
        std::size_t firstAt = std::string::npos;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const std::size_t at = session.output.find(texts.begin()[i], session.seen);
            if (at < firstAt) {
                first = i;
                firstAt = at;
            }
        }
        if (first) {
            session.seen = firstAt + texts.begin()[*first].size();
            return first;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        readFor(session, std::chrono::milliseconds{20});
    }
}

bool waitForText(PtySession& session, std::string_view text) { return waitForFirstOf(session, {text}).has_value(); }

bool staysQuiet(PtySession& session, std::chrono::milliseconds quiet)
{
    const std::size_t before = session.output.size();
    const auto end = Clock::now() + quiet;
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        readFor(session, std::chrono::duration_cast<std::chrono::milliseconds>(end - now));
    }
    return session.output.size() == before;
}

std::string takeRest(PtySession& session)
{
    std::string rest = session.output.substr(session.seen);
    session.seen = session.output.size();
    return rest;
}

bool waitForRawMode(PtySession& session)
{
    const auto raw = [&] { return (currentSettings(session).c_lflag & (ECHO | ICANON)) == 0; };
    return eventually(raw, [&] { readFor(session, std::chrono::milliseconds{5}); });
}

void hangUp(PtySession& session)
{
    close(session.master);
    session.master = -1;
}

void sendBytes(PtySession& session, std::string_view bytes) { writeAll(session.master, bytes); }

void sendAnswers(PtySession& session, std::string_view bytes) { writeAll(session.answers, bytes); }

termios currentSettings(const PtySession& session)
{
    // On Linux the master end answers with the settings of the game's end.
    termios settings{};
    tcgetattr(session.master, &settings);
    return settings;
}

void applySettings(PtySession& session, const termios& settings)
{
    tcsetattr(session.master, TCSANOW, &settings);  // the master end sets the game's end too
}

std::string settingsDifferences(const termios& expected, const termios& actual)
{
    std::ostringstream differences;
    const auto compare = [&](const char* what, unsigned long want, unsigned long got) {
        if (want != got) {
            differences << what << ": expected 0x" << std::hex << want << ", got 0x" << got << std::dec << "\n";
        }
    };
    compare("c_iflag", expected.c_iflag, actual.c_iflag);
    compare("c_oflag", expected.c_oflag, actual.c_oflag);
    compare("c_cflag", expected.c_cflag, actual.c_cflag);
    compare("c_lflag", expected.c_lflag, actual.c_lflag);
    compare("c_line", expected.c_line, actual.c_line);
    for (std::size_t i = 0; i < NCCS; ++i) {
        compare(("c_cc[" + std::to_string(i) + "]").c_str(), expected.c_cc[i], actual.c_cc[i]);
    }
    compare("input speed", cfgetispeed(&expected), cfgetispeed(&actual));
    compare("output speed", cfgetospeed(&expected), cfgetospeed(&actual));
    return differences.str();
}

char processState(pid_t process)
{
    const std::vector<std::string> fields = statFields(process);
    return fields.empty() ? 'X' : fields[0][0];
}

std::optional<std::string> signalDispositions(const PtySession& session)
{
    if (kGameCommand.size() > 2) {
        return std::nullopt;  // the emulator's, which catches every signal to pass it on
    }
    std::ifstream status("/proc/" + std::to_string(session.game) + "/status");
    std::string dispositions;
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigBlk:", 0) == 0 || line.rfind("SigIgn:", 0) == 0 || line.rfind("SigCgt:", 0) == 0) {
            dispositions += line + "\n";
        }
    }
    return dispositions;
}

double cpuSeconds(const PtySession& session)
{
    const std::vector<std::string> fields = statFields(session.game);
    return fields.size() > 12 ? static_cast<double>(std::stol(fields[11]) + std::stol(fields[12])) /
                                    static_cast<double>(sysconf(_SC_CLK_TCK))
                              : 0;
}

bool pidNamespacesAvailable()
{
    if (kGameCommand.size() > 2) {
        return false;  // the emulator would be the namespace's first process, between the kernel and the game
    }
    static const bool available = [] {
        const pid_t child = fork();
        if (child == 0) {
            _exit(unshare(CLONE_NEWPID) == 0 ? 0 : 1);
        }
        int status = 1;
        return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }();
    return available;
}

bool shellTakesTerminal(PtySession& session) { return askShell(session, kTakeTerminal); }

bool shellContinuesInForeground(PtySession& session) { return askShell(session, kForeground); }

bool shellContinuesInBackground(PtySession& session) { return askShell(session, kBackground); }

bool sessionLeaderLeaves(PtySession& session)
{
    kill(session.leader, SIGKILL);
    if (!reap(session.leader, Clock::now() + kPatience)) {
        return false;
    }
    session.leader = -1;
    return true;
}

bool isStopped(const PtySession& session) { return processState(session.job) == 'T'; }

bool waitUntilStopped(const PtySession& session) { return waitForState(session.job, "T"); }

bool waitUntilEnded(const PtySession& session) { return waitForState(session.game, "ZX"); }

std::optional<int> waitForExit(PtySession& session)
{
    const auto deadline = Clock::now() + kPatience;
    std::optional<int> status;
    int reported = 0;
    const auto ended = [&] {
        readFor(session, std::chrono::milliseconds{10});
        if (session.reports < 0) {
            status = reap(session.leader, Clock::now());
        } else if (readReport(session.reports, &reported, sizeof reported, std::chrono::milliseconds{0})) {
            status = reported;
        }
        return status.has_value();
    };
    if (!eventually(
            ended, [] {}, deadline)) {
        return std::nullopt;
    }
    session.game = -1;
    // A shell that does not end after its report is left to the destructor.
    if (session.reports < 0 || session.leader <= 0 || reap(session.leader, deadline)) {
        session.leader = -1;
    }
    return status;
}
