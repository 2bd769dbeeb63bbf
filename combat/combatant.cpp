// Making fighters: the hero's two dialogues and the enemies' rolls. The order of the draws in
// each maker is part of the game: one seed must always give the same fighters.
#include "combat/combatant.h"

namespace {

constexpr int kHeroRolls = 10;

GameText drawEnemyName(GameRandom& random) { return kEnemyNames[static_cast<std::size_t>(random.below(20))]; }

bool isYes(char answer) { return answer == 'Y' || answer == 'y'; }

std::optional<std::string> askName(Console& console)
{
    for (;;) {
        write(console, "请输入你的名字：");
        std::optional<std::string> name = readWord(console);
        if (!name) {
            return std::nullopt;
        }
        write(console, "你的名字是：", *name, "确定吗？(Y/N):");
        const std::optional<char> answer = readChar(console);
        if (!answer) {
            return std::nullopt;
        }
        if (isYes(*answer)) {
            return name;
        }
    }
}

Combatant rollHero(std::string name, GameRandom& random)
{
    Combatant hero{std::move(name)};
    hero.hp = random.below(100) + 100;
    hero.mp = random.below(100);
    hero.dps = random.below(80);
    return hero;
}

}  // namespace

std::optional<Combatant> createHero(Console& console, GameRandom& random)
{
    std::optional<std::string> name = askName(console);
    if (!name) {
        return std::nullopt;
    }
    for (int attempt = 1;; ++attempt) {
        Combatant hero = rollHero(*name, random);
        writeLine(console, "你的HP：", hero.hp);
        writeLine(console, "你的MP：", hero.mp);
        writeLine(console, "你的DPS：", hero.dps);
        write(console, "满意你的属性么？还有", kHeroRolls - attempt, "次机会(Y/N):");
        const std::optional<char> answer = readChar(console);
        if (!answer) {
            return std::nullopt;
        }
        // A refusal of the last roll keeps it: there is no roll left to offer.
        if (isYes(*answer) || attempt >= kHeroRolls) {
            return hero;
        }
    }
}

Combatant createEnemy(Console& console, GameRandom& random)
{
    Combatant enemy{drawEnemyName(random)};
    writeLine(console, "正在生敌人--->", enemy.name);
    enemy.hp = random.below(70) + 100;
    enemy.mp = random.below(100);
    enemy.dps = random.below(80);
    return enemy;
}

Combatant createDemonKing(GameRandom& random)
{
    Combatant boss{drawEnemyName(random)};
    boss.hp = random.below(200) + 800;
    boss.mp = random.below(200);
    boss.dps = random.below(35) + 80;
    return boss;
}
