// The browser build's cost to a player: the gzip size of the game's .js and .wasm, and the time
// from navigation to the title in headless Chromium, beside the time a blank xterm.js page takes
// to show its first line. Medians and minima over several loads of each page.
//   NODE_PATH=build/web/npm/node_modules node bench/web_startup.cjs build/web/site [LOADS]
"use strict";

const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const zlib = require("node:zlib");
const {serve, launch} = require("../tests/web/browser_test.cjs");

const site = path.resolve(process.argv[2] ?? "build/web/site");
const loads = Number(process.argv[3] ?? 20);

// xterm.js alone: the same terminal as the game's page, with one line written.
const BLANK_PAGE = `<!DOCTYPE html><meta charset="utf-8"><link rel="stylesheet" href="xterm.css">
<div id="terminal"></div><script src="xterm.js"></script><script>
const terminal = new Terminal({cols: 80, rows: 30});
terminal.open(document.getElementById("terminal"));
terminal.write("QZ", () => { window.shownAt = performance.now(); });
</script>`;

// Marks the moment the game first waits for a line: its title has just been written.
function markTitle() {
  new MutationObserver(() => {
    if (document.body.dataset.game === "line" && window.shownAt === undefined) {
      window.shownAt = performance.now();
    }
  }).observe(document, {attributes: true, subtree: true, attributeFilter: ["data-game"]});
}

async function timeLoads(browser, url, before) {
  const times = [];
  for (let i = 0; i < loads; i++) {
    const page = await browser.newPage();
    if (before) {
      await page.evaluateOnNewDocument(before);
    }
    await page.goto(url);
    await page.waitForFunction(() => window.shownAt !== undefined);
    times.push(await page.evaluate(() => window.shownAt));
    await page.close();
  }
  times.sort((a, b) => a - b);
  return `median ${times[times.length >> 1].toFixed(0)} ms, fastest ${times[0].toFixed(0)} ms`;
}

async function main() {
  for (const name of ["qzvillage.js", "qzvillage.wasm"]) {
    const bytes = fs.readFileSync(path.join(site, name));
    console.log(`${name}: ${bytes.length} B, gzip -9 ${zlib.gzipSync(bytes, {level: 9}).length} B`);
  }
  const blankSite = fs.mkdtempSync(path.join(os.tmpdir(), "qz-blank-"));
  for (const name of ["xterm.js", "xterm.css"]) {
    fs.copyFileSync(path.join(site, name), path.join(blankSite, name));
  }
  fs.writeFileSync(path.join(blankSite, "index.html"), BLANK_PAGE);
  const [game, blank] = [await serve(site), await serve(blankSite)];
  const browser = await launch("/usr/bin/chromium");
  console.log(`title of the game: ${await timeLoads(browser, `http://127.0.0.1:${game.address().port}/`, markTitle)}`);
  console.log(`blank xterm.js page: ${await timeLoads(browser, `http://127.0.0.1:${blank.address().port}/`)}`);
  await browser.close();
  game.close();
  blank.close();
  fs.rmSync(blankSite, {recursive: true, force: true});
}

main();
