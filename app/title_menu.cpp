// The title menu, and how each way the game ends maps to the process's exit status.
#include "app/title_menu.h"

#include "app/campaign.h"

#include <optional>

GameEnding runTitleMenu(GameRandom& random, Console& console)
{
    write(console, "QZ村战魔王\n\n");
    endLine(console);
    writeLine(console, "1新游戏");
    writeLine(console, "2退出游戏");
    write(console, "选择：");
    const std::optional<int> choice = readInt(console);
    if (!choice && inputRanOut(console)) {
        return GameEnding::InputEnded;  // nothing but white space, or a number the input cut short
    }
    if (choice != 1) {
        return GameEnding::LeftAtTitle;  // 2, any other number, or no number at all
    }
    return runCampaign(random, console);
}

int exitStatus(GameEnding ending) { return ending == GameEnding::Defeat ? 1 : 0; }
