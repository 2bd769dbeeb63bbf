// The campaign's steps in order. The pool is drawn before the story and the encounters after it,
// with replacement: a beaten enemy can be met again and falls after the hero's first turn.
#include "app/campaign.h"

#include "combat/battle.h"

#include <array>
#include <optional>

namespace {

constexpr int kPoolSize = 25;
constexpr int kEncounters = 6;

using EnemyPool = std::array<Combatant, kPoolSize>;

void tellOpening(const Combatant& hero, Console& console)
{
    write(console, repeated('=', 52), "\n");
    writeLine(console,
              "从前，有一个QZ村，有200多村民，过着悠闲的生活。\n"
              "可是魔王降临了，打破了村子的宁静！村里的勇士纷纷站出\n"
              "来抗击魔王，但是都失败了。在这最黑暗的时候，一个勇士\n"
              "站出来了，他的名字叫",
              hero.name);
    waitForKey(console);
    writeLine(console, hero.name, "他出发讨伐魔王了！");
    writeLine(console, repeated('=', 56));
}

// The six encounters. HeroWon when all six were won.
BattleResult fightEncounters(Combatant& hero, EnemyPool& pool, GameRandom& random, Console& console)
{
    for (int encounter = 1; encounter <= kEncounters;) {
        Combatant& foe = pool[static_cast<std::size_t>(random.below(kPoolSize))];
        writeLine(console, hero.name, "遇到了第", encounter, "个敌人：", foe.name);
        waitForKey(console);
        const BattleResult result = runBattle(hero, foe, random, console);
        if (result != BattleResult::HeroWon) {
            return result;
        }
        ++encounter;
    }
    return BattleResult::HeroWon;
}

// The demon king's entrance, then the last battle.
BattleResult fightDemonKing(Combatant& hero, Combatant& boss, GameRandom& random, Console& console)
{
    writeLine(console, "经过千辛万苦的厮杀，", hero.name, "终于走到了大魔王", boss.name, "的面前");
    waitForKey(console);
    return runBattle(hero, boss, random, console);
}

// The victory story, with its two pauses.
void showVictory(const Combatant& hero, const Combatant& boss, Console& console)
{
    endLine(console);
    writeLine(console, hero.name, "用剑砍下了魔王", boss.name, "的头颅。\n晃悠晃悠地回QZ村去了");
    waitForKey(console);
    write(console, "从此，QZ村人民和谐快乐地生活着。", "\n\n\n");  // the pause's own line flushes it
    waitForKey(console);
    writeLine(console, repeated(' ', 21), "**  E N D  **");
}

// A pause, then the defeat story.
void showDefeat(const Combatant& hero, Console& console)
{
    waitForKey(console);
    writeLine(console, hero.name, "倒下了.....\n从此以后的QZ村，被黑暗笼罩……");
}

// Ends a campaign lost to a battle: the defeat story when the hero fell, a line feed when the
// answers ran out (so the shell's prompt starts on a line of its own).
GameEnding endWithoutVictory(BattleResult result, const Combatant& hero, Console& console)
{
    if (result == BattleResult::InputEnded) {
        endLine(console);
        return GameEnding::InputEnded;
    }
    showDefeat(hero, console);
    return GameEnding::Defeat;
}

}  // namespace

GameEnding runCampaign(GameRandom& random, Console& console)
{
    std::optional<Combatant> hero = createHero(console, random);
    if (!hero) {
        endLine(console);
        return GameEnding::InputEnded;
    }
    EnemyPool pool;
    for (Combatant& enemy : pool) {
        enemy = createEnemy(console, random);
    }
    tellOpening(*hero, console);

    const BattleResult encounters = fightEncounters(*hero, pool, random, console);
    if (encounters != BattleResult::HeroWon) {
        return endWithoutVictory(encounters, *hero, console);
    }
    Combatant boss = createDemonKing(random);
    const BattleResult final = fightDemonKing(*hero, boss, random, console);
    if (final != BattleResult::HeroWon) {
        return endWithoutVictory(final, *hero, console);
    }
    showVictory(*hero, boss, console);
    return GameEnding::Victory;
}
