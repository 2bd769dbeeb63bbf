// The history of finished games: the last ones won or lost, newest first, each with its date, its
// hero, its ending and the foes beaten, a link that watches it again, the link's offer
// (share_link.js) and a button that drops it; and a button that drops them all, once the player
// has said yes. game_store.js keeps them, in the step that forgets the game. The list is read when
// it is opened and again after each change; a drop is told to a screen reader.

import {dropFinished, finished, keeping} from "./game_store.js";
import {pack} from "./game_link.js";
import {words} from "./replay_view.js";

const element = id => document.getElementById(id);
const list = element("finished");
const NAMED = "你的名字是：";  // before the hero's name, as the game asks to confirm it

// The history's record of the game {clock, answers} kept under `id`, whose transcript is
// `transcript`, or null unless it ended in victory or defeat. Every foe beaten is one line
// "A把B杀死了！", and so is the hero's own death.
export function recordOf(id, game, transcript, ending) {
  const from = transcript.lastIndexOf(NAMED) + NAMED.length;
  return ending === "victory" || ending === "defeat" ? {date: Date.now(), game: id, ending, link: pack(game, transcript),
    name: transcript.slice(from, transcript.indexOf("确定吗？(Y/N):", from)),
    foes: transcript.match(/把.*杀死了！$/gm).length - (ending === "defeat")} : null;
}

let records = [];  // as drawn, the newest first

function row(record, index) {
  const item = element("finished-entry").content.firstElementChild.cloneNode(true);
  const [what, watch] = item.children;
  what.textContent = [new Date(record.date).toLocaleString(), record.name, words(record.ending),
    words("foes").replaceAll("#", record.foes)].join(" · ");
  what.id = `finished-${index}`;
  watch.href = "#" + record.link;
  for (const control of item.querySelectorAll("a, button")) {
    control.setAttribute("aria-describedby", what.id);  // which game "Delete" deletes
  }
  return item;
}

// Draws the history as kept now, if it is open, and says so where games are not being kept; `focus` gives the place in the list whose link
// takes the focus, where the control pressed was removed.
export async function showHistory(focus) {
  if (!list.parentElement.open) {
    return;
  }
  const kept = await finished();
  records = kept ?? [];
  list.replaceChildren(...records.map(row));
  const none = element("finished-none");
  none.hidden = records.length > 0 && keeping();
  none.textContent = words(kept && keeping() ? "none-finished" : "not-kept");
  element("drop-all").hidden = records.length === 0;
  if (focus >= 0) {
    (list.children[Math.min(focus, records.length - 1)]?.querySelector("a") ?? list.parentElement.firstElementChild).focus();
  }
}

// Drops the game at `index` in the list, or all of them; `speech` is the page's.
async function drop(index, speech) {
  await dropFinished(records[index] && [records[index].date, records[index].game]);
  speech.say(words("dropped"));
  showHistory(Math.max(index, 0));
}

// Wires the history's controls; `speech` is the page's.
export function listenToHistory(speech) {
  list.parentElement.addEventListener("toggle", () => showHistory());
  list.addEventListener("click", ({target}) => {
    const item = target.closest("[data-drop]")?.parentElement;
    if (item) {
      drop([...list.children].indexOf(item), speech);
    }
  });
  element("drop-all").addEventListener("click", () => confirm(words("drop-all")) && drop(-1, speech));
}
