// The six actions: formulas and their traces, the damage rule, costs, guard, and the pause.
#include "combat/actions.h"
#include "tests/support/game_session.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kPause = "按任意键继续...\n";

Combatant fighter(const char* name, int hp, int mp, int dps, int guard = 0)
{
    return Combatant{std::string(name), hp, mp, dps, guard};
}

// How many draws lie between two states of the generator.
int drawsBetween(GameRandom before, const GameRandom& after)
{
    for (int draws = 0; draws < 8; ++draws) {
        GameRandom a = before;
        GameRandom b = after;
        bool same = true;
        for (int i = 0; i < 4; ++i) {
            same = same && a.next() == b.next();
        }
        if (same) {
            return draws;
        }
        before.next();
    }
    return -1;
}

}  // namespace

TEST(ResolveHit, GuardIsSubtractedAndUsedUpAndOnlyNegativeDamageIsRaised)
{
    struct Row {
        int power, guard, damage;
    };
    const Row rows[] = {{30, 30, 0}, {30, 31, 1}, {30, -10, 40}, {30, 0, 30}, {5, 500, 1}};
    for (const Row& row : rows) {
        GameSession game;
        Combatant target = fighter("石魔", 100, 0, 0, row.guard);
        resolveHit(target, row.power, game.console);
        EXPECT_EQ(target.hp, 100 - row.damage) << row.power << " against " << row.guard;
        EXPECT_EQ(target.guard, 0);
        EXPECT_EQ(game.takeOutput(), "击中了！给石魔造成了" + std::to_string(row.damage) + "点伤害\n" + kPause);
    }
}

TEST(PerformAction, PhysicalAttackTracesItsPowerThenHits)
{
    GameSession game("", 0);  // first draw 38: d%10 = 8
    Combatant actor = fighter("Ab", 150, 20, 40);
    Combatant target = fighter("石魔", 100, 0, 0, 5);
    performAction(actor, target, ActionCode::PhysicalAttack, game.random, game.console);
    EXPECT_EQ(game.takeOutput(),
              "(((((48Ab举起了剑，向石魔挥舞了过去攻击力是：48\n击中了！给石魔造成了43点伤害\n" + std::string(kPause));
    EXPECT_EQ(target.hp, 57);
}

TEST(PerformAction, MagicAttackCostsFiveOnceMpIsPositiveAndThenFails)
{
    GameSession game("", 0);  // draws 38, 7719: d%15 = 8, then 9
    Combatant actor = fighter("Ab", 150, 3, 10);
    Combatant target = fighter("石魔", 100, 0, 0);
    performAction(actor, target, ActionCode::MagicAttack, game.random, game.console);
    EXPECT_EQ(actor.mp, -2);
    EXPECT_EQ(target.hp, 100 - 19);  // 10 + 3/2 + 8
    EXPECT_EQ(game.takeOutput(), "(((((19Ab搓起了火球！，向石魔来了一发！攻击力是：19\n击中了！给石魔造成了19点伤害\n" +
                                     std::string(kPause));

    // mp is now -2: the spell fails, but its power is still drawn and traced. -2/2 is -1.
    target.guard = 7;
    const GameRandom before = game.random;
    performAction(actor, target, ActionCode::MagicAttack, game.random, game.console);
    EXPECT_EQ(drawsBetween(before, game.random), 1);
    EXPECT_EQ(game.takeOutput(), "(((((18Ab想挫火球！但是什么都没有！\n" + std::string(kPause));
    EXPECT_EQ(actor.mp, -2);
    EXPECT_EQ(target.guard, 7);
    EXPECT_EQ(target.hp, 81);
}

TEST(PerformAction, PhysicalDefenseAddsAStanceThatIsOftenNegative)
{
    GameSession game;
    Combatant actor = fighter("Ab", 150, 0, 40);
    Combatant target = fighter("石魔", 100, 0, 0);
    performAction(actor, target, ActionCode::PhysicalDefense, game.random, game.console);
    EXPECT_EQ(game.takeOutput(), "(((((-35Ab跨出了马步，做出了防御的姿势！\n" + std::string(kPause));
    EXPECT_EQ(actor.guard, -35);
    performAction(actor, target, ActionCode::PhysicalDefense, game.random, game.console);
    EXPECT_EQ(actor.guard, -70);  // stances add up

    resolveHit(actor, 10, game.console);  // a negative guard makes the hit larger
    EXPECT_EQ(actor.hp, 70);
    EXPECT_EQ(actor.guard, 0);
}

TEST(PerformAction, MagicShieldAddsToGuardForSixMp)
{
    GameSession game;
    Combatant actor = fighter("Ab", 150, 10, 40, 5);
    Combatant target = fighter("石魔", 100, 0, 0);
    performAction(actor, target, ActionCode::MagicShield, game.random, game.console);
    EXPECT_EQ(game.takeOutput(), "(((((75Ab用魔法给自己镀了一层保护膜！\n" + std::string(kPause));
    EXPECT_EQ(actor.guard, 80);  // 40 + 10/2 + (100 - 40)/2 on top of 5
    EXPECT_EQ(actor.mp, 4);

    Combatant tired = fighter("Ab", 150, 0, 40);
    performAction(tired, target, ActionCode::MagicShield, game.random, game.console);
    EXPECT_EQ(game.takeOutput(), "(((((70Ab很疲倦地抚摸自己的身体！什么也没发生！\n" + std::string(kPause));
    EXPECT_EQ(tired.guard, 0);
    EXPECT_EQ(tired.mp, 0);
}

TEST(PerformAction, HealRaisesHpPastItsStartForFourMp)
{
    GameSession game("", 0);  // first draw 38: d%20 = 18
    Combatant actor = fighter("Ab", 199, 1, 10);
    Combatant target = fighter("石魔", 100, 0, 0);
    performAction(actor, target, ActionCode::Heal, game.random, game.console);
    EXPECT_EQ(game.takeOutput(), "(((((29Ab用魔法在治愈自己！\n" + std::string(kPause));
    EXPECT_EQ(actor.hp, 228);
    EXPECT_EQ(actor.mp, -3);

    const GameRandom before = game.random;
    performAction(actor, target, ActionCode::Heal, game.random, game.console);
    EXPECT_EQ(drawsBetween(before, game.random), 1);
    EXPECT_EQ(game.takeOutput(),
              "(((((" + std::to_string(10 + 7719 % 20 + 1) + "Ab在默念什么咒语，可是什么都没发生！\n" + kPause);
    EXPECT_EQ(actor.hp, 228);
}

TEST(PerformAction, ASpellAtExactlyZeroMpFailsAndCostsNothing)
{
    struct Row {
        char code;
        const char* failure;  // after the trace, which a failed spell still shows
    };
    const Row rows[] = {
        {ActionCode::MagicAttack, "Ab想挫火球！但是什么都没有！"},
        {ActionCode::MagicShield, "Ab很疲倦地抚摸自己的身体！什么也没发生！"},
        {ActionCode::Heal, "Ab在默念什么咒语，可是什么都没发生！"},
    };
    for (const Row& row : rows) {
        GameSession game;
        Combatant actor = fighter("Ab", 150, 0, 40);
        Combatant target = fighter("石魔", 100, 0, 0);
        performAction(actor, target, row.code, game.random, game.console);
        const std::string output = game.takeOutput();
        EXPECT_TRUE(endsWith(output, row.failure + std::string("\n") + kPause)) << output;
        EXPECT_EQ(actor.hp + actor.mp + actor.guard + target.hp, 150 + 100) << output;
    }
}

TEST(PerformAction, AwakenMagicTracesWithSixParentheses)
{
    GameSession game("", 0);  // first draw 38: d%20 + 1 = 19
    Combatant actor = fighter("Ab", 150, -4, 10);
    Combatant target = fighter("石魔", 100, 0, 0);
    performAction(actor, target, ActionCode::AwakenMagic, game.random, game.console);
    EXPECT_EQ(game.takeOutput(), "((((((19Ab在冥想，唤醒了自身潜在的魔法能量！\n" + std::string(kPause));
    EXPECT_EQ(actor.mp, 15);
}

TEST(PerformAction, AnythingElseDoesNothingAtAll)
{
    for (const char code : {'7', '0', 'a', ' ', '\xd6'}) {
        GameSession game;
        Combatant actor = fighter("Ab", 150, 20, 40, 3);
        Combatant target = fighter("石魔", 100, 10, 20, 4);
        const GameRandom before = game.random;
        performAction(actor, target, code, game.random, game.console);
        EXPECT_EQ(game.takeOutput(), "") << code;
        EXPECT_EQ(drawsBetween(before, game.random), 0) << code;
        EXPECT_EQ(actor.hp + actor.mp + actor.guard + target.hp + target.mp + target.guard,
                  150 + 20 + 3 + 100 + 10 + 4);
    }
}

TEST(Formulas, DivisionTruncatesTowardZero)
{
    GameSession game;
    EXPECT_EQ(stanceValue(fighter("Ab", -7, 0, 0), game.console), 3);        // 0 - (-7/2)
    EXPECT_EQ(shieldValue(fighter("王", 900, -7, 113), game.console), 104);  // 113 + (-3) + (-6)
    EXPECT_EQ(game.takeOutput(), "(((((3(((((104");
}
