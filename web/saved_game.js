// The game in progress, kept in the browser's local storage so that a reload, or a tab the
// browser discarded, takes the player back to it. A game is its seed and what it read, so that is
// what is kept: the clock reading that seeded it, and every line and key it was given, in order.
// It is written after every answer, since a phone discarding a tab gives the page no last word.

const KEY = "qzvillage-game";

// {clock: seconds, answers: [{line: text} | {key: text}]}, or null when there is none to resume.
export function loadSavedGame() {
  try {
    const game = JSON.parse(localStorage.getItem(KEY));
    const answerOk = answer => typeof (answer?.line ?? answer?.key) === "string";
    return Number.isInteger(game?.clock) && Array.isArray(game.answers) && game.answers.every(answerOk)
      ? game : null;
  } catch {
    return null;  // no storage (a privacy setting), or something else's text under the key
  }
}

// Storage that is full or switched off costs the player the resume, never the game.
export function saveGame(game) {
  try {
    localStorage.setItem(KEY, JSON.stringify(game));
  } catch {
    forgetGame();
  }
}

export function forgetGame() {
  try {
    localStorage.removeItem(KEY);
  } catch {
    // Nothing was kept, then.
  }
}
