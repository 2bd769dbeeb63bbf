#!/usr/bin/env python3
"""Whole games for the browser tests, with the transcripts the page must show.

Each game is a seed and what a player types, given as the events the browser test plays in order:
a line of answers, a key at a pause, or Ctrl-D. The expected
transcript comes from the reference model, read the way the page's terminal delivers input: one
line at a time, fetched only when a read needs more, with the line's echo written where the game
read it. The events list only what the game reads, so typed ahead in one go they stay in step.

Usage: browser_games.py COUNT MASTER_SEED   (JSON on stdout)
"""
from __future__ import annotations

import json
import os
import random
import sys
from typing import Callable

for folder in ("reference", "support", "e2e"):
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", folder))

import reference_game  # noqa: E402  (the paths above must come first)
import test_victory  # noqa: E402

PAUSE_KEYS = ["x", " ", "Enter", "q", "中"]


class LineByLine(reference_game.InputReader):
    """The model's reads over input that arrives one line at a time, as it does in the page."""

    def __init__(self, game: "RecordedGame", next_line: Callable[[], str | None]) -> None:
        super().__init__(b"")
        self.game = game
        self.next_line = next_line
        self.ended = False

    def _more(self) -> bool:
        line = None if self.ended else self.next_line()
        if line is None:
            if not self.ended:
                self.game.events.append({"eof": True})
            self.ended = True
            return False
        echoed = (line + "\n").encode()
        self.data += echoed
        self.game.out += echoed
        self.game.events.append({"line": line})
        return True

    def _token(self, pattern):
        # Lines end with a line feed, so a token never runs on into the next line.
        while reference_game.SKIP_WS.match(self.data, self.pos).end() == len(self.data) and self._more():
            pass
        return super()._token(pattern)


class RecordedGame(reference_game.Game):
    def __init__(self, seed: int, next_line: Callable[["RecordedGame"], str | None]) -> None:
        super().__init__(seed, b"")
        self.events: list[dict] = []
        self.inp = LineByLine(self, lambda: next_line(self))

    def wait_for_key(self) -> None:
        super().wait_for_key()
        self.events.append({"key": "x"})


def answers(rng: random.Random, kind: str) -> list[str]:
    """The lines a player of `kind` types; the game may end before reading them all."""
    if kind == "title":
        return [rng.choice(["2", "3", "abc", "0", " 2"])]
    name = rng.choice(["阿强", "Hero", "小明同学", "Ａ", "x1"])
    lines = ["1", name, rng.choice(["n", "y"]), name + "二", "y"]
    lines += [rng.choice(["n", "y"]) for _ in range(rng.randint(0, 3))] + ["y"]
    if kind == "attacker":
        lines += ["1"] * 400
    elif kind == "mixed":
        lines += [rng.choice(["1", "2", "3", "4", "5", "6", "11", "7", " 5 ", "x"]) for _ in range(400)]
    else:  # "ended": the input stops somewhere along the way
        lines = lines[: rng.randint(1, len(lines))] + ["1"] * rng.randint(0, 30)
    return lines


def winner(game: RecordedGame) -> str:
    """The end-to-end tests' winning player, answering from what the page shows."""
    return test_victory.answer(bytes(game.out)).decode().rstrip("\n")


def game(seed: int, kind: str, rng: random.Random) -> dict:
    lines = iter([] if kind == "winner" else answers(rng, kind))
    played = RecordedGame(seed, winner if kind == "winner" else lambda _: next(lines, None))
    status = 0
    try:
        played.run_title_menu()
    except reference_game.GameOver as end:
        status = end.status
    ended = played.inp.ended
    # A key for each pause, from a few kinds of key; an arrow key would end two.
    events = [{"key": rng.choice(PAUSE_KEYS)} if "key" in event else event for event in played.events]
    return {"seed": seed, "events": events, "transcript": bytes(played.out).decode(),
            "ending": "input-ended" if ended else "defeat" if status else "quit" if kind == "title" else "victory"}


def main(count: int, master_seed: int) -> None:
    rng = random.Random(master_seed)
    kinds = ["title", "attacker", "attacker", "mixed", "mixed", "ended"]
    games = [game(seed, "winner", rng) for seed in test_victory.WINNING_SEEDS[:3]]
    games += [game(rng.randrange(2**31), kinds[i % len(kinds)], rng) for i in range(count - len(games))]
    json.dump(games, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main(int(sys.argv[1]), int(sys.argv[2]))
