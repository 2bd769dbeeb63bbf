// What the browser build costs a player, measured on the site served with gzip (tests/support/browser.cjs):
// 1. the size of the page's own scripts and the game's .js and .wasm under gzip -9, against the
//    budget of 64 KiB (the service worker, which a first visit does not wait for, is not counted);
// 2. the time from navigation to the game's title, beside the time a blank xterm.js page takes to
//    show one line, both over a throttled line (1.6 Mbps down, 750 kbps up, 150 ms round trip)
//    with the cache off, each load in a fresh browser profile; medians of several loads;
// 3. Lighthouse's scores, mobile and desktop.
// Builds the web preset first, unless given a site. Not a test: it prints figures and judges none.
//
//   node bench/web_benchmark.cjs [--site DIR] [--loads N] [--chromium PATH]
"use strict";

const {execFileSync} = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const {pathToFileURL} = require("node:url");
const {serve, launch} = require("../tests/support/browser.cjs");

const ROOT = path.join(__dirname, "..");
const NPM = path.join(ROOT, "build/web/npm/node_modules");  // the page's tools, as the web build installs them
const BUDGET = 64 * 1024;
const NOT_COUNTED = new Set(["service_worker.js", "xterm.js"]);
// Lighthouse's "slow 4G", the line the budget for the time to the title is set on.
const LINE = {offline: false, latency: 150, downloadThroughput: 1.6e6 / 8, uploadThroughput: 750e3 / 8};

// xterm.js alone, as the game's page would start if it were only a terminal: one line written.
const BLANK_PAGE = `<!DOCTYPE html><html lang="en"><meta charset="utf-8"><title>xterm.js</title>
<link rel="stylesheet" href="xterm.css"><div id="terminal"></div><script src="xterm.js"></script><script>
const terminal = new Terminal({cols: 80, rows: 30});
terminal.open(document.getElementById("terminal"));
terminal.write("QZ村战魔王", () => { window.shownAt = performance.now(); });
</script>`;

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
  console.log(`  scripts and game: ${total} B of the ${BUDGET} B budget, ${left >= 0 ? `${left} B to spare` : `${-left} B over`}`);
  console.log(`  not counted: ${others.join(", ")}`);
}

// Milliseconds from navigation until the page sets window.shownAt, on the throttled line.
async function timeOneLoad(browser, url, before) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  const cdp = await page.createCDPSession();
  await cdp.send("Network.enable");
  await cdp.send("Network.setCacheDisabled", {cacheDisabled: true});
  await cdp.send("Network.emulateNetworkConditions", LINE);
  if (before) await page.evaluateOnNewDocument(before);
  await page.goto(url, {waitUntil: "domcontentloaded"});
  await page.waitForFunction(() => window.shownAt !== undefined, {timeout: 120000});
  const shownAt = await page.evaluate(() => window.shownAt);
  await context.close();
  return shownAt;
}

// In the game's page: the moment the game first waits for a line, its title just written.
function markTitle() {
  new MutationObserver(() => {
    if (document.body.dataset.game === "line" && window.shownAt === undefined) {
      window.shownAt = performance.now();
    }
  }).observe(document, {attributes: true, subtree: true, attributeFilter: ["data-game"]});
}

async function printTimes(puppeteer, options, gameUrl, blankUrl) {
  console.log(`== Navigation to the title: 1.6 Mbps, 150 ms, cache off; ${options.loads} loads of each, taken in turns`);
  const browser = await launch(puppeteer, options.chromium);
  const game = [];
  const blank = [];
  await timeOneLoad(browser, blankUrl);  // a first load that warms the browser up, not counted
  for (let i = 0; i < options.loads; i++) {
    game.push(await timeOneLoad(browser, gameUrl, markTitle));
    blank.push(await timeOneLoad(browser, blankUrl));
  }
  await browser.close();
  const show = times => `median ${median(times).toFixed(0)} ms (fastest ${Math.min(...times).toFixed(0)}, ` +
    `slowest ${Math.max(...times).toFixed(0)})`;
  console.log(`  the game's title:     ${show(game)}`);
  console.log(`  blank xterm.js page:  ${show(blank)}`);
  console.log(`  ratio of the medians: ${(median(game) / median(blank)).toFixed(2)} (the aim: 1.2 or less)`);
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
  const options = {loads: "7", chromium: "/usr/bin/chromium"};
  for (let i = 2; i < process.argv.length; i += 2) options[process.argv[i].replace(/^--/, "")] = process.argv[i + 1];
  options.loads = Number(options.loads);
  if (!options.site) {
    execFileSync("cmake", ["--preset", "web"], {cwd: ROOT, stdio: "ignore"});
    execFileSync("cmake", ["--build", "--preset", "web"], {cwd: ROOT, stdio: "ignore"});
  }
  const site = path.resolve(options.site ?? path.join(ROOT, "build/web/site"));
  const puppeteer = require(path.join(NPM, "puppeteer-core"));

  printSizes(site);

  const blankSite = fs.mkdtempSync(path.join(os.tmpdir(), "qz-blank-"));
  fs.copyFileSync(path.join(NPM, "@xterm/xterm/lib/xterm.js"), path.join(blankSite, "xterm.js"));
  fs.copyFileSync(path.join(NPM, "@xterm/xterm/css/xterm.css"), path.join(blankSite, "xterm.css"));
  fs.writeFileSync(path.join(blankSite, "index.html"), BLANK_PAGE);
  const [game, blank] = [await serve(site), await serve(blankSite)];
  try {
    await printTimes(puppeteer, options, game.url, blank.url);
    await printLighthouse(puppeteer, options, game.url);
  } finally {
    game.close();
    blank.close();
    fs.rmSync(blankSite, {recursive: true, force: true});
  }
}

main().catch(error => {
  console.error(error);
  process.exitCode = 1;
});
