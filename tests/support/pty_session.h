// The real game on a pseudo-terminal of its own, for the tests that need a terminal: the pause's
// raw key read, its echo, and the terminal settings it must hand back. Every wait is bounded, and
// a session that is dropped kills what it started.
#pragma once

#include <chrono>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <termios.h>
#include <thread>
#include <vector>

// How long any wait for the game may take before the test gives up on it: only a failing test
// waits this long, and a game on a machine whose cores are busy can take seconds to answer.
inline constexpr std::chrono::milliseconds kPatience = std::chrono::seconds{20};

// What a wait does between two looks at a state that cannot wake it: a few milliseconds' sleep.
inline void sleepBriefly() { std::this_thread::sleep_for(std::chrono::milliseconds{5}); }

// Whether `done()` comes true before `deadline`, asked again after each `meanwhile()`.
template <typename Done, typename Meanwhile = void (*)()>
bool eventually(Done done, Meanwhile meanwhile = sleepBriefly,
                std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::now() + kPatience)
{
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        meanwhile();
    }
    return true;
}

// How the game sits on its terminal.
enum class Launch {
    // A job of a small shell: its own process group in the foreground, the shell waiting for it
    // in the same session, and doing the job control it is asked. This is how a player starts
    // it, and Ctrl-Z can stop it.
    AsJob,
    // A job of the small shell started in the background: its own process group, with the
    // shell's group in the foreground, as after `qzvillage &`.
    InBackground,
    // The terminal's session leader with nobody above it in the session. Its process group is
    // orphaned, so the kernel discards stop signals such as Ctrl-Z.
    Alone,
    // A job of the small shell, as AsJob, in a session led by a process above the shell, which
    // leaves when asked (sessionLeaderLeaves) while the shell stays to report on the game.
    UnderLeader,
    // A job of the small shell, as AsJob, whose process starts the game as the first process of a
    // new PID namespace and waits for it, as a sandbox does (`unshare --pid --fork`): the job's
    // process group, and the shell's, lie outside the game's namespace.
    InPidNamespace,
    // The first process of a new PID namespace, as a container starts a program, leading a session
    // of its own on the terminal: its process group (1) alone in its job, and no shell.
    InContainer,
};

// Where the game's answers (standard input) come from. The pause's keys always come from the terminal.
enum class Answers {
    OnTerminal,
    ThroughPipe,  // written with sendAnswers, as when a file or another program feeds the game
};

struct PtySession {
    PtySession() = default;
    ~PtySession();  // kills the game and its shell if they still run
    PtySession(const PtySession&) = delete;
    PtySession& operator=(const PtySession&) = delete;

    int master = -1;       // our end of the terminal
    pid_t game = -1;       // the game's process, for signals
    pid_t job = -1;        // its process group, as a shell's `kill %1` signals it
    pid_t leader = -1;     // the terminal's session leader, our child: the shell, or the game when Alone
    int reports = -1;      // the shell's reports (its jobs): the game's pid, then its wait status
    int commands = -1;     // job control asked of the shell, each command answered when done
    int answers = -1;      // the pipe to the game's standard input (Answers::ThroughPipe)
    int reader = -1;       // the pipe from the game's standard output (GameSetup::outputToPipe)
    std::string output;    // everything read from the terminal so far
    std::size_t seen = 0;  // where the next waitForText starts looking
};

// The settings every test terminal starts with: the usual cooked mode, plus a VTIME that the
// pause's raw mode sets differently, so a restore that only flips flags back is caught.
termios startingSettings();

// How the game is started, beyond its terminal's settings.
struct GameSetup {
    Launch launch = Launch::AsJob;
    Answers answers = Answers::OnTerminal;
    bool outputToPipe = false;          // standard output to a pipe whose reader is `reader`
    std::vector<int> ignoredSignals{};  // ignored from the start, as a parent may leave them
    std::vector<int> blockedSignals{};  // blocked from the start, as a launcher may hand them down
    // Every descriptor below FD_SETSIZE left open, as a launcher that leaks them leaves them: the
    // game's own open at a number that select cannot take.
    bool descriptorsLeaked = false;
};

// Starts the game with the clock pinned to 0 on a new terminal set to `settings`.
// False (with the reason in `output`) when it could not be started.
bool spawnGame(PtySession& session, const GameSetup& setup, const termios& settings);

// Reads until `text` shows up after `seen`, then moves `seen` past it. False after kPatience.
bool waitForText(PtySession& session, std::string_view text);
// Like waitForText for whichever of `texts` shows up first: its index, empty after kPatience.
std::optional<std::size_t> waitForFirstOf(PtySession& session, std::initializer_list<std::string_view> texts);
// Reads for `quiet`; true when the game wrote nothing in that time.
bool staysQuiet(PtySession& session, std::chrono::milliseconds quiet);
// Everything after `seen`, taken as seen.
std::string takeRest(PtySession& session);

// Waits until the terminal has echo and canonical mode off, that is until the pause is really
// reading its key. A key sent earlier could still be echoed or held for a line.
bool waitForRawMode(PtySession& session);
// Hangs the terminal up, as when its window is closed: our end is closed.
void hangUp(PtySession& session);
// Types `bytes` on the terminal.
void sendBytes(PtySession& session, std::string_view bytes);
// Writes `bytes` to the game's standard input pipe (Answers::ThroughPipe).
void sendAnswers(PtySession& session, std::string_view bytes);

// The terminal's settings as the game sees them.
termios currentSettings(const PtySession& session);
// Sets the terminal as a shell may while the game is stopped: back to the shell's own settings.
void applySettings(PtySession& session, const termios& settings);
// The differences between two settings, in words; empty when they are the same.
std::string settingsDifferences(const termios& expected, const termios& actual);

// The signals the game blocks, ignores and has handlers for right now, as the system shows them;
// nothing when the game runs under an emulator, whose own are all the system shows.
std::optional<std::string> signalDispositions(const PtySession& session);
// The state letter of `process` as the system shows it (R, S, T, Z…); X once it has been reaped.
char processState(pid_t process);
// The CPU time, user and system, the game has used so far.
double cpuSeconds(const PtySession& session);
// Whether the game itself can be the first process of a PID namespace here (Launch::InPidNamespace):
// the system lets the tests make one, and no emulator stands between the kernel and the game.
bool pidNamespacesAvailable();
// Job control as a shell does it. The shell takes its terminal back (tcsetpgrp), as after its job
// stopped; or sends its stopped job on, in the foreground (fg: the terminal to the job, then
// SIGCONT) or in the background (bg: SIGCONT alone). False when the shell did not answer.
bool shellTakesTerminal(PtySession& session);
bool shellContinuesInForeground(PtySession& session);
bool shellContinuesInBackground(PtySession& session);
// The leader of Launch::UnderLeader leaves, and the session with it, as when the shell that leads
// it exits. False when it could not be seen to end within kPatience.
bool sessionLeaderLeaves(PtySession& session);
// Waits until the game's job is stopped (Ctrl-Z), or the game has ended, whoever reaps it. False
// after kPatience.
bool waitUntilStopped(const PtySession& session);
bool waitUntilEnded(const PtySession& session);
// Whether the game's job is stopped right now.
bool isStopped(const PtySession& session);
// The game's wait status once it has ended (read as the shell reports it), draining the output
// meanwhile. Empty after kPatience.
std::optional<int> waitForExit(PtySession& session);
