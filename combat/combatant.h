// The fighter record shared by the hero, the ordinary enemies and the demon king, and the three
// ways such records are made.
#pragma once

#include "console/console.h"
#include "console/game_text.h"
#include "random/game_random.h"

#include <array>
#include <optional>
#include <string>
#include <variant>

// The hero's name as the player typed it, or an enemy's: one of the game's own texts.
using FighterName = std::variant<std::string, GameText>;

struct Combatant {
    FighterName name;
    int hp = 0;     // dead at 0 or below
    int mp = 0;     // may go negative: a spell's full cost is taken once mp > 0
    int dps = 0;    // attack strength, fixed after creation
    int guard = 0;  // damage reduction waiting for the next hit; may be negative
};

// The names both kinds of enemy are drawn from, by draw modulo 20.
inline constexpr std::array<GameText, 20> kEnemyNames = {
    "石头怪", "独眼狼", "毒蘑菇", "骷髅·剑士", "铁甲虫", "赤眼蝠", "幽灵骑士", "沙虫", "寒冰蛛", "蛇妖",
    "树精",   "石魔",   "食人花", "巨钳蟹",    "狼人",   "火焰蜥", "山贼头目", "鬼火", "血牙豹", "腐尸鼠",
};

// The player names the hero and accepts a roll of statistics, ten rolls at most.
// Empty when the input ends before the hero is made.
std::optional<Combatant> createHero(Console& console, GameRandom& random);

// An ordinary enemy, announced with one line. Draws the name, then hp, mp and dps.
Combatant createEnemy(Console& console, GameRandom& random);

// The demon king, made without a word. Draws the name, then hp, mp and dps.
Combatant createDemonKing(GameRandom& random);
