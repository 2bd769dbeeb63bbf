// The title menu: its exact screen, its three outcomes, and input left over for the campaign.
#include "app/title_menu.h"
#include "tests/game_session.h"

#include <gtest/gtest.h>

namespace {

const std::string kTitleScreen = "QZ村战魔王\n\n\n1新游戏\n2退出游戏\n选择：";

}  // namespace

TEST(TitleMenu, AnythingButOneEndsQuietlyWithStatusZero)
{
    for (const char* input : {"2", "3", "0", "-1", "abc", "99999999999", "2147483648", "", " \n\n"}) {
        GameSession game(input);
        EXPECT_EQ(runTitleMenu(game.random, game.console), 0) << "input: " << input;
        EXPECT_EQ(game.takeOutput(), kTitleScreen) << "input: " << input;
    }
}

TEST(TitleMenu, OneAfterBlanksStartsTheCampaign)
{
    GameSession game("  \n\n\t 1\n");
    EXPECT_EQ(runTitleMenu(game.random, game.console), 0);
    // The input ends at the name prompt: one line feed and no more.
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
