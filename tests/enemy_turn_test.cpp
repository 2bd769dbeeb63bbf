// The enemy's choice: which codes each situation can give, picked by which draw, and how many
// draws each situation makes.
#include "combat/enemy_turn.h"
#include "tests/support/game_session.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

#include <vector>

namespace {

struct Situation {
    const char* what;
    int heroHp, heroMp, enemyHp;
    int draws;          // draws made by the choice
    int decidingDraw;   // which of them picks the code; -1 when no draw does
    const char* codes;  // the list that draw picks from
};

// The rules, one row per situation.
const Situation kSituations[] = {
    {"enemy weak", 150, 50, 100, 2, 1, "126"},
    {"enemy weak, hero weak and drained", 5, 0, 1, 2, 1, "126"},
    {"all strong", 150, 50, 150, 1, 0, "54321"},
    {"hero strong but drained", 101, 4, 101, 1, 0, "5432166"},
    {"hero band 0", 9, 5, 150, 1, 0, "541"},
    {"hero band 1", 10, 50, 150, 1, 0, "54"},
    {"hero band 2", 29, 50, 150, 1, 0, "545"},
    {"hero band 3", 30, 50, 150, 1, 0, "5432"},
    {"hero band 4", 45, 50, 150, 1, 0, "54321"},
    {"hero band 10", 100, 50, 150, 1, 0, "54321"},
    {"hero band 0, drained", 1, 4, 150, 1, -1, "1"},
    {"hero band 1, drained", 19, 0, 150, 2, 1, "13"},
    {"hero band 2, drained", 20, -3, 150, 2, 1, "13"},
    {"hero band 3, drained", 39, 4, 150, 2, 1, "136"},
    {"hero band 4, drained", 40, 4, 150, 2, 1, "136"},
    {"hero band 5, drained", 50, 4, 150, 2, 1, "126"},
    {"hero band 10, drained", 100, 4, 150, 2, 1, "126"},
};

}  // namespace

TEST(ChooseEnemyAction, EachSituationDrawsAsItsRowSays)
{
    for (const Situation& row : kSituations) {
        const Combatant hero{"Ab"s, row.heroHp, row.heroMp, 30};
        const Combatant enemy{"石魔"s, row.enemyHp, -50, 30};  // the enemy's own mp plays no part
        for (std::uint32_t seed = 0; seed < 300; ++seed) {
            GameRandom random;
            random.seed(seed);
            GameRandom expected = random;
            std::vector<int> draws;
            for (int i = 0; i < row.draws; ++i) {
                draws.push_back(expected.next());
            }
            const std::string codes = row.codes;
            const auto deciding = static_cast<std::size_t>(row.decidingDraw);
            const char wanted =
                row.decidingDraw < 0 ? codes[0] : codes[static_cast<std::size_t>(draws[deciding]) % codes.size()];

            ASSERT_EQ(chooseEnemyAction(hero, enemy, random), wanted) << row.what << ", seed " << seed;
            ASSERT_EQ(random.next(), expected.next()) << row.what << ": wrong number of draws";
        }
    }
}

TEST(EnemyTurn, TheChosenActionIsPerformedOnTheHero)
{
    GameSession game("", 0);
    // Hero at 5 hp with no mp facing a healthy enemy: always a physical attack, one draw for the
    // choice, then the attack's draw 7719: d%10 = 9.
    Combatant hero{"Ab"s, 5, 0, 30};
    Combatant enemy{"石魔"s, 150, 0, 20};
    enemyTurn(hero, enemy, game.random, game.console);
    EXPECT_EQ(game.takeOutput(),
              "(((((29石魔举起了剑，向Ab挥舞了过去攻击力是：29\n击中了！给Ab造成了29点伤害\n按任意键继续...\n");
    EXPECT_EQ(hero.hp, -24);
}
