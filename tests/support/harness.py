"""Running the real qzvillage binary from end-to-end tests.

The game is started with the clock pin preloaded, so QZ_PINNED_TIME is its seed, in a new
session: with no controlling terminal the pause prompt does not wait, and every run is bounded
by a timeout. The reference model in ../reference is made importable as `reference_game`.
A game built for another architecture runs under qemu's user-mode emulator (--emulator, its
command line): the libraries to preload then reach the game alone, through the emulator.

Each test script runs as
    PYTHONPATH=tests/support python3 tests/e2e/test_x.py --game PATH/qzvillage --clock PATH/libpinned_clock.so [unittest args]
with --emulator "qemu-aarch64-static -L ROOT" for a cross build.
"""
from __future__ import annotations

import argparse
import os
import shlex
import signal
import subprocess
import sys
import unittest
from dataclasses import dataclass

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "reference"))

import reference_game  # noqa: E402  (the path above must come first)

GAME: str = ""
CLOCK: str = ""
GAMES: int = 0          # --games: how many random games to compare (0: the script's default)
MASTER_SEED: int | None = None  # --master-seed: replays one earlier random run
TTY_OPEN_COUNTER: str = ""  # --tty-open-counter: the library that counts the game's opens of /dev/tty
EMULATOR: list[str] = []  # --emulator: the command line the game runs under, empty for a native build

DEFAULT_TIMEOUT = 30.0

TITLE = "QZ村战魔王\n\n\n1新游戏\n2退出游戏\n选择：".encode()
PAUSE = "按任意键继续...\n".encode()


@dataclass
class Run:
    stdout: bytes
    stderr: bytes
    status: int  # negative: killed by that signal


def game_command() -> list[str]:
    """The command line that starts the game: its path, after the emulator's in a cross build."""
    return EMULATOR + [GAME]


def preload(*libraries: str) -> dict[str, str]:
    """The environment that preloads `libraries` into the game. Under the emulator they are the
    target's, so they go to the game alone (qemu's QEMU_SET_ENV): the host's loader would refuse
    them, aloud, in every host program between (a shell, the emulator's own start)."""
    value = " ".join(libraries)
    return {"QEMU_SET_ENV": f"LD_PRELOAD={value}"} if EMULATOR else {"LD_PRELOAD": value}


def game_env(seed: int, locale: dict[str, str] | None = None) -> dict[str, str]:
    """A clean environment: the clock pin, the seed and a UTF-8 or C locale, nothing inherited
    that could change the game's encoding."""
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"),
           "QZ_PINNED_TIME": str(seed)}
    env.update(preload(CLOCK))
    env.update({"LC_ALL": "C"} if locale is None else locale)
    return env


def run_game(seed: int, stdin: bytes, *, locale: dict[str, str] | None = None,
             timeout: float = DEFAULT_TIMEOUT) -> Run:
    """One whole game on `stdin`; raises subprocess.TimeoutExpired (after killing it) if it
    does not end in time."""
    proc = subprocess.run(game_command(), input=stdin, capture_output=True, env=game_env(seed, locale),
                          start_new_session=True, timeout=timeout)
    return Run(proc.stdout, proc.stderr, proc.returncode)


def run_command(argv: list[str], *, seed: int = 0, stdin=subprocess.DEVNULL, stdin_bytes: bytes | None = None,
                timeout: float = DEFAULT_TIMEOUT, restore_signals: bool = True,
                env: dict[str, str] | None = None) -> Run:
    """Like run_game for an arbitrary command line (a shell or another launcher wrapping the game),
    killing the whole process group on a timeout: a launcher killed alone leaves the game running."""
    proc = subprocess.Popen(argv, stdin=subprocess.PIPE if stdin_bytes is not None else stdin,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env or game_env(seed),
                            start_new_session=True, restore_signals=restore_signals)
    try:
        out, err = proc.communicate(stdin_bytes, timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.communicate()
        raise
    return Run(out, err, proc.returncode)


def first_difference(expected: bytes, actual: bytes) -> str:
    """Where two transcripts part: the line number, the column and both versions around it."""
    exp_lines = expected.split(b"\n")
    act_lines = actual.split(b"\n")
    for number, (e, a) in enumerate(zip(exp_lines, act_lines), start=1):
        if e != a:
            column = next((i for i, (x, y) in enumerate(zip(e, a)) if x != y), min(len(e), len(a)))
            start = max(0, column - 60)
            return (f"first difference at line {number}, byte {column + 1}:\n"
                    f"  expected {readable(e[start:column + 100])}\n"
                    f"  actual   {readable(a[start:column + 100])}")
    if len(exp_lines) != len(act_lines):
        shorter = "actual" if len(act_lines) < len(exp_lines) else "expected"
        n = min(len(exp_lines), len(act_lines))
        extra = b"\n".join((exp_lines if shorter == "actual" else act_lines)[n:n + 2])
        return f"{shorter} ends after line {n}; the other goes on with {readable(extra[:200])}"
    return "transcripts are identical"


def readable(data: bytes) -> str:
    """Text as the player would read it, odd bytes escaped."""
    return repr(data.decode("utf-8", errors="backslashreplace"))


def shorten(data: bytes, limit: int = 1500) -> str:
    if len(data) <= limit:
        return repr(data)
    return f"{data[:limit]!r}... ({len(data)} bytes in all)"


class GameTestCase(unittest.TestCase):
    """Assertions shared by the end-to-end tests."""

    def assert_matches_reference(self, seed: int, stdin: bytes, run: Run | None = None, **kw) -> Run:
        run = run or run_game(seed, stdin, **kw)
        expected, status = reference_game.play(seed, stdin)
        if run.stdout != expected or run.status != status:
            self.fail(f"seed {seed}, input {shorten(stdin)}\n"
                      f"status expected {status}, actual {run.status}\n"
                      + first_difference(expected, run.stdout))
        self.assertEqual(run.stderr, b"", f"seed {seed}: something on stderr")
        return run


def main() -> None:
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--game", required=True, help="the qzvillage executable")
    parser.add_argument("--clock", required=True, help="libpinned_clock.so")
    parser.add_argument("--games", type=int, default=0)
    parser.add_argument("--master-seed", type=int)
    parser.add_argument("--tty-open-counter", default="")
    parser.add_argument("--emulator", default="", help="the command line that runs a cross-built game")
    args, rest = parser.parse_known_args()
    global GAME, CLOCK, GAMES, MASTER_SEED, TTY_OPEN_COUNTER, EMULATOR
    GAME, CLOCK = os.path.abspath(args.game), os.path.abspath(args.clock)
    EMULATOR = shlex.split(args.emulator)
    GAMES, MASTER_SEED = args.games, args.master_seed
    TTY_OPEN_COUNTER = args.tty_open_counter and os.path.abspath(args.tty_open_counter)
    unittest.main(module="__main__", argv=[sys.argv[0]] + rest, verbosity=2)
