// The browser tests: headless Chromium (driven by puppeteer-core) plays the game on the built
// site, served from 127.0.0.1, through real keyboard and touch events. The page's clock is pinned
// before its scripts run, so each game's seed is known. Whole games must give the transcripts that
// browser_games.py derives from the reference model, byte for byte; then one table of cases.
//
// node browser_test.cjs --site DIR --python PYTHON [--games N] [--master-seed N] [--chromium PATH]
"use strict";

const assert = require("node:assert/strict");
const {execFileSync} = require("node:child_process");
const fs = require("node:fs");
const http = require("node:http");
const os = require("node:os");
const path = require("node:path");
const puppeteer = require("puppeteer-core");

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

const waitFor = (page, state, timeout = 30000) =>
  page.waitForFunction(s => document.body.dataset.game === s, {timeout, polling: 20}, state);
const transcript = page => page.evaluate(() => window.qz.transcript());
const ending = page => page.evaluate(() => document.body.dataset.ending);

// A page whose game has its seed and waits at the title. setClock changes the seed of the next game.
async function openGame(browser, url, seed, viewport = null) {
  const page = await browser.newPage();
  await page.setViewport(viewport ?? {width: 1000, height: 800});
  await page.evaluateOnNewDocument(start => {
    let now = start;
    Date.now = () => now;
    window.setClock = ms => { now = ms; };
  }, seed * 1000 + 500);
  await page.goto(url);
  await waitFor(page, "line");
  return page;
}

// One event: a line and Enter, a key ("中" as an input method delivers it), or Ctrl-D.
async function type(page, event) {
  if ("line" in event) {
    await page.keyboard.type(event.line);
    await page.keyboard.press("Enter");
  } else if (event.key > "\x7f") {
    await page.keyboard.sendCharacter(event.key);
  } else if (event.key) {
    await page.keyboard.press(event.key === " " ? "Space" : event.key);
  } else {
    await page.keyboard.down("Control");
    await page.keyboard.press("KeyD");
    await page.keyboard.up("Control");
  }
}

const typeLines = async (page, lines) => { for (const line of lines) await type(page, {line}); };

// Whole games one after another on one page, each started by its New game button, with every
// event typed ahead at once: the page keeps them in order for whatever the game reads.
async function agreement(browser, url, options) {
  const games = JSON.parse(execFileSync(options.python, [path.join(__dirname, "browser_games.py"),
    options.games, options["master-seed"]], {maxBuffer: 1 << 28}).toString());
  const page = await openGame(browser, url, games[0].seed);
  for (const [index, game] of games.entries()) {
    if (index > 0) {
      await page.evaluate(ms => window.setClock(ms), game.seed * 1000 + 500);
      await page.click("#new-game");
      await waitFor(page, "line");
    }
    for (const event of game.events) await type(page, event);
    await waitFor(page, "over");
    assert.equal(await transcript(page), game.transcript, `game ${index}, seed ${game.seed}: the transcript`);
    assert.equal(await ending(page), game.ending, `game ${index}, seed ${game.seed}: the ending`);
  }
  return `${games.length} games (--master-seed ${options["master-seed"]})`;
}

const TITLE = "QZ村战魔王\n\n\n1新游戏\n2退出游戏\n选择：";
const HERO = ["1", "勇者", "y", "y"];  // up to the story's pause
const PHONE = {width: 390, height: 844, isMobile: true, hasTouch: true};

const paste = (page, text) => page.evaluate(data => {
  const clipboard = new DataTransfer();
  clipboard.setData("text/plain", data);
  document.querySelector(".xterm-helper-textarea")
    .dispatchEvent(new ClipboardEvent("paste", {clipboardData: clipboard, bubbles: true, cancelable: true}));
}, text);
const shows = (page, text, timeout) => page.waitForFunction(t => window.qz.transcript().endsWith(t), {timeout}, text);
const tap = (page, send) => page.tap(`#touch button[data-send="${send}"]`);

// Each case gets a new page at the title, on a phone-sized touch screen where it says so.
const CASES = [
  ["a lone Shift does not end a pause", async page => {
    await typeLines(page, HERO);
    await waitFor(page, "key");
    await page.keyboard.press("Shift");
    await new Promise(resolve => setTimeout(resolve, 200));
    assert.equal(await page.evaluate(() => document.body.dataset.game), "key");
    await page.keyboard.press("KeyX");
    await shows(page, "按任意键继续...\n");  // the first enemy's pause
  }],
  ["an arrow key ends two pauses", async page => {
    await typeLines(page, HERO);
    await page.keyboard.press("ArrowUp");  // the story's pause, then the first enemy's
    await waitFor(page, "line");
    assert.match(await transcript(page), /遇到了第1个敌人：\S+\n按任意键继续\.\.\.\n=+\n/);
  }],
  ["Backspace removes a whole Chinese character from a name", async page => {
    await typeLines(page, ["1"]);
    await page.keyboard.type("阿强x");
    await page.keyboard.press("Backspace");
    await page.keyboard.press("Backspace");
    await typeLines(page, ["明"]);
    await shows(page, "请输入你的名字：阿明\n你的名字是：阿明确定吗？(Y/N):");
  }],
  ["a paste of three lines answers three questions", async page => {
    await paste(page, "1\n勇者\ny\n");
    await shows(page, "次机会(Y/N):");
    assert.ok((await transcript(page)).startsWith(TITLE + "1\n请输入你的名字：勇者\n你的名字是：勇者确定吗？(Y/N):y\n你的HP："));
  }],
  ["Ctrl-D at the name prompt ends the game as the end of input does; the saved transcript", async page => {
    await typeLines(page, ["1"]);
    await type(page, {});
    await waitFor(page, "over");
    assert.equal(await transcript(page), TITLE + "1\n请输入你的名字：\n");
    assert.equal(await ending(page), "input-ended");
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), "qz-saved-"));
    await (await page.createCDPSession()).send("Browser.setDownloadBehavior", {behavior: "allow", downloadPath: folder});
    await page.click("#save");
    const saved = path.join(folder, "qzvillage-transcript.txt");
    while (!fs.existsSync(saved)) await new Promise(resolve => setTimeout(resolve, 50));
    assert.equal(fs.readFileSync(saved, "utf8"), TITLE + "1\n请输入你的名字：\n");
    fs.rmSync(folder, {recursive: true});
  }],
  ["touch buttons alone play to the end of the first battle", async page => {
    for (const answer of ["1", "1", "y", "y"]) {  // the title, a name ("1"), and two yeses
      await tap(page, answer);
      await tap(page, "enter");
    }
    while (!/遇到了第2个敌人|倒下了/.test(await transcript(page))) {
      await page.waitForFunction(() => ["line", "key"].includes(document.body.dataset.game));
      const atPause = await page.evaluate(() => document.body.dataset.game === "key");
      await tap(page, atPause ? " " : "1");
      if (!atPause) await tap(page, "enter");
    }
  }, PHONE],
  ["a 1 MB paste at the name prompt does not freeze the page", async page => {
    await typeLines(page, ["1"]);
    await paste(page, "名".repeat(350000) + "\n");  // 3 bytes each in UTF-8: 1.05 MB
    await typeLines(page, ["y"]);
    await shows(page, "次机会(Y/N):", 60000);
  }],
  ["the screen reader mode shows the title's lines and takes Chinese text", async page => {
    await page.click("#screen-reader");
    const tree = JSON.stringify(await page.accessibility.snapshot({interestingOnly: false}));
    assert.ok(tree.includes("QZ村战魔王") && tree.includes("1新游戏"), "the title is not in the accessibility tree");
    await typeLines(page, ["1", "阿强"]);  // text inserted without a key press or a composition
    await shows(page, "你的名字是：阿强确定吗？(Y/N):");
  }],
  ["a page opened as a file says why the game cannot start", async (page, site) => {
    await page.goto("file://" + path.join(site, "index.html"));
    await waitFor(page, "failed");
    assert.match(await page.$eval("#cannot-load:not([hidden])", words => words.textContent), /cannot load/);
  }],
];

async function main() {
  const options = {games: "50", "master-seed": String(Date.now() % 100000), chromium: "/usr/bin/chromium"};
  for (let i = 2; i < process.argv.length; i += 2) options[process.argv[i].replace(/^--/, "")] = process.argv[i + 1];
  const site = path.resolve(options.site);
  const server = await serve(site);
  const url = `http://127.0.0.1:${server.address().port}/`;
  const browser = await launch(options.chromium);
  const run = async (name, test) => {
    const started = Date.now();
    try {
      const note = await test();
      console.log(`ok   ${name} (${Date.now() - started} ms)${note ? ": " + note : ""}`);
    } catch (error) {
      process.exitCode = 1;
      console.log(`FAIL ${name}: ${error.message}`);
    }
  };
  await run("whole games agree with the reference model", () => agreement(browser, url, options));
  for (const [name, test, viewport] of CASES) {
    await run(name, async () => {
      const page = await openGame(browser, url, 54, viewport);
      await test(page, site);
      await page.close();
    });
  }
  await browser.close();
  server.close();
}

module.exports = {serve, launch};
if (require.main === module) main();
