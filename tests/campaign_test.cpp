// The campaign: its two endings with their stories, and the one line feed that ends the last
// prompt when the player's answers run out.
#include "app/campaign.h"
#include "tests/support/game_session.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// The hero named and accepted, then nothing but physical attacks.
const std::string kAlwaysAttack = "Hero\ny\ny\n" + std::string(3000, '1');

const std::string kMenu = "1物理攻击\n2魔法攻击(5mp)\n3物理防御\n4魔法盾防御(6mp)\n5恢复血量(4mp)\n6唤醒魔法\n选择：";

// The last few hundred bytes of a game's output, for a failed check.
std::string tailOf(const std::string& output) { return output.substr(output.size() > 300 ? output.size() - 300 : 0); }

}  // namespace

TEST(Campaign, EachEndingTellsItsStory)
{
    const std::string fell = "按任意键继续...\n按任意键继续...\nHero倒下了.....\n从此以后的QZ村，被黑暗笼罩……\n";
    const struct {
        std::uint32_t seed;
        GameEnding end;
        std::string ending;  // the output ends with this
    } rows[] = {
        {70, GameEnding::Victory,
         "\n晃悠晃悠地回QZ村去了\n按任意键继续...\n从此，QZ村人民和谐快乐地生活着。\n\n\n按任意键继续...\n" +
             std::string(21, ' ') + "**  E N D  **\n"},
        // Defeats: before the demon king, and at him after two beaten enemies met again, who fall at
        // once (met at full strength they would change it all).
        {0, GameEnding::Defeat, "\n山贼头目把Hero杀死了！\n" + fell},
        {10, GameEnding::Defeat, "\n幽灵骑士把Hero杀死了！\n" + fell},
    };
    for (const auto& row : rows) {
        GameSession game(kAlwaysAttack, row.seed);
        EXPECT_EQ(runCampaign(game.random, game.console), row.end) << "seed " << row.seed;
        const std::string output = game.takeOutput();
        EXPECT_TRUE(endsWith(output, row.ending)) << "seed " << row.seed << ": " << tailOf(output);
    }
}

// Wherever the answers run out, the prompt's line is ended by one line feed (so the shell's prompt
// starts on a line of its own), and nothing follows.
TEST(Campaign, AnswersRunningOutEndThePromptsLineOnce)
{
    const struct {
        const char* input;
        std::string ending;
    } rows[] = {
        {"", "请输入你的名字：\n"},
        {"Hero", "你的名字是：Hero确定吗？(Y/N):\n"},
        {"Hero y", "满意你的属性么？还有9次机会(Y/N):\n"},
        {"Hero y n", "满意你的属性么？还有8次机会(Y/N):\n"},
        {"Hero y y", kMenu + "\n"},    // the first battle's menu
        {"Hero y y 3", kMenu + "\n"},  // the next round's
    };
    for (const auto& row : rows) {
        GameSession game(row.input, 0);
        EXPECT_EQ(runCampaign(game.random, game.console), GameEnding::InputEnded) << row.input;
        const std::string output = game.takeOutput();
        EXPECT_TRUE(endsWith(output, row.ending)) << row.input << ": " << tailOf(output);
    }
}
