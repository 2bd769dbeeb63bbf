"""The real binary under hostile input and hostile surroundings: nothing to read, only blanks,
huge names and lines, NULs and invalid UTF-8, CRLF line ends, standard input or output closed,
unreadable or non-blocking, a reader that goes away early or reads slowly, and a full standard
error. Each run is bounded by a timeout and must end with a sane status; where the transcript is
defined it is checked too, and stderr stays empty unless the game failed.
"""
from __future__ import annotations

import os
import random
import resource
import signal
import socket
import subprocess
import tempfile
import time

import harness
import reference_game

TITLE = harness.TITLE
MIB = 1 << 20
BIG_TIMEOUT = 120.0


def roll(hp: int, mp: int, dps: int, left: int) -> bytes:
    return f"你的HP：{hp}\n你的MP：{mp}\n你的DPS：{dps}\n满意你的属性么？还有{left}次机会(Y/N):".encode()


def proc_stat(pid: int) -> list[str]:
    """The fields of /proc/PID/stat after the command's name, which may hold spaces: the state first."""
    with open(f"/proc/{pid}/stat") as stat:
        return stat.read().rsplit(")", 1)[1].split()


def cpu_seconds(pid: int) -> float:
    """The CPU time, user and system, that our child `pid` has used so far."""
    fields = proc_stat(pid)
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def wait_until_waiting(pid: int) -> None:
    """Returns once our child `pid` sleeps, waiting for something, or has ended; or after the timeout."""
    deadline = time.monotonic() + harness.DEFAULT_TIMEOUT
    while proc_stat(pid)[0] not in "SZ" and time.monotonic() < deadline:
        time.sleep(0.001)


class NothingToPlay(harness.GameTestCase):
    """No usable first answer: the title is shown, then the game ends quietly with status 0."""

    def check_title_only(self, run: harness.Run) -> None:
        self.assertEqual((run.stdout, run.status, run.stderr), (TITLE, 0, b""))

    def test_empty_input(self) -> None:
        self.check_title_only(harness.run_game(0, b""))

    def test_stdin_from_dev_null(self) -> None:
        self.check_title_only(harness.run_command(harness.game_command(), stdin=subprocess.DEVNULL))

    def test_only_white_space(self) -> None:
        self.check_title_only(harness.run_game(0, b" \t\r\n\v\f" * 100_000))

    def test_stdin_closed(self) -> None:
        # fd 0 is not open at all, as after the shell's <&-.
        self.check_title_only(harness.run_command(["sh", "-c", 'exec "$0" "$@" <&-', *harness.game_command()]))

    def test_nul_and_invalid_utf8_at_the_title(self) -> None:
        for stdin in (b"\x001\n", b"\xff\xfe1\n", b"\xe4\xb8\n1\n", "１\n".encode()):
            with self.subTest(stdin=stdin):
                self.check_title_only(harness.run_game(0, stdin))

    def test_a_megabyte_number_at_the_title(self) -> None:
        self.check_title_only(harness.run_game(0, b"1" * MIB))
        # Leading zeros do not count: this is 1, and the campaign begins.
        run = harness.run_game(0, b"0" * MIB + b"1 Ab")
        self.assertEqual((run.stdout, run.status), (TITLE + "请输入你的名字：你的名字是：Ab确定吗？(Y/N):\n".encode(), 0))


class OddNames(harness.GameTestCase):
    def test_a_64_mib_name_is_echoed_whole_and_can_be_replaced(self) -> None:
        rng = random.Random(64)
        chunk = bytes(rng.choice([b for b in range(256) if b not in b" \t\n\v\f\r"]) for _ in range(4096))
        name = chunk * (64 * MIB // len(chunk))
        run = harness.run_game(0, b"1\n" + name + b"\nn\nAb\ny\n", timeout=BIG_TIMEOUT)
        expected = (TITLE + "请输入你的名字：你的名字是：".encode() + name + "确定吗？(Y/N):".encode()
                    + "请输入你的名字：你的名字是：Ab确定吗？(Y/N):".encode() + roll(138, 19, 38, 9) + b"\n")
        self.assertEqual(run.status, 0)
        self.assertEqual(run.stderr, b"")
        self.assertTrue(run.stdout == expected, harness.first_difference(expected, run.stdout))

    def test_nul_and_invalid_utf8_in_names_are_echoed_byte_for_byte(self) -> None:
        for name in (b"\x00", b"A\x00B", b"\xff\xfe\xfd", b"\xc3\x28", b"\xed\xa0\x80", b"\xd3\xc2\xd5\xdf",
                     b"\x1b[2J", b"\x7f\x01"):
            with self.subTest(name=name):
                run = self.assert_matches_reference(3, b"1\n" + name + b"\ny\ny\n" + b"1\n" * 500)
                self.assertIn("你的名字是：".encode() + name + "确定吗？".encode(), run.stdout)
                self.assertIn("他的名字叫".encode() + name + b"\n", run.stdout)

    def test_nul_and_invalid_utf8_at_the_action_menu_are_lost_turns(self) -> None:
        junk = [b"\x00", b"\xff", b"\x80", b"\xc3", "中".encode(), b"\x1b[A"]
        rng = random.Random(7)
        for seed in (0, 1, 70):
            stdin = b"1\nHero\ny\ny\n" + b"".join(rng.choice(junk + [b"1", b"2", b"5"]) for _ in range(3000))
            with self.subTest(seed=seed):
                self.assert_matches_reference(seed, stdin)


class LineEndsAndLongLines(harness.GameTestCase):
    def test_crlf_plays_exactly_like_lf(self) -> None:
        lf = b"1\nFirst\nn\nHero\ny\nn\nn\ny\n" + b"1\n2\n5\n6\n3\n4\n" * 300
        for seed in (0, 70, 2**32 - 1):
            with self.subTest(seed=seed):
                with_lf = harness.run_game(seed, lf)
                with_crlf = self.assert_matches_reference(seed, lf.replace(b"\n", b"\r\n"))
                self.assertEqual((with_crlf.stdout, with_crlf.status), (with_lf.stdout, with_lf.status))

    def test_megabytes_of_actions_in_one_line(self) -> None:
        rng = random.Random(4)
        digits = bytes(rng.choice(b"123456") for _ in range(4 * MIB))
        for seed, actions in ((70, b"1" * (4 * MIB)), (0, b"1" * (4 * MIB)), (1, digits), (2**31, digits)):
            with self.subTest(seed=seed):
                self.assert_matches_reference(seed, b"1\nHero\ny\ny\n" + actions, timeout=BIG_TIMEOUT)

    def test_only_garbage_against_an_enemy_that_never_attacks_goes_on_until_input_ends(self) -> None:
        # Seed 70: after the hero's hp falls into the 10..29 band with mp to spare, the foe only
        # heals and shields, so every lost turn is one more round until the answers run out.
        run = self.assert_matches_reference(70, b"1\nHero\ny\ny\n" + b"x" * 20_000, timeout=BIG_TIMEOUT)
        self.assertEqual(run.status, 0)
        self.assertTrue(run.stdout.endswith("选择：\n".encode()))


INPUT_FAILED = b"qzvillage: the game's input could not be read\n"


def reset_after_a_one() -> int:
    """A socket that hands out "1", then fails the next read (ECONNRESET): its peer has closed with
    bytes of its own unread."""
    ours, theirs = socket.socketpair()
    ours.send(b"never read")
    theirs.send(b"1")
    theirs.close()
    return ours.detach()


class UnreadableInput(harness.GameTestCase):
    """A standard input whose read fails is no end of the input: the title, then status 2 and one
    line on stderr. A number that a failed read cuts short is no answer: no campaign starts."""

    def test_a_directory_a_descriptor_open_only_for_writing_or_a_reset_after_a_one(self) -> None:
        for name, open_stdin in (("directory", lambda: os.open(os.curdir, os.O_RDONLY)),
                                 ("write-only", lambda: os.open(os.devnull, os.O_WRONLY)),
                                 ("1, then a reset", reset_after_a_one)):
            with self.subTest(stdin=name):
                fd = open_stdin()
                try:
                    run = harness.run_command(harness.game_command(), stdin=fd)
                finally:
                    os.close(fd)
                self.assertEqual((run.stdout, run.status, run.stderr), (TITLE, 2, INPUT_FAILED))


MEMORY_RAN_OUT = b"qzvillage: not enough memory for the game's input\n"


class MemoryRunsOut(harness.GameTestCase):
    """A name larger than the memory left is no failed read: status 2, one line on stderr that
    says memory ran out, and what was shown before it kept."""

    def test_a_name_larger_than_the_memory_left(self) -> None:
        if harness.EMULATOR:
            self.skipTest("an emulator reserves more address space than the limits here")
        with open(harness.GAME, "rb") as game:
            if b"__asan_init" in game.read():
                self.skipTest("AddressSanitizer needs more address space than the limits here")
        rows = (("a 40 MiB name under a 48 MiB limit", 48, "head -c 41943040 /dev/zero | tr '\\0' N"),
                ("an endless name of zero bytes under 256 MiB", 256, "exec cat /dev/zero"))
        for what, limit_mib, name in rows:
            def limit_memory(mib: int = limit_mib) -> None:
                resource.setrlimit(resource.RLIMIT_AS, (mib * MIB, mib * MIB))
            with self.subTest(what):
                proc = subprocess.run(["sh", "-c", '{ printf "1\\n"; %s; } | exec "$0"' % name, harness.GAME],
                                      capture_output=True, env=harness.game_env(0), start_new_session=True,
                                      preexec_fn=limit_memory, timeout=BIG_TIMEOUT)
                self.assertEqual((proc.stdout, proc.returncode, proc.stderr),
                                 (TITLE + "请输入你的名字：".encode(), 2, MEMORY_RAN_OUT))


class InheritedDescriptors(harness.GameTestCase):
    """Standard input and output as a parent may leave them, non-blocking: the game waits for them
    as for blocking ones, so the transcript and the status are the same."""

    SEED = 70  # always attacking wins: every kind of line, and many pauses
    ANSWERS = [b"1\n", b"Hero\n", b"y\n", b"y\n", b"1\n" * 3000]

    def start(self, **streams) -> subprocess.Popen:
        return subprocess.Popen(harness.game_command(), stderr=subprocess.PIPE, env=harness.game_env(self.SEED),
                                start_new_session=True, **streams)

    def test_non_blocking_input_whose_answers_come_late(self) -> None:
        read_end, write_end = os.pipe()
        os.set_blocking(read_end, False)
        proc = self.start(stdin=read_end, stdout=subprocess.PIPE)
        os.close(read_end)
        # The player thinks a while at the title: the game waits, using next to no CPU time, where a
        # read retried at once would spin through nearly all of it.
        wait_until_waiting(proc.pid)
        started, cpu_before = time.monotonic(), cpu_seconds(proc.pid)
        time.sleep(1)
        thinking, spent = time.monotonic() - started, cpu_seconds(proc.pid) - cpu_before
        try:
            for answer in self.ANSWERS:
                time.sleep(0.05)  # the game has asked by now and found nothing to read
                os.write(write_end, answer)
        except BrokenPipeError:
            pass  # the game quit early: the transcript shows where
        os.close(write_end)
        out, err = proc.communicate(timeout=harness.DEFAULT_TIMEOUT)
        self.assert_matches_reference(self.SEED, b"".join(self.ANSWERS), harness.Run(out, err, proc.returncode))
        self.assertLess(spent, thinking / 10, "the game spun while it waited for an answer")

    def test_non_blocking_output_with_a_slow_reader(self) -> None:
        answers = b"".join(self.ANSWERS).replace(b"Hero", b"H" * 20_000)  # megabytes of output
        read_end, write_end = os.pipe()
        os.set_blocking(write_end, False)
        proc = self.start(stdin=subprocess.PIPE, stdout=write_end)
        os.close(write_end)
        proc.stdin.write(answers)
        proc.stdin.close()
        out = bytearray()
        while chunk := os.read(read_end, 4096):
            out += chunk
            time.sleep(0.0005)  # the pipe fills, and the game's writes find it full
        os.close(read_end)
        proc.wait(timeout=harness.DEFAULT_TIMEOUT)
        self.assertGreater(len(out), 1 << 20)
        self.assert_matches_reference(self.SEED, answers, harness.Run(bytes(out), proc.stderr.read(), proc.returncode))
        proc.stderr.close()


class WithoutATerminal(harness.GameTestCase):
    def test_the_terminal_is_looked_for_once_in_a_game(self) -> None:
        count_read, count_write = os.pipe()
        env = harness.game_env(70)
        env.update(harness.preload(harness.CLOCK, harness.TTY_OPEN_COUNTER))
        env["QZ_TTY_OPENS_FD"] = str(count_write)
        answers = b"1\nHero\ny\ny\n" + b"1\n" * 3000
        proc = subprocess.run(harness.game_command(), input=answers, capture_output=True, env=env, start_new_session=True,
                              pass_fds=(count_write,), timeout=harness.DEFAULT_TIMEOUT)
        os.close(count_write)
        with os.fdopen(count_read, "rb") as counts:
            opens = len(counts.read())
        self.assertEqual(proc.stdout, reference_game.play(70, answers)[0])
        self.assertGreater(proc.stdout.count(harness.PAUSE), 100)
        self.assertEqual(opens, 1)


OUTPUT_FAILED = b"qzvillage: the game's output could not be written\n"


class ClosedOrVanishingOutput(harness.GameTestCase):
    """Nobody reads the game's output: it must end at once (SIGPIPE, or status 2 with one line on
    stderr), not play on. A closed stdout is another matter: the game plays on into /dev/null."""

    LONG_GAME = b"1\n" + b"N" * MIB + b"\ny\ny\n" + b"1\n" * 3000  # every line with the name is 1 MiB

    def setUp(self) -> None:
        handle, self.input_path = tempfile.mkstemp(prefix="qz_e2e_")
        with os.fdopen(handle, "wb") as file:
            file.write(self.LONG_GAME)

    def tearDown(self) -> None:
        os.unlink(self.input_path)

    def test_stdout_closed(self) -> None:
        with open(self.input_path, "rb") as stdin:
            run = harness.run_command(["sh", "-c", 'exec "$0" "$@" >&-', *harness.game_command()], stdin=stdin, seed=70)
        self.assertIn(run.status, (0, 1))
        self.assertEqual(run.stderr, b"")

    def reader_leaves_after_100_bytes(self, restore_signals: bool) -> harness.Run:
        with open(self.input_path, "rb") as stdin:
            proc = subprocess.Popen(harness.game_command(), stdin=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                    env=harness.game_env(70), start_new_session=True,
                                    restore_signals=restore_signals)
        try:
            head = proc.stdout.read(100)
            proc.stdout.close()
            proc.wait(timeout=harness.DEFAULT_TIMEOUT)
            return harness.Run(head, proc.stderr.read(), proc.returncode)
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            proc.stderr.close()

    def test_reader_goes_away_early(self) -> None:
        run = self.reader_leaves_after_100_bytes(restore_signals=True)
        self.assertEqual(run.stdout, (TITLE + "请输入你的名字：你的名字是：".encode() + b"N" * 100)[:100])
        self.assertIn(run.status, (-signal.SIGPIPE, 0, 1))
        self.assertEqual(run.stderr, b"")

    def test_reader_goes_away_early_with_sigpipe_ignored(self) -> None:
        # Writes now fail with EPIPE instead of killing the game: it must notice and quit.
        run = self.reader_leaves_after_100_bytes(restore_signals=False)
        self.assertEqual((run.status, run.stderr), (2, OUTPUT_FAILED))

    def test_output_to_a_full_device(self) -> None:
        for stdin in (b"2\n", self.LONG_GAME):
            with self.subTest(stdin=stdin[:10]):
                run = harness.run_command(["sh", "-c", 'exec "$0" "$@" >/dev/full', *harness.game_command()], stdin_bytes=stdin)
                self.assertEqual((run.status, run.stderr), (2, OUTPUT_FAILED))

    def test_output_to_a_full_device_and_stderr_to_a_full_non_blocking_pipe(self) -> None:
        # The line waits for room: read once the game waits, it follows what filled the pipe. A
        # reader that never reads holds the game only a moment, well within the timeout; nor does one
        # that has gone, SIGPIPE ignored.
        for reader in ("reads", "never reads", "gone"):
            with self.subTest(reader), open(os.devnull, "rb") as stdin, open("/dev/full", "wb") as stdout:
                read_end, write_end = os.pipe()
                os.set_blocking(write_end, False)
                filled = os.write(write_end, b"x" * MIB)  # as much as the pipe holds
                with os.fdopen(read_end, "rb") as stderr:
                    if reader == "gone":
                        stderr.close()
                    proc = subprocess.Popen(harness.game_command(), stdin=stdin, stdout=stdout, stderr=write_end,
                                            env=harness.game_env(0), start_new_session=True, restore_signals=False)
                    self.addCleanup(proc.kill)  # a game still waiting when a check fails
                    os.close(write_end)
                    if reader == "reads":
                        wait_until_waiting(proc.pid)
                        self.assertEqual(stderr.read(), b"x" * filled + OUTPUT_FAILED)
                    self.assertEqual(proc.wait(timeout=harness.DEFAULT_TIMEOUT), 2)

    def test_piped_into_head(self) -> None:
        run = harness.run_command(["bash", "-c", '"${@:2}" < "$1" | head -c 100; exit "${PIPESTATUS[0]}"',
                                   "bash", self.input_path, *harness.game_command()], seed=70)
        self.assertEqual(len(run.stdout), 100)
        self.assertIn(run.status, (128 + signal.SIGPIPE, 0, 1))
        self.assertEqual(run.stderr, b"")


if __name__ == "__main__":
    harness.main()
