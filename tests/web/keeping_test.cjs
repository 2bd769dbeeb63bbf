// The keeping of games, checked by random sequences of what players and browsers do: answers typed
// and pasted, a reload, Back and Forward, a new tab, the game's tab closed, the browser killed,
// local storage full, a slow database (a transaction held by another page), a browser slow to grant
// locks, a newer version of the database asked for, or the database deleted, by another page; each
// sequence on a secure origin (127.0.0.1) or over plain http (a name the browser maps to 127.0.0.1),
// with or without a game that the previous release kept in local storage. fast-check's commands
// make the sequences and, on a failure, the shortest that still fails. After each step the game's
// tab shows the model's game: every answer given, less at most those in flight when its page was
// closed or killed, and less those given after another page took the database. The game is played
// at its name prompt forever (a name, then "n"), so each answer shows in the transcript at a place
// of its own.
//
// Chromium and Firefox: WebKit's driver can neither keep a profile past a kill nor map a host name.
//
// node keeping_test.cjs --site DIR [--engines chromium,firefox] [--runs N | --minutes M] [--seed N]
//   [--path P] [--replay R] [--chromium PATH] [--firefox PATH]
// Without --runs or --minutes, the fixed sequences and the fixed seeds alone (CI); --runs N plays N
// sequences from a new seed in each engine, --minutes M as many as M minutes take (the engines side
// by side). A failure prints the seed, the path to its shortest sequence and that sequence's
// replayPath: --seed, --path and --replay replay it.
"use strict";

const assert = require("node:assert/strict");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const {test} = require("node:test");
const fc = require("fast-check");
const puppeteer = require("puppeteer-core");
const {serve, findPrograms, readOptions, startEngine} = require("../support/browser.cjs");

const HOST_NAME = "qzvillage.test";
const TITLE = "QZ村战魔王\n\n\n1新游戏\n2退出游戏\n选择：";
const LIMIT_MS = 20000;
const NOT_KEPT = /no longer being kept/;

// The answer at place n of the game: the title's 1, then a name and "n" in turn.
const answerAt = n => (n === 0 ? "1" : n % 2 === 1 ? `勇${n}` : "n");
const answers = (from, count) => Array.from({length: count}, (_, i) => answerAt(from + i));
// The transcript of a game given its first `count` answers.
const transcriptOf = count => TITLE + answers(0, count).map((answer, n) =>
  `${answer}\n` + (n % 2 === 1 ? `你的名字是：${answer}确定吗？(Y/N):` : "请输入你的名字：")).join("");

const options = readOptions(["site", "engines", "runs", "minutes", "seed", "path", "replay", "chromium", "firefox"],
  {engines: "chromium,firefox", ...findPrograms()});

// A step of the page's that must end: it fails after LIMIT_MS rather than hang the run.
const within = (promise, what) => Promise.race([promise, new Promise((_, reject) =>
  setTimeout(() => reject(new Error(`${what}: no end after ${LIMIT_MS} ms`)), LIMIT_MS).unref())]);

const pause = ms => new Promise(resolve => setTimeout(resolve, ms));

// Resolves to what `check(arg)` gives in the tab once it is truthy. Each look is an evaluate of its
// own, given up after a second: one lost to a change of document is simply asked again. Fails after
// LIMIT_MS saying `what`.
async function until(tab, what, check, arg) {
  for (const end = Date.now() + LIMIT_MS; Date.now() < end; await pause(50)) {
    const found = await Promise.race([tab.evaluate(check, arg).catch(() => null), pause(1000)]);
    if (found) return found;
  }
  return assert.fail(`${what}: not so after ${LIMIT_MS} ms`);
}

// The game's tab at rest on one of `counts` answers (more than one when an answer may or may not be
// kept): resolves to the count it shows. It checks that no page left a mark behind on the way.
async function settled(tab, counts) {
  const texts = counts.map(transcriptOf);
  const shown = await until(tab, "the game", all => document.body.dataset.game === "line" &&
    all.includes(window.qz.transcript()) && window.qz.transcript(), texts).catch(async () => {
    const [text, status] = await within(tab.evaluate(() => [window.qz?.transcript(),
      document.getElementById("cannot-load").textContent + document.getElementById("status").textContent]), "the page's state");
    assert.fail(`the game shows ${text === undefined ? "nothing" : JSON.stringify(text.slice(-200))}, ` +
      `not ${counts.join(" or ")} answers (${JSON.stringify(transcriptOf(counts[0]).slice(-80))}); the page says ${status.slice(-300)}`);
  });
  const marks = await tab.evaluate(() => Object.keys(localStorage).filter(key => key.startsWith("qzvillage-leaving:")));
  assert.deepEqual(marks, [], "marks of pages gone, left in local storage");
  return texts.indexOf(shown) + counts[0];
}

// Once the page says every answer given is kept.
const allKept = tab => within(tab.evaluate(() => window.qz.saved()), "the answers' writes");

// The counts a page going away may leave kept: less those given since the database was slowed, or,
// when it was not, none once the page says every answer is kept.
async function inFlight(model, real) {
  if (model.slowSince === null) await allKept(real.tab);
  const [low, high] = [model.slowSince ?? model.count, model.count].map(count => Math.min(count, model.kept));
  return Array.from({length: high - low + 1}, (_, i) => low + i);
}

// A page of the site's origin that is not the game, for another page's doings.
async function otherPage(real) {
  const page = await real.browser.defaultBrowserContext().newPage();
  await page.goto(real.url + "LICENSE.txt");
  return page;
}

// The database as another page holds it: a transaction kept busy until `release` ends it.
const HOLD = () => new Promise((resolve, reject) => {
  const request = indexedDB.open("qzvillage");
  request.onupgradeneeded = () => {
    request.result.createObjectStore("games", {keyPath: "id"});
    request.result.createObjectStore("answers");
  };
  request.onerror = () => reject(request.error);
  request.onsuccess = () => {
    const db = request.result;
    const running = db.transaction(["games", "answers"], "readwrite");
    const store = running.objectStore("answers");
    window.held = true;
    const busy = () => { if (window.held) store.count().onsuccess = busy; };
    busy();
    running.oncomplete = () => db.close();
    resolve();
  };
});

// Another page asks for the next version of the database, or deletes it: resolves once it has
// it, which the game's tab must let happen.
const TAKE = deleting => new Promise(done => {
  if (deleting) {
    indexedDB.deleteDatabase("qzvillage").onsuccess = done;
    return;
  }
  indexedDB.databases().then(([found]) => {
    const request = indexedDB.open("qzvillage", (found?.version ?? 1) + 1);
    request.onupgradeneeded = () => request.result.createObjectStore(`later${Date.now()}`);
    request.onsuccess = () => {
      request.result.close();
      done();
    };
  });
});

async function slowEnds(model, real) {
  if (real.slow) {
    await real.slow.evaluate(() => { window.held = false; });
    await real.slow.close();
    real.slow = null;
  }
  model.slowSince = null;
}

class Give {
  constructor(count, pasted) { Object.assign(this, {count, pasted}); }
  check() { return true; }
  async run(model, real) {
    const given = answers(model.count, this.count);
    if (this.pasted) {
      await real.tab.evaluate(text => {  // as a paste puts it into the field, all at once
        document.getElementById("keys").focus();
        document.execCommand("insertText", false, text);
      }, given.map(answer => `${answer}\n`).join(""));
    } else {
      for (const answer of given) {
        await real.tab.keyboard.type(answer);
        await real.tab.keyboard.press("Enter");
      }
    }
    model.count += this.count;
    await settled(real.tab, [model.count]);
  }
  toString() { return `${this.pasted ? "paste" : "type"} ${this.count}`; }
}

// The player waits before going on, while the page keeps every answer given.
class Rest {
  check(model) { return model.slowSince === null; }
  async run(model, real) {
    await allKept(real.tab);
  }
  toString() { return "rest"; }
}

// The game's page goes away and comes back in its tab: a reload, or Back after another page.
class Leave {
  constructor(how) { this.how = how; }
  check() { return true; }
  async run(model, real) {
    await real.tab.evaluate(() => { window.left = true; });
    if (this.how === "reload") {
      // The browser's reload, without the driver's wait for it: Firefox's never ends for a page
      // that came back from the back/forward cache, though the page reloads. The new document is
      // the one without the old one's mark.
      real.tab.reload({timeout: LIMIT_MS}).catch(() => {});
      await until(real.tab, "a new page after the reload", () => window.left !== true && document.readyState !== "loading");
    } else {
      await real.tab.goto(real.url + "LICENSE.txt");
      // Not the driver's goBack, which waits for a load that a page from the cache never makes;
      // and Back only once the call has returned, or the navigation may take its answer with it.
      await real.tab.evaluate(() => { setTimeout(() => history.back()); });
      await until(real.tab, "the game's page after Back", url => location.href === url && document.readyState !== "loading", real.url);
    }
    await slowEnds(model, real);
    // A page back from the back/forward cache plays on as it was, keeping what it kept.
    const cached = await real.tab.evaluate(() => window.left === true);
    model.count = await settled(real.tab, [cached ? model.count : Math.min(model.count, model.kept)]);
    model.kept = cached ? model.kept : Infinity;
  }
  toString() { return this.how; }
}

// A tab opened beside the game's starts a game of its own, and is closed at its title. While
// the database is slow, it says that it waits.
class NewTab {
  check() { return true; }
  async run(model, real) {
    const tab = await real.browser.defaultBrowserContext().newPage();
    await tab.goto(real.url);
    if (model.slowSince !== null) {
      await until(tab, "the new tab's wait said", () => /Waiting for the saved games/.test(document.getElementById("status").textContent));
      await slowEnds(model, real);
    }
    await settled(tab, [0]);
    await tab.close();
    await real.tab.bringToFront();
  }
  toString() { return "new tab"; }
}

// The game's tab closed, or the browser killed; then a tab opened on the site. Over plain http no
// tab can say that none plays the game, so the new tab starts one of its own.
class Lose {
  constructor(killed) { this.killed = killed; }
  check() { return true; }
  async run(model, real) {
    const counts = await inFlight(model, real);
    if (this.killed) {
      real.browser.process().kill("SIGKILL");
      // Once it has exited and the driver has put the profile's preferences back.
      await real.browser.close().catch(() => {});
      real.browser = await startEngine(real.engine, puppeteer, real.programs);
      real.slow = null;
    } else {
      await real.tab.close();
    }
    await slowEnds(model, real);
    real.tab = await real.browser.defaultBrowserContext().newPage();
    await real.tab.goto(real.url);
    model.count = await settled(real.tab, real.plain ? [0] : counts);
    model.kept = Infinity;
  }
  toString() { return this.killed ? "browser killed" : "tab closed"; }
}

// Local storage filled up by something else of the site's.
class Fill {
  check() { return true; }
  async run(model, real) {
    await real.tab.evaluate(() => {
      for (let n = 0, size = 1 << 20; size > 0; n++) {
        try { localStorage.setItem(`filler${n}`, "x".repeat(size)); } catch { size >>= 1; }
      }
    });
  }
  toString() { return "local storage full"; }
}

class Slow {
  check(model) { return model.slowSince === null && model.kept === Infinity; }
  async run(model, real) {
    await allKept(real.tab);  // slow from now on
    real.slow = await otherPage(real);
    await within(real.slow.evaluate(HOLD), "another page's transaction");
    model.slowSince = model.count;
  }
  toString() { return "database slow"; }
}

// The browser, busy, slow to grant the game's tab its locks from the next page on.
class Busy {
  check() { return true; }
  async run(model, real) {
    await real.tab.evaluateOnNewDocument(() => {
      const request = navigator.locks?.request.bind(navigator.locks);
      if (request) navigator.locks.request = (...asked) => new Promise(resolve => setTimeout(resolve, 1500)).then(() => request(...asked));
    });
  }
  toString() { return "locks slow"; }
}

// Another page takes the database, at a newer version or deleting it: the game's tab lets go and
// says that its game is not kept from then on.
class Take {
  constructor(deleting) { this.deleting = deleting; }
  check(model) { return model.slowSince === null && model.kept === Infinity; }
  async run(model, real) {
    const other = await otherPage(real);
    await within(other.evaluate(TAKE, this.deleting), "another page taking the database (the game's tab holding it)");
    await other.close();
    await until(real.tab, "the game's tab saying its game is not kept",
      words => new RegExp(words).test(document.getElementById("status").textContent), NOT_KEPT.source);
    model.kept = this.deleting ? 0 : model.count;
  }
  toString() { return this.deleting ? "database deleted" : "newer version"; }
}

const COMMANDS = [
  fc.integer({min: 1, max: 3}).map(count => new Give(count, false)),
  fc.integer({min: 2, max: 80}).map(count => new Give(count, true)),
  fc.constantFrom("reload", "back").map(how => new Leave(how)),
  fc.constant(new NewTab()),
  fc.constant(new Rest()),
  fc.boolean().map(killed => new Lose(killed)),
  fc.constant(new Fill()),
  fc.constant(new Slow()),
  fc.constant(new Busy()),
  fc.boolean().map(deleting => new Take(deleting)),
];

// The browser started on a profile of its own, and the game's tab at its game; before it, maybe a
// game of `count` answers that the previous release kept in local storage: under the tab's id
// ("tab"), or as the one game of the release before it ("oldest").
async function begin({model, real}, previous) {
  const [kind, count] = previous ?? [];
  real.browser = await startEngine(real.engine, puppeteer, real.programs);
  real.tab = await real.browser.defaultBrowserContext().newPage();
  if (kind) {
    await real.tab.goto(real.url + "LICENSE.txt");
    await real.tab.evaluate((tab, text) => {
      if (tab) sessionStorage.setItem("qzvillage-game-id", "kept");
      localStorage.setItem(tab ? "qzvillage-game:kept" : "qzvillage-game", text);
    }, kind === "tab", JSON.stringify({clock: 54, answers: answers(0, count).map(line => ({line: `${line}\n`}))}));
    model.count = count;
  }
  await real.tab.goto(real.url);
  await settled(real.tab, [model.count]);
}

function property(engine, site) {
  const previous = fc.option(fc.tuple(fc.constantFrom("tab", "oldest"), fc.integer({min: 1, max: 9})), {nil: null});
  return fc.asyncProperty(fc.boolean(), previous, fc.commands(COMMANDS, {maxCommands: 8, replayPath: options.replay}), async (plain, kept, commands) => {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), "qz-keeping-"));
    const run = {model: {count: 0, kept: Infinity, slowSince: null},
      real: {engine, plain, programs: {...options, profile, hostName: HOST_NAME}, url: plain ? site.plainUrl : site.url}};
    try {
      await begin(run, kept);
      await fc.asyncModelRun(() => run, commands);
    } finally {
      await run.real.browser?.close().catch(() => {});
      fs.rmSync(profile, {recursive: true, force: true});
    }
  });
}

// The faults each of these once showed, as sequences: [plain http, the previous release's game, steps].
const FIXED = [
  [false, null, [new Give(3, false), new Slow(), new Give(40, true), new Leave("back"), new Give(2, false), new Rest(), new Leave("reload")]],
  [true, ["tab", 5], [new Leave("reload")]],
  [true, ["oldest", 5], [new Leave("reload")]],
  [false, null, [new Give(2, false), new Take(false), new NewTab(), new Leave("reload")]],
  [false, null, [new Give(2, false), new Fill(), new Slow(), new Give(1, false), new Leave("reload")]],
  [false, null, [new Give(1, false), new NewTab(), new Leave("reload")]],
  [false, null, [new Give(2, false), new Slow(), new NewTab(), new Leave("reload")]],
  [false, ["tab", 1], [new Take(true), new Lose(false)]],
  [true, null, [new Leave("back"), new Leave("reload")]],
  [false, null, [new Give(1, false), new Busy(), new Leave("reload")]],
];
const SEEDS = [1, 2];

// Each engine's sequences: the fixed ones and the fixed seeds, or those of one new seed.
async function check(engine) {
  const server = await serve(path.resolve(options.site));
  const site = {url: server.url, plainUrl: server.url.replace("127.0.0.1", HOST_NAME)};
  const long = options.runs || options.minutes;
  try {
    const seeds = options.seed ? [Number(options.seed)] : long ? [Date.now() % 1000000] : SEEDS;
    for (const [index, seed] of seeds.entries()) {
      // The fixed sequences with the first seed, then the seed's own.
      const examples = options.seed || long || index > 0 ? [] : FIXED;
      // A path replays one sequence of a run however many it played.
      const numRuns = options.path ? undefined : examples.length + Number(options.runs ?? (options.minutes ? 1e6 : 2));
      console.log(`# ${engine}: seed ${seed}${options.path ? `, path ${options.path}` : ""}`);
      const details = await fc.check(property(engine, site), {seed, path: options.path, numRuns, examples, verbose: true,
        interruptAfterTimeLimit: options.minutes && Number(options.minutes) * 60000});
      console.log(`# ${engine}: seed ${seed}, ${details.numRuns} sequences, ${details.failed ? "failed" : "passed"}`);
      if (details.failed) {
        console.log(`# ${engine}: ${details.errorInstance?.stack ?? details.errorInstance}`);
        assert.fail(fc.defaultReportMessage(details));
      }
    }
  } finally {
    server.close();
  }
}

// The engines side by side: a long run takes as long in both as in one.
test("games are kept", {concurrency: true}, t =>
  Promise.all(options.engines.split(",").map(engine => t.test(`in ${engine}`, () => check(engine)))));
