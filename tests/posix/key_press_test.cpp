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

#include <atomic>
#include <csignal>
#include <cstdint>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

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
    sendBytes(session, "1\n");
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

// Also when every descriptor below FD_SETSIZE was taken before the game started: the terminal
// then gets a number that select cannot take, and every pause must wait all the same.
TEST(TerminalPause, WaitsForOneKeyWithoutEchoOrEnter)
{
    for (const bool descriptorsLeaked : {false, true}) {
        SCOPED_TRACE(descriptorsLeaked ? "the terminal beyond FD_SETSIZE" : "the first free descriptor");
        PtySession session;
        GameSetup setup;
        setup.descriptorsLeaked = descriptorsLeaked;
        ASSERT_TRUE(reachStoryPause(session, setup)) << session.output;
        EXPECT_TRUE(staysQuiet(session, kSilence)) << takeRest(session);

        sendBytes(session, "q");  // no Enter after it
        ASSERT_TRUE(waitForText(session, "Ab他出发讨伐魔王了！")) << session.output;
        ASSERT_TRUE(waitForText(session, "遇到了第1个敌人：")) << session.output;
        ASSERT_TRUE(waitForText(session, kPause)) << session.output;
        EXPECT_EQ(session.output.find('q'), std::string::npos) << session.output;
        ASSERT_TRUE(waitForRawMode(session)) << session.output;
        EXPECT_TRUE(staysQuiet(session, kSilence)) << "the second pause did not wait: " << takeRest(session);
    }
}

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

TEST(TerminalPause, LoneEscAndMultiByteCharacterEndOnePauseEach)
{
    PtySession session;
    ASSERT_TRUE(reachStoryPause(session)) << session.output;

    sendBytes(session, "\x1b");  // and nothing after it: the silence says it was the Esc key
    ASSERT_TRUE(waitForText(session, "遇到了第1个敌人：")) << session.output;
    ASSERT_TRUE(waitForText(session, kPause) && waitForRawMode(session)) << session.output;
    EXPECT_TRUE(staysQuiet(session, kSilence)) << "Esc ended two pauses: " << takeRest(session);

    sendBytes(session, "好");  // three bytes in UTF-8, one key
    ASSERT_TRUE(waitForText(session, kActionPrompt)) << session.output;
    EXPECT_TRUE(heroActsFirst(session)) << session.output;
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

TEST(TerminalSettings, RawJustForThePauseAndTheSameAfterItAndAtEndOfInput)
{
    const termios found = startingSettings();
    PtySession session;
    ASSERT_TRUE(reachStoryPause(session, {}, found)) << session.output;
    // One key at a time, unechoed, with Ctrl-C and Ctrl-Z still signals. Linux honours Ctrl-V and
    // Ctrl-O only in canonical mode, other systems whenever IEXTEN is on: off it goes too.
    termios raw = found;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    EXPECT_EQ(settingsDifferences(raw, currentSettings(session)), "");
    ASSERT_TRUE(reachActionPrompt(session)) << session.output;
    EXPECT_EQ(settingsDifferences(found, currentSettings(session)), "");
    // Only the pause handles these (a sanitizer's runtime handles some of the others).
    std::uint64_t pauseOnly = 0;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGPIPE, SIGALRM, SIGTSTP, SIGCONT}) {
        pauseOnly |= std::uint64_t{1} << (signal - 1);
    }
    if (const std::optional<std::uint64_t> caught = caughtSignals(session)) {
        EXPECT_EQ(*caught & pauseOnly, 0U) << "the pause's signal handlers outlived it";
    }

    sendBytes(session, "\x04");  // Ctrl-D: the answers have ended
    EXPECT_TRUE(exitedWith(waitForExit(session), 0)) << session.output;
    EXPECT_EQ(settingsDifferences(found, currentSettings(session)), "");
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
    const char* key;  // typed on the terminal, or nullptr to send `signal` (SIGWINCH: resize the window)
    int signal;
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

    if (param.key != nullptr) {
        sendBytes(session, param.key);
    } else if (param.signal == SIGWINCH) {
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
    testing::Values(FatalSignalCase{"CtrlC", "\x03", SIGINT}, FatalSignalCase{"Terminate", nullptr, SIGTERM},
                    FatalSignalCase{"HangUp", nullptr, SIGHUP}, FatalSignalCase{"User1", nullptr, SIGUSR1},
                    FatalSignalCase{"User2", nullptr, SIGUSR2}, FatalSignalCase{"Alarm", nullptr, SIGALRM},
                    FatalSignalCase{"VirtualAlarm", nullptr, SIGVTALRM}, FatalSignalCase{"Profiling", nullptr, SIGPROF},
                    FatalSignalCase{"BrokenPipe", nullptr, SIGPIPE}, FatalSignalCase{"Poll", nullptr, SIGPOLL},
                    FatalSignalCase{"Power", nullptr, SIGPWR}, FatalSignalCase{"RealTime", nullptr, SIGRTMIN + 1},
                    FatalSignalCase{"HighestRealTime", nullptr, SIGRTMAX},
                    FatalSignalCase{"IgnoredCtrlC", "\x03", SIGINT, true},
                    FatalSignalCase{"IgnoredHangUp", nullptr, SIGHUP, true},
                    FatalSignalCase{"IgnoredUser1", nullptr, SIGUSR1, true},
                    FatalSignalCase{"WindowResized", nullptr, SIGWINCH, false, true},
                    FatalSignalCase{"ChildEnded", nullptr, SIGCHLD, false, true},
                    FatalSignalCase{"UrgentData", nullptr, SIGURG, false, true}),
    [](const testing::TestParamInfo<FatalSignalCase>& testCase) { return std::string(testCase.param.name); });

// Stopped by Ctrl-Z, or by SIGTTIN or SIGTTOU sent by hand, and again at the same pause after fg.
TEST(TerminalSettings, OriginalWhileStoppedAndThePauseGoesOnAfterContinue)
{
    struct Row {
        const char* name;
        int signal;  // SIGTSTP: Ctrl-Z typed on the terminal
        int stops;
    };
    const Row rows[] = {{"Ctrl-Z", SIGTSTP, 1},
                        {"Ctrl-Z, fg, Ctrl-Z", SIGTSTP, 2},
                        {"kill -TTIN", SIGTTIN, 1},
                        {"kill -TTOU", SIGTTOU, 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const termios found = startingSettings();
        PtySession session;
        ASSERT_TRUE(reachStoryPause(session, {}, found)) << session.output;
        for (int stop = 0; stop < row.stops; ++stop) {
            ASSERT_TRUE(waitForRawMode(session)) << "the pause went on in cooked mode";
            if (row.signal == SIGTSTP) {
                sendBytes(session, "\x1a");
            } else {
                kill(session.game, row.signal);
            }
            ASSERT_TRUE(waitUntilStopped(session)) << session.output;
            EXPECT_EQ(settingsDifferences(found, currentSettings(session)), "");
            ASSERT_TRUE(shellContinuesInForeground(session));
        }
        expectStoryPauseStillWaits(session);
    }
}

// Stopped by a signal it cannot catch, the game cannot put the terminal back; the shell does, and
// the pause has to take raw mode again when it continues.
TEST(TerminalSettings, PauseGoesOnAfterAStopItCouldNotSee)
{
    const termios found = startingSettings();
    PtySession session;
    ASSERT_TRUE(reachStoryPause(session, {}, found)) << session.output;

    kill(session.game, SIGSTOP);
    ASSERT_TRUE(waitUntilStopped(session)) << session.output;
    applySettings(session, found);
    kill(session.game, SIGCONT);
    expectStoryPauseStillWaits(session);
}

// Alone in its session the game cannot be stopped: the kernel drops Ctrl-Z. Started with SIGTSTP
// ignored, by a launcher without job control, it must not be stopped. Either way the pause must
// go on as before, not in the terminal's cooked mode.
TEST(TerminalSettings, CtrlZThatCannotStopLeavesThePauseAsItWas)
{
    GameSetup setups[2];
    setups[0].launch = Launch::Alone;
    setups[1].ignoredSignals = {SIGTSTP};
    for (const GameSetup& setup : setups) {
        PtySession session;
        ASSERT_TRUE(reachStoryPause(session, setup)) << session.output;

        sendBytes(session, "\x1a");
        EXPECT_TRUE(staysQuiet(session, kSilence)) << takeRest(session);  // time for the signal to land
        EXPECT_FALSE(isStopped(session));
        expectStoryPauseStillWaits(session);
    }
}

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

// A shell's job control: a game in the background never changes the shell's terminal. Its pause
// waits stopped (SIGTTOU) until the shell brings it to the foreground, and then reads its key.
void expectStoppedWithTheShellsTerminal(PtySession& session, const termios& shells)
{
    EXPECT_TRUE(waitUntilStopped(session)) << "a pause in the background went on: " << session.output;
    EXPECT_EQ(settingsDifferences(shells, currentSettings(session)), "");
    ASSERT_TRUE(shellContinuesInForeground(session));
    expectStoryPauseStillWaits(session);
}

// Also when the game was started with SIGTTOU blocked, as a launcher may hand it down: blocked,
// the kernel would let the background game change the terminal instead of stopping it.
TEST(JobControl, StartedInTheBackgroundThePauseWaitsForTheForeground)
{
    for (const bool stopBlocked : {false, true}) {
        SCOPED_TRACE(stopBlocked ? "SIGTTOU blocked" : "nothing blocked");
        const termios found = startingSettings();
        PtySession session;
        GameSetup setup;
        setup.launch = Launch::InBackground;
        setup.answers = Answers::ThroughPipe;
        if (stopBlocked) {
            setup.blockedSignals = {SIGTTOU};
        }
        ASSERT_TRUE(spawnGame(session, setup, found)) << session.output;
        sendAnswers(session, "1\nAb\ny\ny\n");
        ASSERT_TRUE(waitForText(session, kPause)) << session.output;
        expectStoppedWithTheShellsTerminal(session, found);
    }
}

// `kill %1` on a stopped job: the shell sends SIGTERM, then SIGCONT. The game ends, and leaves the
// terminal alone, for it is no longer the game's: an editor started meanwhile holds it, raw.
TEST(JobControl, EndedWhileStoppedLeavesTheTerminalToTheJobThatHasIt)
{
    PtySession session;
    ASSERT_TRUE(reachStoryPause(session)) << session.output;
    sendBytes(session, "\x1a");
    ASSERT_TRUE(waitUntilStopped(session) && shellTakesTerminal(session)) << session.output;
    termios editors = startingSettings();
    editors.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
    editors.c_cc[VMIN] = 3;
    applySettings(session, editors);

    kill(session.game, SIGTERM);
    kill(session.game, SIGCONT);
    EXPECT_TRUE(killedBy(waitForExit(session), SIGTERM)) << session.output;
    EXPECT_EQ(settingsDifferences(editors, currentSettings(session)), "");
}

// The shell that leads the session exits while the game waits at a pause: the session is gone,
// and no other job can hold the terminal. Ended by the SIGHUP that follows, or playing on with
// it ignored, the game gives the terminal its own settings back.
TEST(JobControl, SessionGoneAtAPauseGivesTheTerminalBack)
{
    for (const bool hangUpIgnored : {false, true}) {
        SCOPED_TRACE(hangUpIgnored ? "SIGHUP ignored" : "SIGHUP at its default");
        const termios found = startingSettings();
        PtySession session;
        GameSetup setup;
        setup.launch = Launch::UnderLeader;
        if (hangUpIgnored) {
            setup.ignoredSignals = {SIGHUP};
        }
        ASSERT_TRUE(reachStoryPause(session, setup, found)) << session.output;
        ASSERT_TRUE(sessionLeaderLeaves(session));
        if (hangUpIgnored) {
            sendBytes(session, "k");
            ASSERT_TRUE(waitForText(session, kActionPrompt)) << session.output;
        } else {
            EXPECT_TRUE(killedBy(waitForExit(session), SIGHUP)) << session.output;
        }
        EXPECT_EQ(settingsDifferences(found, currentSettings(session)), "");
    }
}

TEST(JobControl, CtrlZAtAPauseThenBgThenFg)
{
    const termios found = startingSettings();
    PtySession session;
    ASSERT_TRUE(reachStoryPause(session, {}, found)) << session.output;
    sendBytes(session, "\x1a");
    ASSERT_TRUE(waitUntilStopped(session)) << session.output;
    ASSERT_TRUE(shellTakesTerminal(session));
    EXPECT_EQ(settingsDifferences(found, currentSettings(session)), "");

    ASSERT_TRUE(shellContinuesInBackground(session));
    expectStoppedWithTheShellsTerminal(session, found);
}

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
