// The battle loop: the panel, the menu, the order of the death checks, and lost turns.
#include "combat/battle.h"
#include "tests/support/game_session.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace {

const std::string kMenu = "1物理攻击\n2魔法攻击(5mp)\n3物理防御\n4魔法盾防御(6mp)\n5恢复血量(4mp)\n6唤醒魔法\n选择：";
const std::string kOpening = std::string(61, '=') + "\n两个人对望了一会儿之后，摆好架势，准备大干一场。\n";

}  // namespace

TEST(StatusPanel, ValuesAreWrittenPlainlySoTheRightColumnMoves)
{
    GameSession game;
    showStatusPanel(Combatant{"Ab"s, 150, 20, 30}, Combatant{"骷髅·剑士"s, -3, 5, 7}, game.console);
    const std::string rule(66, '-');
    EXPECT_EQ(game.takeOutput(), rule + "\n" + "Ab" + std::string(18, ' ') + "骷髅·剑士\n" + " HP:150" +
                                     std::string(18, ' ') + "HP:-3\n" + " MP:20" + std::string(18, ' ') + "MP:5\n" +
                                     " DPS:30" + std::string(16, ' ') + "DPS:7\n" + rule + "\n");
}

TEST(RunBattle, AFoeThatComesInDeadFallsAfterTheHerosTurnWithoutActing)
{
    GameSession game("x");  // even a lost turn
    Combatant hero{"Ab"s, 150, 20, 30};
    Combatant foe{"石魔"s, -3, 50, 70};
    const GameRandom before = game.random;
    EXPECT_EQ(runBattle(hero, foe, game.random, game.console), BattleResult::HeroWon);
    const std::string output = game.takeOutput();
    EXPECT_EQ(output.substr(0, kOpening.size()), kOpening);
    EXPECT_TRUE(endsWith(output, kMenu + "石魔倒地了！   \nAb把石魔杀死了！\n按任意键继续...\n")) << output;
    EXPECT_EQ(hero.hp, 150);
    EXPECT_EQ(game.random.next(), GameRandom(before).next());  // nobody drew
}

TEST(RunBattle, TheHerosDeathIsCheckedFirst)
{
    GameSession game("7");
    Combatant hero{"Ab"s, 0, 20, 30};
    Combatant foe{"石魔"s, -3, 50, 70};
    EXPECT_EQ(runBattle(hero, foe, game.random, game.console), BattleResult::HeroDied);
    const std::string output = game.takeOutput();
    EXPECT_NE(output.find("选择：Ab倒地了！   \n石魔把Ab杀死了！\n按任意键继续...\n"), std::string::npos);
    EXPECT_EQ(countOf(output, "按任意键继续..."), 1);
}

TEST(RunBattle, AnInvalidCharacterLosesTheTurnButTheFoeStillActs)
{
    // Seed 0: the foe (hp 150) faces a hero at 5 hp without mp, so it attacks: choice draw 38,
    // attack draw 7719, power 60 + 9. The hero falls.
    GameSession game("x", 0);
    Combatant hero{"Ab"s, 5, 0, 30};
    Combatant foe{"石魔"s, 150, 0, 60};
    EXPECT_EQ(runBattle(hero, foe, game.random, game.console), BattleResult::HeroDied);
    EXPECT_TRUE(endsWith(
        game.takeOutput(),
        kMenu + "(((((69石魔举起了剑，向Ab挥舞了过去攻击力是：69\n击中了！给Ab造成了69点伤害\n按任意键继续...\n"
                "Ab倒地了！   \n石魔把Ab杀死了！\n按任意键继续...\n"));
}

TEST(RunBattle, EachByteOfAChineseCharacterIsALostTurn)
{
    // 中 in GBK is two bytes, neither an action: two rounds pass before the input runs out.
    GameSession game("\xd6\xd0", 0);
    Combatant hero{"Ab"s, 500, 0, 30};
    Combatant foe{"石魔"s, 900, 0, 0};
    EXPECT_EQ(runBattle(hero, foe, game.random, game.console), BattleResult::InputEnded);
    const std::string output = game.takeOutput();
    EXPECT_EQ(countOf(output, "选择："), 3);
    EXPECT_EQ(countOf(output, "Ab举起了剑") + countOf(output, "Ab搓起了火球"), 0);
    EXPECT_TRUE(endsWith(output, "选择："));  // the line feed is the caller's
}

TEST(RunBattle, AGuardLeftAtTheEndOfABattleMeetsTheFirstHitOfTheNext)
{
    GameSession game("4 7", 0);
    Combatant hero{"Ab"s, 5, 10, 40};
    Combatant beaten{"石魔"s, -1, 0, 0};
    ASSERT_EQ(runBattle(hero, beaten, game.random, game.console), BattleResult::HeroWon);
    EXPECT_EQ(hero.guard, 75);  // the shield: 40 + 10/2 + (100 - 40)/2
    EXPECT_EQ(hero.mp, 4);

    // A healthy foe facing a hero under 10 hp with 4 mp attacks; its choice spends draw 38 (stage
    // B), the attack draws 7719, so its power is 20 + 9 and the guard absorbs all but the minimum.
    Combatant next{"狼人"s, 150, 0, 20};
    game.takeOutput();
    EXPECT_EQ(runBattle(hero, next, game.random, game.console), BattleResult::InputEnded);
    EXPECT_NE(game.takeOutput().find("(((((29狼人举起了剑，向Ab挥舞了过去攻击力是：29\n击中了！给Ab造成了1点伤害\n"),
              std::string::npos);
    EXPECT_EQ(hero.hp, 4);
    EXPECT_EQ(hero.guard, 0);
}
