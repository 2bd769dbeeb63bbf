// The enemy's three stages of choice. A later stage that picks replaces an earlier pick, but the
// earlier draw has moved the random sequence all the same, so every stage runs in full.
#include "combat/enemy_turn.h"

#include "combat/actions.h"

#include <string_view>

namespace {

constexpr int kHighHp = 100;  // above this, a fighter is healthy
constexpr int kLowMp = 4;     // at or below this, the hero cannot afford a heal

// One draw modulo the number of codes, and the code it lands on.
char pick(std::string_view codes, GameRandom& random)
{
    return codes[static_cast<std::size_t>(random.below(static_cast<int>(codes.size())))];
}

// When the hero is at 100 hp or less and the enemy is healthy: the hero's hp band decides.
char pressWeakHero(const Combatant& hero, GameRandom& random)
{
    const int band = hero.hp / 10;
    if (hero.mp > kLowMp) {
        switch (band) {
        case 0: return pick("541", random);
        case 1: return pick("54", random);
        case 2: return pick("545", random);
        case 3: return pick("5432", random);
        default: return pick("54321", random);
        }
    }
    switch (band) {
    case 0: return ActionCode::PhysicalAttack;  // no draw
    case 1:
    case 2: return pick("13", random);
    case 3:
    case 4: return pick("136", random);
    default: return pick("126", random);
    }
}

}  // namespace

char chooseEnemyAction(const Combatant& hero, const Combatant& enemy, GameRandom& random)
{
    const bool enemyHealthy = enemy.hp > kHighHp;
    const bool heroHealthy = hero.hp > kHighHp;
    char code = 0;

    // Stage A: everyone is strong.
    if (heroHealthy && hero.mp > kLowMp && enemyHealthy) {
        code = pick("54321", random);
    }

    // Stage B.
    if (!enemyHealthy) {
        code = pick("12", random);  // stage C always replaces this, but the draw counts
    } else if (hero.mp <= kLowMp) {
        code = pick("5432166", random);
    }

    // Stage C.
    if (!enemyHealthy) {
        return pick("126", random);
    }
    if (heroHealthy) {
        return code;  // set by stage A when the hero has mp, by stage B when not
    }
    return pressWeakHero(hero, random);
}

void enemyTurn(Combatant& hero, Combatant& enemy, GameRandom& random, Console& console)
{
    const char code = chooseEnemyAction(hero, enemy, random);
    performAction(enemy, hero, code, random, console);
}
