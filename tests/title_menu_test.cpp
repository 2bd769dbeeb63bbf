// The title menu: its exact screen, its four endings and their exit statuses, and input left over
// for the campaign.
#include "app/title_menu.h"
#include "tests/support/game_session.h"

#include <gtest/gtest.h>

namespace {

const std::string kTitleScreen = "QZ村战魔王\n\n\n1新游戏\n2退出游戏\n选择：";

}  // namespace

TEST(TitleMenu, EachWayOutHasItsEndingAndStatus)
{
    const std::string alwaysAttack = "1\nHero\ny\ny\n" + std::string(3000, '1');
    struct Row {
        std::string input;
        std::uint32_t seed;
        GameEnding ending;
        int status;
        std::string last;  // the output is the title screen and ends with this
    };
    const Row rows[] = {
        // Anything but 1 at the title ends quietly.
        {"2", 0, GameEnding::LeftAtTitle, 0, kTitleScreen},
        {"3", 0, GameEnding::LeftAtTitle, 0, kTitleScreen},
        {"0", 0, GameEnding::LeftAtTitle, 0, kTitleScreen},
        {"-1", 0, GameEnding::LeftAtTitle, 0, kTitleScreen},
        {"abc", 0, GameEnding::LeftAtTitle, 0, kTitleScreen},
        {"99999999999\n", 0, GameEnding::LeftAtTitle, 0, kTitleScreen},
        {"2147483648\n", 0, GameEnding::LeftAtTitle, 0, kTitleScreen},
        // The input's end before a whole answer is an ending of its own, whatever came before it.
        {"", 0, GameEnding::InputEnded, 0, kTitleScreen},
        {" \n\n", 0, GameEnding::InputEnded, 0, kTitleScreen},
        {"99999999999", 0, GameEnding::InputEnded, 0, kTitleScreen},
        {"1\n", 0, GameEnding::InputEnded, 0, "请输入你的名字：\n"},
        // The campaign's two endings (their stories are the campaign's tests).
        {alwaysAttack, 70, GameEnding::Victory, 0, "**  E N D  **\n"},
        {alwaysAttack, 0, GameEnding::Defeat, 1, "被黑暗笼罩……\n"},
    };
    for (const Row& row : rows) {
        GameSession game(row.input, row.seed);
        const GameEnding ending = runTitleMenu(game.random, game.console);
        EXPECT_EQ(ending, row.ending) << "seed " << row.seed << ": " << row.input;
        EXPECT_EQ(exitStatus(ending), row.status) << "seed " << row.seed << ": " << row.input;
        const std::string output = game.takeOutput();
        EXPECT_EQ(output.substr(0, kTitleScreen.size()), kTitleScreen) << "seed " << row.seed << ": " << row.input;
        EXPECT_TRUE(endsWith(output, row.last))
            << "seed " << row.seed << ": " << output.substr(output.size() > 300 ? output.size() - 300 : 0);
    }
}

TEST(TitleMenu, OneAfterBlanksStartsTheCampaign)
{
    GameSession game("  \n\n\t 1\n");
    EXPECT_EQ(runTitleMenu(game.random, game.console), GameEnding::InputEnded);
    // The input ends at the name prompt: one line feed and no more (see the campaign's tests).
    EXPECT_EQ(game.takeOutput(), kTitleScreen + "请输入你的名字：\n");
}

TEST(TitleMenu, TheRestOfTheLineFeedsTheNextQuestions)
{
    GameSession glued("1abc");
    runTitleMenu(glued.random, glued.console);
    EXPECT_EQ(glued.takeOutput(), kTitleScreen + "请输入你的名字：你的名字是：abc确定吗？(Y/N):\n");

    GameSession oneLine("1 Ab y");
    runTitleMenu(oneLine.random, oneLine.console);
    const std::string output = oneLine.takeOutput();
    EXPECT_NE(output.find("你的名字是：Ab确定吗？(Y/N):你的HP："), std::string::npos);
    EXPECT_EQ(countOf(output, "请输入你的名字："), 1);
}
