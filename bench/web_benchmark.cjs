// What the browser build costs a player, measured on the site served with gzip (tests/support/browser.cjs):
// 1. the size of the page's own scripts and the game's .js and .wasm under gzip -9, each and in all,
//    against the budget of 24 KiB (the service worker, which a first visit does not wait for, is
//    not counted);
// 2. the time from navigation to the game's title drawn, beside the time the same page takes with
//    no script at all (made here from the built site, whose HTML shows the title ahead of the
//    game), both over a throttled line (1.6 Mbps down, 750 kbps up, 150 ms round trip) with the
//    cache off, each load in a fresh browser profile; medians of several loads; and the time until
//    the game, loaded, has written its title itself;
// 3. the time from a key to the next frame drawn after the screen changed for it, at the start of a
//    game and after a million characters of text (written to the screen through window.qz.screen);
// 4. the time from Enter to the answer kept on disk (game_store.js), at the name prompt of a game
//    resumed after 1,000 answers and after 100,000;
// 5. Lighthouse's scores, mobile and desktop.
// Builds the web preset first, unless given a site. Not a test: it prints figures and judges none.
//
//   node bench/web_benchmark.cjs [--site DIR] [--loads N] [--keys N] [--chromium PATH]
"use strict";

const {execFileSync} = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const {pathToFileURL} = require("node:url");
const {serve, launch, readOptions} = require("../tests/support/browser.cjs");

const ROOT = path.join(__dirname, "..");
const NPM = path.join(ROOT, "build/web/npm/node_modules");  // the page's tools, as the web build installs them
const BUDGET = 24 * 1024;
const NOT_COUNTED = new Set(["service_worker.js"]);
// Lighthouse's "slow 4G", the line the budget for the time to the title is set on.
const LINE = {offline: false, latency: 150, downloadThroughput: 1.6e6 / 8, uploadThroughput: 750e3 / 8};
const LONG_GAME = 1e6;  // characters

// The game's page as it looks at the title, with no script: no module, no preload, no inline
// script; the title as the HTML shows it ahead of the game, the status empty, the cursor shown.
function noScriptPage(site) {
  return fs.readFileSync(path.join(site, "index.html"), "utf8")
    .replace(/<script\b[^]*?<\/script>\n?/g, "")
    .replace(/<link rel="(module)?preload"[^>]*>\n?/g, "")
    .replace(/<!--[^]*?-->\n?/g, "")
    .replace(/(<span id="status"[^>]*>)[^<]*/, "$1")
    .replace(/data-game="loading"/, 'data-game="line"');
}

// GNU gzip's own -9, as the budget is stated; zlib's level 9 (the test server's) comes out a little larger.
const gzipSize = file => execFileSync("gzip", ["-9c", file], {maxBuffer: 1 << 26}).length;
const median = values => [...values].sort((a, b) => a - b)[values.length >> 1];

function printSizes(site) {
  console.log(`== Sizes under gzip -9 (${site})`);
  let total = 0;
  const others = [];
  for (const name of fs.readdirSync(site).sort()) {
    const file = path.join(site, name);
    if (!fs.statSync(file).isFile()) continue;
    if (!/\.(js|wasm)$/.test(name) || NOT_COUNTED.has(name)) {
      others.push(`${name} ${gzipSize(file)} B`);
      continue;
    }
    const size = gzipSize(file);
    total += size;
    console.log(`  ${name.padEnd(20)} ${String(fs.statSync(file).size).padStart(7)} B, gzipped ${String(size).padStart(6)} B`);
  }
  const left = BUDGET - total;
  console.log(`  scripts and game: ${total} B of the ${BUDGET} B budget (24 KiB), ` +
    `${left >= 0 ? `${left} B to spare` : `${-left} B over`}`);
  console.log(`  not counted: ${others.join(", ")}`);
}

// In the page, before its scripts: window.shownAt is set once the title is in the game's text and
// a frame showing it has been drawn (the task after the frame's animation callbacks), and
// window.writtenAt once the game itself has written it (a page with no game never sets it).
function markTitle() {
  const afterFrame = set => requestAnimationFrame(() => {
    const channel = new MessageChannel();
    channel.port1.onmessage = set;
    channel.port2.postMessage(null);
  });
  const observer = new MutationObserver(() => {
    if (document.getElementById("output")?.textContent.endsWith("选择：")) {
      observer.disconnect();
      afterFrame(() => { window.shownAt = performance.now(); });
    }
  });
  observer.observe(document, {childList: true, subtree: true, characterData: true});
  const written = () => window.qz?.transcript().endsWith("选择：")
    ? afterFrame(() => { window.writtenAt = performance.now(); }) : requestAnimationFrame(written);
  requestAnimationFrame(written);
}

// Milliseconds from navigation until the title is drawn, on the throttled line.
async function timeOneLoad(browser, url, withGame) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  const cdp = await page.createCDPSession();
  await cdp.send("Network.enable");
  await cdp.send("Network.setCacheDisabled", {cacheDisabled: true});
  await cdp.send("Network.emulateNetworkConditions", LINE);
  await page.evaluateOnNewDocument(markTitle);
  await page.goto(url, {waitUntil: "domcontentloaded"});
  await page.waitForFunction(() => window.shownAt !== undefined, {timeout: 120000});
  if (withGame) await page.waitForFunction(() => window.writtenAt !== undefined, {timeout: 120000});
  const times = await page.evaluate(() => [window.shownAt, window.writtenAt]);
  await context.close();
  return times;
}

const show = times => `median ${median(times).toFixed(0)} ms (fastest ${Math.min(...times).toFixed(0)}, ` +
  `slowest ${Math.max(...times).toFixed(0)})`;

async function printTimes(puppeteer, options, gameUrl, plainUrl) {
  console.log(`== Navigation to the title: 1.6 Mbps, 150 ms, cache off; ${options.loads} loads of each, taken in turns`);
  const browser = await launch(puppeteer, options.chromium);
  const game = [];
  const written = [];
  const plain = [];
  await timeOneLoad(browser, plainUrl, false);  // a first load that warms the browser up, not counted
  for (let i = 0; i < options.loads; i++) {
    const [shownAt, writtenAt] = await timeOneLoad(browser, gameUrl, true);
    game.push(shownAt);
    written.push(writtenAt);
    plain.push((await timeOneLoad(browser, plainUrl, false))[0]);
  }
  await browser.close();
  console.log(`  the game's title:            ${show(game)}`);
  console.log(`  the page with no script:     ${show(plain)}`);
  console.log(`  ratio of the medians: ${(median(game) / median(plain)).toFixed(2)} (the aim: 1.2 or less)`);
  console.log(`  the game loaded, its title written by the game: ${show(written)}, ` +
    `${(median(written) / median(plain)).toFixed(2)} times the page with no script`);
}

// In the page: window.keyTime resolves to the milliseconds from the next key-down to the end of
// the first frame drawn after the screen changed for it.
function timeNextKey() {
  window.keyTime = new Promise(resolve => {
    addEventListener("keydown", event => {
      const observer = new MutationObserver(() => {
        observer.disconnect();
        requestAnimationFrame(() => {
          const channel = new MessageChannel();
          channel.port1.onmessage = () => resolve(performance.now() - event.timeStamp);
          channel.port2.postMessage(null);
        });
      });
      observer.observe(document.getElementById("terminal"), {childList: true, subtree: true, characterData: true});
    }, {capture: true, once: true});
  });
}

async function timeKey(page, key) {
  await page.evaluate(timeNextKey);
  await page.keyboard.press(key);
  return page.evaluate(() => window.keyTime);
}

// At the name prompt, `rounds` times: a letter typed, then Enter, which the game answers with the
// question whether the name is right; "n" and Enter, which it answers by asking for the name again.
async function timeKeys(page, rounds) {
  const letter = [];
  const enter = [];
  for (let i = 0; i < rounds; i++) {
    letter.push(await timeKey(page, "KeyA"));
    enter.push(await timeKey(page, "Enter"));
    await page.keyboard.type("n");
    enter.push(await timeKey(page, "Enter"));
  }
  return `a letter ${show(letter)}; Enter ${show(enter)}`;
}

// Lines as long as a battle's, one write each as the game flushes them, a frame drawn after each
// batch as while a game is played, until the screen holds `characters` more.
async function writeLongGame(page, characters) {
  for (let written = 0; written < characters;) {
    written += await page.evaluate(async (from, until) => {
      let count = 0;
      for (let turn = from; count < 100000 && from + count < until; turn++) {
        const line = `第${turn}回合：勇者攻击了史莱姆，造成${turn % 97}点伤害；史莱姆的HP：${turn % 200}\n`;
        window.qz.screen.writeText(line);
        count += line.length;
      }
      await new Promise(resolve => requestAnimationFrame(() => setTimeout(resolve)));
      return count;
    }, written, characters);
  }
}

async function printKeyTimes(puppeteer, options, url) {
  console.log(`== A key to the next frame, at the name prompt; ${options.keys} rounds of each`);
  const browser = await launch(puppeteer, options.chromium);
  const page = await browser.newPage();
  await page.setViewport({width: 1000, height: 800});
  await page.goto(url);
  await page.waitForFunction(() => document.body.dataset.game === "line");
  await page.keyboard.type("1");
  await page.keyboard.press("Enter");
  await page.waitForFunction(() => window.qz.transcript().endsWith("请输入你的名字："));
  console.log(`  ${"at the start:".padEnd(28)} ${await timeKeys(page, options.keys)}`);
  await writeLongGame(page, LONG_GAME);
  const length = await page.$eval("#terminal", box => box.textContent.length);
  console.log(`  ${`after ${length} characters:`.padEnd(28)} ${await timeKeys(page, options.keys)}`);
  await browser.close();
}

// In the page: window.saveTime resolves to the milliseconds from the next Enter's key-down to the
// answer it sends being kept.
function timeNextSave() {
  window.saveTime = new Promise(resolve => {
    addEventListener("keydown", event => setTimeout(async () => {  // once the game has read the answer
      await window.qz.saved();
      resolve(performance.now() - event.timeStamp);
    }), {capture: true, once: true});
  });
}

// A game kept under the id "bench" with `count` answers: the title's, then names and "n" in turn,
// the last a name, so that the game resumed waits for the answer whether the name is right.
function keepLongGame(count) {
  return new Promise((resolve, reject) => {
    const request = indexedDB.open("qzvillage", 1);
    request.onsuccess = () => {
      const transaction = request.result.transaction(["games", "answers"], "readwrite");
      transaction.objectStore("games").put({id: "bench", clock: 54, saved: Date.now()});
      for (let number = 0; number < count; number++) {
        const line = number === 0 ? "1\n" : number % 2 === 1 ? "勇者\n" : "n\n";
        transaction.objectStore("answers").put({line}, ["bench", number]);
      }
      transaction.oncomplete = () => resolve(sessionStorage.setItem("qzvillage-game-id", "bench"));
      transaction.onabort = () => reject(transaction.error);
    };
    request.onerror = () => reject(request.error);
  });
}

async function printSaveTimes(puppeteer, options, url) {
  console.log(`== Enter to the answer kept, in a resumed game; ${options.keys} rounds of each`);
  const browser = await launch(puppeteer, options.chromium);
  for (const count of [1000, 100000]) {
    const page = await browser.newPage();
    await page.goto(url);
    await page.waitForFunction(() => document.body.dataset.game === "line");
    await page.evaluate(keepLongGame, count);
    await page.reload();
    await page.waitForFunction(() => document.body.dataset.game === "line", {timeout: 600000});
    await new Promise(resolve => setTimeout(resolve, 5000));  // the database settled after so many writes at once
    const times = [];
    for (let round = 0; round < options.keys; round++) {
      for (const answer of ["n", "勇者"]) {
        await page.evaluate(timeNextSave);
        await page.keyboard.type(answer);
        await page.keyboard.press("Enter");
        times.push(await page.evaluate(() => window.saveTime));
      }
    }
    console.log(`  ${`after ${count} answers:`.padEnd(28)} ${show(times)}`);
    await page.close();
  }
  await browser.close();
}

async function printLighthouse(puppeteer, options, url) {
  const {default: lighthouse} = await import(pathToFileURL(path.join(NPM, "lighthouse/core/index.js")));
  const {default: desktop} = await import(pathToFileURL(path.join(NPM, "lighthouse/core/config/desktop-config.js")));
  const version = JSON.parse(fs.readFileSync(path.join(NPM, "lighthouse/package.json"))).version;
  console.log(`== Lighthouse ${version}, on the site served with gzip`);
  for (const [form, config] of [["mobile", undefined], ["desktop", desktop]]) {
    // Lighthouse drives a browser of its own through a debugging port.
    const browser = await launch(puppeteer, options.chromium, {pipe: false, args: ["--remote-debugging-port=0"]});
    const port = Number(new URL(browser.wsEndpoint()).port);
    const result = await lighthouse(url, {port, output: "json", logLevel: "error"}, config);
    await browser.close();
    const categories = Object.values(result.lhr.categories);
    console.log(`  ${form.padEnd(7)}: ` + categories.map(c => `${c.title} ${Math.round(c.score * 100)}`).join(", "));
    for (const category of categories) {
      const lost = category.auditRefs.filter(ref => ref.weight > 0 && (result.lhr.audits[ref.id].score ?? 1) < 1);
      if (lost.length > 0) console.log(`           ${category.title} loses points on: ${lost.map(ref => ref.id).join(", ")}`);
    }
  }
}

async function main() {
  const options = readOptions(["site", "loads", "keys", "chromium"], {loads: "7", keys: "5", chromium: "/usr/bin/chromium"});
  options.loads = Number(options.loads);
  options.keys = Number(options.keys);
  if (!options.site) {
    execFileSync("cmake", ["--preset", "web"], {cwd: ROOT, stdio: "ignore"});
    execFileSync("cmake", ["--build", "--preset", "web"], {cwd: ROOT, stdio: "ignore"});
  }
  const site = path.resolve(options.site ?? path.join(ROOT, "build/web/site"));
  const puppeteer = require(path.join(NPM, "puppeteer-core"));

  printSizes(site);

  const plainSite = fs.mkdtempSync(path.join(os.tmpdir(), "qz-no-script-"));
  fs.cpSync(site, plainSite, {recursive: true});
  fs.writeFileSync(path.join(plainSite, "index.html"), noScriptPage(site));
  const [game, plain] = [await serve(site), await serve(plainSite)];
  try {
    await printTimes(puppeteer, options, game.url, plain.url);
    await printKeyTimes(puppeteer, options, game.url);
    await printSaveTimes(puppeteer, options, game.url);
    await printLighthouse(puppeteer, options, game.url);
  } finally {
    game.close();
    plain.close();
    fs.rmSync(plainSite, {recursive: true, force: true});
  }
}

main().catch(error => {
  console.error(error);
  process.exitCode = 1;
});
