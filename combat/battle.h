// One duel to the death between the hero and a foe: the status panel, the player's menu, the
// foe's answer, and the death checks after each side's turn.
#pragma once

#include "combat/combatant.h"
#include "console/console.h"
#include "random/game_random.h"

enum class BattleResult {
    HeroWon,
    HeroDied,
    InputEnded,  // the player's answers ran out at the menu: the game stops there
};

// Fights until one side is dead; the hero acts first in every round and a foe that comes in
// already dead falls after the hero's first turn. Changes both records in place.
BattleResult runBattle(Combatant& hero, Combatant& foe, GameRandom& random, Console& console);

// Six lines: names, hp, mp and dps of the two sides, between two rules of hyphens.
void showStatusPanel(const Combatant& left, const Combatant& right, Console& console);
