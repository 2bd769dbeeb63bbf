// The page around the game: the terminal, one game after another without a reload, the touch
// buttons, the transcript, and the page's own words on how a game ended or why it cannot start.
// Each game is a fresh instance of the compiled module; its standard streams and its pause are
// wired to the terminal here (console/web/*.cpp is the other side).
"use strict";

const ENDINGS = {
  victory: "胜利！魔王已被打败。 Victory: the demon king is beaten.",
  defeat: "失败……勇士倒下了。 Defeat: the hero has fallen.",
  "input-ended": "输入已结束（Ctrl-D）。 The input ended (Ctrl-D).",
  quit: "已退出游戏。 You left at the title.",
};
const statusLine = document.getElementById("status");
const newGameButton = document.getElementById("new-game");

// Small screens still get 80 columns: the font shrinks to fit them.
const terminal = new Terminal({
  cols: 80,
  rows: 30,
  convertEol: true,  // the game ends its lines with a line feed alone
  screenReaderMode: localStorage.getItem("qz-screen-reader") === "on",
  cursorBlink: true,
  fontSize: Math.max(6, Math.min(16, Math.floor(window.innerWidth / 50))),
  fontFamily: '"Noto Sans Mono CJK SC", "Sarasa Mono SC", "Source Han Mono SC", Consolas, "Microsoft YaHei", ' +
    '"PingFang SC", "Hiragino Sans GB", "Noto Sans CJK SC", "WenQuanYi Micro Hei Mono", monospace',
});
terminal.open(document.getElementById("terminal"));
window.terminal = terminal;

let transcript = [];  // every byte the game wrote and every answer it read, in order
let input = null;

function transcriptBytes() {
  const all = new Uint8Array(transcript.reduce((sum, chunk) => sum + chunk.length, 0));
  let offset = 0;
  for (const chunk of transcript) {
    all.set(chunk, offset);
    offset += chunk.length;
  }
  return all;
}

window.qz = {transcript: () => new TextDecoder().decode(transcriptBytes())};

function showWait(kind) {
  document.body.dataset.game = kind;
  if (kind === "line" || kind === "key") {
    terminal.focus();
  }
}

function say(text) {
  statusLine.textContent = text;
}

// Compiled once; every game instantiates it anew. Rejects when the .wasm cannot be fetched.
let compiled = null;
function compileGame() {
  if (typeof WebAssembly !== "object" || typeof createQzVillage !== "function" || location.protocol === "file:") {
    return Promise.reject(new Error("unsupported"));
  }
  compiled ??= WebAssembly.compileStreaming(fetch("qzvillage.wasm"))
    .catch(() => fetch("qzvillage.wasm").then(response => response.arrayBuffer()).then(WebAssembly.compile));
  return compiled;
}

// The hooks console/web/*.cpp calls, for one game reading from `player`.
function gameHooks(wasm, player, seen) {
  let line = null;
  return {
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(wasm, imports).then(instance => receive(instance, wasm));
      return {};
    },
    qzWrite(bytes) {
      transcript.push(bytes);
      terminal.write(bytes);
    },
    async qzReadLine() {
      line = await player.readLine();
      if (line === null) {
        return -1;
      }
      transcript.push(line);  // the echo, where the game read it
      return line.length;
    },
    qzTakeLine: () => line,
    qzReadKey() {
      seen.pause = true;
      return player.readKey();
    },
    qzClockSeconds: () => Math.floor(Date.now() / 1000),
  };
}

function endingOf(status, player, seen) {
  if (player.ended) {
    return "input-ended";
  }
  if (status !== 0) {
    return "defeat";
  }
  // A game that reached a pause went past the title, and ends with status 0 only when won.
  return seen.pause ? "victory" : "quit";
}

// One whole game, from loading to its end. Keys typed while it loads wait for it.
async function newGame() {
  const player = new PlayerInput(text => terminal.write(text), showWait);
  const seen = {pause: false};
  input = player;
  newGameButton.hidden = true;
  terminal.reset();
  transcript = [];
  delete document.body.dataset.ending;
  showWait("loading");
  say("正在加载…… Loading…");
  let game;
  try {
    game = await createQzVillage(gameHooks(await compileGame(), player, seen));
  } catch {
    document.body.dataset.game = "failed";
    say("");
    document.getElementById("cannot-load").hidden = false;
    return;
  }
  say("");
  try {
    const status = await game.ccall("main", "number", [], [], {async: true});
    document.body.dataset.ending = endingOf(status, player, seen);
    say(ENDINGS[document.body.dataset.ending]);
  } catch (error) {
    say(`游戏出错了。 The game stopped with an error: ${error}`);
  }
  showWait("over");
  newGameButton.hidden = false;
  newGameButton.focus();
}

function saveTranscript() {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([transcriptBytes()], {type: "text/plain;charset=utf-8"}));
  link.download = "qzvillage-transcript.txt";
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);  // once the download has it
}

terminal.onData(data => input?.push(data));
// In its screen-reader mode xterm.js drops text that arrives without a key press or an input
// method's composition (an on-screen keyboard, dictation, a character picker): pass it on here.
let lastKey = null;
terminal.textarea.addEventListener("keydown", event => { lastKey = event.key; });
terminal.textarea.addEventListener("input", event => {
  if (terminal.options.screenReaderMode && event.inputType === "insertText" && !event.isComposing &&
      event.data && event.data !== lastKey) {
    input?.push(event.data);
  }
  lastKey = null;
});
for (const button of document.querySelectorAll("#touch button")) {
  // The buttons type for the player; pressing one must not take the focus from the terminal.
  button.addEventListener("mousedown", event => event.preventDefault());
  button.addEventListener("click", () => input?.push(button.dataset.send === "enter" ? "\r" : button.dataset.send));
}
if (navigator.maxTouchPoints > 0 || matchMedia("(pointer: coarse)").matches) {
  document.body.classList.add("touch");
}
const screenReader = document.getElementById("screen-reader");
screenReader.checked = terminal.options.screenReaderMode;
screenReader.addEventListener("change", () => {
  terminal.options.screenReaderMode = screenReader.checked;
  localStorage.setItem("qz-screen-reader", screenReader.checked ? "on" : "off");
  terminal.focus();
});
newGameButton.addEventListener("click", newGame);
document.getElementById("save").addEventListener("click", saveTranscript);
newGame();
