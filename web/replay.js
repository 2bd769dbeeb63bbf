// A game's answers, as the game asks for them: first those of the saved game it resumes,
// replayed, then the player's. Every answer, a replayed one too, goes into the game as it is
// given, and the game is saved after each of the player's, so that any later reload replays the
// whole game so far.

// `game` is {clock, answers} (answers to replay; it collects the answers given from now on),
// `player` a PlayerInput, `save(game)` keeps the answer just added to it. Returns read(kind), which gives the next "line"
// or "key" as text, or null when the input has ended.
export function answersFor(game, player, save) {
  const replay = game.answers;
  let replayed = 0;
  game.answers = [];
  return async kind => {
    let text;
    if (replayed < replay.length && kind in replay[replayed]) {
      text = replay[replayed++][kind];
      game.answers.push({[kind]: text});
    } else {
      replayed = replay.length;  // a game that went another way than the saved one is played on
      text = await (kind === "line" ? player.readLine() : player.readKey());
      if (text !== null) {
        game.answers.push({[kind]: text});
        save(game);
      }
    }
    return text;
  };
}
