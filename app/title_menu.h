// The title screen: the only way into a campaign.
#pragma once

#include "console/console.h"
#include "console/game_ending.h"
#include "random/game_random.h"

// Shows the title and its two entries and reads the choice. 1 plays a campaign, 2 quits, and
// anything else, a non-number included, quits silently; the input's end at the title is its own
// ending. Returns how the game ended.
GameEnding runTitleMenu(GameRandom& random, Console& console);

// The process's exit status for an ending: 1 after a defeat, 0 otherwise.
int exitStatus(GameEnding ending);
