// The page around the game: one game after another without a reload, each a fresh instance of the
// compiled module wired to the screen, the keyboard and the touch buttons, and to the tab's saved
// game and its replay; the transcript; a finished game's link; and the page's own words on how
// the game said it ended, or why it cannot start. Opened with a game's link, it is that game's
// replay view instead.
import {BUILD, explain, loadGame} from "./game_file.js";
import {forget, keepAnswer, keptGame, whenNotKept, written} from "./game_store.js";
import {playGame} from "./game_hooks.js";
import {listenToHistory, recordOf, showHistory} from "./history_view.js";
import {listenForKeys} from "./keyboard.js";
import {PlayerInput} from "./player_input.js";
import {answersFor} from "./replay.js";
import {openReplay} from "./replay_view.js";
import {claimGame} from "./saved_game.js";
import {Screen} from "./screen.js";
import {offerLink} from "./share_link.js";
import {Speech} from "./speech.js";

const ENDINGS = {
  victory: "胜利！魔王已被打败。 Victory: the demon king is beaten.",
  defeat: "失败……勇士倒下了。 Defeat: the hero has fallen.",
  "input-ended": "输入已结束（Ctrl-D）。 The input ended (Ctrl-D).",
  quit: "已退出游戏。 You left at the title.",
};
// What the touch buttons type: an answer goes with its Enter, so one tap gives it.
const TOUCH_KEYS = {enter: "\r", backspace: "\x7f", continue: " "};

const element = id => document.getElementById(id);
const speech = new Speech(element("spoken"));
const screen = new Screen(element("terminal"), element("output"), element("typed"), speech);
const keys = element("keys");
const newGameButton = element("new-game");
const problem = element("cannot-load");
const touch = navigator.maxTouchPoints > 0 || matchMedia("(pointer: coarse)").matches;
const encoder = new TextEncoder();

let transcript = [];  // every byte the game wrote and every answer it read, in order
let input = null;     // the current game's player
let gameId = null;    // the id this tab keeps its game under
let notKept = "";     // why the game is not being kept, said after the status's own words
let reloadForNewGame = false;  // whether the page's own files were of two builds
let said = element("status").textContent;  // the status's own words

function transcriptBytes() {
  const all = new Uint8Array(transcript.reduce((sum, chunk) => sum + chunk.length, 0));
  let offset = 0;
  for (const chunk of transcript) {
    all.set(chunk, offset);
    offset += chunk.length;
  }
  return all;
}

// For the tests and the benchmark: what the game wrote and read, the screen it is drawn on, and
// a promise of every answer given so far being kept; for index.html, the page's build.
window.qz = {transcript: () => new TextDecoder().decode(transcriptBytes()), screen, saved: written, build: BUILD.page};

// Words said again are not changed, so that a screen reader does not announce them again.
function say(text) {
  said = text;
  const status = element("status");
  const words = [text, notKept].filter(Boolean).join(" ");
  if (status.textContent !== words) {
    status.textContent = words;
  }
}
whenNotKept(why => {
  notKept = why;
  say(said);
});

// On a touch screen the field takes no focus of its own accord: that would raise the on-screen
// keyboard over the buttons. A tap on the game's text, or on the keyboard button, raises it.
function focusGame() {
  if (!touch) {
    keys.focus({preventScroll: true});
  }
}

function showWait(kind) {
  document.body.dataset.game = kind;
  if (kind === "line" || kind === "key") {
    speech.tell();
    focusGame();
  }
}

// What the game reads: the next answer's bytes, or null at the end of the input. An answer the
// game reads as a line is echoed where it read it, on the screen and in the transcript.
function reader(game, player) {
  const read = answersFor(game, player, kept => keepAnswer(gameId, kept));
  return async kind => {
    const text = await read(kind);
    speech.forget();
    keys.removeAttribute("aria-describedby");  // the title shown ahead, which this answered
    if (text === null) {
      return null;
    }
    const bytes = encoder.encode(text);
    if (kind === "line") {
      transcript.push(bytes);
      screen.echo(text);
    }
    return bytes;
  };
}

function showProblem(text) {
  screen.clear();  // no title for a game that cannot start
  document.body.dataset.game = "failed";
  problem.textContent = text;
  problem.hidden = false;
  say("");
}

// A player for a game, who takes the keys from the game's first wait on.
function newPlayer() {
  const player = new PlayerInput(line => screen.showTyped(line), kind => {
    input = player;
    showWait(kind);
  });
  return player;
}

// The page made ready for a game, its status saying it loads.
function startShowing() {
  newGameButton.hidden = true;
  problem.hidden = true;
  screen.clearForGame();
  transcript = [];
  delete document.body.dataset.ending;
  showWait("loading");
}

// The game `side` plays, to its end, and the page's words on how it ended. Resolves to the
// ending's name (undefined when it said none, null after an error), or to false when it never
// started (a saved game then stays for the next try).
async function playToEnd(createModule, wasm, side) {
  try {
    const played = playGame(createModule, wasm, side);
    say("");
    element("status").removeAttribute("aria-live");  // its words from now on are news
    const ending = await played.finally(() => speech.tell());
    if (ending) {
      document.body.dataset.ending = ending;
    }
    say(ENDINGS[ending] ?? "游戏没有说明它是怎样结束的。 The game stopped without saying how it ended.");
    return ending;
  } catch (error) {
    if (error instanceof WebAssembly.LinkError) {
      showProblem(explain(error));
      return false;
    }
    say(`游戏出错了。 The game stopped with an error: ${error}`);
  }
  return null;
}

// The page's side of `game`, the answers coming from `player` after the game's own.
function sideOf(game, player) {
  const answer = reader(game, player);
  return {
    clockSeconds: game.clock,
    write(bytes) {
      transcript.push(bytes);
      screen.writeBytes(bytes);
    },
    readLine: () => answer("line"),
    readKey: () => answer("key"),
  };
}

// What `claim` gives, the wait said in the status once it is long: another tab can be holding the
// saved games.
async function waitedFor(claim) {
  const timer = setTimeout(() => say("正在等待存档…… Waiting for the saved games, which another tab is using…"), 3000);
  try {
    return await claim;
  } finally {
    clearTimeout(timer);
  }
}

// One whole game, from loading to its end: `claim` gives the saved game to resume, or null (or a
// promise of either). Keys typed while a new game loads wait for it. Those typed for a game to be
// resumed answer nothing the player was shown, the title shown ahead not being its screen: until
// the game, replayed, waits for the player on its own screen, they are dropped.
async function playOne(claim) {
  let player = newPlayer();
  input = player;
  startShowing();
  const loading = loadGame();  // while the tab finds its game
  loading.catch(() => {});     // its failure is told below
  const saved = await waitedFor(claim);
  if (saved) {
    player = newPlayer();
    input = null;
    screen.clear();  // its own screen, not the title shown ahead
  }
  const game = saved ?? {clock: Math.floor(Date.now() / 1000), answers: []};
  say(saved ? "正在恢复上次的游戏…… Resuming your game…" : "正在加载…… Loading…");
  let createModule, wasm;
  try {
    [createModule, wasm] = await loading;
  } catch (error) {
    showProblem(explain(error));
    reloadForNewGame = error.kind === "page";
    newGameButton.hidden = false;
    return;
  }
  const ending = await playToEnd(createModule, wasm, sideOf(game, player));
  newGameButton.hidden = false;
  if (ending !== false) {
    // A campaign won or lost goes into the history, as the next game starts: in one step.
    const record = recordOf(gameId, game, window.qz.transcript(), ending);
    if (record) offerLink(record.link);
    forget(gameId, record).then(() => showHistory());
    showWait("over");
    newGameButton.focus();
  }
}

function saveTranscript() {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([transcriptBytes()], {type: "text/plain;charset=utf-8"}));
  link.download = "qzvillage-transcript.txt";
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);  // once the download has it
  focusGame();
}

for (const button of document.querySelectorAll("#touch button")) {
  // The buttons type for the player; pressing one must not take the focus from the game.
  button.addEventListener("mousedown", event => event.preventDefault());
  button.addEventListener("click", () => {
    if (button.dataset.send === "keyboard") {
      keys.focus({preventScroll: true});  // raises the on-screen keyboard, to type a name
    } else {
      input?.push(TOUCH_KEYS[button.dataset.send] ?? button.dataset.send + "\r");
    }
  });
}
if (touch) {
  document.body.classList.add("touch");
}
// A click on the page gives the keys back to the game, unless it selected text to copy.
document.addEventListener("click", event => {
  if (!event.target.closest("button, a, input, select, textarea, summary") && document.getSelection().isCollapsed) {
    keys.focus({preventScroll: true});
  }
});
newGameButton.addEventListener("click", () => {
  if (reloadForNewGame) {
    location.reload();  // for the page's own files, of one build
    return;
  }
  // After a failure to load, the game kept from before the reload is still the one to play.
  playOne(document.body.dataset.game === "failed" ? keptGame(gameId) : null);
});
element("save").addEventListener("click", saveTranscript);
if (location.hash.length > 1) {
  openReplay(location.hash.slice(1), screen, speech, ENDINGS);
} else {
  listenToHistory(speech);
  playOne(claimGame().then(({id, game}) => {
    gameId = id;
    return game;
  }));
}
// Another game's link opened in this page changes no more than the fragment: the page is loaded
// again for it, as the view it asks for.
addEventListener("hashchange", () => location.reload());
// After the first game's player is there: keys typed before this script ran are in the field.
listenForKeys(keys, data => input?.push(data));
// Played offline after one visit: the service worker keeps every file of this build. It is
// registered once the page has loaded, so that its copies do not slow the first game's loading.
addEventListener("load", () => navigator.serviceWorker?.register("service_worker.js"));
