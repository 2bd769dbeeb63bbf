// The real game on a real terminal: the pause reads one key straight from the terminal, without
// echo or Enter, leaves typed-ahead answers alone, keeps the second code of a special key for the
// next pause, changes the terminal only in the foreground, and gives it back exactly as it found
// it, whichever way the game is left. A read of the terminal that fails ends the game with status 2.
//
// With the clock pinned to 0 the hero who accepts the first roll has 138 HP and DPS 38, and the
// first foe is 石魔 with 118 HP: nobody falls in the first two rounds, so every action below ends
// in exactly one pause.
#include "tests/support/pty_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace std::chrono_literals;

namespace {

const std::string kPause = "按任意键继续...";
const std::string kActionPrompt = "选择：";
// How long a pause that waits must stay silent: far longer than the game needs for any step.
constexpr auto kSilence = 300ms;

// Starts the game, answers the title, the name and both questions, and stops at the pause after
// the opening story, once that pause is reading its key.
bool reachStoryPause(PtySession& session, const GameSetup& setup = {}, const termios& settings = startingSettings())
{
    if (!spawnGame(session, setup, settings)) {
        return false;
    }
    if (setup.answers == Answers::ThroughPipe) {
        sendAnswers(session, "1\nAb\ny\ny\n");
        return waitForRawMode(session);  // the game's output may be out of sight
    }
    if (!waitForText(session, kActionPrompt)) {
        return false;
    }
    sendBytes(session, "1\nAb\ny\ny\n");
    return waitForText(session, "他的名字叫Ab") && waitForText(session, kPause) && waitForRawMode(session);
}

// Ends the pause that is reading its key with `key`.
bool pressAtPause(PtySession& session, std::string_view key)
{
    if (!waitForText(session, kPause) || !waitForRawMode(session)) {
        return false;
    }
    sendBytes(session, key);
    return true;
}

// From the story pause to the first action prompt, one plain key per pause.
bool reachActionPrompt(PtySession& session)
{
    sendBytes(session, "k");
    return waitForText(session, "遇到了第1个敌人：") && pressAtPause(session, "k") &&
           waitForText(session, kActionPrompt);
}

// Answers 1 at the action prompt just shown; true when the first action after it is the hero's
// attack. A byte of an earlier key left on the terminal would be read before the 1, lose the
// hero's turn, and let the foe act (and pause) first.
bool heroActsFirst(PtySession& session)
{
    const std::size_t prompt = session.seen;
    if (session.answers >= 0) {
        sendAnswers(session, "1\n");
    } else {
        sendBytes(session, "1\n");
    }
    if (!waitForText(session, kPause)) {
        return false;
    }
    return session.output.find("Ab举起了剑", prompt) < session.seen;
}

// The story's pause, after whatever stopped the game or tried to, still waits for one key that
// it does not echo, and ends with it.
void expectStoryPauseStillWaits(PtySession& session)
{
    ASSERT_TRUE(waitForRawMode(session)) << "the pause went on in cooked mode";
    EXPECT_TRUE(staysQuiet(session, kSilence)) << takeRest(session);
    sendBytes(session, "q");
    ASSERT_TRUE(waitForText(session, "Ab他出发讨伐魔王了！")) << session.output;
    EXPECT_EQ(session.output.find('q'), std::string::npos) << session.output;
}

bool exitedWith(const std::optional<int>& status, int code)
{
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

bool killedBy(const std::optional<int>& status, int signal)
{
    return status && WIFSIGNALED(*status) && WTERMSIG(*status) == signal;
}

}  // namespace

TEST(TerminalPause, TypedAheadAnswerIsLeftForTheNextMenu)
{
    PtySession session;
    ASSERT_TRUE(reachStoryPause(session)) << session.output;
    ASSERT_TRUE(reachActionPrompt(session)) << session.output;

    sendBytes(session, "11\n");
    ASSERT_TRUE(waitForText(session, "Ab举起了剑")) << session.output;
    ASSERT_TRUE(waitForText(session, kPause) && waitForRawMode(session)) << session.output;
    EXPECT_TRUE(staysQuiet(session, kSilence)) << "the pause took the second 1: " << takeRest(session);

    sendBytes(session, "k");
    ASSERT_TRUE(pressAtPause(session, "k")) << session.output;  // the foe's action
    // Nothing more is typed: the next menu answers itself with the 1 left on the line.
    ASSERT_TRUE(waitForText(session, kActionPrompt)) << session.output;
    EXPECT_TRUE(waitForText(session, "Ab举起了剑")) << session.output;
}

TEST(TerminalPause, KeysTypedAfterThePauseKeyAreLeftForTheMenu)
{
    PtySession session;
    ASSERT_TRUE(reachStoryPause(session)) << session.output;
    sendBytes(session, "k");
    ASSERT_TRUE(waitForText(session, "遇到了第1个敌人：")) << session.output;

    // One key for the pause and the next answer typed right behind it, before the menu asks.
    ASSERT_TRUE(pressAtPause(session, "k1\n")) << session.output;
    ASSERT_TRUE(waitForText(session, kActionPrompt)) << session.output;
    EXPECT_TRUE(waitForText(session, "Ab举起了剑")) << "the answer typed during the pause was lost";
}

TEST(TerminalPause, KeysComeFromTheTerminalNotFromPipedAnswers)
{
    PtySession session;
    GameSetup setup;
    setup.answers = Answers::ThroughPipe;
    ASSERT_TRUE(spawnGame(session, setup, startingSettings())) << session.output;
    sendAnswers(session, "1\nAb\ny\ny\n11\n");  // every answer up to the second action, at once
    ASSERT_TRUE(waitForText(session, "他的名字叫Ab")) << session.output;
    ASSERT_TRUE(waitForText(session, kPause) && waitForRawMode(session)) << session.output;
    EXPECT_TRUE(staysQuiet(session, kSilence)) << "a piped answer ended the pause: " << takeRest(session);

    sendBytes(session, "k");
    ASSERT_TRUE(pressAtPause(session, "k")) << session.output;  // the encounter
    ASSERT_TRUE(waitForText(session, "Ab举起了剑")) << session.output;
    ASSERT_TRUE(pressAtPause(session, "k")) << session.output;  // the hero's attack
    ASSERT_TRUE(pressAtPause(session, "k")) << session.output;  // the foe's action
    EXPECT_TRUE(waitForText(session, "Ab举起了剑")) << session.output;
}

// Whole, or over a slow link as Esc and then the rest a few milliseconds later, well within the
// gap that ends a key: one arrow key either way, and no byte of it left for the menu.
TEST(TerminalPause, ArrowKeyEndsThisPauseAndTheNext)
{
    for (const std::chrono::milliseconds gap : {0ms, 8ms}) {
        SCOPED_TRACE("a gap of " + std::to_string(gap.count()) + " ms after Esc");
        PtySession session;
        ASSERT_TRUE(reachStoryPause(session)) << session.output;

        sendBytes(session, gap.count() == 0 ? "\x1b[A" : "\x1b");
        if (gap.count() != 0) {
            std::this_thread::sleep_for(gap);
            sendBytes(session, "[A");
        }
        ASSERT_TRUE(waitForText(session, "遇到了第1个敌人：")) << session.output;
        ASSERT_TRUE(waitForText(session, kPause)) << session.output;
        // The encounter's pause ends at once on the held-back code; the battle's menu follows.
        ASSERT_TRUE(waitForText(session, kActionPrompt)) << session.output;
        EXPECT_TRUE(heroActsFirst(session)) << session.output;
    }
}

TEST(TerminalPause, ControlKeysEndAPauseLikeAnyOther)
{
    // Ctrl-S and Ctrl-Q would otherwise stop and start the terminal's output; Ctrl-V would quote
    // the next key and Ctrl-O discard output.
    for (const char* key : {"\x13", "\x11", "\x16", "\x0f"}) {
        PtySession session;
        ASSERT_TRUE(reachStoryPause(session)) << session.output;
        sendBytes(session, key);
        EXPECT_TRUE(waitForText(session, "遇到了第1个敌人：")) << testing::PrintToString(key);
    }
}

// A SIGCONT may come at any moment, even while a pause ends. However many come, every menu after
// a pause must read its answer in the terminal's own mode, not in the pause's raw one. A race:
// a handler that can run halfway through the pause's ending is caught in most runs, not all.
TEST(TerminalSettings, NoContinueSignalLeavesTheTerminalRawAfterAPause)
{
    const termios found = startingSettings();
    PtySession session;
    ASSERT_TRUE(reachStoryPause(session, {}, found)) << session.output;
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        while (flooding) {
            kill(session.game, SIGCONT);
        }
    });
    sendBytes(session, "k");
    int menus = 0;
    int rawMenus = 0;
    while (menus < 100) {  // the hero only awakens magic, and the first foe never ends the game
        const std::optional<std::size_t> next = waitForFirstOf(session, {kPause, kActionPrompt});
        if (!next) {
            break;
        }
        if (*next == 0) {
            ASSERT_TRUE(waitForRawMode(session)) << session.output;
            sendBytes(session, "k");
            continue;
        }
        ++menus;
        rawMenus += settingsDifferences(found, currentSettings(session)).empty() ? 0 : 1;
        sendBytes(session, "6\n");
    }
    flooding = false;
    flood.join();
    EXPECT_EQ(menus, 100) << session.output;
    EXPECT_EQ(rawMenus, 0);
}

struct FatalSignalCase {
    const char* name;
    int signal;             // sent to the game; SIGWINCH by resizing the window
    bool ignored = false;   // by the game's parent: then the game must play on as if nothing came
    bool harmless = false;  // its default action does not end the process: the game plays on too
};

void PrintTo(const FatalSignalCase& param, std::ostream* out) { *out << param.name; }

class FatalSignalAtPause : public testing::TestWithParam<FatalSignalCase> {};

TEST_P(FatalSignalAtPause, EndsTheGameAndRestoresTheTerminalUnlessIgnored)
{
    const FatalSignalCase& param = GetParam();
    const termios found = startingSettings();
    PtySession session;
    GameSetup setup;
    if (param.ignored) {
        setup.ignoredSignals = {param.signal};
    }
    ASSERT_TRUE(reachStoryPause(session, setup, found)) << session.output;

    if (param.signal == SIGWINCH) {
        const winsize larger{30, 100, 0, 0};
        ioctl(session.master, TIOCSWINSZ, &larger);
    } else if (kill(session.game, param.signal) != 0) {
        GTEST_SKIP() << "no way to send it here: qemu's user mode keeps the highest signals for itself";
    }
    if (param.ignored || param.harmless) {
        expectStoryPauseStillWaits(session);
        return;
    }
    EXPECT_TRUE(killedBy(waitForExit(session), param.signal)) << session.output;
    EXPECT_EQ(settingsDifferences(found, currentSettings(session)), "");
}

// Every signal whose default action ends the process without a core dump, and some that do not.
INSTANTIATE_TEST_SUITE_P(
    TerminalSettings, FatalSignalAtPause,
    testing::Values(FatalSignalCase{"Terminate", SIGTERM}, FatalSignalCase{"HangUp", SIGHUP},
                    FatalSignalCase{"User1", SIGUSR1}, FatalSignalCase{"User2", SIGUSR2},
                    FatalSignalCase{"Alarm", SIGALRM}, FatalSignalCase{"VirtualAlarm", SIGVTALRM},
                    FatalSignalCase{"Profiling", SIGPROF}, FatalSignalCase{"BrokenPipe", SIGPIPE},
                    FatalSignalCase{"Poll", SIGPOLL}, FatalSignalCase{"Power", SIGPWR},
                    FatalSignalCase{"RealTime", SIGRTMIN + 1}, FatalSignalCase{"HighestRealTime", SIGRTMAX},
                    FatalSignalCase{"IgnoredHangUp", SIGHUP, true}, FatalSignalCase{"IgnoredUser1", SIGUSR1, true},
                    FatalSignalCase{"WindowResized", SIGWINCH, false, true},
                    FatalSignalCase{"ChildEnded", SIGCHLD, false, true},
                    FatalSignalCase{"UrgentData", SIGURG, false, true}),
    [](const testing::TestParamInfo<FatalSignalCase>& testCase) { return std::string(testCase.param.name); });

// Output nobody reads any more ends the game at its next pause, which does not wait, with status 2.
TEST(TerminalOutput, AReaderThatLeavesEndsTheGameWithoutAnotherPause)
{
    PtySession session;
    GameSetup setup;
    setup.answers = Answers::ThroughPipe;
    setup.outputToPipe = true;
    setup.ignoredSignals = {SIGPIPE};
    ASSERT_TRUE(reachStoryPause(session, setup)) << session.output;
    close(std::exchange(session.reader, -1));

    sendBytes(session, "k");
    EXPECT_TRUE(exitedWith(waitForExit(session), 2)) << session.output;
    EXPECT_NE(session.output.find("qzvillage: the game's output could not be written\r\n"), std::string::npos);
}

// The terminal's settings, once they are `expected`, or after kPatience: their differences. In a
// job of several processes the game may give the terminal back a moment after the job stopped.
std::string settledDifferences(PtySession& session, const termios& expected)
{
    std::string differences;
    eventually([&] { return (differences = settingsDifferences(expected, currentSettings(session))).empty(); },
               [&] { staysQuiet(session, 5ms); });
    return differences;
}

// The pause's behaviours, each a check made from its first pause on, crossed with the situations it
// meets, each a way to start the game.
enum class Behaviour {
    WaitsForOneKeyUnechoed,
    EscAndWideKeyEndOnePauseEach,
    CtrlCEndsTheGame,
    StoppedThenFgGoesOnRaw,
    KillWhileStoppedLeavesAnotherJobsTerminal,
    HangUpEndsTheWait,
    NoCpuWhileWaiting,
    MaskAndHandlersAsBefore,
    SettingsChangedWhileStoppedStay,
};
constexpr const char* kBehaviourNames[] = {"WaitsForOneKeyUnechoed",
                                           "EscAndWideKeyEndOnePauseEach",
                                           "CtrlCEndsTheGame",
                                           "StoppedThenFgGoesOnRaw",
                                           "KillWhileStoppedLeavesAnotherJobsTerminal",
                                           "HangUpEndsTheWait",
                                           "NoCpuWhileWaiting",
                                           "MaskAndHandlersAsBefore",
                                           "SettingsChangedWhileStoppedStay"};

struct Situation {
    const char* name;
    GameSetup setup;  // whose answers come through a pipe when the game starts in the background

    // Whether `signal` leaves the game as it was: ignored or blocked by the launcher; for the first
    // process of a PID namespace, one whose default action the kernel never lets reach it; Ctrl-Z
    // where no shell is above the game, whose process group the kernel then counts as orphaned.
    bool ignores(int signal) const
    {
        const auto& [ignored, blocked] = std::tie(setup.ignoredSignals, setup.blockedSignals);
        const bool init = setup.launch == Launch::InPidNamespace || setup.launch == Launch::InContainer;
        return (init && (signal == SIGINT || signal == SIGTERM || (!hasShell() && signal == SIGTSTP))) ||
               std::count(ignored.begin(), ignored.end(), signal) + std::count(blocked.begin(), blocked.end(), signal) >
                   0;
    }
    // SIGTTOU ignored, no stop tells a game in the background from one in the foreground, where the
    // terminal's foreground group cannot be seen (from a PID namespace) or is another job's: the
    // pause goes on without a key, and the terminal is left alone.
    bool pauseWaits() const
    {
        const auto& ignored = setup.ignoredSignals;
        return std::count(ignored.begin(), ignored.end(), SIGTTOU) == 0 ||
               (setup.launch != Launch::InBackground && setup.launch != Launch::InPidNamespace);
    }
    bool sessionEnds() const { return setup.launch == Launch::UnderLeader; }
    bool hasShell() const { return setup.launch != Launch::InContainer && setup.launch != Launch::Alone; }
};

void PrintTo(const Situation& situation, std::ostream* out) { *out << situation.name; }

const Situation kSituations[] = {
    {"Foreground", {}},
    {"TerminalPastFdSetSize", {.descriptorsLeaked = true}},
    {"AloneInItsSession", {.launch = Launch::Alone}},
    {"StartedInBackground", {.launch = Launch::InBackground, .answers = Answers::ThroughPipe}},
    {"StartedInBackgroundTtouIgnored",
     {.launch = Launch::InBackground, .answers = Answers::ThroughPipe, .ignoredSignals = {SIGTTOU}}},
    {"LeaderGone", {.launch = Launch::UnderLeader}},
    {"LeaderGoneHangUpIgnored", {.launch = Launch::UnderLeader, .ignoredSignals = {SIGHUP}}},
    {"InPidNamespace", {.launch = Launch::InPidNamespace}},
    {"InPidNamespaceTtouIgnored", {.launch = Launch::InPidNamespace, .ignoredSignals = {SIGTTOU}}},
    {"InContainer", {.launch = Launch::InContainer}},
    {"InterruptIgnored", {.ignoredSignals = {SIGINT}}},
    {"StopIgnored", {.ignoredSignals = {SIGTSTP}}},
    {"ContinueIgnored", {.ignoredSignals = {SIGCONT}}},
    // Blocked, SIGTTOU would let a background game change the terminal instead of stopping it.
    {"JobControlBlockedInBackground",
     {.launch = Launch::InBackground, .answers = Answers::ThroughPipe, .blockedSignals = {SIGTTIN, SIGTTOU, SIGCONT}}},
};

class PauseInSituation : public testing::TestWithParam<std::tuple<int, Situation>> {
protected:
    // Starts the game as the situation says and brings it to the story's pause, reading its key in
    // the foreground, the signals' dispositions noted at the title. Started in the background, the
    // pause waits stopped, the shell's terminal untouched, until the shell brings it back.
    bool reachPause()
    {
        const bool background = situation.setup.launch == Launch::InBackground;
        if (!spawnGame(session, situation.setup, found) || !waitForText(session, kActionPrompt)) {
            return false;
        }
        before = signalDispositions(session);
        if (!situation.pauseWaits()) {  // on through the pauses to the first foe, no key pressed
            background ? sendAnswers(session, "1\nAb\ny\ny\n") : sendBytes(session, "1\nAb\ny\ny\n");
            return waitForText(session, "遇到了第1个敌人：");
        }
        if (!background) {
            sendBytes(session, "1\nAb\ny\ny\n");
            return waitForText(session, kPause) && waitForRawMode(session);
        }
        sendAnswers(session, "1\nAb\ny\ny\n");
        EXPECT_TRUE(waitForText(session, kPause) && waitUntilStopped(session)) << session.output;
        EXPECT_EQ(settingsDifferences(found, currentSettings(session)), "");
        return shellContinuesInForeground(session) && waitForRawMode(session);
    }

    // Stops the game at its pause with `stop`: Ctrl-Z for SIGTSTP, otherwise as `kill -STOP %1`
    // does, after which the shell sets its terminal back. Once the job stopped, the terminal's
    // differences from how the game found it; nothing when it did not stop.
    std::optional<std::string> stopWith(int stop)
    {
        if (stop == SIGTSTP) {
            sendBytes(session, "\x1a");
        } else {
            kill(-session.job, stop);
        }
        if (!waitUntilStopped(session)) {
            return std::nullopt;
        }
        if (stop == SIGSTOP) {
            applySettings(session, found);
        }
        return settledDifferences(session, found);
    }

    // Stops the game at its pause, by Ctrl-Z when `seen` and the game heeds it, and the shell takes
    // the terminal.
    bool stopForTheShell(bool seen)
    {
        return stopWith(seen && !situation.ignores(SIGTSTP) ? SIGTSTP : SIGSTOP) == "" && shellTakesTerminal(session);
    }

    void endInput()
    {
        if (session.answers >= 0) {
            close(std::exchange(session.answers, -1));
        } else {
            sendBytes(session, "\x04");
        }
    }

    const Behaviour behaviour = static_cast<Behaviour>(std::get<0>(GetParam()));
    const Situation& situation = std::get<1>(GetParam());
    const termios found = startingSettings();
    PtySession session;
    std::optional<std::string> before;
};

termios rawFrom(termios settings)
{
    settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    return settings;
}

TEST_P(PauseInSituation, HoldsItsBehaviour)
{
    if (!situation.pauseWaits() && behaviour != Behaviour::MaskAndHandlersAsBefore) {
        GTEST_SKIP() << "no pause waits here: the game going on through it, the terminal untouched, is what is left";
    }
    if (situation.sessionEnds() && behaviour != Behaviour::HangUpEndsTheWait) {
        GTEST_SKIP() << "the session's end is this situation: no job control or keyboard signal reaches the game "
                        "after it, and its hang-up is the one behaviour left to check";
    }
    if (!situation.hasShell() && (behaviour == Behaviour::KillWhileStoppedLeavesAnotherJobsTerminal ||
                                  behaviour == Behaviour::SettingsChangedWhileStoppedStay)) {
        GTEST_SKIP() << "no shell to take the terminal while the game is stopped, nor to send it on";
    }
    const Launch launch = situation.setup.launch;
    if ((launch == Launch::InPidNamespace || launch == Launch::InContainer) && !pidNamespacesAvailable()) {
        GTEST_SKIP() << "the game cannot be a PID namespace's first process here (no namespace, or an emulator)";
    }
    ASSERT_TRUE(reachPause()) << session.output;
    switch (behaviour) {
    case Behaviour::WaitsForOneKeyUnechoed:
        // One key at a time, unechoed, with Ctrl-C and Ctrl-Z still signals. Linux honours Ctrl-V and
        // Ctrl-O only in canonical mode, other systems whenever IEXTEN is on: off it goes too.
        EXPECT_EQ(settingsDifferences(rawFrom(found), currentSettings(session)), "");
        expectStoryPauseStillWaits(session);
        ASSERT_TRUE(waitForText(session, "遇到了第1个敌人：") && waitForText(session, kPause)) << session.output;
        ASSERT_TRUE(waitForRawMode(session)) << session.output;
        EXPECT_TRUE(staysQuiet(session, kSilence)) << "the second pause did not wait: " << takeRest(session);
        break;
    case Behaviour::EscAndWideKeyEndOnePauseEach:
        sendBytes(session, "\x1b");  // and nothing after it: the silence says it was the Esc key
        ASSERT_TRUE(waitForText(session, "遇到了第1个敌人：")) << session.output;
        ASSERT_TRUE(waitForText(session, kPause) && waitForRawMode(session)) << session.output;
        EXPECT_TRUE(staysQuiet(session, kSilence)) << "Esc ended two pauses: " << takeRest(session);
        sendBytes(session, "好");  // three bytes in UTF-8, one key
        ASSERT_TRUE(waitForText(session, kActionPrompt)) << session.output;
        EXPECT_TRUE(heroActsFirst(session)) << session.output;
        break;
    case Behaviour::CtrlCEndsTheGame:
        sendBytes(session, "\x03");
        if (situation.ignores(SIGINT)) {
            expectStoryPauseStillWaits(session);
            break;
        }
        EXPECT_TRUE(killedBy(waitForExit(session), SIGINT)) << session.output;
        EXPECT_EQ(settingsDifferences(found, currentSettings(session)), "");
        break;
    case Behaviour::StoppedThenFgGoesOnRaw:
        // SIGSTOP cannot be caught: the shell sets its terminal back, and the pause must see to it.
        for (const int stop : {SIGTSTP, SIGTTIN, SIGTTOU, SIGSTOP}) {
            SCOPED_TRACE(stop);
            ASSERT_TRUE(waitForRawMode(session)) << "the pause went on in cooked mode";
            if (stop == SIGTSTP && situation.ignores(SIGTSTP)) {
                sendBytes(session, "\x1a");
                EXPECT_TRUE(staysQuiet(session, kSilence)) << takeRest(session);  // time for the signal to land
                EXPECT_FALSE(isStopped(session));
            } else if (!situation.hasShell()) {
                kill(-session.job, stop);
                break;  // nothing then stops the game but SIGSTOP, and no shell sends it on
            } else {
                ASSERT_EQ(stopWith(stop), "") << session.output;
                ASSERT_TRUE(shellContinuesInForeground(session));
            }
        }
        expectStoryPauseStillWaits(session);
        break;
    case Behaviour::KillWhileStoppedLeavesAnotherJobsTerminal: {
        // `bg`, then `kill %1`: the shell's terminal, raw for an editor meanwhile, is not the game's.
        ASSERT_TRUE(stopForTheShell(false)) << session.output;
        termios editors = found;
        editors.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
        editors.c_cc[VMIN] = 3;
        applySettings(session, editors);
        ASSERT_TRUE(shellContinuesInBackground(session));
        EXPECT_TRUE(waitUntilStopped(session)) << "a pause in the background went on: " << session.output;
        EXPECT_EQ(settingsDifferences(editors, currentSettings(session)), "");
        kill(-session.job, SIGTERM);
        kill(-session.job, SIGCONT);
        if (situation.ignores(SIGTERM)) {
            EXPECT_TRUE(waitUntilStopped(session)) << "a pause in the background went on: " << session.output;
        } else {
            EXPECT_TRUE(killedBy(waitForExit(session), SIGTERM)) << session.output;
        }
        EXPECT_EQ(settingsDifferences(editors, currentSettings(session)), "");
        break;
    }
    case Behaviour::HangUpEndsTheWait:
        if (!situation.sessionEnds()) {
            hangUp(session);
            EXPECT_TRUE(waitUntilEnded(session));
            break;
        }
        // The shell that leads the session exits: no other job can hold the terminal any more.
        ASSERT_TRUE(sessionLeaderLeaves(session));
        if (situation.ignores(SIGHUP)) {
            // The key ends this pause; the next begins on a terminal nobody holds, and goes on.
            sendBytes(session, "k");
            ASSERT_TRUE(waitForText(session, kActionPrompt)) << session.output;
        } else {
            EXPECT_TRUE(killedBy(waitForExit(session), SIGHUP)) << session.output;
        }
        EXPECT_EQ(settingsDifferences(found, currentSettings(session)), "");
        break;
    case Behaviour::NoCpuWhileWaiting: {
        const double cpuBefore = cpuSeconds(session);
        const auto waitBegan = std::chrono::steady_clock::now();
        EXPECT_TRUE(staysQuiet(session, kSilence)) << takeRest(session);
        const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - waitBegan;
        EXPECT_LT(cpuSeconds(session) - cpuBefore, waited.count() / 10) << "the pause spun";
        expectStoryPauseStillWaits(session);
        break;
    }
    case Behaviour::MaskAndHandlersAsBefore:
        ASSERT_TRUE(situation.pauseWaits() ? reachActionPrompt(session) : waitForText(session, kActionPrompt))
            << session.output;
        EXPECT_EQ(settingsDifferences(found, currentSettings(session)), "");
        EXPECT_EQ(signalDispositions(session), before);
        endInput();
        EXPECT_TRUE(exitedWith(waitForExit(session), 0)) << session.output;
        EXPECT_EQ(settingsDifferences(found, currentSettings(session)), "");
        break;
    case Behaviour::SettingsChangedWhileStoppedStay: {
        // `stty -echoctl erase ^H` while the game is stopped.
        ASSERT_TRUE(stopForTheShell(true)) << session.output;
        termios players = found;
        players.c_lflag &= ~static_cast<tcflag_t>(ECHOCTL);
        players.c_cc[VERASE] = '\b';
        applySettings(session, players);
        ASSERT_TRUE(shellContinuesInForeground(session) && waitForRawMode(session)) << session.output;
        EXPECT_EQ(settingsDifferences(rawFrom(players), currentSettings(session)), "");
        ASSERT_TRUE(reachActionPrompt(session)) << session.output;
        EXPECT_EQ(settingsDifferences(players, currentSettings(session)), "");
        break;
    }
    }
}

std::string pairName(const testing::TestParamInfo<PauseInSituation::ParamType>& pair)
{
    return std::string(kBehaviourNames[std::get<0>(pair.param)]) + "_" + std::get<1>(pair.param).name;
}

INSTANTIATE_TEST_SUITE_P(TerminalPause, PauseInSituation,
                         testing::Combine(testing::Range(0, static_cast<int>(std::size(kBehaviourNames))),
                                          testing::ValuesIn(kSituations)),
                         pairName);

// A read from the terminal that fails (EIO: a background read with SIGTTIN ignored) is no end of
// the input: the game says so and ends with status 2, at the title as at a line prompt.
TEST(InputErrors, ReadErrorEndsTheGameWithStatus2)
{
    struct Row {
        const char* prompt;
        Launch launch;
        const char* answers;  // typed in the foreground before Ctrl-Z and bg; none in the background
        const char* rest;     // the output after the prompt
    };
    const Row rows[] = {
        {"选择：", Launch::InBackground, nullptr, ""},
        {"请输入你的名字：", Launch::AsJob, "1\n", "^Z\r\n"},  // the line feed of a game whose input ended
    };
    for (const Row& row : rows) {
        PtySession session;
        GameSetup setup;
        setup.launch = row.launch;
        setup.ignoredSignals = {SIGTTIN};
        ASSERT_TRUE(spawnGame(session, setup, startingSettings())) << session.output;
        if (row.answers != nullptr) {
            ASSERT_TRUE(waitForText(session, kActionPrompt)) << session.output;
            sendBytes(session, row.answers);
        }
        ASSERT_TRUE(waitForText(session, row.prompt)) << session.output;
        if (row.answers != nullptr) {
            sendBytes(session, "\x1a");
            ASSERT_TRUE(waitUntilStopped(session) && shellTakesTerminal(session) &&
                        shellContinuesInBackground(session));
        }
        EXPECT_TRUE(exitedWith(waitForExit(session), 2)) << session.output;
        EXPECT_EQ(takeRest(session), std::string(row.rest) + "qzvillage: the game's input could not be read\r\n");
    }
}
