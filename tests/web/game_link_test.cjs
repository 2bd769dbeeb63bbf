// A finished game's link and its replay, in each engine: every campaign the reference model plays to its end is shared
// (copied, and by the share sheet), and its link, opened in a fresh profile, replays its transcript; hostile links; the controls.
// node game_link_test.cjs --site DIR --python PYTHON [--engines chromium,firefox,webkit] [--games N] [--master-seed N]
"use strict";

const assert = require("node:assert/strict");
const {execFileSync} = require("node:child_process");
const [fs, os, path] = ["fs", "os", "path"].map(name => require(`node:${name}`));
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
// Types `events` on `page`, once it waits for a line, typed ahead.
async function type(page, events) {
  await until(page, () => ["line", "key"].includes(document.body.dataset.game));
  for (const event of events) await ("line" in event ? page.keyboard.type(event.line + "\n")
    : event.key > "\x7f" ? page.keyboard.sendCharacter(event.key) : page.keyboard.press(event.key));
}
// Plays `game` on `page` (after the first, from New game, the clock set) typed ahead; resolves to its link.
// The page is brought in front first, as a player's is: a link opened since hid it, and a hidden
// page is drawn ever more rarely (Firefox's the longer it stays hidden), while a click waits for a drawing.
async function share(page, game) {
  await page.bringToFront();
  await page.evaluate(ms => document.body.dataset.game === "over" &&
    [window.setClock(ms), document.getElementById("new-game").click()], game.seed * 1000 + 500);
  await type(page, game.events);
  await until(page, () => document.body.dataset.game === "over");
  // Heard last: what the game wrote after its last wait, its ending, as the transcript ends.
  const told = (await page.$eval("#spoken", region => region.lastElementChild?.textContent ?? "")).split("\n");
  assert.deepEqual(told, game.transcript.split("\n").filter(line => !/^[\s=-]*$/.test(line)).slice(-told.length), `seed ${game.seed}`);
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
// The history on `page`, opened, once it lists `count` games: each one's words and link.
async function history(page, count) {
  await page.evaluate(() => { document.getElementById("history").open = true; });
  await page.waitForFunction(n => document.getElementById("finished").children.length === n, {timeout: 60000, polling: 20}, count);
  return page.$$eval("#finished li", rows => rows.map(row => [row.firstElementChild.textContent, row.querySelector("a").href]));
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
        navigator.share = navigator.clipboard.writeText = async data => window.shared.push(data.url ?? data);
        window.confirm = words => Boolean(window.asked = words); }, games[0].seed * 1000 + 500);
      await player.goto(server.url);
      link = await share(player, games[0]);
    });
    after(() => Promise.all([browser.close(), server.close()]));
    it("every finished game's link replays its transcript; the history holds it once, drops one, then all", async () => {
      const endings = {};  // by link; the history full of older games, of which as many are dropped
      await player.evaluate(() => new Promise(resolve => { indexedDB.open("qzvillage").onsuccess = ({target: {result}}) => {
        const running = Object.assign(result.transaction("history", "readwrite"), {oncomplete: resolve});
        for (let date = 0; date < 50; date++) running.objectStore("history").put({date, game: "old", ending: "defeat", link: ""}); }; }));
      await history(player, 51);  // open as the games are finished, the first kept already
      for (const game of games) {
        const shared = await share(player, game);
        endings[shared] = game.ending === "victory" ? /胜利 Victory · 打败 7 个敌人/ : /失败 Defeat/;
        const page = await open(browser, shared);
        await page.keyboard.press("End");
        assert.equal(await text(page, "#terminal"), game.transcript, `seed ${game.seed}`);
      }
      const rows = await history(player, 50);  // the first game twice, its record made again
      const shown = rows.slice(0, Object.keys(endings).length);
      assert.deepEqual(shown.map(([, shared]) => shared).sort(), Object.keys(endings).sort());
      shown.forEach(([words, shared]) => assert.match(words, endings[shared]));
      await player.click("#finished li:first-child [data-drop]");
      const left = await history(player, 49);
      assert.deepEqual([left, await player.evaluate(() => document.activeElement.href)], [rows.slice(1), rows[1][1]]);
      await player.click("#drop-all");
      await history(player, 0);
      assert.match(await player.evaluate(() => [window.asked, ...["finished-none", "drop-all"].map(id =>
        document.getElementById(id)).map(shown => shown.hidden || shown.textContent)].join("|")), /game\?\|.*No game finished yet\.\|true$/);
    });

    it("a game finished as the browser is killed is in the history once, in a database from before the history", async t => {
      if (engine === "webkit") return t.skip("WebKit's driver keeps no profile past a kill");
      const profile = fs.mkdtempSync(path.join(os.tmpdir(), "qz-history-"));
      let own = await startEngine(engine, puppeteer, {...options, profile});
      t.after(() => own.close().catch(() => {}).then(() => fs.rmSync(profile, {recursive: true, force: true})));
      const page = await own.defaultBrowserContext().newPage();
      await page.evaluateOnNewDocument(ms => { Date.now = () => ms; }, games[0].seed * 1000 + 500);
      await page.goto(server.url + "LICENSE.txt");
      await page.evaluate(() => new Promise(resolve => { const request = indexedDB.open("qzvillage", 1);
        request.onupgradeneeded = () => request.result.createObjectStore("games", {keyPath: "id"}) && request.result.createObjectStore("answers");
        request.onsuccess = () => resolve(request.result.close()); }));
      await page.goto(server.url);
      await type(page, games[0].events.slice(0, -1));
      await page.evaluate(() => window.qz.saved());
      await type(page, games[0].events.slice(-1));  // its write in flight with the finished game's
      await until(page, () => document.body.dataset.game === "over");
      own.process().kill("SIGKILL");
      await own.close().catch(() => {});
      own = await startEngine(engine, puppeteer, {...options, profile});
      const again = await own.defaultBrowserContext().newPage();
      await again.goto(server.url);  // a new game; else the game kept, resumed to its end or short of its last answer
      await until(again, () => ["line", "key", "over"].includes(document.body.dataset.game));
      if (await again.evaluate(() => document.body.dataset.game !== "over" && window.qz.transcript().length > 99)) await type(again, games[0].events.slice(-1));
      assert.deepEqual((await history(again, 1)).map(([, shared]) => shared), [link]);
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
