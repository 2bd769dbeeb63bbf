// The page heard through a real screen reader: Orca reads Firefox and Chromium on a virtual
// display, its speech sent by speech-dispatcher to a module that writes each utterance to a file
// (tests/support/speech_log_module.py), while xdotool types a player's keys as an X keyboard
// would. The opening of one game is played in each engine, and what was spoken is checked: the
// title and its menu once, before the first answer, then each write's new lines, the pauses
// told as pauses, no re-reading and no stale words. Then that opening's link is replayed, step by
// step with the Forward button and one step back: each step heard once, as in play, the step back
// not at all. Each answer or step waits for what the page announced to be heard, never for a time;
// only at the end is the speech waited on to fall quiet. Needs a display and a session bus
// (tools/screen-reader-check.sh gives both); the spoken log is printed.
//
// node --test-force-exit screen_reader_test.cjs --site DIR [--engines chromium,firefox] [--keep DIR] [--orca-debug FILE]
//   --keep DIR: each engine's speech kept there, as DIR/ENGINE.jsonl (speech_log_module.py's lines);
//   --orca-debug FILE: Orca's own debugging output, which says why it read or skipped an event.
"use strict";

const assert = require("node:assert/strict");
const {execFileSync, spawn} = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const {after, before, describe, test} = require("node:test");
const path = require("node:path");
const puppeteer = require("puppeteer-core");
const {serve, findPrograms, readOptions} = require("../support/browser.cjs");

const MODULE = path.join(__dirname, "../support/speech_log_module.py");
const pause = ms => new Promise(resolve => setTimeout(resolve, ms));

// Speech as a list of {at, kind, text}, the SSML's marks and escapes taken out.
function spoken(log) {
  if (!fs.existsSync(log)) return [];
  const plain = text => text.replace(/<[^>]*>/g, "").replace(/&lt;/g, "<").replace(/&gt;/g, ">")
    .replace(/&amp;/g, "&");
  return fs.readFileSync(log, "utf8").split("\n").filter(Boolean).map(line => JSON.parse(line))
    .filter(record => record.kind !== "stop").map(record => ({...record, text: plain(record.text)}));
}

// What Orca says of a page's announcements: NFKC folds the full-width punctuation it reads as
// ASCII ("：" as ":"), and any run of spaces is one.
const folded = text => text.normalize("NFKC").replace(/\s+/g, " ").trim();

// Resolves to the speech once `test()` holds of it. Fails when the screen reader stops, or after
// `limit` ms with the speech so far.
async function speechUntil(reader, test, limit = 60000) {
  for (const started = Date.now(); ;) {
    const now = spoken(reader.log);
    if (test(now)) return now;
    const gone = reader.stopped();
    if (gone || Date.now() - started > limit) {
      throw new Error(`${gone ? gone + " stopped" : "speech did not come"}: ${now.map(u => u.text).join(" | ")}`);
    }
    await pause(100);
  }
}

// Whether every one of `announced` (the page's) has been heard since the speech's `from`th
// utterance, as often as it was made.
const allHeard = (announced, from) => said => {
  const heard = said.slice(from).filter(u => !echo(u)).map(u => folded(u.text));
  return announced.every(text => heard.filter(u => u.includes(folded(text))).length >=
    announced.filter(other => other === text).length);
};

// The end of the speech: nothing more said for `quiet` ms. Only an absence shows that nothing
// was read twice, so this is waited once, after the last thing the page announces.
async function speechEnds(reader, quiet = 1500) {
  let [count, since] = [-1, Date.now()];
  return speechUntil(reader, said => {
    if (said.length !== count) [count, since] = [said.length, Date.now()];
    return Date.now() - since >= quiet;
  });
}

// speech-dispatcher speaking into `log`, and Orca on it, with a home of their own in `folder`.
// Resolves to {log, stopped(), stop()}: stop() resolves once both have ended; stopped() says which of the two has ended, and what Orca
// said of it (it will not start while another Orca of this user runs; its --replace would kill
// every one of them, other sessions' too).
async function startScreenReader(folder, log, debugFile) {
  const conf = path.join(folder, "speechd");
  fs.mkdirSync(conf, {recursive: true});
  fs.writeFileSync(path.join(conf, "speechd.conf"),
    `LogDir "${folder}"\nAddModule "file" "${MODULE}" ""\nDefaultModule file\nDefaultLanguage "zh"\n`);
  const socket = path.join(folder, "speechd.sock");
  const env = {...process.env, HOME: folder, QZ_SPEECH_LOG: log, SPEECHD_ADDRESS: `unix_socket:${socket}`,
    XDG_RUNTIME_DIR: folder, XDG_CONFIG_HOME: path.join(folder, "config")};
  const ended = child => (child.exitCode ?? child.signalCode) !== null;
  const started = [spawn("speech-dispatcher", ["-s", "-t", "0", "-C", conf, "-S", socket], {env, stdio: "ignore"})];
  let orcaSaid = "";
  // Each ended, and gone: killed again past 10 s.
  const stop = child => new Promise(resolve => {
    if (ended(child)) return resolve();
    child.once("exit", resolve).kill();
    setTimeout(() => child.kill("SIGKILL"), 10000).unref();
  });
  const reader = {log, stop: () => Promise.all(started.map(stop))};
  reader.stopped = () => (ended(started[0]) && "speech-dispatcher") || (started[1] && ended(started[1]) && `Orca (${orcaSaid.trim()})`);
  try {
    await speechUntil(reader, () => fs.existsSync(socket), 20000);
    started.push(spawn("orca", debugFile ? [`--debug-file=${debugFile}`] : [], {env, stdio: ["ignore", "pipe", "ignore"]}));
    started[1].stdout.on("data", data => { orcaSaid += data; });
    await speechUntil(reader, said => said.length > 0);  // "Screen reader on."
  } catch (error) {
    await reader.stop();
    throw error;
  }
  return reader;
}

// The engine, with a window on the display and its accessibility on. Chromium's profile, in
// `folder`, has translation off: it offers to translate the page, and Orca reads the offer out.
function startBrowser(engine, programs, folder) {
  if (engine === "chromium") {
    const profile = path.join(folder, "chromium");
    fs.mkdirSync(path.join(profile, "Default"), {recursive: true});
    fs.writeFileSync(path.join(profile, "Default/Preferences"), JSON.stringify({translate: {enabled: false}}));
    return puppeteer.launch({executablePath: programs.chromium, headless: false, defaultViewport: null, userDataDir: profile,
      args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
        "--force-renderer-accessibility", "--window-position=0,0", "--window-size=1000,800"]});
  }
  return puppeteer.launch({browser: "firefox", executablePath: programs.firefox, headless: false,
    defaultViewport: null, args: ["--width=1000", "--height=800"],
    extraPrefsFirefox: {"network.captive-portal-service.enabled": false, "network.connectivity-service.enabled": false}});
}

const xdotool = (...args) => execFileSync("xdotool", args).toString();

// The window of the page, given the keyboard's focus: with no window manager, X gives it only
// when asked.
function focusWindow(title) {
  const windows = xdotool("search", "--sync", "--onlyvisible", "--name", title).trim().split("\n");
  const window = windows[windows.length - 1];
  xdotool("windowfocus", "--sync", window);
  xdotool("mousemove", "--window", window, "400", "400");
  return window;
}

const waitFor = (page, state) =>
  page.waitForFunction(s => document.body.dataset.game === s, {timeout: 60000, polling: 50}, state);

// In the page, before its scripts: window.announced lists the texts the page put into its live
// region.
function listen() {
  window.announced = [];
  new MutationObserver(changes => changes.filter(change => change.target.id === "spoken")
    .forEach(change => change.addedNodes.forEach(node => window.announced.push(node.textContent))))
    .observe(document, {childList: true, subtree: true});
}

// Waits until the page has announced a wait and all it announced has been heard since the
// speech's `from`th utterance.
async function heardWait(page, reader, before, from) {
  await page.waitForFunction(count => window.announced.length > count, {timeout: 60000, polling: 50}, before);
  const announced = await page.evaluate(() => window.announced);
  await speechUntil(reader, allHeard(announced, from));
  return announced;
}

// The opening of a game: [what is typed (a line, or a key at a pause), the wait that follows].
const OPENING = [["1", "line"], ["Ann", "line"], ["y", "line"], ["y", "key"], [" ", "key"], [" ", "line"],
  ["1", "key"]];

// The opening typed on `page`, each answer once what it ended was heard. Resolves to where each
// answer was typed in the speech, [{at, answer}], and what the page announced.
async function playOpening(page, reader, url, title) {
  // As a player opens it: typed into the address bar, which gives the page the focus.
  await page.goto("about:blank");
  focusWindow(title);
  xdotool("key", "ctrl+l");
  xdotool("type", "--delay", "20", url);
  xdotool("key", "Return");
  await page.waitForFunction(() => document.body?.dataset.game === "line", {timeout: 60000, polling: 50});
  await speechUntil(reader, said => said.some(u => u.text.includes("选择")));
  const marks = [];
  for (const [answer, next] of OPENING) {
    marks.push({at: spoken(reader.log).length, answer});
    const before = await page.evaluate(() => window.announced.length);
    if (answer === " ") {
      xdotool("key", "space");
    } else {
      xdotool("type", "--delay", "120", answer);
      xdotool("key", "Return");
    }
    await waitFor(page, next);
    await heardWait(page, reader, before, marks[0].at);
  }
  return {marks, announced: await page.evaluate(() => window.announced)};
}

// The fragment of a link to the game on `page` as far as it went: its clock and kept answers,
// each in the general form, and a check of no game, unread as the answers run out first.
async function linkSoFar(page) {
  const {clock, answers} = await page.evaluate(() => window.qz.saved().then(() => new Promise((resolve, reject) => {
    const request = indexedDB.open("qzvillage");
    request.onerror = () => reject(request.error);
    request.onsuccess = () => {
      const id = sessionStorage.getItem("qzvillage-game-id");
      const stores = request.result.transaction(["games", "answers"]);
      const [game, kept] = [stores.objectStore("games").get(id), stores.objectStore("answers").getAll(IDBKeyRange.bound([id, 0], [id, Infinity]))];
      stores.oncomplete = () => resolve({clock: game.result.clock, answers: kept.result});
    };
  })));
  const packed = answers.map(answer => ("line" in answer ? ["l", answer.line] : ["k", answer.key]))
    .map(([kind, text]) => `~${kind}${Array.from(text, c => c.codePointAt(0).toString(36)).join("_")}~`);
  return `1.${clock.toString(36)}.${packed.join("")}.0000000`;
}

// The opening's link replayed: each step forward by the Forward button (focused, and pressed with
// Return as through a screen reader's browse mode), once the last was heard, then one back.
// Resolves to where the replay began in the speech and what the page announced.
async function replayOpening(page, reader, url) {
  const from = spoken(reader.log).length;
  await page.goto(url + "#" + await linkSoFar(page));
  const steps = OPENING.length + 1;
  await page.waitForFunction(last => document.getElementById("replay-step").textContent === `1 / ${last}`,
    {timeout: 60000, polling: 50}, steps);
  await heardWait(page, reader, 0, from);
  for (const button of ["ArrowRight", "ArrowLeft"]) {
    await page.focus(`#replay [aria-keyshortcuts="${button}"]`);
    for (let step = 1; step < (button === "ArrowRight" ? steps : 2); step++) {
      const [shown, before] = await page.evaluate(() => [document.getElementById("replay-step").textContent, window.announced.length]);
      xdotool("key", "Return");
      await page.waitForFunction(was => document.getElementById("replay-step").textContent !== was, {timeout: 60000, polling: 50}, shown);
      if (button === "ArrowRight") await heardWait(page, reader, before, from);
    }
  }
  await speechEnds(reader);
  return {from, announced: await page.evaluate(() => window.announced)};
}

async function play(engine, options, url) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), `qz-speech-${engine}-`));
  let reader, browser;
  try {
    reader = await startScreenReader(folder, path.join(folder, "speech.jsonl"), options["orca-debug"]);
    browser = await startBrowser(engine, options, folder);
    const [page] = await browser.pages();
    await page.evaluateOnNewDocument(() => { Date.now = () => 54500; });  // the seed
    await page.evaluateOnNewDocument(listen);
    const opening = await playOpening(page, reader, url, engine === "chromium" ? "Chromium" : "Firefox");
    const replay = await replayOpening(page, reader, url);
    return {said: spoken(reader.log), opening, replay};
  } catch (error) {
    if (reader) printSpeech(engine, spoken(reader.log));
    throw error;
  } finally {
    await browser?.close();
    await reader?.stop();
    if (options.keep && fs.existsSync(reader?.log ?? "")) fs.copyFileSync(reader.log, path.join(options.keep, `${engine}.jsonl`));
    fs.rmSync(folder, {recursive: true, force: true});
  }
}

// Key echoes ("1 ", "return ", "left shift ") are the screen reader's own; the rest is read.
const echo = ({kind, text}) => kind !== "text" || / $/.test(text);

// What must be heard of the opening: each part once, in order, nothing read again, no stale
// words, and no label before every write.
function checkSpeech(said, marks) {
  const heard = said.filter(utterance => !echo(utterance));
  const first = marks[0].at;  // the first answer
  const count = test => heard.filter(u => test(u.text)).length;
  const menus = heard.filter(u => u.text.includes("1新游戏"));
  assert.equal(menus.length, 1, "the title's menu is heard once");
  assert.ok(said.indexOf(menus[0]) < first && menus[0].text.includes("QZ村战魔王"), "the title and its menu before the first answer");
  assert.deepEqual(said.slice(first).filter(u => u.text.includes("QZ村战魔王")), [], "the title read again");
  for (const part of ["请输入你的名字", "你的HP", "遇到了第1个敌人", "1物理攻击"]) {
    assert.equal(count(text => text.includes(part)), 1, `${part} is heard once`);
  }
  assert.equal(count(text => /^=+$|^-+$/m.test(text)), 0, "a rule line is heard");
  assert.equal(count(text => text.includes("正在加载")), 0, "the loading words are heard");
  assert.ok(count(text => text.includes("游戏 The game")) <= 1, "the log's label is heard before writes");
  // A pause is heard last, with the text it ends, and is the last thing heard before its key.
  assert.match(folded(heard.find(u => u.text.includes("遇到了第1个敌人")).text), /遇到了第1个敌人.+按任意键继续\S*$/,
    "the pause after the first enemy");
  said.forEach((utterance, at) => {
    if (echo(utterance) || !utterance.text.includes("按任意键继续")) return;
    const next = said.findIndex((later, index) => index > at && !echo(later));
    assert.ok(next < 0 || marks.some(mark => mark.at > at && mark.at <= next), `a pause heard before its text: ${said[next]?.text}`);
  });
  // An answer is heard as it is typed, not again with what follows.
  for (const {at, answer} of marks.filter(mark => mark.answer !== " ")) {
    const next = said.slice(at).find(u => !echo(u));
    assert.ok(next && !next.text.startsWith(answer + "\n"), `the answer ${answer} is read back: ${next?.text}`);
  }
}

// What must be heard of the replay: each step forward told as in play, after the line it answers
// (the first step, the title, too), each heard once, and the step back not at all.
function checkReplay(said, opening, {from, announced}) {
  const told = announced.slice(1).map((text, at) => text.replace(/^.*\n/, echoed =>
    (echoed + opening.announced[at] === text ? "" : echoed)));
  assert.deepEqual(told, opening.announced, "the replay's steps told as the game's text was");
  // Opened from a link, the page is the game's until its script runs: the answer entry, focused at
  // load, can be read with the title it is described by before the replay tells the title. That
  // one reading is the page's load, not a step, and is left out.
  const replayed = said.slice(from);
  const heard = replayed.filter((utterance, at) => !echo(utterance) && !replayed[at - 1]?.text.startsWith("回答 Your answer"))
    .map(utterance => folded(utterance.text));
  for (const text of new Set(announced)) {
    const times = heard.filter(utterance => utterance.includes(folded(text))).length;
    assert.equal(times, announced.filter(other => other === text).length, `heard ${times} times: ${text}`);
  }
}

function printSpeech(engine, said) {
  const start = said[0]?.at ?? 0;
  for (const {at, kind, text} of said) {
    console.log(`     [${engine}] ${(at - start).toFixed(1).padStart(6)} s ${kind === "text" ? "" : kind + " "}${JSON.stringify(text)}`);
  }
}

// Each engine a suite of node's test runner, its one test the opening heard.
function main() {
  const options = readOptions(["site", "engines", "keep", "orca-debug", "chromium", "firefox"],
    {engines: "chromium,firefox", ...findPrograms()});
  const served = {};
  before(async () => { served.server = await serve(path.resolve(options.site)); });
  after(() => served.server?.close());
  for (const engine of options.engines.split(",")) {
    describe(engine, () => test("the opening and its replay heard through Orca", async () => {
      const {said, opening, replay} = await play(engine, options, served.server.url);
      printSpeech(engine, said);
      checkSpeech(said.slice(0, replay.from), opening.marks);
      checkReplay(said, opening, replay);
    }));
  }
}

main();
