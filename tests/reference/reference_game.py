#!/usr/bin/env python3
"""Reference model of QZ村战魔王, used as a test oracle.

An independent re-implementation of the game's rules in plain Python, written
apart from the C++ sources, so that tests can run the real binary and this model
on the same seed and standard input and compare the transcripts byte for byte.

Modelled behaviour:
  * the pause prompt never waits (no console): it only writes its line;
  * output is UTF-8, player-typed names are echoed back as raw bytes;
  * reads follow C++ istream >> in the "C" locale (whitespace skipping);
  * end of input at the name, Y/N or action prompt writes "\\n", status 0;
    at the title prompt it ends silently with status 0;
  * exit status 1 after the defeat ending, 0 otherwise.

Usage: reference_game.py SEED < input   (transcript on stdout, game's status)
       play(seed, stdin_bytes) -> (stdout_bytes, status)
"""
from __future__ import annotations

import re
import sys
from dataclasses import dataclass

SKIP_WS = re.compile(rb"[ \t\n\v\f\r]*")      # isspace() in the "C" locale
INT_TOKEN = re.compile(rb"[+-]?[0-9]+")
ANY_BYTE = re.compile(rb".", re.DOTALL)
WORD_TOKEN = re.compile(rb"[^ \t\n\v\f\r]+")
INT_MIN, INT_MAX = -2**31, 2**31 - 1

# index = draw modulo 20
ENEMY_NAMES = ("石头怪 独眼狼 毒蘑菇 骷髅·剑士 铁甲虫 赤眼蝠 幽灵骑士 沙虫 寒冰蛛 蛇妖 "
               "树精 石魔 食人花 巨钳蟹 狼人 火焰蜥 山贼头目 鬼火 血牙豹 腐尸鼠").split()

MENU = "1物理攻击 2魔法攻击(5mp) 3物理防御 4魔法盾防御(6mp) 5恢复血量(4mp) 6唤醒魔法".split()

STORY = ("从前，有一个QZ村，有200多村民，过着悠闲的生活。\n"
         "可是魔王降临了，打破了村子的宁静！村里的勇士纷纷站出\n"
         "来抗击魔王，但是都失败了。在这最黑暗的时候，一个勇士\n"
         "站出来了，他的名字叫")


def cdiv(a: int, b: int) -> int:
    """Integer division truncating toward zero, as C does."""
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b > 0) else -q


class GameRandom:
    """Linear congruential generator giving 0..32767."""

    def __init__(self, seed: int = 1) -> None:
        self.state = seed & 0xFFFFFFFF

    def next(self) -> int:
        self.state = (self.state * 214013 + 2531011) & 0xFFFFFFFF
        return (self.state >> 16) & 0x7FFF

    def draw(self, n: int) -> int:
        return self.next() % n


class InputReader:
    """Whitespace-skipping reads over a fixed byte buffer; None means failure."""

    def __init__(self, data: bytes) -> None:
        self.data = data
        self.pos = 0

    def _token(self, pattern: re.Pattern[bytes]) -> bytes | None:
        self.pos = SKIP_WS.match(self.data, self.pos).end()
        m = pattern.match(self.data, self.pos)
        if m is None:
            return None
        self.pos = m.end()
        return m.group()

    def read_int(self) -> int | None:
        """Optional sign, greedy digits; fails unless it fits a 32-bit int."""
        token = self._token(INT_TOKEN)
        if token is None:
            return None
        value = int(token)
        return value if INT_MIN <= value <= INT_MAX else None

    def read_char(self) -> str | None:
        """One non-blank byte, as a one-character str (chr of the byte)."""
        token = self._token(ANY_BYTE)
        return None if token is None else chr(token[0])

    def read_word(self) -> bytes | None:
        return self._token(WORD_TOKEN)


class GameOver(Exception):
    """Raised to stop the game; carries the process exit status."""

    def __init__(self, status: int) -> None:
        super().__init__(status)
        self.status = status


@dataclass
class Combatant:
    name: bytes
    hp: int
    mp: int
    dps: int
    guard: int = 0


class Game:
    def __init__(self, seed: int, stdin: bytes) -> None:
        self.rng = GameRandom(seed)
        self.inp = InputReader(stdin)
        self.out = bytearray()

    # ---- console ---------------------------------------------------------
    def write(self, *parts: str | bytes | int) -> None:
        for p in parts:  # bytes (names) go out as they are, the rest as UTF-8 text
            self.out += p if isinstance(p, bytes) else str(p).encode("utf-8")

    def line(self, *parts: str | bytes | int) -> None:
        self.write(*parts, "\n")

    def wait_for_key(self) -> None:
        self.line("按任意键继续...")

    def _ended_at_prompt(self) -> GameOver:
        self.write("\n")
        return GameOver(0)

    def read_char(self) -> str:
        c = self.inp.read_char()
        if c is None:
            raise self._ended_at_prompt()
        return c

    # ---- title menu ------------------------------------------------------
    def run_title_menu(self) -> None:
        self.line("QZ村战魔王\n\n")
        self.line("1新游戏")
        self.line("2退出游戏")
        self.write("选择：")
        choice = self.inp.read_int()
        if choice == 1:
            self.run_campaign()
        # choice 2, any other value, or a failed read: status 0, no more output

    # ---- fighters --------------------------------------------------------
    def create_hero(self) -> Combatant:
        while True:
            self.write("请输入你的名字：")
            name = self.inp.read_word()
            if name is None:
                raise self._ended_at_prompt()
            self.write("你的名字是：", name, "确定吗？(Y/N):")
            if self.read_char() in ("Y", "y"):
                break
        attempt = 1
        while True:
            # draws in order hp, mp, dps (a tuple is evaluated left to right)
            hp, mp, dps = self.rng.draw(100) + 100, self.rng.draw(100), self.rng.draw(80)
            self.line("你的HP：", hp)
            self.line("你的MP：", mp)
            self.line("你的DPS：", dps)
            self.write("满意你的属性么？还有", 10 - attempt, "次机会(Y/N):")
            if self.read_char() in ("Y", "y") or attempt >= 10:
                return Combatant(name, hp, mp, dps)
            attempt += 1

    def create_enemy(self) -> Combatant:
        name = ENEMY_NAMES[self.rng.draw(20)].encode("utf-8")
        self.line("正在生敌人--->", name)
        hp, mp, dps = self.rng.draw(70) + 100, self.rng.draw(100), self.rng.draw(80)
        return Combatant(name, hp, mp, dps)

    def create_demon_king(self) -> Combatant:
        name = ENEMY_NAMES[self.rng.draw(20)].encode("utf-8")
        hp, mp, dps = self.rng.draw(200) + 800, self.rng.draw(200), self.rng.draw(35) + 80
        return Combatant(name, hp, mp, dps)

    # ---- actions ---------------------------------------------------------
    def trace(self, value: int, marker: str = "(((((") -> int:
        self.write(marker, value)
        return value

    def resolve_hit(self, target: Combatant, power: int) -> None:
        damage = power - target.guard
        if damage < 0:
            damage = 1
        target.guard = 0
        self.line("击中了！", "给", target.name, "造成了", damage, "点伤害")
        target.hp -= damage
        self.wait_for_key()

    def perform_action(self, actor: Combatant, target: Combatant, code: str) -> None:
        if code == "1":
            power = self.trace(actor.dps + self.rng.draw(10))
            self.line(actor.name, "举起了剑，向", target.name, "挥舞了过去", "攻击力是：", power)
            self.resolve_hit(target, power)
        elif code == "2":
            power = self.trace(actor.dps + cdiv(actor.mp, 2) + self.rng.draw(15))
            if actor.mp <= 0:
                self.line(actor.name, "想挫火球！但是什么都没有！")
                self.wait_for_key()
                return
            self.line(actor.name, "搓起了火球！，向", target.name, "来了一发！", "攻击力是：", power)
            actor.mp -= 5
            self.resolve_hit(target, power)
        elif code == "3":
            value = self.trace(actor.dps - cdiv(actor.hp, 2))
            self.line(actor.name, "跨出了马步，做出了防御的姿势！")
            actor.guard += value
            self.wait_for_key()
        elif code == "4":
            value = self.trace(actor.dps + cdiv(actor.mp, 2) + cdiv(100 - actor.dps, 2))
            if actor.mp <= 0:
                self.line(actor.name, "很疲倦地抚摸自己的身体！什么也没发生！")
            else:
                self.line(actor.name, "用魔法给自己镀了一层保护膜！")
                actor.mp -= 6
                actor.guard += value
            self.wait_for_key()
        elif code == "5":
            value = self.trace(actor.dps + self.rng.draw(20) + 1)
            if actor.mp <= 0:
                self.line(actor.name, "在默念什么咒语，可是什么都没发生！")
            else:
                self.line(actor.name, "用魔法在治愈自己！")
                actor.mp -= 4
                actor.hp += value
            self.wait_for_key()
        elif code == "6":
            value = self.trace(self.rng.draw(20) + 1, "((((((")
            self.line(actor.name, "在冥想，唤醒了自身潜在的魔法能量！")
            actor.mp += value
            self.wait_for_key()
        # any other code: a lost turn, nothing written

    # ---- enemy decisions -------------------------------------------------
    def pick(self, codes: str) -> str:
        return codes[self.rng.draw(len(codes))]

    def choose_enemy_action(self, hero: Combatant, enemy: Combatant) -> str:
        code = None
        # stage A
        if hero.hp > 100 and hero.mp > 4 and enemy.hp > 100:
            code = self.pick("54321")
        # stage B
        if enemy.hp <= 100:
            code = self.pick("12")
        elif hero.mp <= 4:
            code = self.pick("5432166")
        # stage C
        if enemy.hp <= 100:
            return self.pick("126")
        if hero.hp > 100:
            assert code is not None
            return code
        band = hero.hp // 10  # hero.hp is 1..100 here
        if hero.mp > 4:
            table = {0: "541", 1: "54", 2: "545", 3: "5432"}
            return self.pick(table.get(band, "54321"))
        if band == 0:
            return "1"
        return self.pick("13" if band <= 2 else "136" if band <= 4 else "126")

    def enemy_turn(self, hero: Combatant, enemy: Combatant) -> None:
        self.perform_action(enemy, hero, self.choose_enemy_action(hero, enemy))

    # ---- battle ----------------------------------------------------------
    def show_status_panel(self, left: Combatant, right: Combatant) -> None:
        self.line("-" * 66)
        self.line(left.name, " " * 18, right.name)
        self.line(" HP:", left.hp, " " * 18, "HP:", right.hp)
        self.line(" MP:", left.mp, " " * 18, "MP:", right.mp)
        self.line(" DPS:", left.dps, " " * 16, "DPS:", right.dps)
        self.line("-" * 66)

    def player_turn(self, hero: Combatant, foe: Combatant) -> None:
        for label in MENU:
            self.line(label)
        self.write("选择：")
        self.perform_action(hero, foe, self.read_char())

    def announce_kill(self, killer: Combatant, victim: Combatant) -> None:
        self.line(victim.name, "倒地了！   ")
        self.line(killer.name, "把", victim.name, "杀死了！")
        self.wait_for_key()

    def death_check(self, hero: Combatant, foe: Combatant) -> int:
        """+1 hero won, -1 hero died, 0 both alive; the hero is tested first."""
        if hero.hp <= 0:
            self.announce_kill(foe, hero)
            return -1
        if foe.hp <= 0:
            self.announce_kill(hero, foe)
            return 1
        return 0

    def run_battle(self, hero: Combatant, foe: Combatant) -> int:
        self.line("=" * 61)
        self.line("两个人对望了一会儿之后，摆好架势，准备大干一场。")
        while True:
            self.show_status_panel(hero, foe)
            for turn in (self.player_turn, self.enemy_turn):  # hero always first
                turn(hero, foe)
                if result := self.death_check(hero, foe):
                    return result

    # ---- campaign and endings ------------------------------------------
    def run_campaign(self) -> None:
        encounter = 1
        hero = self.create_hero()
        pool = [self.create_enemy() for _ in range(25)]
        self.line("=" * 52)
        self.line(STORY, hero.name)
        self.wait_for_key()
        self.line(hero.name, "他出发讨伐魔王了！")
        self.line("=" * 56)
        while encounter <= 6:
            foe = pool[self.rng.draw(25)]
            self.line(hero.name, "遇到了第", encounter, "个敌人：", foe.name)
            self.wait_for_key()
            if self.run_battle(hero, foe) == 1:
                encounter += 1
            else:
                self.show_defeat(hero)
        boss = self.create_demon_king()
        self.line("经过千辛万苦的厮杀，", hero.name, "终于走到了大魔王", boss.name, "的面前")
        self.wait_for_key()
        if self.run_battle(hero, boss) == 1:
            self.show_victory(hero, boss)
        else:
            self.show_defeat(hero)

    def show_victory(self, hero: Combatant, boss: Combatant) -> None:
        self.line()
        self.line(hero.name, "用剑砍下了魔王", boss.name, "的头颅。\n晃悠晃悠地回QZ村去了")
        self.wait_for_key()
        self.write("从此，QZ村人民和谐快乐地生活着。\n\n\n")
        self.wait_for_key()
        self.line(" " * 21 + "**  E N D  **")

    def show_defeat(self, hero: Combatant) -> None:
        self.wait_for_key()
        self.line(hero.name, "倒下了.....\n从此以后的QZ村，被黑暗笼罩……")
        raise GameOver(1)


def play(seed: int, stdin: bytes) -> tuple[bytes, int]:
    """Run one whole game; return (standard output bytes, exit status)."""
    game = Game(seed, stdin)
    status = 0
    try:
        game.run_title_menu()
    except GameOver as end:
        status = end.status
    return bytes(game.out), status


def main(argv: list[str]) -> int:
    if len(argv) != 2:
        sys.exit("usage: reference_game.py SEED < input")
    out, status = play(int(argv[1]), sys.stdin.buffer.read())
    sys.stdout.buffer.write(out)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
