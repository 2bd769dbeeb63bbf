// The browser tests: headless Chromium (driven by puppeteer-core) plays the game on the built
// site, served from 127.0.0.1, through real keyboard and touch events. The page's clock is pinned
// before its scripts run, so each game's seed is known, and every transcript must equal the one
// browser_games.py derives from the reference model, byte for byte.
//
// node browser_test.cjs --site DIR --python PYTHON [--games N] [--master-seed N] [--chromium PATH]
"use strict";

const assert = require("node:assert/strict");
const {execFileSync} = require("node:child_process");
const fs = require("node:fs");
const http = require("node:http");
const path = require("node:path");
const puppeteer = require("puppeteer-core");

const options = {games: "50", "master-seed": String(Date.now() % 100000), chromium: "/usr/bin/chromium"};
for (let i = 2; i < process.argv.length; i += 2) {
  options[process.argv[i].replace(/^--/, "")] = process.argv[i + 1];
}

const TYPES = {".html": "text/html", ".js": "text/javascript", ".css": "text/css", ".wasm": "application/wasm"};

function serve(site) {
  const server = http.createServer((request, response) => {
    const asked = path.join(site, path.normalize(decodeURIComponent(new URL(request.url, "http://x").pathname)));
    const file = asked.endsWith(path.sep) ? path.join(asked, "index.html") : asked;
    fs.readFile(file, (error, data) => {
      response.writeHead(error ? 404 : 200, {"Content-Type": TYPES[path.extname(file)] ?? "text/plain"});
      response.end(error ? "" : data);
    });
  });
  return new Promise(resolve => server.listen(0, "127.0.0.1", () => resolve(server)));
}

// Waits until the page's game waits for `state` ("line", "key" or "over").
function waitFor(page, state, timeout = 30000) {
  return page.waitForFunction(s => document.body.dataset.game === s, {timeout, polling: 20}, state);
}

async function openGame(browser, url, seed, viewport) {
  const page = await browser.newPage();
  if (viewport) {
    await page.setViewport(viewport);
  }
  // The game's seed is the clock's second, as time() gives it; setClock changes it for a new game.
  await page.evaluateOnNewDocument(start => {
    let now = start;
    Date.now = () => now;
    window.setClock = ms => { now = ms; };
  }, seed * 1000 + 500);
  await page.goto(url);
  await waitFor(page, "line");
  return page;
}

async function typeLine(page, text) {
  await page.keyboard.type(text);
  await page.keyboard.press("Enter");
}

async function ctrlD(page) {
  await page.keyboard.down("Control");
  await page.keyboard.press("KeyD");
  await page.keyboard.up("Control");
}

async function pressKey(page, key) {
  if (key.length === 1 && key > "\x7f") {
    await page.keyboard.sendCharacter(key);  // as an input method delivers it
  } else {
    await page.keyboard.press(key === " " ? "Space" : key);
  }
}

// Every event typed ahead at once: the page keeps them in order for whatever the game reads.
async function play(page, events) {
  for (const event of events) {
    if ("line" in event) {
      await typeLine(page, event.line);
    } else if ("key" in event) {
      await pressKey(page, event.key);
    } else {
      await ctrlD(page);
    }
  }
  await waitFor(page, "over");
}

const transcript = page => page.evaluate(() => window.qz.transcript());

function firstDifference(expected, actual) {
  let i = 0;
  while (i < expected.length && expected[i] === actual[i]) {
    i++;
  }
  return `first difference at character ${i}:\n  expected ${JSON.stringify(expected.slice(Math.max(0, i - 80), i + 80))}\n` +
    `  actual   ${JSON.stringify(actual.slice(Math.max(0, i - 80), i + 80))}`;
}

const ENDING = game => (game.events.some(e => e.eof) ? "input-ended" : game.status === 1 ? "defeat"
  : game.kind === "title" ? "quit" : "victory");

// Whole games, one after another on one page through its New game button.
async function agreement(browser, url) {
  const games = JSON.parse(execFileSync(options.python, [path.join(__dirname, "browser_games.py"),
    options.games, options["master-seed"]], {maxBuffer: 1 << 28}).toString());
  const page = await openGame(browser, url, games[0].seed);
  for (const [index, game] of games.entries()) {
    if (index > 0) {
      await page.evaluate(ms => window.setClock(ms), game.seed * 1000 + 500);
      await page.click("#new-game");
      await waitFor(page, "line");
    }
    await play(page, game.events);
    const actual = await transcript(page);
    if (actual !== game.transcript) {
      assert.fail(`game ${index} (seed ${game.seed}, ${game.kind}): ${firstDifference(game.transcript, actual)}`);
    }
    assert.equal(await page.evaluate(() => document.body.dataset.ending), ENDING(game), `game ${index}`);
  }
  await page.close();
  return `${games.length} games (master seed ${options["master-seed"]})`;
}

module.exports = {serve, launch, openGame, waitFor, typeLine, ctrlD, transcript};

// Debian's Chromium, headless, with nothing that reaches for the network. Puppeteer gives it a
// fresh profile and removes it when the browser closes.
function launch(chromium) {
  return puppeteer.launch({
    executablePath: chromium,
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
      "--disable-component-update", "--disable-sync"],
  });
}

async function main() {
  const server = await serve(path.resolve(options.site));
  const url = `http://127.0.0.1:${server.address().port}/`;
  const browser = await launch(options.chromium);
  let failed = false;
  const cases = [["agreement", agreement], ...require("./browser_cases.cjs").CASES];
  for (const [name, run] of cases) {
    const started = Date.now();
    try {
      const note = await run(browser, url);
      console.log(`ok   ${name} (${Date.now() - started} ms)${note ? ": " + note : ""}`);
    } catch (error) {
      failed = true;
      console.log(`FAIL ${name}: ${error.message}`);
    }
  }
  await browser.close();
  server.close();
  process.exitCode = failed ? 1 : 0;
}

if (require.main === module) {
  main();
}
