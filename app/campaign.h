// The whole game after "new game": the hero, the pool of 25 enemies, the story, six encounters,
// the demon king, and one of the two endings.
#pragma once

#include "console/console.h"
#include "random/game_random.h"

enum class CampaignEnd {
    Victory,     // the demon king fell
    Defeat,      // the hero fell
    InputEnded,  // the player's answers ran out before either
};

// Plays one campaign to its end. Hero, pool and boss live here for the whole game, so hp, mp and
// guard carry over from battle to battle.
CampaignEnd runCampaign(GameRandom& random, Console& console);
