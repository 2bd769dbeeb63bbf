// The title screen: the only way into a campaign.
#pragma once

#include "console/console.h"
#include "random/game_random.h"

// Shows the title and its two entries and reads the choice. 1 plays a campaign, 2 quits, and
// anything else, a non-number included, quits silently. Returns the process's exit status:
// 1 after a defeat, 0 otherwise.
int runTitleMenu(GameRandom& random, Console& console);
