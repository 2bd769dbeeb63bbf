// How a game ended, as the game itself knows it, and the platform's way of being told. On a
// terminal the exit status says it; the browser's page says it in words, so it must hear it from
// the game rather than guess it from the status.
#pragma once

// The values are the codes the page receives (see console/web/page_hooks.h); they never change.
enum class GameEnding {
    Victory = 0,      // the demon king fell
    Defeat = 1,       // the hero fell
    InputEnded = 2,   // the player's answers ran out first, at the title or in the campaign
    LeftAtTitle = 3,  // 2, another number or no number at all at the title
};

// Tells the platform how the game ended, once, after its last output has been flushed. Only the
// browser does anything with it; the other platforms' bodies are empty.
void reportEnding(GameEnding ending);
