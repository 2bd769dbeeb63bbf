// The six actions both sides fight with, their formulas, and the damage step they share.
#pragma once

#include "combat/combatant.h"
#include "console/console.h"
#include "random/game_random.h"

// The character naming an action: the player types it, the enemy's rules choose it.
namespace ActionCode {
inline constexpr char PhysicalAttack = '1';
inline constexpr char MagicAttack = '2';  // 5 mp
inline constexpr char PhysicalDefense = '3';
inline constexpr char MagicShield = '4';  // 6 mp
inline constexpr char Heal = '5';         // 4 mp
inline constexpr char AwakenMagic = '6';
}  // namespace ActionCode

// The formulas. Each writes its trace, a marker and the value, without a line break, and those
// with a d%N term draw once from `random`.
int physicalPower(const Combatant& actor, GameRandom& random, Console& console);  // dps + d%10
int spellPower(const Combatant& actor, GameRandom& random, Console& console);     // dps + mp/2 + d%15
int healAmount(const Combatant& actor, GameRandom& random, Console& console);     // dps + d%20 + 1
// dps - hp/2: negative whenever hp/2 exceeds dps, and still added to the guard.
int stanceValue(const Combatant& actor, Console& console);
// dps + mp/2 + (100 - dps)/2.
int shieldValue(const Combatant& actor, Console& console);

// A hit of `power` on `target`: its guard is subtracted (a negative result counts as 1) and used
// up, the damage is announced and taken from its hp, and the game pauses.
void resolveHit(Combatant& target, int power, Console& console);

// `actor` carries out the action `code` against `target`. A spell only needs mp > 0 and then costs
// its full price. Every real action ends with a pause; any other code does nothing at all.
void performAction(Combatant& actor, Combatant& target, char code, GameRandom& random, Console& console);
