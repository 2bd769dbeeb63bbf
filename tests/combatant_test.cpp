// Making fighters: the hero's dialogues, and the enemies' draws in their order.
#include "combat/combatant.h"
#include "tests/support/game_session.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace std::string_literals;

TEST(CreateHero, ANoAsksForTheNameAgainAndTheNewNameStands)
{
    GameSession game("Ab\nn\nCd\nY\ny\n");
    const auto hero = createHero(game.console, game.random);
    ASSERT_TRUE(hero);
    EXPECT_EQ(hero->name, FighterName("Cd"s));
    EXPECT_EQ(game.takeOutput(), "请输入你的名字：你的名字是：Ab确定吗？(Y/N):"
                                 "请输入你的名字：你的名字是：Cd确定吗？(Y/N):"
                                 "你的HP：138\n你的MP：19\n你的DPS：38\n满意你的属性么？还有9次机会(Y/N):");
}

TEST(CreateHero, TenRefusalsGiveTenRollsAndTheLastStands)
{
    GameSession game("Ab y nnnnnnnnnx");
    const auto hero = createHero(game.console, game.random);
    ASSERT_TRUE(hero);
    const std::string output = game.takeOutput();
    for (int left = 9; left >= 0; --left) {
        EXPECT_EQ(countOf(output, "还有" + std::to_string(left) + "次机会(Y/N):"), 1) << left;
    }
    EXPECT_EQ(countOf(output, "你的HP："), 10);

    GameRandom rolls;  // the tenth roll is draws 28, 29 and 30 after seed 0
    rolls.seed(0);
    for (int draw = 0; draw < 27; ++draw) {
        rolls.next();
    }
    EXPECT_EQ(hero->hp, rolls.next() % 100 + 100);
    EXPECT_EQ(hero->mp, rolls.next() % 100);
    EXPECT_EQ(hero->dps, rolls.next() % 80);
    EXPECT_EQ(hero->guard, 0);
}

TEST(CreateHero, TheSecondWordOfANameLineAnswersTheQuestions)
{
    // "Yes" confirms the name; its e and s then refuse two rolls without waiting.
    GameSession game("Ab Yes\ny\n");
    const auto hero = createHero(game.console, game.random);
    ASSERT_TRUE(hero);
    EXPECT_EQ(hero->name, FighterName("Ab"s));  // a player's name stays bytes
    const std::string output = game.takeOutput();
    EXPECT_EQ(countOf(output, "请输入你的名字："), 1);
    EXPECT_EQ(countOf(output, "次机会(Y/N):"), 3);
    EXPECT_NE(output.find("还有7次机会(Y/N):"), std::string::npos);
}

TEST(CreateHero, EndOfInputAtAnyQuestionGivesNoHero)
{
    for (const char* input : {"", "Ab", "Ab n", "Ab y", "Ab y n"}) {
        GameSession game(input);
        EXPECT_FALSE(createHero(game.console, game.random)) << "input: " << input;
    }
}

TEST(CreateEnemy, SeedZerosFirstPoolAfterTheHerosFirstRoll)
{
    GameSession game("Ab y y");
    const auto hero = createHero(game.console, game.random);
    ASSERT_TRUE(hero);
    EXPECT_EQ(hero->hp, 138);
    EXPECT_EQ(hero->mp, 19);
    EXPECT_EQ(hero->dps, 38);
    game.takeOutput();

    struct Expected {
        GameText name;
        int hp, mp, dps;
    };
    const Expected pool[] = {{"鬼火", 135, 97, 45}, {"赤眼蝠", 120, 12, 13}, {"石头怪", 122, 81, 57}};
    for (const Expected& expected : pool) {
        const Combatant enemy = createEnemy(game.console, game.random);
        const std::string name(expected.name.utf8());
        EXPECT_EQ(enemy.name, FighterName(expected.name));
        EXPECT_EQ(enemy.hp, expected.hp) << name;
        EXPECT_EQ(enemy.mp, expected.mp) << name;
        EXPECT_EQ(enemy.dps, expected.dps) << name;
        EXPECT_EQ(enemy.guard, 0);
        EXPECT_EQ(game.takeOutput(), "正在生敌人--->" + name + "\n");
    }
}

namespace {

struct Ranges {
    int hpLow, hpHigh, mpHigh, dpsLow, dpsHigh;  // mp always starts from 0
};

bool within(const Combatant& fighter, const Ranges& r)
{
    return fighter.hp >= r.hpLow && fighter.hp <= r.hpHigh && fighter.mp >= 0 && fighter.mp <= r.mpHigh &&
           fighter.dps >= r.dpsLow && fighter.dps <= r.dpsHigh && fighter.guard == 0;
}

}  // namespace

TEST(CreateEnemy, ValuesStayInTheirRanges)
{
    GameSession game;
    for (int i = 0; i < 2000; ++i) {
        const Combatant enemy = createEnemy(game.console, game.random);
        ASSERT_TRUE(within(enemy, {100, 169, 99, 0, 79})) << enemy.hp << " " << enemy.mp << " " << enemy.dps;
        const Combatant boss = createDemonKing(game.random);
        ASSERT_TRUE(within(boss, {800, 999, 199, 80, 114})) << boss.hp << " " << boss.mp << " " << boss.dps;
    }
}

TEST(CreateDemonKing, DrawsNameThenStatsAndWritesNothing)
{
    GameSession game("", 0);
    const Combatant boss = createDemonKing(game.random);
    // Draws 38, 7719, 21238, 2437 after seed 0.
    EXPECT_EQ(boss.name, FighterName(kEnemyNames[38 % 20]));  // a game text, converted where written
    EXPECT_EQ(boss.hp, 7719 % 200 + 800);
    EXPECT_EQ(boss.mp, 21238 % 200);
    EXPECT_EQ(boss.dps, 2437 % 35 + 80);
    EXPECT_EQ(game.takeOutput(), "");
}

TEST(CreateEnemy, TheNameStaysAGameTextAndIsWrittenInTheConsolesEncoding)
{
    // Seed 0's first draw, 38, names row 18: 血牙豹.
    const std::pair<TextEncoding, std::string> rows[] = {
        {TextEncoding::Utf8, "正在生敌人--->血牙豹\n"},
        {TextEncoding::Gbk, "\xD5\xFD\xD4\xDA\xC9\xFA\xB5\xD0\xC8\xCB--->\xD1\xAA\xD1\xC0\xB1\xAA\n"},
    };
    for (const auto& [encoding, announcement] : rows) {
        GameSession game("", 0);
        game.console.encoding = encoding;
        EXPECT_EQ(createEnemy(game.console, game.random).name, FighterName(GameText("血牙豹")));
        EXPECT_EQ(game.takeOutput(), announcement);
    }
}
