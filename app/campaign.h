// The whole game after "new game": the hero, the pool of 25 enemies, the story, six encounters,
// the demon king, and one of the two endings.
#pragma once

#include "console/console.h"
#include "console/game_ending.h"
#include "random/game_random.h"

// Plays one campaign to its end and returns the game's ending: Victory, Defeat, or InputEnded when
// the player's answers ran out before either. Hero, pool and boss live here for the whole game, so
// hp, mp and guard carry over from battle to battle.
GameEnding runCampaign(GameRandom& random, Console& console);
