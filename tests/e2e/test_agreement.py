"""Random games on the real binary, compared byte for byte (exit status included) with the
reference model.

Each game has its own seed and an input typed by one of several kinds of player: one who always
attacks, one who picks digits 1-6 at random, one who fumbles garbage, blanks and line ends in
between, one who refuses at the Y/N questions, and one whose answers simply stop somewhere.
Names carry odd bytes: NULs, control characters, invalid UTF-8, GBK bytes, two words.

The whole run is driven by one master seed, printed first; --master-seed N replays a run and
--games N changes its size. A mismatch prints the game's seed, its input and the first line
where the two transcripts part, and keeps the whole input in a file.
"""
from __future__ import annotations

import os
import random
import tempfile
import time
from collections import Counter
from concurrent.futures import ThreadPoolExecutor

import harness
import reference_game

DEFAULT_GAMES = 2000

# Seeds at the edges of the 32-bit state, always among the games.
EDGE_SEEDS = [0, 1, 2**31 - 1, 2**31, 2**31 + 1, 2**32 - 2, 2**32 - 1]

# The locales the game must write UTF-8 under.
LOCALES = [{"LC_ALL": "C"}, {"LC_ALL": "C.UTF-8"}, {"LANG": "C.UTF-8"}, {"LC_CTYPE": "en_US.UTF-8"}, {},
           {"LC_ALL": "POSIX"}, {"LC_ALL": "", "LANG": "en_US.utf8"}]

BLANKS = [b" ", b"\t", b"\n", b"\r\n", b"\v", b"\f", b"  \n\n"]
GARBAGE = [b"0", b"7", b"8", b"9", b"x", b"N", b"y", b"-", b"+", b"\x00", b"\x7f", b"\xff", b"\x80",
           "中".encode(), "\u3000".encode(), b"\xd6\xd0", b"\x1b[A", b"abc"]


def random_name(rng: random.Random) -> bytes:
    kind = rng.randrange(8)
    if kind == 0:
        return rng.choice([b"Hero", b"A", b"x1", b"Y", b"N"])
    if kind == 1:
        return rng.choice(["勇者", "小明", "骷髅·剑士", "ＱＺ"]).encode()
    if kind == 2:  # any bytes but the C locale's white space
        allowed = [b for b in range(256) if b not in b" \t\n\v\f\r"]
        return bytes(rng.choice(allowed) for _ in range(rng.randint(1, 12)))
    if kind == 3:
        return rng.choice([b"\x00", b"A\x00B", b"\xc3\x28", b"\xe4\xb8", b"\xff\xfe\xfd", b"\xd3\xc2\xd5\xdf"])
    if kind == 4:
        return b"N" * rng.randint(200, 3000)
    if kind == 5:
        return rng.choice([b"(((((", b"1", b"-5", b"%s%n", b"\\x00"])
    if kind == 6:  # two words: the second one answers the confirmation
        return b"Ab " + rng.choice([b"Yes", b"yes", b"no", b"Ynn"])
    return bytes(rng.choice(b"abcdefghYyNn0123456789_") for _ in range(rng.randint(1, 8)))


def title_answer(rng: random.Random) -> bytes:
    if rng.random() < 0.06:
        return rng.choice([b"2\n", b"3\n", b"0\n", b"-1\n", b"abc\n", b"4294967297\n", b"2147483648\n",
                           b"+\n", b"", b" \n\t"])
    return rng.choice([b"1\n", b"1\n", b"1\n", b" \n\n 1\n", b"+1\n", b"01 ", b"1", b"\t1\r\n", b"1 "])


def name_dialogue(rng: random.Random) -> bytes:
    out = b""
    for _ in range(rng.choice([0, 0, 0, 1, 2, 3])):  # names refused before the one kept
        out += random_name(rng) + rng.choice(BLANKS) + rng.choice([b"n", b"N", b"x", b"0", "是".encode()])
        out += rng.choice(BLANKS)
    out += random_name(rng) + rng.choice(BLANKS) + rng.choice([b"y", b"Y", b"yes", b"Y\n"]) + rng.choice(BLANKS)
    return out


def stats_dialogue(rng: random.Random) -> bytes:
    refusals = rng.choice([0, 0, 0, 1, 2, 5, 9, 10, 12])
    answers = [rng.choice([b"n", b"N", b"0", b"q"]) for _ in range(refusals)] + [rng.choice([b"y", b"Y"])]
    return b"".join(a + rng.choice(BLANKS) for a in answers)


def battle_answers(rng: random.Random, habit: str) -> bytes:
    count = rng.randint(20, 2500)
    if habit == "always-1":
        return rng.choice([b"1\n", b"1", b"1 "]) * count
    if habit == "digits":
        sep = rng.choice([b"\n", b" ", b""])
        return sep.join(rng.choice(b"123456").to_bytes(1, "big") for _ in range(count)) + b"\n"
    if habit == "cautious":
        return b"\n".join(rng.choices([b"1", b"2", b"3", b"4", b"5", b"6"], [3, 2, 2, 3, 3, 2])[0]
                          for _ in range(count)) + b"\n"
    parts = []  # "fumbling": digits with garbage and blanks mixed in
    for _ in range(count):
        r = rng.random()
        parts.append(rng.choice(b"123456").to_bytes(1, "big") if r < 0.6
                     else rng.choice(GARBAGE) if r < 0.8 else rng.choice(BLANKS))
    return b"".join(parts)


def random_game(rng: random.Random) -> tuple[int, bytes, dict[str, str]]:
    seed = rng.choice([rng.randrange(2**31), rng.randrange(2**31, 2**32)])
    habit = rng.choice(["always-1", "digits", "cautious", "fumbling"])
    stdin = title_answer(rng) + name_dialogue(rng) + stats_dialogue(rng) + battle_answers(rng, habit)
    if rng.random() < 0.35:  # the answers stop anywhere, in the middle of a word or a battle,
        reach = len(stdin) if rng.random() < 0.5 else min(len(stdin), 400)  # often early on
        stdin = stdin[:rng.randrange(reach + 1)]
    return seed, stdin, rng.choice(LOCALES)


def outcome(transcript: bytes, status: int) -> str:
    if status == 1:
        return "defeat"
    if transcript.endswith(b"**  E N D  **\n"):
        return "victory"
    return "left at the title" if transcript.endswith(harness.TITLE) else "answers ran out"


def compare(game: tuple[int, bytes, dict[str, str]]) -> tuple[str, str | None]:
    """The game's outcome by the model, and a report when the binary disagrees."""
    seed, stdin, locale = game
    expected, status = reference_game.play(seed, stdin)
    try:
        run = harness.run_game(seed, stdin, locale=locale)
    except Exception as error:  # a timeout above all
        return outcome(expected, status), f"seed {seed}, locale {locale}: {error!r}\ninput {harness.shorten(stdin)}"
    if run.stdout == expected and run.status == status and run.stderr == b"":
        return outcome(expected, status), None
    return outcome(expected, status), (
        f"seed {seed}, locale {locale}\ninput {harness.shorten(stdin)}\n"
        f"status expected {status}, actual {run.status}; stderr {run.stderr[:200]!r}\n"
        + harness.first_difference(expected, run.stdout))


class RandomGamesAgreeWithReference(harness.GameTestCase):
    def test_random_games(self) -> None:
        master = harness.MASTER_SEED if harness.MASTER_SEED is not None else int(time.time())
        count = harness.GAMES or DEFAULT_GAMES
        print(f"\nmaster seed {master}, {count} games (replay with --master-seed {master})")
        rng = random.Random(master)
        games = [(seed, b"1\n" + name_dialogue(rng) + stats_dialogue(rng)
                  + battle_answers(rng, "digits"), {"LC_ALL": "C"}) for seed in EDGE_SEEDS]
        games += [random_game(rng) for _ in range(count - len(games))]

        started = time.monotonic()
        with ThreadPoolExecutor(max_workers=min(4, os.cpu_count() or 1)) as pool:
            results = list(pool.map(compare, games))
        mismatches = [report for _, report in results if report is not None]
        outcomes = Counter(end for end, _ in results)
        print(f"{len(games)} games compared in {time.monotonic() - started:.1f} s: {dict(outcomes)}")
        if mismatches:
            kept = tempfile.mkdtemp(prefix="qz_e2e_mismatches_")
            for number, (game, (_, report)) in enumerate(zip(games, results)):
                if report is not None:
                    with open(os.path.join(kept, f"seed_{game[0]}_{number}.input"), "wb") as file:
                        file.write(game[1])
            print(f"inputs of the disagreeing games kept in {kept}")
            self.fail(f"{len(mismatches)} of {len(games)} games disagree; the first ones:\n\n"
                      + "\n\n".join(mismatches[:5]))


if __name__ == "__main__":
    harness.main()
