// The battle loop. The hero's death is checked before the foe's, after each side's turn.
#include "combat/battle.h"

#include "combat/actions.h"
#include "combat/enemy_turn.h"

#include <optional>

namespace {

// Two lines on who fell and who killed them, then a pause.
void announceKill(const Combatant& killer, const Combatant& victim, Console& console)
{
    writeLine(console, victim.name, "倒地了！   ");
    writeLine(console, killer.name, "把", victim.name, "杀死了！");
    waitForKey(console);
}

// The menu, one character read, and that action. False when the input has ended.
bool playerTurn(Combatant& hero, Combatant& foe, GameRandom& random, Console& console)
{
    write(console, "1物理攻击\n", "2魔法攻击(5mp)\n", "3物理防御\n", "4魔法盾防御(6mp)\n", "5恢复血量(4mp)\n");
    writeLine(console, "6唤醒魔法");
    write(console, "选择：");
    const std::optional<char> choice = readChar(console);
    if (!choice) {
        return false;
    }
    performAction(hero, foe, *choice, random, console);  // a character that is no action loses the turn
    return true;
}

// Who, if anyone, has fallen. The hero first: when both are down, the hero's death counts.
std::optional<BattleResult> deathCheck(const Combatant& hero, const Combatant& foe, Console& console)
{
    if (hero.hp <= 0) {
        announceKill(foe, hero, console);
        return BattleResult::HeroDied;
    }
    if (foe.hp <= 0) {
        announceKill(hero, foe, console);
        return BattleResult::HeroWon;
    }
    return std::nullopt;
}

}  // namespace

BattleResult runBattle(Combatant& hero, Combatant& foe, GameRandom& random, Console& console)
{
    write(console, repeated('=', 61), "\n");
    writeLine(console, "两个人对望了一会儿之后，摆好架势，准备大干一场。");
    for (;;) {
        showStatusPanel(hero, foe, console);
        if (!playerTurn(hero, foe, random, console)) {
            return BattleResult::InputEnded;
        }
        if (const auto result = deathCheck(hero, foe, console)) {
            return *result;
        }
        enemyTurn(hero, foe, random, console);
        if (const auto result = deathCheck(hero, foe, console)) {
            return *result;
        }
    }
}

void showStatusPanel(const Combatant& left, const Combatant& right, Console& console)
{
    const std::string rule = repeated('-', 66);
    write(console, rule, "\n");
    writeLine(console, left.name, repeated(' ', 18), right.name);
    writeLine(console, " HP:", left.hp, repeated(' ', 18), "HP:", right.hp);
    writeLine(console, " MP:", left.mp, repeated(' ', 18), "MP:", right.mp);
    writeLine(console, " DPS:", left.dps, repeated(' ', 16), "DPS:", right.dps);
    write(console, rule, "\n");
}
