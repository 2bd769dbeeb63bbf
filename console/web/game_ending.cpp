// The page says in words how the game ended, so the game tells it through its hook.
#include "console/game_ending.h"
#include "console/web/page_hooks.h"

void reportEnding(GameEnding ending) { page::ended(static_cast<int>(ending)); }
