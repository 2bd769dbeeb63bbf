// The page heard through a real screen reader: Orca reads Firefox and Chromium on a virtual
// display, its speech sent by speech-dispatcher to a module that writes each utterance to a file
// (tests/support/speech_log_module.py), while xdotool types a player's keys as an X keyboard
// would. The opening of one game is played in each engine, and what was spoken is checked: the
// title and its menu once, before the first answer, then each write's new lines, the pauses
// told as pauses, no re-reading and no stale words. Needs a display and a session bus
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

// Resolves once `test()` holds of the speech and nothing more has been said for `quiet` ms.
async function speechSettles(log, test = () => true, quiet = 2500, limit = 60000) {
  const started = Date.now();
  let count = -1;
  let since = Date.now();
  for (;;) {
    const now = spoken(log);
    if (now.length !== count) [count, since] = [now.length, Date.now()];
    if (test(now) && Date.now() - since >= quiet) return now;
    if (Date.now() - started > limit) throw new Error("speech did not settle: " + now.map(u => u.text).join(" | "));
    await pause(200);
  }
}

// speech-dispatcher speaking into `log`, and Orca on it, with a home of their own in `folder`.
async function startScreenReader(folder, log, debugFile) {
  const conf = path.join(folder, "speechd");
  fs.mkdirSync(conf, {recursive: true});
  fs.writeFileSync(path.join(conf, "speechd.conf"),
    `LogDir "${folder}"\nAddModule "file" "${MODULE}" ""\nDefaultModule file\nDefaultLanguage "zh"\n`);
  const socket = path.join(folder, "speechd.sock");
  const env = {...process.env, HOME: folder, QZ_SPEECH_LOG: log, SPEECHD_ADDRESS: `unix_socket:${socket}`,
    XDG_RUNTIME_DIR: folder, XDG_CONFIG_HOME: path.join(folder, "config")};
  const speech = spawn("speech-dispatcher", ["-s", "-t", "0", "-C", conf, "-S", socket], {env, stdio: "ignore"});
  for (let waited = 0; !fs.existsSync(socket); waited += 100) {
    assert.ok(waited < 20000, "speech-dispatcher did not start");
    await pause(100);
  }
  const orca = spawn("orca", ["--replace", ...(debugFile ? [`--debug-file=${debugFile}`] : [])], {env, stdio: "ignore"});
  await speechSettles(log, said => said.length > 0, 1000);  // "Screen reader on."
  return () => {
    orca.kill();
    speech.kill();
  };
}

// The engine, with a window on the display and its accessibility on.
function startBrowser(engine, programs) {
  if (engine === "chromium") {
    return puppeteer.launch({executablePath: programs.chromium, headless: false, defaultViewport: null,
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

// The opening of a game: [what is typed (a line, or a key at a pause), the wait that follows].
const OPENING = [["1", "line"], ["Ann", "line"], ["y", "line"], ["y", "key"], [" ", "key"], [" ", "line"],
  ["1", "key"]];

async function play(engine, options, url) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), `qz-speech-${engine}-`));
  const log = path.join(folder, "speech.jsonl");
  const stop = await startScreenReader(folder, log, options["orca-debug"]);
  const browser = await startBrowser(engine, options);
  const marks = [];  // where each answer was typed, in the speech
  try {
    const [page] = await browser.pages();
    await page.evaluateOnNewDocument(() => { Date.now = () => 54500; });  // the seed
    // As a player opens it: typed into the address bar, which gives the page the focus.
    await page.goto("about:blank");
    focusWindow(engine === "chromium" ? "Chromium" : "Firefox");
    xdotool("key", "ctrl+l");
    xdotool("type", "--delay", "20", url);
    xdotool("key", "Return");
    await page.waitForFunction(() => document.body?.dataset.game === "line", {timeout: 60000, polling: 50});
    await speechSettles(log, said => said.some(u => u.text.includes("选择")));
    for (const [answer, next] of OPENING) {
      marks.push({at: spoken(log).length, answer});
      const written = await page.evaluate(() => window.qz.transcript().length);
      if (answer === " ") {
        xdotool("key", "space");
      } else {
        xdotool("type", "--delay", "120", answer);
        xdotool("key", "Return");
      }
      await page.waitForFunction(length => window.qz.transcript().length > length, {timeout: 60000}, written);
      await waitFor(page, next);
      await speechSettles(log);
    }
  } catch (error) {
    printSpeech(engine, spoken(log));
    throw error;
  } finally {
    await browser.close();
    stop();
  }
  const said = spoken(log);
  if (options.keep) fs.copyFileSync(log, path.join(options.keep, `${engine}.jsonl`));
  fs.rmSync(folder, {recursive: true, force: true});
  return {said, marks};
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
  // A pause is heard alone, after the text it ends.
  const enemy = heard.findIndex(u => u.text.includes("遇到了第1个敌人"));
  assert.match(heard[enemy + 1]?.text ?? "", /^按任意键继续\S*$/, "the pause after the first enemy");
  assert.ok(!heard[enemy].text.includes("按任意键"), "the pause is part of a longer utterance");
  // Every pause is the last thing heard before the key that ends it.
  said.forEach((utterance, at) => {
    if (echo(utterance) || !utterance.text.startsWith("按任意键继续")) return;
    const next = said.findIndex((later, index) => index > at && !echo(later));
    assert.ok(next < 0 || marks.some(mark => mark.at > at && mark.at <= next), `a pause heard before its text: ${said[next]?.text}`);
  });
  // An answer is heard as it is typed, not again with what follows.
  for (const {at, answer} of marks.filter(mark => mark.answer !== " ")) {
    const next = said.slice(at).find(u => !echo(u));
    assert.ok(next && !next.text.startsWith(answer + "\n"), `the answer ${answer} is read back: ${next?.text}`);
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
    describe(engine, () => test("the opening heard through Orca", async () => {
      const {said, marks} = await play(engine, options, served.server.url);
      printSpeech(engine, said);
      checkSpeech(said, marks);
    }));
  }
}

main();
