// Saturating arithmetic, alone and in every formula and action that uses it: the fighters' numbers
// at the limits of 32 bits. Nothing in the rules bounds hp, mp or guard, so every formula and every
// change must stop at INT_MIN or INT_MAX rather than overflow (which the sanitizer build reports),
// and a formula whose parts leave int but whose sum fits must stay exact.
#include "combat/actions.h"
#include "combat/saturating.h"
#include "tests/support/game_session.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

namespace {

constexpr int kMax = INT_MAX;
constexpr int kMin = INT_MIN;

Combatant fighter(int hp, int mp, int dps, int guard = 0) { return Combatant{std::string("Ab"), hp, mp, dps, guard}; }

}  // namespace

TEST(Saturating, StopsAtTheLimitsOfInt)
{
    const struct {
        std::int64_t value;
        int expected;
    } rows[] = {
        {0, 0},
        {kMax, kMax},
        {std::int64_t{kMax} + 1, kMax},
        {INT64_MAX, kMax},
        {kMin, kMin},
        {std::int64_t{kMin} - 1, kMin},
        {INT64_MIN, kMin},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(saturated(row.value), row.expected) << "value " << row.value;
    }

    const struct {
        int field;
        std::int64_t delta;
        int expected;
    } additions[] = {
        {kMax - 1, 5, kMax}, {kMax, -1, kMax - 1}, {kMin + 1, -5, kMin}, {kMin, -std::int64_t{kMin}, 0},
        {kMin, kMin, kMin},  {kMax, kMax, kMax},
    };
    for (const auto& row : additions) {
        int field = row.field;
        addSaturated(field, row.delta);
        EXPECT_EQ(field, row.expected) << row.field << " + " << row.delta;
    }
}

// The first draw after seed(0) is 38: d%10 = 8, d%15 = 8, d%20 = 18.
TEST(Formulas, ExtremeRecordsGiveTheExactValueOrTheLimit)
{
    enum class Formula { Physical, Spell, Stance, Shield, Heal };
    const struct {
        Formula formula;
        Combatant actor;
        int expected;
    } rows[] = {
        {Formula::Physical, fighter(100, 0, kMax), kMax},
        {Formula::Physical, fighter(100, 0, kMin), kMin + 8},
        {Formula::Spell, fighter(100, kMax, kMax), kMax},
        {Formula::Spell, fighter(100, kMin, kMin), kMin},
        {Formula::Spell, fighter(100, kMin, kMax), kMax - 1073741824 + 8},
        {Formula::Stance, fighter(kMin, 0, kMax), kMax},  // dps - hp/2 = kMax + 2^30
        {Formula::Stance, fighter(kMax, 0, kMin), kMin},  // kMin - (2^30 - 1)
        {Formula::Stance, fighter(kMax, 0, kMax), 1073741824},
        // dps + mp/2 + (100 - dps)/2, with the halves truncated toward zero.
        {Formula::Shield, fighter(100, kMin, kMin), kMin + 50},  // kMin - 2^30 + (2^31 + 100)/2
        {Formula::Shield, fighter(100, kMax, kMin), 49},
        {Formula::Shield, fighter(100, kMin, kMax), 50},
        {Formula::Shield, fighter(100, kMax, kMax), kMax},
        {Formula::Heal, fighter(100, 0, kMax), kMax},
        {Formula::Heal, fighter(100, 0, kMin), kMin + 19},
    };
    for (const auto& row : rows) {
        GameSession game;
        int value = 0;
        switch (row.formula) {
        case Formula::Physical: value = physicalPower(row.actor, game.random, game.console); break;
        case Formula::Spell: value = spellPower(row.actor, game.random, game.console); break;
        case Formula::Stance: value = stanceValue(row.actor, game.console); break;
        case Formula::Shield: value = shieldValue(row.actor, game.console); break;
        case Formula::Heal: value = healAmount(row.actor, game.random, game.console); break;
        }
        const std::string where = "formula " + std::to_string(static_cast<int>(row.formula)) + ", hp " +
                                  std::to_string(row.actor.hp) + ", mp " + std::to_string(row.actor.mp) + ", dps " +
                                  std::to_string(row.actor.dps);
        EXPECT_EQ(value, row.expected) << where;
        EXPECT_EQ(game.takeOutput(), "(((((" + std::to_string(row.expected)) << where;
    }
}

TEST(ResolveHit, DamageAndHpStopAtTheLimits)
{
    const struct {
        int power;
        int guard;
        int hp;
        int damage;
        int hpAfter;
    } rows[] = {
        {kMax, kMin, 100, kMax, 100 - kMax},  // power - guard = 2^32 - 1
        {kMax, kMin, -10, kMax, kMin},
        {0, kMin, 0, kMax, -kMax},
        {-5, kMin, 0, kMax - 4, -(kMax - 4)},  // fits: exact
        {kMax, kMax, 7, 0, 7},
        {kMin, kMax, kMin, 1, kMin},  // a negative result is 1, and hp cannot sink below kMin
        {kMin, 1, 5, 1, 4},
    };
    for (const auto& row : rows) {
        GameSession game;
        Combatant target = fighter(row.hp, 0, 0, row.guard);
        resolveHit(target, row.power, game.console);
        const std::string where = "power " + std::to_string(row.power) + ", guard " + std::to_string(row.guard) +
                                  ", hp " + std::to_string(row.hp);
        EXPECT_EQ(target.hp, row.hpAfter) << where;
        EXPECT_EQ(target.guard, 0) << where;
        EXPECT_NE(game.takeOutput().find("造成了" + std::to_string(row.damage) + "点伤害"), std::string::npos) << where;
    }
}

TEST(Actions, ChangesToTheActorStopAtTheLimits)
{
    const struct {
        char code;
        Combatant actor;
        int hp;
        int mp;
        int guard;
    } rows[] = {
        {ActionCode::Heal, fighter(kMax - 5, 10, 40), kMax, 6, 0},
        {ActionCode::Heal, fighter(kMax, kMax, kMax), kMax, kMax - 4, 0},
        {ActionCode::AwakenMagic, fighter(100, kMax - 3, 0), 100, kMax, 0},
        {ActionCode::MagicShield, fighter(100, 10, 40, kMax - 10), 100, 4, kMax},
        {ActionCode::MagicShield, fighter(100, kMax, kMax, kMax), 100, kMax - 6, kMax},
        {ActionCode::PhysicalDefense, fighter(kMax, 0, 0, kMin + 5), kMax, 0, kMin},
        {ActionCode::PhysicalDefense, fighter(kMin, 0, kMax, kMax), kMin, 0, kMax},
        // mp at its lowest: every spell fails without spending, so nothing is taken from kMin.
        {ActionCode::MagicAttack, fighter(100, kMin, 40), 100, kMin, 0},
        {ActionCode::MagicShield, fighter(100, kMin, 40, 3), 100, kMin, 3},
        {ActionCode::Heal, fighter(100, kMin, 40), 100, kMin, 0},
    };
    for (const auto& row : rows) {
        GameSession game;
        Combatant actor = row.actor;
        Combatant target = fighter(100, 0, 0);
        performAction(actor, target, row.code, game.random, game.console);
        const std::string where = std::string("action ") + row.code + ", hp " + std::to_string(row.actor.hp) + ", mp " +
                                  std::to_string(row.actor.mp) + ", guard " + std::to_string(row.actor.guard);
        EXPECT_EQ(actor.hp, row.hp) << where;
        EXPECT_EQ(actor.mp, row.mp) << where;
        EXPECT_EQ(actor.guard, row.guard) << where;
    }
}
