// How long a long game's link takes to replay, beside how long the page takes to load, in Chromium
// and Firefox, on the site served with gzip on this machine (no throttled line: both times are the
// browser's own work). The game is a campaign of the reference model (tests/web/browser_games.py)
// whose hero's name is refused again and again at the start until it has --answers answers; it is
// played on the page and its link taken. Then, in turns, each in a fresh browser context:
// - the page loaded: from navigation to a frame drawn after the game has written its title;
// - the link opened: from navigation to a frame drawn after the replay's first step, and after its
//   last, the end asked for as soon as the first step is shown; the screen must then hold the
//   game's transcript. The replay's own cost is the time from the first step to the last beyond
//   what the page's loading takes.
// Medians of --loads turns. With --accessibility on, Chromium builds its accessibility tree as it
// does for a screen reader (--force-renderer-accessibility). Not a test: it prints figures and
// judges none.
//
//   node bench/replay_benchmark.cjs [--site DIR] [--answers N] [--loads N] [--engines chromium,firefox]
//     [--accessibility on]
"use strict";

const {execFileSync} = require("node:child_process");
const path = require("node:path");
const {serve, findPrograms, launch, startEngine, readOptions} = require("../tests/support/browser.cjs");

const ROOT = path.join(__dirname, "..");
const puppeteer = require(path.join(ROOT, "build/web/npm/node_modules/puppeteer-core"));
const median = values => [...values].sort((a, b) => a - b)[values.length >> 1];

// The longest campaign of a few the model plays, its name refused until it has `answers` answers.
function longGame(answers) {
  const games = JSON.parse(execFileSync("python3", [path.join(ROOT, "tests/web/browser_games.py"), "12", "7"],
    {maxBuffer: 1 << 28})).filter(game => ["victory", "defeat"].includes(game.ending));
  const game = games.reduce((long, next) => (next.events.length > long.events.length ? next : long));
  const refusals = Math.max(0, Math.ceil((answers - game.events.length) / 2));
  const names = Array.from({length: refusals}, (_, n) => [{line: `勇者${n}`}, {line: "n"}]).flat();
  return {...game, events: [game.events[0], ...names, ...game.events.slice(1)]};
}

// Plays `game` on a fresh page typed ahead, its clock pinned; resolves to its link and transcript.
async function linkOf(browser, url, game) {
  const page = await (await browser.createBrowserContext()).newPage();
  await page.evaluateOnNewDocument(ms => { Date.now = () => ms; }, game.seed * 1000 + 500);
  await page.goto(url);
  await page.waitForFunction(() => document.body.dataset.game === "line", {timeout: 60000});
  for (const event of game.events) {
    await ("line" in event ? page.keyboard.type(event.line + "\n")
      : event.key > "\x7f" ? page.keyboard.sendCharacter(event.key) : page.keyboard.press(event.key));
  }
  await page.waitForFunction(() => document.getElementById("game-link").href.includes("#"), {timeout: 600000});
  const [link, transcript] = await page.evaluate(() => [document.getElementById("game-link").href, window.qz.transcript()]);
  await page.browserContext().close();
  return {link, transcript};
}

// In the page, before its scripts: window.times gets `title` once a frame is drawn after the game
// has written its title; for a link, `first` and `last` once a frame is drawn after the replay's
// first step and its last, the end button pressed once the first is drawn.
function markTimes() {
  window.times = {};
  const afterFrame = (name, then = () => {}) => requestAnimationFrame(() => {
    const channel = new MessageChannel();
    channel.port1.onmessage = () => {
      window.times[name] = performance.now();
      then();
    };
    channel.port2.postMessage(null);
  });
  const observer = new MutationObserver(() => {
    const [at, of] = (document.getElementById("replay-step")?.textContent ?? "").split(" / ");
    if (at === "1" && !window.times.asked) {
      window.times.asked = true;
      afterFrame("first", () => document.querySelector('#replay [aria-keyshortcuts="End"]').click());
    }
    if (at && at === of) {
      observer.disconnect();
      afterFrame("last");
    }
  });
  observer.observe(document, {childList: true, subtree: true, characterData: true});
  const written = () => (window.qz?.transcript().endsWith("选择：") ? afterFrame("title") : requestAnimationFrame(written));
  requestAnimationFrame(written);
}

async function timeOne(browser, url, wanted) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  await page.evaluateOnNewDocument(markTimes);
  await page.goto(url, {waitUntil: "domcontentloaded"});
  await page.waitForFunction(name => window.times[name] !== undefined, {timeout: 120000, polling: 50}, wanted);
  const [times, shown] = await page.evaluate(() => [window.times, document.getElementById("terminal").textContent]);
  await context.close();
  return {...times, shown};
}

const show = times => `median ${median(times).toFixed(0)} ms (fastest ${Math.min(...times).toFixed(0)}, ` +
  `slowest ${Math.max(...times).toFixed(0)})`;

async function timeEngine(engine, options, url, game) {
  const browser = engine === "chromium" && options.accessibility === "on"
    ? await launch(puppeteer, options.chromium, {args: ["--force-renderer-accessibility"]})
    : await startEngine(engine, puppeteer, options);
  try {
    const {link, transcript} = await linkOf(browser, url, game);
    console.log(`== ${engine}: a game of ${game.events.length} answers (${transcript.length} characters), ` +
      `its link ${link.length} characters; ${options.loads} turns`);
    const [load, first, last, replay] = [[], [], [], []];
    await timeOne(browser, url, "title");  // a first load that warms the browser up, not counted
    for (let turn = 0; turn < options.loads; turn++) {
      load.push((await timeOne(browser, url, "title")).title);
      const opened = await timeOne(browser, link, "last");
      if (opened.shown !== transcript) throw new Error(`${engine}: the replay's end is not the game's transcript`);
      first.push(opened.first);
      last.push(opened.last);
      replay.push(opened.last - load.at(-1));
    }
    console.log(`  the page loaded, its title written:   ${show(load)}`);
    console.log(`  the link opened, its first step:      ${show(first)}`);
    console.log(`  the link opened, its last step:       ${show(last)}`);
    console.log(`  the last step beyond the page's load: ${show(replay)}; the link to its last step ` +
      `${(median(last) / median(load)).toFixed(2)} times the page's load (medians)`);
  } finally {
    await browser.close();
  }
}

async function main() {
  const options = readOptions(["site", "answers", "loads", "engines", "accessibility", "chromium", "firefox"],
    {site: path.join(ROOT, "build/web/site"), answers: "1000", loads: "7", engines: "chromium,firefox", ...findPrograms()});
  options.loads = Number(options.loads);
  const game = longGame(Number(options.answers));
  const server = await serve(options.site);
  try {
    for (const engine of options.engines.split(",")) await timeEngine(engine, options, server.url, game);
  } finally {
    server.close();
  }
}

main().catch(error => {
  console.error(error);
  process.exitCode = 1;
});
