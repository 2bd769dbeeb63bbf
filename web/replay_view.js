// The replay view: the page opened with a game's link shows that game answer by answer, at the
// pace the viewer sets (a step forward or back, play and faster, the end), by the buttons (a click
// or a tap) or by their keys. A step forward is told to a screen reader as the game's text is in
// play, with the answer it begins with, which the viewer did not type; a step back, or a jump, is
// told nothing. The player's own game and saves are never touched: the view reads the link alone,
// and its one way out is a link to the page without it, where the player's own game (or a new
// one) is.

import {explain, loadGame} from "./game_file.js";
import {unpack} from "./game_link.js";
import {replayLink} from "./link_replay.js";

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
  let replay = link;  // {problem} when it is no game's link
  try {
    if (!link.problem) {
      replay = await replayLink(...await loadGame(), link);
    }
  } catch (error) {
    replay = {words: explain(error)};
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
  let speed = 1;  // steps a second while playing: 1, 2, 4 or 8
  let timer = 0;  // while playing, the next step's
  const buttons = [...element("replay").querySelectorAll("button")];
  const [back, play, faster, forward, end] = buttons;  // in the page's order
  const playing = on => {
    clearTimeout(timer);
    timer = on && shown < steps.length ? setTimeout(() => go(shown + 1), 1000 / speed) : 0;
    play.setAttribute("aria-pressed", timer !== 0);
  };
  const go = count => {
    const target = Math.max(1, Math.min(steps.length, count));
    draw(steps, screen, speech, shown, target);
    shown = target;
    element("replay-step").textContent = `${shown} / ${steps.length}`;
    element("status").textContent = shown === steps.length ? last : "";
    playing(timer !== 0);
  };
  back.onclick = () => go(shown - 1);
  forward.onclick = () => go(shown + 1);
  end.onclick = () => go(steps.length);
  play.onclick = () => playing(timer === 0);
  faster.onclick = () => {
    speed = speed === 8 ? 1 : speed * 2;
    faster.textContent = `${speed}×`;
    playing(timer !== 0);
  };
  // A button's key (its aria-keyshortcuts) presses it from anywhere on the page; with Alt, Ctrl
  // or Meta held it is the browser's (Alt+ArrowLeft goes back).
  document.addEventListener("keydown", event => {
    const button = buttons.find(shortcut => shortcut.getAttribute("aria-keyshortcuts") === event.key);
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
    screen.writeText(steps[from].text);
    speech.tell();
  } else if (to !== from) {
    screen.empty();
    screen.draw(steps.slice(0, to).map(step => step.text).join(""));
  }
}
