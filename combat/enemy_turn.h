// How an enemy, ordinary or the demon king, picks its action: fixed thresholds on the hero's hp
// and mp and its own hp, mixed with draws.
#pragma once

#include "combat/combatant.h"
#include "console/console.h"
#include "random/game_random.h"

// The enemy's action code. Reads only hero.hp, hero.mp and enemy.hp. Makes one or two draws,
// depending on the situation, and every draw of a stage whose condition holds is made even when
// a later stage replaces its pick.
char chooseEnemyAction(const Combatant& hero, const Combatant& enemy, GameRandom& random);

// The enemy chooses, then performs that action on the hero.
void enemyTurn(Combatant& hero, Combatant& enemy, GameRandom& random, Console& console);
