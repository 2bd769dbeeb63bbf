// The replay view: the page opened with a game's link shows that game answer by answer, at the
// pace the viewer sets (a step forward or back, play and faster, the end), by the
// buttons (a click or a tap) or by keys. A step forward is told to a screen reader as the game's
// text is in play; a step back, or a jump, is told nothing but where the replay is. The player's
// own game and saves are never touched: the view reads the link alone, and its one way out is a
// link to the page without it, where the player's own game (or a new one) is.

import {explain, loadGame} from "./game_file.js";
import {unpack} from "./game_link.js";
import {replayLink} from "./link_replay.js";

const SPEEDS = [1, 2, 4, 8];
const STEP_MS = 1000;  // between two steps played at the first speed

const element = id => document.getElementById(id);
// The page's words for `name`: what is wrong with a link, or with its replay, by the names
// game_link.js and link_replay.js give it, or another of the words the page keeps for links.
export const words = name => element("link-words").content.querySelector(`[data-name="${name}"]`)?.textContent;

// Shows `fragment` (the link's, "#" left out) replayed, or what is wrong with it. `screen` and
// `speech` are the page's; `endings` gives the page's words for each ending.
export async function openReplay(fragment, screen, speech, endings) {
  document.body.dataset.game = "replay";  // the page's style shows the replay's controls
  screen.clear();
  element("status").removeAttribute("aria-live");
  const link = unpack(fragment);
  let replay = {problem: link.problem};
  try {
    if (!link.problem) {
      const [createModule, wasm] = await loadGame();
      replay = await replayLink(createModule, wasm, link);
    }
  } catch (error) {
    replay = {problem: "failed", words: explain(error)};
  }
  if (!replay.steps?.length) {
    const problem = element("cannot-load");
    problem.textContent = replay.words ?? words(replay.problem);
    problem.hidden = false;
    return;
  }
  const last = [endings[replay.ending], words(replay.problem)].filter(Boolean).join(" ");
  showSteps(replay.steps, screen, speech, last);
}

// The replay's controls over `steps`; `last` is what the status says at the last step.
function showSteps(steps, screen, speech, last) {
  let shown = 0;  // how many steps are on the screen
  let speed = 0;  // an index into SPEEDS
  let timer = 0;  // while playing, the next step's
  const [play, faster] = ["play", "faster"].map(name => element("replay").querySelector(`[data-step=${name}]`));
  const playing = on => {
    clearTimeout(timer);
    timer = on && shown < steps.length ? setTimeout(() => go(shown + 1), STEP_MS / SPEEDS[speed]) : 0;
    play.setAttribute("aria-pressed", String(timer !== 0));
  };
  const go = count => {
    const target = Math.max(1, Math.min(steps.length, count));
    draw(steps, screen, speech, shown, target);
    shown = target;
    element("replay-step").textContent = `${shown} / ${steps.length}`;
    element("status").textContent = shown === steps.length ? last : "";
    playing(timer !== 0);
  };
  const actions = {
    back: () => go(shown - 1), forward: () => go(shown + 1), end: () => go(steps.length),
    play: () => playing(timer === 0),
    faster: () => {
      speed = (speed + 1) % SPEEDS.length;
      faster.textContent = `${SPEEDS[speed]}×`;
      playing(timer !== 0);
    },
  };
  element("replay").addEventListener("click", event => actions[event.target.closest("button")?.dataset.step]?.());
  // A button's key (its aria-keyshortcuts) presses it from anywhere on the page; with Alt, Ctrl
  // or Meta held it is the browser's (Alt+ArrowLeft goes back).
  document.addEventListener("keydown", event => {
    const button = element("replay").querySelector(`[aria-keyshortcuts="${event.key}"]`);
    if (button && !event.ctrlKey && !event.altKey && !event.metaKey) {
      event.preventDefault();
      button.click();
    }
  });
  go(1);
}

// Takes the screen from `from` steps shown to `to`: one step forward is drawn and told as the game
// told it; any other move draws the steps again, untold.
function draw(steps, screen, speech, from, to) {
  speech.forget();
  if (to === from + 1) {
    const step = steps[from];
    screen.draw(step.echo);
    screen.writeText(step.text);
    speech.tell(step.wait);
  } else if (to !== from) {
    screen.empty();
    screen.draw(steps.slice(0, to).map(step => step.echo + step.text).join(""));
  }
}
