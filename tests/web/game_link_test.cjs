// A finished game's link and its replay, in each engine: every campaign the reference model plays to its end is shared
// (copied, and by the share sheet), and its link, opened in a fresh profile, replays its transcript; hostile links; the controls.
// node game_link_test.cjs --site DIR --python PYTHON [--engines chromium,firefox,webkit] [--games N] [--master-seed N]
"use strict";

const assert = require("node:assert/strict");
const {execFileSync} = require("node:child_process");
const {after, before, describe, it} = require("node:test");
const puppeteer = require("puppeteer-core");
const {serve, ENGINES, findPrograms, startEngine, readOptions} = require("../support/browser.cjs");

const options = readOptions(["site", "python", "engines", "games", "master-seed", "chromium", "firefox",
  "webkit-driver", "minibrowser"], {"master-seed": String(Date.now() % 100000), engines: ENGINES.join(","), games: "8",
  ...findPrograms()});
const games = JSON.parse(execFileSync(options.python, [`${__dirname}/browser_games.py`, options.games,
  options["master-seed"]], {maxBuffer: 1 << 28})).filter(game => ["victory", "defeat"].includes(game.ending));
const until = (page, fn) => page.waitForFunction(fn, {timeout: 60000, polling: 20});
const text = (page, selector) => page.$eval(selector, element => element.textContent);
// Plays `game` on `page` (after the first, from New game, the clock set) typed ahead; resolves to its link.
// The page is brought in front first, as a player's is: a link opened since hid it, and a hidden
// page is drawn ever more rarely (Firefox's the longer it stays hidden), while a click waits for a drawing.
async function share(page, game) {
  await page.bringToFront();
  await page.evaluate(ms => document.body.dataset.game === "over" &&
    [window.setClock(ms), document.getElementById("new-game").click()], game.seed * 1000 + 500);
  await until(page, () => document.body.dataset.game === "line");
  for (const event of game.events) {
    await ("line" in event ? page.keyboard.type(event.line + "\n")
      : event.key > "\x7f" ? page.keyboard.sendCharacter(event.key) : page.keyboard.press(event.key));
  }
  await until(page, () => document.body.dataset.game === "over");
  await page.click("#copy-link").then(() => page.click("#share-link"));
  assert.ok(await page.evaluate(() => window.shared.splice(0).join(" ") === `${document.getElementById("game-link").href} `.repeat(2).trim()));
  return page.$eval("#game-link", anchor => anchor.href);
}
// `link` opened in a fresh profile (after the page at `first`): at the replay's first step or the words on what is wrong.
async function open(browser, link, first = null) {
  const page = await (await browser.createBrowserContext()).newPage();
  if (first) await page.goto(first);
  await page.goto(link);
  await until(page, () => document.getElementById("replay-step").textContent || !document.getElementById("cannot-load").hidden);
  return page;
}
// Damaged links from the first game's (a victory) clock, answers and check: [fragment, words, replay's end].
const HOSTILE = [
  [(c, a, s) => `1.${c}.${a}.${s}`.slice(0, -9), /cut short/],
  [(c, a, s) => `1.${c}.${a}*.${s}`, /characters no game's link has/],
  [(c, a, s) => `1.${c}.${"1".repeat(1e6)}.${s}`, /too long/],
  [(c, a, s) => `2.${c}.${a}.${s}`, /newer version/],
  [(c, a, s) => `1.${"z".repeat(11)}.${a}.${s}`, /clock is out of range/],
  [(c, a) => `1.${c}.${a}.0000000`, /game differs/],
  [(c, a, s) => `1.${c}.${a.match(/[^~]|~[^~]*~/g).slice(0, 6).join("")}.${s}`, /run out before the game's end/, /^7 \/ 7$/],
  [(c, a, s) => `1.${c}.${a}1.${s}`, /^胜利！.* left after the game's end/, /^(\d+) \/ \1$/],
];
for (const engine of options.engines.split(",")) {
  describe(`${engine}, --master-seed ${options["master-seed"]}`, () => {
    let browser, server, player, link;  // the page games are played on, and the first game's link
    before(async () => {
      [browser, server] = await Promise.all([startEngine(engine, puppeteer, options), serve(options.site)]);
      player = await browser.defaultBrowserContext().newPage();
      await player.evaluateOnNewDocument(ms => { [Date.now, window.setClock] = [() => ms, t => { ms = t; }]; window.shared = [];
        navigator.share = navigator.clipboard.writeText = async data => window.shared.push(data.url ?? data); }, games[0].seed * 1000 + 500);
      await player.goto(server.url);
      link = await share(player, games[0]);
    });
    after(() => Promise.all([browser.close(), server.close()]));
    it("every finished game's link replays its transcript", async () => {
      for (const game of games) {
        const page = await open(browser, await share(player, game));
        await page.keyboard.press("End");
        assert.equal(await text(page, "#terminal"), game.transcript, `seed ${game.seed}`);
      }
    });

    it("hostile links: words on what is wrong, no hang, nothing kept and no lock taken", async () => {
      for (const [fragment, words, shown] of HOSTILE) {
        const page = await open(browser, link.replace(/#.*/, "#" + fragment(...link.split(".").slice(-3))));
        await page.keyboard.press("End");
        assert.match(await text(page, "#replay-step"), shown ?? /^$/, words);
        assert.match(await text(page, shown ? "#status" : "#cannot-load"), words);
        assert.equal(await page.evaluate(async () => localStorage.length + sessionStorage.length +
          (await indexedDB.databases()).length + (await navigator.locks.query()).held.length), 0, words);
      }
    });

    it("opened on the page: steps by key, click and tap, each heard once; plays faster to the end", async () => {
      const page = await open(browser, link, link.replace(/#.*/, ""));
      const first = await page.evaluate(() => {
        window.heard = [];
        new MutationObserver(changes => changes.forEach(change => window.heard.push(...[...change.addedNodes]
          .map(node => node.textContent)))).observe(document.getElementById("spoken"), {childList: true});
        return document.getElementById("terminal").textContent;
      });
      const forward = '#replay [aria-keyshortcuts="ArrowRight"]';
      for (const step of [() => page.click(forward), () => page.tap(forward), () => page.click(forward),
        () => page.keyboard.press("ArrowLeft"), () => page.click(forward)]) await step();
      const [shown, heard] = [await text(page, "#terminal"), await page.evaluate(() => window.heard)];
      assert.ok(first.startsWith("QZ村战魔王\n") && games[0].transcript.startsWith(shown) && shown.length > first.length);
      assert.deepEqual([await text(page, "#replay-step").then(step => step.split(" ")[0]), heard.length], ["4", 4], heard.join("|"));  // 4 again, the back untold
      assert.ok(heard.join("\n").split("\n").every(line => shown.slice(first.length).includes(line)), heard.join("|"));
      for (const key of ["+", "+", "+", "p"]) await page.keyboard.press(key);
      await until(page, () => /^(\d+) \/ \1$/.test(document.getElementById("replay-step").textContent));
      assert.deepEqual(await page.$$eval('#terminal, #status, #replay [aria-keyshortcuts="p"], #replay [aria-keyshortcuts="+"]',
        all => all.map(element => element.getAttribute("aria-pressed") ?? element.getAttribute("aria-live") ?? element.textContent)),
      [games[0].transcript, "胜利！魔王已被打败。 Victory: the demon king is beaten.", "false", "8×"]);  // the status a live region
    });
  });
}
