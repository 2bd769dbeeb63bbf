"""The game in GBK: the POSIX binary under a GBK locale, and the Windows build (run under wine),
which writes code page 936 whatever the locale. Literal texts must come out in GBK, and names
byte for byte as typed.

The expected transcripts are the reference model's, converted from UTF-8 to GBK. With ASCII names
the conversion of a whole transcript is exact. Other names (typed in GBK, or odd bytes) are played
under an ASCII stand-in, whose place in the converted transcript then takes the name's bytes.

    python3 test_gbk.py --game PATH/qzvillage --clock PATH/libpinned_clock.so   (POSIX)
    python3 test_gbk.py --game PATH/qzvillage.exe --wine wine                   (Windows)

The Windows build is run with its clock pinned by faketime, in the wine prefix of the caller's
environment (WINEPREFIX), whose wine server should already be running.
"""
from __future__ import annotations

import argparse
import os
import random
import shlex
import subprocess
import sys
import tempfile
import time
import unittest
from concurrent.futures import ThreadPoolExecutor

import harness
import reference_game
import test_agreement

WINE: str | None = None  # --wine: the Windows build, run by this command

# Locales under which the POSIX build writes GBK; the Windows build writes GBK under UTF-8 ones too.
GBK_LOCALES = [{"LC_ALL": "zh_CN.GBK"}, {"LANG": "zh_CN.gb2312"}, {"LC_CTYPE": "zh_CN.GB18030"},
               {"LC_ALL": "zh_CN.CP936", "LANG": "en_US.UTF-8"}]
UTF8_LOCALES = [{"LC_ALL": "C.UTF-8"}, {"LANG": "en_US.UTF-8"}, {}]

DEFAULT_GAMES = 300  # a wine start is slower than a process on Linux: keep it a few hundred
ALWAYS_ATTACK = b"1\nHero\ny\ny\n" + b"1\n" * 3000
STAND_IN = b"Qz7Stand"


def gbk(utf8: bytes) -> bytes:
    return utf8.decode("utf-8").encode("gbk")


def run(seed: int, stdin: bytes | int, locale: dict[str, str]) -> harness.Run:
    """One game on the answers `stdin`, or on the descriptor `stdin` as its standard input."""
    streams = {"stdin": stdin} if isinstance(stdin, int) else {"stdin_bytes": stdin}
    if WINE is None:
        return harness.run_command(harness.game_command(), env=harness.game_env(seed, locale), **streams)
    env = {key: value for key, value in os.environ.items() if not key.startswith(("LC_", "LANG"))}
    env.update(locale)
    # faketime: a frozen clock at `seed` seconds, with the monotonic clock left alone (wine waits on it).
    env.update({"TZ": "UTC", "FAKETIME_FMT": "%s", "DONT_FAKE_MONOTONIC": "1"})
    # faketime starts wine as its child: a timeout must end both.
    return harness.run_command(["faketime", "-f", str(seed), WINE, harness.GAME], env=env, **streams)


def expected(seed: int, stdin: bytes, name: bytes | None = None) -> tuple[bytes, int]:
    """The reference transcript in GBK. With `name`, stdin names the hero STAND_IN, and the name
    takes its place in the transcript."""
    transcript, status = reference_game.play(seed, stdin)
    transcript = gbk(transcript)
    if name is not None:
        transcript = transcript.replace(STAND_IN, name)
    return transcript, status


def locales() -> list[dict[str, str]]:
    return GBK_LOCALES + (UTF8_LOCALES if WINE else [])


class GbkCase(unittest.TestCase):
    def check(self, seed: int, stdin: bytes, locale: dict[str, str], name: bytes | None = None) -> None:
        want, status = expected(seed, stdin, name)
        game_stdin = stdin if name is None else stdin.replace(STAND_IN, name)
        got = run(seed, game_stdin, locale)
        self.assertEqual(got.status, status, f"seed {seed}, locale {locale}")
        self.assertTrue(got.stdout == want, f"seed {seed}, locale {locale}, name {name!r}\n"
                        + harness.first_difference(want, got.stdout))
        self.assertEqual(got.stderr, b"")


class WholeGames(GbkCase):
    def test_the_title_alone(self) -> None:
        for stdin in (b"", b"2\n", b"abc\n"):
            with self.subTest(stdin=stdin):
                self.check(0, stdin, locales()[0])
        self.assertTrue(expected(0, b"")[0].startswith(b"QZ\xb4\xe5\xd5\xbd\xc4\xa7\xcd\xf5\n\n\n"))  # QZ村战魔王

    def test_a_defeat_under_every_locale_that_means_gbk(self) -> None:
        # Seed 0 loses with always attacking; 石魔 (BAC4 in GBK) is its first foe.
        self.assertIn(b"\xca\xaf\xc4\xa7", expected(0, ALWAYS_ATTACK)[0])
        for locale in locales():
            with self.subTest(locale=locale):
                self.check(0, ALWAYS_ATTACK, locale)

    def test_a_victory_and_beaten_enemies_met_again(self) -> None:
        for seed in (70, 10):
            with self.subTest(seed=seed):
                self.check(seed, ALWAYS_ATTACK, locales()[0])

    def test_edge_seeds(self) -> None:
        for seed in test_agreement.EDGE_SEEDS:
            with self.subTest(seed=seed):
                self.check(seed, b"1\nHero\ny\ny\n" + b"123456" * 300, locales()[0])


class UnreadableInput(unittest.TestCase):
    """A read that fails is no end of the input, on Windows as on POSIX (this script is the one
    that plays the Windows build): the title, then status 2 and one line on stderr."""

    def test_a_standard_input_open_only_for_writing(self) -> None:
        fd = os.open(os.devnull, os.O_WRONLY)
        try:
            got = run(0, fd, locales()[0])
        finally:
            os.close(fd)
        self.assertEqual((got.stdout, got.status), (expected(0, b"")[0], 2))
        self.assertEqual(got.stderr.rstrip(b"\r\n"), b"qzvillage: the game's input could not be read")


class Names(GbkCase):
    NAMES = ["勇者".encode("gbk"), "骷髅·剑士".encode("gbk"), "中文名字".encode("gbk") * 50,
             "勇者".encode("utf-8"),  # a UTF-8 name on a GBK console is still its own bytes
             b"\x1a", b"A\x1aB\x00C", b"\xff\xfe\xfd", b"\x80", b"\x1b[2J"]

    def test_names_are_echoed_byte_for_byte(self) -> None:
        stdin = b"1\n" + STAND_IN + b"\ny\ny\n" + b"1\n" * 3000
        for name in self.NAMES:
            with self.subTest(name=harness.shorten(name, 40)):
                self.check(3, stdin, locales()[0], name)

    def test_a_refused_gbk_name_is_replaced(self) -> None:
        stdin = b"1\nFirst\nn\n" + STAND_IN + b" y\r\ny\r\n" + b"4\r\n3\r\n1\r\n" * 500
        self.check(5, stdin, locales()[0], "小明".encode("gbk"))


class GeneratedLocales(GbkCase):
    """Locales made with localedef, as a system that has them installed: the C library's character
    set decides, and the name only when the locale is missing."""

    def test_the_c_library_names_the_character_set(self) -> None:
        if WINE:
            self.skipTest("the Windows build writes code page 936 whatever the locale")
        with tempfile.TemporaryDirectory() as root:
            for folder, charset in (("gb", "GB2312"), ("utf8", "UTF-8")):
                path = os.path.join(root, folder, "zh_CN")
                os.mkdir(os.path.dirname(path))
                made = subprocess.run(["localedef", "-c", "-i", "zh_CN", "-f", charset, path], capture_output=True)
                self.assertTrue(os.path.isdir(path), f"localedef (Debian's locales package): {made.stderr!r}")
            os.mkdir(os.path.join(root, "none"))
            rows = [("gb", "zh_CN", True),     # zh_CN in GB2312, glibc's default for it
                    ("utf8", "zh_CN", False),  # zh_CN in UTF-8: the C library, not the name, decides
                    ("none", "zh_CN", True),   # not installed: the name's default
                    ("none", "zh_TW", False)]
            for folder, name, writes_gbk in rows:
                with self.subTest(folder=folder, name=name):
                    locale = {"LOCPATH": os.path.join(root, folder), "LANG": name}
                    if writes_gbk:
                        self.check(0, ALWAYS_ATTACK, locale)
                    else:
                        self.assertEqual(run(0, ALWAYS_ATTACK, locale).stdout, reference_game.play(0, ALWAYS_ATTACK)[0])


class RandomGames(GbkCase):
    def test_random_games(self) -> None:
        master = harness.MASTER_SEED if harness.MASTER_SEED is not None else int(time.time())
        count = harness.GAMES or DEFAULT_GAMES
        print(f"\nmaster seed {master}, {count} games (replay with --master-seed {master})")
        rng = random.Random(master)
        games = [random_game(rng) for _ in range(count)]
        started = time.monotonic()
        with ThreadPoolExecutor(max_workers=min(4, os.cpu_count() or 1)) as pool:
            reports = [report for report in pool.map(compare, games) if report is not None]
        print(f"{count} games compared in {time.monotonic() - started:.1f} s")
        if reports:
            self.fail(f"{len(reports)} of {count} games disagree; the first ones:\n\n" + "\n\n".join(reports[:5]))


def ascii_name(rng: random.Random) -> bytes:
    return bytes(rng.choice(b"abcdefghYyNn0123456789_") for _ in range(rng.randint(1, 8)))


def random_game(rng: random.Random) -> tuple[int, bytes, dict[str, str]]:
    """Like the agreement test's games, with ASCII names, so that the whole transcript converts."""
    seed = rng.randrange(2**32)
    names = b""
    for _ in range(rng.choice([0, 0, 1, 2])):
        names += ascii_name(rng) + rng.choice(test_agreement.BLANKS) + rng.choice([b"n", b"x"]) + b"\n"
    names += ascii_name(rng) + rng.choice(test_agreement.BLANKS) + rng.choice([b"y", b"Y"]) + b"\n"
    habit = rng.choice(["always-1", "digits", "cautious", "fumbling"])
    stdin = (test_agreement.title_answer(rng) + names + test_agreement.stats_dialogue(rng)
             + test_agreement.battle_answers(rng, habit))
    if rng.random() < 0.2:
        stdin = stdin[:rng.randrange(len(stdin) + 1)]
    return seed, stdin, rng.choice(locales())


def compare(game: tuple[int, bytes, dict[str, str]]) -> str | None:
    seed, stdin, locale = game
    want, status = expected(seed, stdin)
    try:
        got = run(seed, stdin, locale)
    except Exception as error:  # a timeout above all
        return f"seed {seed}, locale {locale}: {error!r}\ninput {harness.shorten(stdin)}"
    if got.stdout == want and got.status == status and got.stderr == b"":
        return None
    return (f"seed {seed}, locale {locale}\ninput {harness.shorten(stdin)}\n"
            f"status expected {status}, actual {got.status}; stderr {got.stderr[:200]!r}\n"
            + harness.first_difference(want, got.stdout))


def main() -> None:
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--game", required=True, help="qzvillage, or qzvillage.exe with --wine")
    parser.add_argument("--clock", help="libpinned_clock.so (POSIX)")
    parser.add_argument("--wine", help="the command that runs the Windows build")
    parser.add_argument("--emulator", default="", help="the command line that runs a cross-built POSIX build")
    parser.add_argument("--games", type=int, default=0)
    parser.add_argument("--master-seed", type=int)
    args, rest = parser.parse_known_args()
    if (args.clock is None) == (args.wine is None):
        parser.error("give --clock for a POSIX build or --wine for a Windows one")
    global WINE
    WINE = args.wine
    harness.GAME = os.path.abspath(args.game)
    harness.CLOCK = os.path.abspath(args.clock) if args.clock else ""
    harness.EMULATOR = shlex.split(args.emulator)
    harness.GAMES, harness.MASTER_SEED = args.games, args.master_seed
    unittest.main(module="__main__", argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
