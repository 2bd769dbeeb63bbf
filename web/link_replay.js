// A game opened from its link, played again to its end with no one's input: the game runs from the
// link's clock reading and answers, as a resumed game does, and what it wrote is kept as steps,
// one per answer, for the replay view to show. Only the link is read: nothing is kept or taken.

import {check} from "./game_link.js";
import {playGame} from "./game_hooks.js";

const encoder = new TextEncoder();

// Plays the game of `link` ({clock, answers, check}) with the game's module and its compiled
// .wasm. Resolves to {steps, ending, problem}: steps[0] is what the game wrote before its first
// answer, each later step an answer's echo (a line's; a key has none) and what the game wrote
// after it, as {text}; the ending as game_hooks.js names it. `problem` is null, or "run-out"
// when the answers ran out before the game ended (the steps end there), "left-over" when the
// game ended before reading them all, or "differs" when the game went another way than the one
// the link was made from (no steps then).
export async function replayLink(createModule, wasm, link) {
  const steps = [{text: ""}];
  const decoder = new TextDecoder();
  let given = 0;
  let problem = null;
  let stop;
  const stopped = new Promise(resolve => { stop = resolve; });
  const read = async kind => {
    const answer = link.answers[given];
    if (!(kind in (answer ?? {}))) {
      problem = answer ? "differs" : "run-out";
      stop();
      return new Promise(() => {});  // the game waits for ever, and goes with the replay
    }
    given += 1;
    steps.push({text: kind === "line" ? answer[kind] : ""});
    return encoder.encode(answer[kind]);
  };
  const side = {
    clockSeconds: link.clock,
    write(bytes) {
      steps.at(-1).text += decoder.decode(bytes, {stream: true});
    },
    readLine: () => read("line"),
    readKey: () => read("key"),
  };
  const ending = await Promise.race([playGame(createModule, wasm, side), stopped]);  // undefined if stopped
  problem ??= check(steps.map(step => step.text).join("")) !== link.check ? "differs"
    : given < link.answers.length ? "left-over" : null;
  return {steps: problem === "differs" ? [] : steps, ending, problem};
}
