// A terminal that hangs up while the game waits at a pause, as when its window is closed, or a
// standard output that takes only part of a write. Neither leaves the game waiting or spinning,
// and neither changes a byte of what it writes.
//
// The game is its terminal's session leader here, to whom the kernel sends SIGHUP on the hang-up
// (a shell would pass it on to its jobs). Its answers come through a pipe and its output goes to
// another, so that a game that ignores SIGHUP can play on to the end of its answers.
#include "tests/posix/detached_game.h"
#include "tests/support/pty_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

// The hero only awakens magic: a long game that the first foe never ends, over by the end of the
// answers.
std::string magicTurns(int turns)
{
    std::string answers;
    for (int i = 0; i < turns; ++i) {
        answers += "6\n";
    }
    return answers;
}

// A name of `size` bytes or a few more, in numbered parts: a part lost or written twice shows.
std::string numberedName(std::size_t size)
{
    std::string name;
    for (int part = 0; name.size() < size; ++part) {
        name += std::to_string(part) + ',';
    }
    return name;
}

// The title, `name`, both questions, and the magic turns.
std::string gameAnswers(const std::string& name, int turns) { return "1\n" + name + "\ny\ny\n" + magicTurns(turns); }

// A game played to its end: everything it wrote, and how it ended.
struct Played {
    std::optional<std::string> transcript;
    std::optional<Ended> ended;
};

// Plays the game of `answers` without a terminal, its output to the write end of `output`, read
// back by the test from the other end, `slowly` when only a full descriptor should be read.
Played playDetached(const std::string& answers, int (&output)[2], bool slowly)
{
    int input[2] = {-1, -1};
    if (pipe(input) != 0) {
        return {};
    }
    const bool written = write(input[1], answers.data(), answers.size()) == static_cast<ssize_t>(answers.size());
    close(input[1]);
    const pid_t game = written ? startDetachedGame(input[0], output[1]) : -1;
    close(input[0]);
    close(output[1]);
    Played played;
    played.transcript = readToEnd(output[0], slowly ? game : -1);
    close(output[0]);
    played.ended = game > 0 ? reapWithUsage(game) : std::nullopt;
    return played;
}

bool exitedWith(const std::optional<Ended>& ended, int code)
{
    return ended && WIFEXITED(ended->status) && WEXITSTATUS(ended->status) == code;
}

}  // namespace

TEST(TerminalGone, HangUpAtAPauseEndsTheWaitAtOnce)
{
    int pipeOutput[2] = {-1, -1};
    ASSERT_EQ(pipe(pipeOutput), 0);
    const Played withoutTerminal = playDetached(gameAnswers("Ab", 150), pipeOutput, false);
    ASSERT_TRUE(withoutTerminal.transcript && exitedWith(withoutTerminal.ended, 0));

    // The last row waits in ppoll: every descriptor below FD_SETSIZE was taken before the game.
    const struct {
        bool hangUpIgnored;
        bool descriptorsLeaked;
    } rows[] = {{false, false}, {true, false}, {true, true}};
    for (const auto& [hangUpIgnored, descriptorsLeaked] : rows) {
        SCOPED_TRACE(std::string(hangUpIgnored ? "SIGHUP ignored" : "SIGHUP at its default") +
                     (descriptorsLeaked ? ", the terminal beyond FD_SETSIZE" : ""));
        PtySession session;
        GameSetup setup;
        setup.launch = Launch::Alone;
        setup.descriptorsLeaked = descriptorsLeaked;
        setup.answers = Answers::ThroughPipe;
        setup.outputToPipe = true;
        if (hangUpIgnored) {
            setup.ignoredSignals = {SIGHUP};
        }
        ASSERT_TRUE(spawnGame(session, setup, startingSettings())) << session.output;
        sendAnswers(session, "1\nAb\ny\ny\n");
        ASSERT_TRUE(waitForRawMode(session));  // the story's pause reads its key
        hangUp(session);
        sendAnswers(session, magicTurns(150));
        close(std::exchange(session.answers, -1));

        const std::optional<std::string> transcript = readToEnd(session.reader);
        const std::optional<Ended> ended = reapWithUsage(session.leader);
        if (ended) {
            session.leader = session.game = -1;  // nothing left for the session to kill
        }
        ASSERT_TRUE(transcript && ended) << "the game went on waiting after the hang-up";
        if (hangUpIgnored) {
            EXPECT_EQ(*transcript, *withoutTerminal.transcript);
            EXPECT_EQ(ended->status, withoutTerminal.ended->status);
        } else {
            EXPECT_TRUE(WIFSIGNALED(ended->status) && WTERMSIG(ended->status) == SIGHUP) << ended->status;
        }
        // The whole game's, which takes a few milliseconds; a spin takes all the time it is given.
        EXPECT_LT(ended->cpuSeconds, 0.5) << "the game spun after the hang-up";
    }
}

// A non-blocking socket with a small buffer as standard output, as under inetd or socat, read only
// once it is full. A long name makes whole buffers of output, of which the socket takes a part at
// a time: the rest must follow, neither lost nor repeated.
TEST(StandardOutput, PartialWritesToANonBlockingSocketLoseAndRepeatNothing)
{
    const std::string answers = gameAnswers(numberedName(9000), 20);
    int pipeOutput[2] = {-1, -1};
    ASSERT_EQ(pipe(pipeOutput), 0);
    const Played throughPipe = playDetached(answers, pipeOutput, false);
    ASSERT_TRUE(throughPipe.transcript && exitedWith(throughPipe.ended, 0));

    int socketOutput[2] = {-1, -1};
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, socketOutput), 0);
    const int small = 4096;
    ASSERT_EQ(setsockopt(socketOutput[1], SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
    ASSERT_EQ(fcntl(socketOutput[1], F_SETFL, O_NONBLOCK), 0);
    const Played throughSocket = playDetached(answers, socketOutput, true);
    ASSERT_TRUE(throughSocket.transcript && throughSocket.ended);
    EXPECT_EQ(throughSocket.transcript->size(), throughPipe.transcript->size());
    const std::string& got = *throughSocket.transcript;
    const std::string& want = *throughPipe.transcript;
    const auto differ = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    EXPECT_TRUE(got == want) << "the transcripts differ from byte " << differ.first - got.begin();
    EXPECT_EQ(throughSocket.ended->status, throughPipe.ended->status);
}
