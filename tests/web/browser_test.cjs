// The browser tests: Chromium and Firefox (driven by puppeteer-core) and WebKit (WebKitGTK's
// driver, through webdriver.cjs) play the game on the built site, served gzipped from 127.0.0.1,
// through real keyboard and touch events, one engine after the other. The page's clock is pinned
// before its scripts run, so each game's seed is known. Whole games must give the transcripts that
// browser_games.py derives from the reference model, byte for byte; then one table of cases, each
// body run in every engine. Each engine is a suite of node's test runner, each case a test in it.
//
// node --test-force-exit browser_test.cjs --site DIR --python PYTHON [--engines chromium,firefox,webkit]
//   [--games N] [--master-seed N] [--chromium PATH] [--firefox PATH] [--webkit-driver PATH]
//   [--minibrowser PATH] [--only TEXT]   (only the cases whose names hold TEXT, without the whole games)
// node's own --test-name-pattern=REGEX (before the file's name) picks tests by name as well.
"use strict";

const assert = require("node:assert/strict");
const {execFileSync} = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const {after, before, describe, test} = require("node:test");
const puppeteer = require("puppeteer-core");
const {serve, ENGINES, findPrograms, startEngine, readOptions} = require("../support/browser.cjs");

const waitFor = (page, state, timeout = 30000) =>
  page.waitForFunction(s => document.body.dataset.game === s, {timeout, polling: 20}, state);
const transcript = page => page.evaluate(() => window.qz.transcript());
const screenText = page => page.$eval("#terminal", box => box.textContent);
const ending = page => page.evaluate(() => document.body.dataset.ending);
// How a game ended, as the page marks it and in the words it shows.
const WORDS = {
  victory: "胜利！魔王已被打败。 Victory: the demon king is beaten.",
  defeat: "失败……勇士倒下了。 Defeat: the hero has fallen.",
  "input-ended": "输入已结束（Ctrl-D）。 The input ended (Ctrl-D).",
  quit: "已退出游戏。 You left at the title.",
};
async function endedWith(page, name, label = name) {
  assert.equal(await ending(page), name, `${label}: the ending`);
  assert.equal(await page.$eval("#status", status => status.textContent), WORDS[name], `${label}: the words`);
}

// The page's clock reads `seconds` and a half from the start of each document. setClock changes it.
const pinClock = (page, seconds) => page.evaluateOnNewDocument(start => {
  let now = start;
  Date.now = () => now;
  window.setClock = ms => { now = ms; };
}, seconds * 1000 + 500);

// A page whose game has its seed and waits at the title. A touch screen is one to the page as well
// where the driver cannot emulate one (Firefox's BiDi leaves navigator.maxTouchPoints at 0).
async function openGame(context, url, seed, viewport = null) {
  const page = await context.newPage();
  await page.setViewport(viewport ?? {width: 1000, height: 800});
  if (viewport?.hasTouch) {
    await page.evaluateOnNewDocument(() => Object.defineProperty(Navigator.prototype, "maxTouchPoints", {get: () => 1}));
  }
  await pinClock(page, seed);
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
    await page.keyboard.press(event.key);
  } else {
    await page.keyboard.down("Control");
    await page.keyboard.press("KeyD");
    await page.keyboard.up("Control");
  }
}

const typeLines = async (page, lines) => { for (const line of lines) await type(page, {line}); };

const referenceGames = (options, count) => JSON.parse(execFileSync(options.python,
  [path.join(__dirname, "browser_games.py"), count, options["master-seed"]], {maxBuffer: 1 << 28}).toString());

// Types a whole game ahead at once (the page keeps the events in order for whatever the game
// reads) and checks its transcript, its ending and the screen.
async function playWhole(page, game, label) {
  for (const event of game.events) await type(page, event);
  await waitFor(page, "over");
  const shown = await transcript(page);
  assert.equal(shown, game.transcript, `${label}: the transcript`);
  await endedWith(page, game.ending, label);
  assert.equal(await screenText(page), shown, `${label}: the screen shows the transcript`);
}

// Whole games one after another on one page, each started by its New game button (after a
// stalled driver, on a new page).
async function agreement(t, engine, url, options) {
  const games = referenceGames(options, engine.games);
  let page = null;
  for (const [index, game] of games.entries()) {
    const label = `game ${index}, seed ${game.seed}`;
    await retried(t, engine, label, async () => {
      if (page) {
        await page.evaluate(ms => window.setClock(ms), game.seed * 1000 + 500);
        await page.click("#new-game");
        await waitFor(page, "line");
      } else {
        page = await openGame(engine.browser.defaultBrowserContext(), url, game.seed);
      }
      await playWhole(page, game, label);
    }, () => { page = null; });
  }
  t.diagnostic(`${games.length} games (--master-seed ${options["master-seed"]})`);
}

const TITLE = "QZ村战魔王\n\n\n1新游戏\n2退出游戏\n选择：";
const HERO = ["1", "勇者", "y", "y"];  // up to the story's pause
const PHONE = {width: 390, height: 844, isMobile: true, hasTouch: true};
const pause = ms => new Promise(resolve => setTimeout(resolve, ms));

// A real paste: the text copied from a field of its own, then pasted with Ctrl+V into the game's.
async function paste(page, text) {
  await page.evaluate(data => {
    const source = document.body.appendChild(document.createElement("textarea"));
    source.id = "copied";
    source.value = data;
    source.select();
  }, text);
  for (const [key, command, field] of [["KeyC", "Copy", "#copied"], ["KeyV", "Paste", "#keys"]]) {
    await page.focus(field);
    await page.keyboard.down("Control");
    await page.keyboard.press(key, {commands: [command]});
    await page.keyboard.up("Control");
  }
  await page.$eval("#copied", source => source.remove());
}
const shows = (page, text, timeout) => page.waitForFunction(t => window.qz.transcript().endsWith(t), {timeout}, text);
const tap = (page, send) => page.tap(`#touch button[data-send="${send}"]`);

// What a player must see without scrolling: the text size, the prompt's line, and each button
// the wait needs, inside the window; nothing wider than the window.
function checkFit(page, minimumPx, label) {
  return page.evaluate(async (minimum, where) => {
    await new Promise(resolve => requestAnimationFrame(() => requestAnimationFrame(resolve)));  // laid out, scrolled
    const box = document.getElementById("terminal");
    const inside = (rect, what) => {
      if (rect.left < 0 || rect.top < 0 || rect.right > innerWidth || rect.bottom > innerHeight) {
        const windowSize = `${innerWidth}x${innerHeight}`;
        throw new Error(`${where}: ${what} is outside the ${windowSize} window: ${JSON.stringify(rect)}`);
      }
    };
    const size = parseFloat(getComputedStyle(box).fontSize);
    if (size < minimum) throw new Error(`${where}: the text is ${size} px`);
    if (document.documentElement.scrollWidth > innerWidth || box.scrollWidth > box.clientWidth) {
      throw new Error(`${where}: the page scrolls sideways`);
    }
    // The prompt's place is the field at the cursor: WebKit puts the box of an empty span (the
    // line typed, at a pause) at the top of the text, not on its line.
    const prompt = document.getElementById("keys").getBoundingClientRect();
    inside(prompt, "the prompt");
    if (prompt.bottom > box.getBoundingClientRect().bottom) throw new Error(`${where}: the prompt is scrolled away`);
    for (const button of document.querySelectorAll("#touch button")) {
      if (button.offsetParent) inside(button.getBoundingClientRect(), `button ${button.textContent}`);
    }
  }, minimumPx, label);
}

// The .wasm as another build of the game would have it: its build's name, the last bytes, changed.
function otherBuild(wasm) {
  const other = Buffer.from(wasm);
  other.write("0000000000000000", other.length - 16);
  return other;
}

// The index.html of the release before this page's: no build named, nothing to tell a screen reader.
const previousIndex = data => Buffer.from(data.toString().replace(/<meta name="qzvillage-build"[^>]*>/, "")
  .replace(/<div id="spoken".*<\/div>/, ""));

// What the page says when the server answers a file of the game otherwise: [file, answer, words,
// {engine: why the answer does not fail there}].
const LOAD_FAILURES = [
  ["qzvillage.wasm", {status: 404}, /the site has no qzvillage\.wasm \(HTTP 404\)/],
  ["qzvillage.wasm", {status: 500}, /the server answered 500 for qzvillage\.wasm/],
  ["qzvillage.wasm", {type: "text/html"}, /the server sent qzvillage\.wasm as text\/html/],
  ["qzvillage.wasm", {drop: true}, /cannot be reached \(no network\?\)/],
  ["qzvillage.js", {status: 404}, /the site has no qzvillage\.js \(HTTP 404\)/],
  ["qzvillage.js", {status: 503}, /the server answered 503 for qzvillage\.js/],
  ["qzvillage.js", {type: "text/html"}, /the server sent qzvillage\.js as text\/html/],
  ["qzvillage.js", {drop: true}, /cannot be reached \(no network\?\)/],
  ["qzvillage.wasm", {cut: true}, /qzvillage\.wasm arrived damaged/],
  ["qzvillage.wasm", {falseGzip: true}, /qzvillage\.wasm arrived damaged/,
    {webkit: "WebKitGTK takes a body that is not gzipped as it is, so the file arrives whole"}],
  ["qzvillage.wasm", {edit: otherBuild}, /qzvillage\.js and qzvillage\.wasm are from different builds/],
  ["page.js", {status: 404}, /the site has no page\.js \(HTTP 404\)/],
  ["page.js", {status: 500}, /the server answered 500 for page\.js/],
  ["page.js", {type: "text/html"}, /the server sent page\.js as text\/html/],
  ["page.js", {edit: data => data.subarray(0, data.length >> 1)}, /page\.js is damaged/],
  ["page.js", {cut: true}, /page\.js is damaged/],
  ["index.html", {edit: previousIndex}, /\(index\.html, page\.js, qzvillage\.js\) are from different builds/],
];

// Each case gets a page at the title in a browser context of its own (its own storage and service
// worker), on a phone-sized touch screen where it says so. `env` has the site and its URL.
const CASES = [
  ["a lone Shift does not end a pause", async page => {
    await typeLines(page, HERO);
    await waitFor(page, "key");
    await page.keyboard.press("Shift");
    await pause(200);
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
  ["a character beyond 16 bits ends one pause", async page => {
    await typeLines(page, HERO);
    await waitFor(page, "key");
    await page.keyboard.sendCharacter("𠀀");  // two UTF-16 units, one key
    await page.waitForFunction(() => /敌人：\S+\n按任意键继续\.\.\.\n$/.test(window.qz.transcript()));
    await pause(200);
    assert.equal(await page.evaluate(() => document.body.dataset.game), "key");
  }],
  ["Backspace removes a whole Chinese character, or one beyond 16 bits, from a name, on the screen too", async page => {
    await typeLines(page, ["1"]);
    await page.keyboard.type("阿强x");
    await page.keyboard.sendCharacter("𠀀");  // two UTF-16 units
    for (let times = 0; times < 3; times++) await page.keyboard.press("Backspace");
    assert.ok((await screenText(page)).endsWith("请输入你的名字：阿"));
    for (const key of ["ArrowLeft", "Home", "End", "F1"]) await page.keyboard.press(key);  // no editing here
    await typeLines(page, ["明"]);
    await shows(page, "请输入你的名字：阿明\n你的名字是：阿明确定吗？(Y/N):");
    assert.equal(await screenText(page), await transcript(page));
  }],
  ["Ctrl+C copies selected text and leaves a pause waiting; with nothing selected it ends the pause", async page => {
    await typeLines(page, HERO);
    await waitFor(page, "key");
    await page.evaluate(() => {
      document.addEventListener("copy", () => { window.copied = document.getSelection().toString(); });
      document.getSelection().selectAllChildren(document.getElementById("output"));
    });
    const ctrlC = async () => {
      await page.keyboard.down("Control");
      await page.keyboard.press("KeyC", {commands: ["Copy"]});
      await page.keyboard.up("Control");
    };
    await ctrlC();
    await pause(200);
    assert.equal(await page.evaluate(() => document.body.dataset.game), "key", "a copy ended the pause");
    assert.ok((await page.evaluate(() => window.copied)).startsWith("QZ村战魔王"), "nothing was copied");
    // A selection as the mouse makes it, which takes the focus from the field: part of a line.
    await page.evaluate(() => {
      window.copied = "";
      document.activeElement.blur();
      const walker = document.createTreeWalker(document.getElementById("output"), NodeFilter.SHOW_TEXT);
      while (!walker.nextNode().data.includes("站出来了")) { /* to the story's last line */ }
      const [text, start] = [walker.currentNode, walker.currentNode.data.indexOf("站出来了")];
      document.getSelection().setBaseAndExtent(text, start, text, start + 10);
    });
    await ctrlC();
    await pause(200);
    assert.equal(await page.evaluate(() => document.body.dataset.game), "key", "a copy of a mouse's selection ended the pause");
    assert.match(await page.evaluate(() => window.copied), /出来了，他的名字/, "nothing of the mouse's selection was copied");
    await page.evaluate(() => document.getSelection().removeAllRanges());
    await ctrlC();
    await page.waitForFunction(() => /敌人：\S+\n按任意键继续\.\.\.\n$/.test(window.qz.transcript()));
  }],
  ["a paste of three lines answers three questions", async page => {
    await paste(page, "1\n勇者\ny\n");
    await shows(page, "次机会(Y/N):");
    assert.ok((await transcript(page)).startsWith(TITLE + "1\n请输入你的名字：勇者\n你的名字是：勇者确定吗？(Y/N):y\n你的HP："));
  }],
  ["a read waits inside a number, a name and white space (Ctrl-D sends a line without its line feed)", async page => {
    await page.keyboard.type("1");
    await type(page, {});
    await page.keyboard.press("Enter");
    await shows(page, "请输入你的名字：");
    await page.keyboard.type("勇");
    await type(page, {});
    await typeLines(page, ["者"]);
    await shows(page, "你的名字是：勇者确定吗？(Y/N):");
    await page.keyboard.type("  ");
    await type(page, {});
    await typeLines(page, ["y"]);
    await page.waitForFunction(() => /你的HP/.test(window.qz.transcript()));
  }],
  ["Ctrl-D at the name prompt ends the game as the end of input does; the saved transcript", async (page, env) => {
    await typeLines(page, ["1"]);
    await type(page, {});
    await waitFor(page, "over");
    assert.equal(await transcript(page), TITLE + "1\n请输入你的名字：\n");
    await endedWith(page, "input-ended");
    await page.click("#save");
    const saved = path.join(env.downloads, "qzvillage-transcript.txt");
    const kept = !env.cannot("download");
    for (let waited = 0; kept && !fs.existsSync(saved); waited += 50) {
      assert.ok(waited < 10000, "no transcript was saved");
      await pause(50);
    }
    if (kept) assert.equal(fs.readFileSync(saved, "utf8"), TITLE + "1\n请输入你的名字：\n");
    assert.equal(await page.evaluate(() => document.activeElement.id), "keys", "the focus after Save transcript");
  }],
  ["keys typed before the page's script runs, while the game loads, after a click on the page and after Save transcript reach the game",
    async (page, env) => {
      const holding = !env.cannot("interception");
      const held = {".wasm": [], "page.js": []};
      const release = async ending => {
        for (const request of held[ending]) await request.continue();
        held[ending] = null;
      };
      if (holding) {
        await page.setRequestInterception(true);
        page.on("request", request => {
          const ending = Object.keys(held).find(end => request.url().endsWith(end) && held[end]);
          return ending ? held[ending].push(request) : request.continue();
        });
      }
      // A site not visited before: a service worker that has taken the page serves it whole, past
      // the requests held.
      const fresh = await serve(env.site);
      const loaded = page.goto(fresh.url);
      if (!holding) await loaded;  // a driver that cannot hold a request takes one command at a time
      // The new document, its page.js held, with its field focused: until then the document at the
      // title before takes the keys, or none does. Asked from here, as a wait inside the page can
      // be lost with the page it began in.
      const ready = () => page.evaluate(() => window.qz === undefined && document.activeElement?.id === "keys")
        .catch(() => false);
      for (let tries = 0; holding && !(await ready()); tries++) {
        assert.ok(tries < 1500, "the new document's field never had the focus");
        await pause(20);
      }
      assert.equal(await page.$eval("#output", output => output.textContent), TITLE, "the title ahead of the game");
      await page.keyboard.type("1\n");  // before page.js has run
      await release("page.js");
      await page.waitForFunction(() => window.qz !== undefined);
      await page.keyboard.type("勇者\n");  // before the game has loaded
      await release(".wasm");
      await loaded;
      await shows(page, "你的名字是：勇者确定吗？(Y/N):");
      assert.equal(await screenText(page), await transcript(page), "the title drawn once");
      await page.click("h1");
      await typeLines(page, ["y"]);
      await page.click("#save");
      await typeLines(page, ["y"]);
      await waitFor(page, "key");
      fresh.close();
    }],
  ["touch buttons alone, one tap per answer, play to the end of the first battle", async (page, env) => {
    env.cannot("touch");
    for (const answer of ["1", "1", "y", "y"]) await tap(page, answer);  // the title, a name ("1"), two yeses
    while (!/遇到了第2个敌人|倒下了/.test(await transcript(page))) {
      await page.waitForFunction(() => ["line", "key"].includes(document.body.dataset.game));
      const atPause = await page.evaluate(() => document.body.dataset.game === "key");
      await tap(page, atPause ? "continue" : "1");
    }
  }, PHONE],
  ["a 1 MB paste at the name prompt does not freeze the page", async page => {
    await typeLines(page, ["1"]);
    await paste(page, "名".repeat(350000) + "\n");  // 3 bytes each in UTF-8: 1.05 MB
    await typeLines(page, ["y"]);
    await shows(page, "次机会(Y/N):", 60000);
  }],
  ["a long game: old text stays in closed blocks that no later answer touches, and an answer is kept alone; the screen is the transcript",
    async page => {
      await typeLines(page, ["1"]);
      // First a name long enough to fill a block inside its question's line, then two lines each,
      // three hundred in all.
      const long = Array.from({length: 7000}, (_, i) => "甲乙丙丁戊己庚辛壬癸"[i % 10]).join("");
      await paste(page, `${long}\nn\n` + "勇者\nn\n".repeat(150));
      await page.waitForFunction(() => window.qz.transcript().split("请输入你的名字：").length === 153);
      const closed = await page.$$eval("#output > .closed", blocks => blocks.map(block => block.textContent));
      assert.ok(closed.length >= 2, `${closed.length} closed blocks`);
      assert.ok(closed.every(text => text.endsWith("\n")), "a closed block that does not end its last line");
      // What the next answers change: only nodes added, and none to a block closed before.
      await page.evaluate(() => {
        const old = new Set(document.querySelectorAll("#output > .closed"));
        window.changes = [];
        new MutationObserver(records => window.changes.push(...records.filter(record =>
          record.type !== "childList" || record.removedNodes.length > 0 || old.has(record.target))
          .map(record => `${record.type} of ${record.target.nodeName}`)))
          .observe(document.getElementById("output"), {childList: true, subtree: true, characterData: true});
        // What the next answers write to storage, in characters: each answer alone, not the game.
        window.stored = 0;
        for (const [kind, method, value] of [[Storage, "setItem", 1], [IDBObjectStore, "put", 0], [IDBObjectStore, "add", 0]]) {
          const original = kind.prototype[method];
          kind.prototype[method] = function (...args) {
            window.stored += JSON.stringify(args[value] ?? null).length;
            return original.apply(this, args);
          };
        }
      });
      await typeLines(page, [...Array(60)].flatMap(() => ["勇者", "n"]));
      await page.waitForFunction(() => window.qz.transcript().split("请输入你的名字：").length === 213);
      assert.deepEqual(await page.evaluate(() => window.changes), []);
      const stored = await page.evaluate(() => window.stored);
      assert.ok(stored < 120 * 200, `${stored} characters stored for 120 answers`);
      assert.deepEqual(await page.$$eval("#output > .closed", blocks => blocks.map(block => block.textContent))
        .then(now => now.slice(0, closed.length)), closed);
      assert.equal(await screenText(page), await transcript(page));
      // Blocks begin and end with lines, so that the whole log selected, as laid out and out of
      // sight, is the transcript.
      const before = await page.$$eval("#output > .closed", blocks => blocks.map(block => {
        const range = document.createRange();
        range.setStart(block.parentNode, 0);
        range.setEndBefore(block);
        return range.toString();
      }));
      assert.ok(before.every(text => text === "" || text.endsWith("\n")), "a closed block that begins inside a line");
      const selected = await page.evaluate(() => {
        document.getSelection().selectAllChildren(document.getElementById("output"));
        return document.getSelection().toString();
      });
      assert.ok(selected === await transcript(page), `the whole log selected is not the transcript: ${selected.length} characters`);
    }],
  ["the game's text is in the accessibility tree, the title describes the field until answered, and text inserted without a key press is taken",
    async (page, env) => {
      // What describes the field for a screen reader that comes to it.
      const textbox = node => (node.role === "textbox" ? node : node.children?.map(textbox).find(Boolean));
      const field = async () => textbox(await page.accessibility.snapshot({interestingOnly: false}))?.description ?? "";
      const readable = !env.cannot("accessibility");
      if (readable) {
        const tree = JSON.stringify(await page.accessibility.snapshot({interestingOnly: false}));
        assert.ok(tree.includes("QZ村战魔王") && tree.includes("1新游戏"), "the title is not in the accessibility tree");
        assert.match(await field(), /^QZ村战魔王\s+1新游戏\s+2退出游戏\s+选择：$/, "the field's description at the title");
      }
      await typeLines(page, ["1", "阿强"]);  // text inserted without a key press or a composition
      if (readable) assert.equal(await field(), "", "the title still describes the field");
      await shows(page, "你的名字是：阿强确定吗？(Y/N):");
    }],
  ["a screen reader is told each write once, in order, and its new lines alone; each pause with the text it ends",
    async (tab, env) => {
      // From before the page's own scripts: what goes into the live region, the title put into
      // the log once the page is parsed, and words of loading the status announces.
      await tab.evaluateOnNewDocument(() => {
        Object.assign(window, {told: [], titleAgain: 0, loadingTold: []});
        new MutationObserver(records => records.forEach(({target, addedNodes}) => {
          const element = target.nodeType === Node.ELEMENT_NODE ? target : target.parentElement;
          for (const node of addedNodes) {
            if (element.id === "spoken") window.told.push(node.textContent);
            const parsed = document.readyState !== "loading";
            if (parsed && element.closest("#output") && node.textContent.includes("1新游戏")) window.titleAgain++;
          }
          const status = element.closest("#status");
          if (status && status.getAttribute("aria-live") !== "off" && /Loading/.test(status.textContent)) {
            window.loadingTold.push(status.textContent);
          }
        })).observe(document, {childList: true, subtree: true, characterData: true});
      });
      const fresh = await serve(env.site);  // no service worker serves the page without the scripts
      await tab.goto(fresh.url);
      await waitFor(tab, "line");
      const [titleAgain, loadingTold] = await tab.evaluate(() => [window.titleAgain, window.loadingTold]);
      assert.equal(titleAgain, 0, "the title shown ahead was put into the log again");
      assert.deepEqual(loadingTold, [], "the status announced loading");
      await typeLines(tab, HERO);
      for (const pauses of [1, 2]) {  // a key once each pause is told
        await tab.waitForFunction(n => window.told.filter(text => text.endsWith("按任意键继续...")).length === n, {}, pauses);
        await tab.keyboard.press("KeyX");
      }
      await waitFor(tab, "line");
      const told = await tab.evaluate(() => window.told);
      // Old announcements go, the newest four stay to be read again.
      await tab.waitForFunction(() => document.getElementById("spoken").childElementCount === 4);
      // Told: the transcript after the title, without the answers typed, the rule lines or blank lines.
      const heard = (await transcript(tab)).slice(TITLE.length).replace("1\n请输入你的名字：勇者\n", "请输入你的名字：\n")
        .replaceAll("(Y/N):y\n", "(Y/N):\n").split("\n").filter(line => !/^(=*|-*)$/.test(line));
      assert.deepEqual(told.join("\n").split("\n"), heard);
      const pauses = told.filter(text => text.includes("按任意键")).map(text => /.\n(按任意键继续\.\.\.)$/s.exec(text)?.[1]);
      assert.deepEqual(pauses, ["按任意键继续...", "按任意键继续..."], "a pause not told last, with the text it ends");
      // Resumed after a reload, the game is told from its last wait, not replayed aloud.
      await tab.reload();
      await waitFor(tab, "line");
      const resumed = await tab.evaluate(() => window.told ?? null);
      if (resumed === null) env.skip("the listener, as the service worker served the reloaded page");
      else assert.deepEqual(resumed, [told[told.length - 1]], "a resumed game told whole");
      fresh.close();
    }],
  ["the window's size: text large enough, nothing sideways, prompt and buttons on screen, also turned",
    async (page, env) => {
      const windows = [[360, 740, true], [390, 844, true], [1280, 800, false], [1366, 768, false]];
      for (const [width, height, phone] of windows) {
        const context = await env.browser.createBrowserContext();
        const at = await openGame(context, env.url, 54, {width, height, isMobile: phone, hasTouch: phone});
        // A window the engine cannot make (MiniBrowser's is no narrower than its toolbar) is left.
        const unmade = new Set();
        const fits = async (size, label) => {
          const made = await at.evaluate(() => `${innerWidth}x${innerHeight}`);
          if (made === size) return checkFit(at, phone ? 14 : 15, `${size} ${label}`);
          if (!unmade.has(size)) env.skip(`a ${size} window, as the window comes out ${made}`);
          unmade.add(size);
        };
        await typeLines(at, HERO);
        await waitFor(at, "key");
        await fits(`${width}x${height}`, "at a pause");
        await at.keyboard.press("ArrowUp");
        await at.waitForFunction(() => /选择：$/.test(window.qz.transcript()));
        await fits(`${width}x${height}`, "in battle");
        await at.setViewport({width: height, height: width, isMobile: phone, hasTouch: phone, isLandscape: phone});
        await fits(`${height}x${width}`, "in battle, turned");
        await context.close();
      }
    }],
  ["a page that cannot load the game says why at the top, and New game tries again", async (page, env) => {
    const answers = {};
    const server = await serve(env.site, answers);
    const problem = at => at.$eval("#cannot-load:not([hidden])", words => words.textContent);
    for (const [file, answer, words, unlike] of LOAD_FAILURES) {
      if (unlike?.[env.engine]) {
        env.skip(`${file} answered ${JSON.stringify(answer)}: ${unlike[env.engine]}`);
        continue;
      }
      const context = await env.browser.createBrowserContext();  // nothing kept from the row before
      const failing = await context.newPage();
      Object.assign(answers, {[file]: answer});
      await failing.goto(server.url);
      await waitFor(failing, "failed");
      const row = `${file} answered ${JSON.stringify(answer)}`;
      assert.match(await problem(failing), words, row);
      assert.equal(await failing.$eval("#output", output => output.textContent), "", `${row}: a title with no game`);
      if (file === "page.js") {
        assert.ok(await failing.$eval("#keys", keys => keys.disabled), `${row}: the field takes keys`);
        delete answers[file];
        await failing.reload();
      } else if (answer.type) {
        // The worker keeps the build in the types it needs, whatever the server still calls them.
        await failing.evaluate(() => navigator.serviceWorker.controller ?? new Promise(resolve =>
          navigator.serviceWorker.addEventListener("controllerchange", resolve, {once: true})));
      } else {
        delete answers[file];  // the server put right
      }
      if (file !== "page.js") await failing.click("#new-game");
      await waitFor(failing, "line");
      delete answers[file];
      await context.close();
    }
    server.close();
    for (const [cause, words] of [["file", /opened as a file/], ["no WebAssembly", /no WebAssembly/]]) {
      const failing = await page.browserContext().newPage();
      if (cause === "file") {
        await failing.goto("file://" + path.join(env.site, "index.html"));
      } else {
        // A site not visited before, so that no service worker serves the page: WebDriver
        // classic has no script of ours run before a page's own but through the server.
        const fresh = await serve(env.site);
        await failing.evaluateOnNewDocument(() => { delete window.WebAssembly; });
        await failing.goto(fresh.url);
        fresh.close();
      }
      await waitFor(failing, "failed");
      assert.match(await problem(failing), words, cause);
      assert.equal(await failing.$eval("#output", output => output.textContent), "", `${cause}: a title with no game`);
      assert.ok(await failing.$eval("#cannot-load", box => box.getBoundingClientRect().top < 50), cause);
    }
  }],
  ["a reload under another clock resumes the game as it stood; a finished game is not resumed", async page => {
    await typeLines(page, HERO);
    await page.keyboard.press("ArrowUp");
    await waitFor(page, "line");
    await typeLines(page, ["1"]);
    await waitFor(page, "key");
    const before = await transcript(page);
    await page.evaluateOnNewDocument(() => window.setClock(Date.now() + 7000));
    await page.reload();
    await waitFor(page, "key");
    assert.equal(await transcript(page), before);
    assert.equal(await screenText(page), before);
    // Each key runs the game on to its next wait before the page reads another event.
    while (await page.evaluate(() => document.body.dataset.game === "key")) await type(page, {key: "x"});
    await type(page, {});
    await waitFor(page, "over");
    await page.reload();
    await waitFor(page, "line");
    assert.equal(await transcript(page), TITLE);
  }],
  ["two tabs keep their own games through reloads and endings; a new tab resumes only a game no tab plays",
    async (first, env) => {
      const open = async (seed, state, copiedId = null) => {
        const tab = await first.browserContext().newPage();
        await pinClock(tab, seed);
        // A duplicated tab starts with a copy of its original's session storage.
        if (copiedId) await tab.evaluateOnNewDocument(id => sessionStorage.setItem("qzvillage-game-id", id), copiedId);
        await tab.goto(env.url);
        await waitFor(tab, state);
        return tab;
      };
      // Each reload resumes the game as it stood, an answer given after a replay included: `next` is
      // what the game shows after one more key.
      const reloadsKeep = async (tab, next) => {
        await tab.bringToFront();  // keys and clicks go to the tab in front
        for (const time of ["first", "second"]) {
          const [before, state] = [await transcript(tab), await tab.evaluate(() => document.body.dataset.game)];
          await tab.reload();
          await waitFor(tab, state);
          assert.equal(await transcript(tab), before, `the ${time} reload`);
          if (time === "first") {
            await type(tab, {key: "x"});
            await tab.waitForFunction(end => new RegExp(end).test(window.qz.transcript()), {polling: 20}, next.source);
          }
        }
      };
      const ENEMY = /遇到了第1个敌人：\S+\n按任意键继续\.\.\.\n$/;
      const endByCtrlD = async tab => {
        await tab.bringToFront();
        while (await tab.evaluate(() => document.body.dataset.game === "key")) await type(tab, {key: "x"});
        await type(tab, {});
        await waitFor(tab, "over");
        await endedWith(tab, "input-ended");
      };
      await typeLines(first, HERO);
      await waitFor(first, "key");
      const second = await open(55, "line");
      assert.equal(await transcript(second), TITLE, "a new tab took the first tab's game");
      await typeLines(second, ["2"]);
      await waitFor(second, "over");
      await endedWith(second, "quit");
      await reloadsKeep(first, ENEMY);
      await second.bringToFront();
      await second.keyboard.press("Enter");  // on New game, which has the focus
      await typeLines(second, ["1", "阿强", "y", "y"]);
      await waitFor(second, "key");
      await reloadsKeep(second, ENEMY);
      const copy = await open(56, "line", await first.evaluate(() => sessionStorage.getItem("qzvillage-game-id")));
      assert.equal(await transcript(copy), TITLE, "a duplicated tab took its original's game");
      await copy.close();
      await endByCtrlD(first);
      await reloadsKeep(second, /选择：$/);
      const left = await transcript(second);
      await second.close();
      const third = await open(57, "line");
      assert.equal(await transcript(third), left, "a new tab did not resume the game no tab plays");
      await endByCtrlD(third);
      for (const tab of [first, third]) {
        await tab.bringToFront();
        await tab.reload();
        await waitFor(tab, "line");
        assert.equal(await transcript(tab), TITLE, "an ended game came back");
      }
    }],
  ["a tab resumes its game on the game's own screen: keys typed at the title shown ahead do not answer it",
    async (page, env) => {
      if (env.skipIf("interception")) return;
      // A site not visited before, with no service worker, which would serve the .wasm unheld.
      const fresh = await serve(env.site);
      const open = async () => {
        const tab = await page.browserContext().newPage();
        await tab.evaluateOnNewDocument(() => Object.defineProperty(Navigator.prototype, "serviceWorker", {get: () => undefined}));
        await pinClock(tab, 54);
        return tab;
      };
      const first = await open();
      await first.goto(fresh.url);
      await waitFor(first, "line");
      await typeLines(first, HERO);
      await first.keyboard.press("ArrowUp");
      await first.waitForFunction(() => /选择：$/.test(window.qz.transcript()));
      await first.evaluate(() => window.qz.saved?.());
      const left = await transcript(first);
      const tab = await open();
      await first.close();
      let held = [];
      await tab.setRequestInterception(true);
      tab.on("request", request => (request.url().endsWith(".wasm") && held ? held.push(request) : request.continue()));
      await tab.goto(fresh.url);
      await tab.waitForFunction(() => window.qz !== undefined);
      await tab.keyboard.type("2\n");  // at the title, to leave; in the battle, a spell
      assert.ok(held.length > 0, "the .wasm was not held");
      for (const request of held) await request.continue();
      held = null;
      await waitFor(tab, "line");
      assert.equal(await transcript(tab), left);
      fresh.close();
    }],
  ["games kept by earlier builds: each resumed once, the latest first, none over a game a tab plays", async (page, env) => {
    const kept = (hero, saved) => JSON.stringify({clock: 54, saved,
      answers: [..."1 _ y y".split(" ").map(line => ({line: `${line.replace("_", hero)}\n`})), {key: " "}, {key: " "}]});
    const open = async () => {
      const tab = await page.browserContext().newPage();
      await tab.goto(env.url);
      await waitFor(tab, "line");
      return tab;
    };
    const hero = async tab => (await transcript(tab)).match(/你的名字是：(\S+)确定吗/)?.[1] ?? "none";
    // The last build's games of two closed tabs, the latest second.
    await page.evaluate((a, b) => {
      localStorage.setItem("qzvillage-game:a", a);
      localStorage.setItem("qzvillage-game:b", b);
    }, kept("阿甲", 1000), kept("阿乙", 2000));
    await page.reload();
    await waitFor(page, "line");
    const tabs = [page, await open()];
    assert.deepEqual([await hero(tabs[0]), await hero(tabs[1])], ["阿乙", "阿甲"], "the latest game first");
    // The one game the build before kept, saved again by a page of that build after it was moved.
    for (const name of ["阿丙", "阿丁"]) {
      await page.evaluate(text => localStorage.setItem("qzvillage-game", text), kept(name, 0));
      tabs.push(await open());
      assert.equal(await hero(tabs.at(-1)), name);
    }
    await tabs[2].reload();
    await waitFor(tabs[2], "line");
    assert.equal(await hero(tabs[2]), "阿丙", "a moved game replaced a game a tab plays");
    for (const tab of tabs) {
      await tab.bringToFront();
      await type(tab, {});
      await waitFor(tab, "over");
    }
    assert.equal(await transcript(await open()), TITLE, "an ended game came back");
  }],
  ["a tab opened while another reloads starts a game of its own; the reloading tab gets its game back", async (page, env) => {
    await typeLines(page, HERO);
    await waitFor(page, "key");
    await page.evaluate(() => window.qz.saved?.());
    const before = await transcript(page);
    for (let round = 0; round < 4; round++) {
      const other = await page.browserContext().newPage();
      await Promise.all([page.reload(), other.goto(env.url)]);
      await waitFor(page, "key");
      await waitFor(other, "line");
      assert.equal(await transcript(page), before, `round ${round}: the reloading tab's game`);
      assert.equal(await transcript(other), TITLE, `round ${round}: the new tab's game`);
      await other.close();
    }
  }],
  ["a saved game that is not whole is forgotten, not resumed: one ending in an empty answer announces no victory",
    async page => {
      const toMenu = [..."1 勇者 y y".split(" ").map(line => ({line: `${line}\n`})), {key: " "}, {key: " "}];
      const saves = [[], [{line: ""}], [{line: "1\n2\n"}], [{key: ""}], [{line: 1}], [{line: "1\n", key: " "}]]
        .map(last => JSON.stringify({clock: 54, answers: [...toMenu, ...last]}));
      // The tab's own id, in session storage, whatever it holds.
      const ids = ["", " ", "0", "__proto__", "x".repeat(500)];
      for (const [index, saved] of [...saves, "{"].entries()) {
        const key = `qzvillage-game:kept${index}`;
        await page.evaluate((text, name, id) => {
          localStorage.setItem(name, text);
          sessionStorage.setItem("qzvillage-game-id", id);
        }, saved, key, ids[index % ids.length]);
        await page.reload();
        await waitFor(page, "line");
        const resumed = await transcript(page);
        if (index === 0) {  // the whole game, resumed at the first battle's menu, then ended
          assert.match(resumed, /选择：$/);
          assert.notEqual(resumed, TITLE);
          await type(page, {});
          await waitFor(page, "over");
          await page.evaluate(() => window.qz.saved());  // forgotten
          continue;
        }
        assert.equal(resumed, TITLE, saved);
        assert.equal(await ending(page) ?? null, null, saved);  // WebDriver gives undefined as null
        assert.equal(await page.evaluate(name => localStorage.getItem(name), key), null, saved);
      }
    }],
  ["storage that is full or switched off costs the resume, never the game", async (page, env) => {
    const ways = {
      full: () => {
        const full = () => { throw new DOMException("full", "QuotaExceededError"); };
        Object.assign(Storage.prototype, {setItem: full});
        Object.assign(IDBObjectStore.prototype, {put: full, add: full});
      },
      // As a disk that fills up while the answer is written: the transaction aborts.
      fullAtCommit: () => {
        const abort = function () {
          try {
            this.transaction.abort();
          } catch {
            // aborted already by the first write
          }
        };
        Object.assign(IDBObjectStore.prototype, {put: abort, add: abort, delete: abort});
      },
      off: () => ["localStorage", "sessionStorage", "indexedDB"].forEach(name => Object.defineProperty(window, name,
        {get() { throw new DOMException("off", "SecurityError"); }})),
    };
    for (const [way, breakStorage] of Object.entries(ways)) {
      // A site not visited before, whose page no service worker serves: WebDriver classic runs
      // no script of ours before a page's own but through the server.
      const fresh = await serve(env.site);
      const tab = await page.browserContext().newPage();
      await tab.evaluateOnNewDocument(breakStorage);
      await tab.goto(fresh.url);
      await waitFor(tab, "line");
      await typeLines(tab, HERO);
      await waitFor(tab, "key");
      const words = way === "off" ? "This browser cannot keep the game" : "Storage is full";
      await tab.waitForFunction(w => document.getElementById("status").textContent.includes(w), {}, words);
      const status = await tab.$eval("#status", box => box.textContent);
      assert.equal(status.split(words).length, 2, `${way}: said more than once`);
      await tab.evaluate(() => { document.getElementById("history").open = true; });
      await tab.waitForFunction(() => /not being kept/.test(document.getElementById("finished-none").textContent));
      await tab.reload();
      await waitFor(tab, "line");
      assert.equal(await transcript(tab), TITLE, way);
      await tab.close();
      fresh.close();
    }
  }],
  ["a new build replaces the old one whole, once no page of the old one is open; a build half served is not taken",
    async (page, env) => {
      const folder = fs.mkdtempSync(path.join(os.tmpdir(), "qz-site-"));
      fs.cpSync(env.site, folder, {recursive: true});
      const server = await serve(folder);
      const url = server.url;
      const open = async () => {
        const opened = await page.browserContext().newPage();
        return [opened, await (await opened.goto(url)).text()];
      };
      const [first] = await open();
      await first.evaluate(() => navigator.serviceWorker.ready);
      // The next build: another index.html, and its worker made by the build's own script.
      const index = path.join(folder, "index.html");
      const oldIndex = fs.readFileSync(index, "utf8");
      fs.appendFileSync(index, "<!-- the next build -->\n");
      const worker = fs.readFileSync(path.join(folder, "service_worker.js"), "utf8");
      const files = [...worker.matchAll(/^ {2}"([^"]+)": "[0-9a-f]{64}",$/gm)].map(match => match[1]);
      const web = path.join(__dirname, "../../web");
      execFileSync("cmake", [`-DSITE=${folder}`, `-DFILES=${files.join(",")}`,
        `-DSOURCE=${path.join(web, "service_worker.js")}`, "-P", path.join(web, "precache.cmake")]);
      const update = () => first.evaluate(async () => {
        const registration = await navigator.serviceWorker.getRegistration();
        await registration.update();
        const worker = registration.installing;
        while (worker && !["installed", "redundant"].includes(worker.state)) {
          await new Promise(resolve => worker.addEventListener("statechange", resolve, {once: true}));
        }
        return registration.waiting !== null;
      });
      const newIndex = fs.readFileSync(index, "utf8");
      fs.writeFileSync(index, oldIndex);  // the new worker beside the old page: not a build
      assert.equal(await update(), false, "a worker whose files do not match was taken");
      fs.writeFileSync(index, newIndex);
      assert.equal(await update(), true, "the new build was not kept");
      await first.reload();
      assert.ok(!(await first.content()).includes("the next build"), "a page of the old build got the new page");
      await first.close();
      for (let tries = 0; ; tries++) {
        const [next, text] = await open();
        if (text.includes("the next build")) {
          const caches = await next.evaluate(() => caches.keys());
          assert.deepEqual(caches.filter(name => name.startsWith("qzvillage-")).length, 1, "the old build was kept");
          break;
        }
        assert.ok(tries < 50, "the new build never took over");
        await next.close();
        await pause(100);
      }
      server.close();
      fs.rmSync(folder, {recursive: true});
    }],
  ["installable, and after one visit a whole game plays offline", async (page, env, options) => {
    const server = await serve(env.site);
    const url = server.url;
    const [game] = referenceGames(options, 1);
    const online = await openGame(env.browser.defaultBrowserContext(), url, game.seed);
    await online.evaluate(() => navigator.serviceWorker.ready);
    if (!env.cannot("installability")) {
      const {installabilityErrors} = await (await online.createCDPSession()).send("Page.getInstallabilityErrors");
      assert.deepEqual(installabilityErrors, []);
    }
    server.closeAllConnections();
    server.close();
    await online.reload();
    await waitFor(online, "line");
    if (!(await online.evaluate(() => "setClock" in window))) {
      // The worker served the page and no script of ours ran before its own (WebDriver classic):
      // this game ends, and the next one, its clock set, is the one played offline.
      env.skip("the clock set before the page's scripts offline; it is set before New game instead");
      await type(online, {});
      await waitFor(online, "over");
      await online.evaluate(ms => { Date.now = () => ms; }, game.seed * 1000 + 500);
      await online.click("#new-game");
      await waitFor(online, "line");
    }
    await playWhole(online, game, "offline");
    await online.close();
  }],
];

// What a driver cannot do, and why. A case that needs it says so and checks the rest.
const CANNOT = {
  firefox: {
    accessibility: "puppeteer reads the accessibility tree through Chromium's DevTools protocol alone",
    installability: "Firefox does not install web apps, and says nothing of a page's installability",
  },
  webkit: {
    accessibility: "no WebDriver command reads WebKit's accessibility tree",
    kill: "WebKitWebDriver gives each session a profile of its own, which ends with it",
    download: "WebDriver classic cannot say where a download goes",
    installability: "WebKitGTK does not install web apps, and says nothing of a page's installability",
    interception: "WebDriver classic cannot hold a request, so the keys go in as soon as the page is there",
    touch: "touch events, as WebKitWebDriver delivers a touch as a mouse's press (the buttons are pressed with it)",
  },
};

// Whole games per engine, unless --games says: Chromium plays the most, the others fewer to keep
// the run short.
const GAMES = {chromium: 50, firefox: 20, webkit: 10};

// An engine being tested: its browser, started again after a driver stalled.
async function startTesting(name, options) {
  const engine = {name, games: options.games ?? GAMES[name]};
  engine.restart = async () => {
    await engine.browser?.close();
    engine.browser = await startEngine(name, puppeteer, options);
  };
  await engine.restart();
  return engine;
}

// Runs `attempt`; when the driver stalled in it, starts the engine afresh, calls `afresh`, and
// tries once more, saying so.
async function retried(t, engine, label, attempt, afresh = () => {}) {
  try {
    return await attempt();
  } catch (error) {
    if (!error.stalled) throw error;
    t.diagnostic(`${label}: retried in a fresh session (${error.message})`);
    await engine.restart();
    afresh();
    return attempt();
  }
}

// Each case in a browser context of its own, its downloads kept in a folder of its own. A part of
// a case the engine cannot run is said as a diagnostic (the rest still counts); a case it cannot
// run at all is skipped.
async function runCase(t, engine, url, site, [, body, viewport], options) {
  const downloads = fs.mkdtempSync(path.join(os.tmpdir(), "qz-saved-"));
  try {
    const context = await engine.browser.createBrowserContext(engine.name === "webkit" ? {}
      : {downloadBehavior: {policy: "allow", downloadPath: downloads}});
    const page = await openGame(context, url, 54, viewport);
    const skip = why => t.diagnostic(`skipped in ${engine.name}: ${why}`);
    const cannot = what => {
      const why = CANNOT[engine.name]?.[what];
      if (why) skip(why);
      return why !== undefined;
    };
    const skipIf = what => {
      const why = CANNOT[engine.name]?.[what];
      if (why) t.skip(why);
      return why !== undefined;
    };
    const env = {site, url, browser: engine.browser, engine: engine.name, downloads, skip, cannot, skipIf};
    await body(page, env, options);
    await context.close();
  } finally {
    fs.rmSync(downloads, {recursive: true, force: true});
  }
}

// One engine's suite: its browser started before its tests and closed after them.
function engineSuite(name, options, served) {
  describe(name, () => {
    let engine = null;
    before(async () => { engine = await startTesting(name, options); });
    after(() => engine?.browser.close());
    if (!options.only) {
      test("whole games agree with the reference model", t => agreement(t, engine, served.url, options));
    }
    for (const entry of CASES.filter(([what]) => what.includes(options.only ?? ""))) {
      test(entry[0], t => retried(t, engine, entry[0], () => runCase(t, engine, served.url, served.site, entry, options)));
    }
  });
}

function main() {
  const options = readOptions(["site", "python", "engines", "games", "master-seed", "chromium", "firefox",
    "webkit-driver", "minibrowser", "only"], {"master-seed": String(Date.now() % 100000), engines: ENGINES.join(","),
    ...findPrograms()});
  for (const needed of ["site", "python"].filter(name => !options[name])) throw new Error(`--${needed} is needed`);
  const engines = options.engines.split(",");
  for (const name of engines.filter(engine => !ENGINES.includes(engine))) {
    throw new Error(`no engine ${name}: ${ENGINES.join(", ")}`);
  }
  const served = {site: path.resolve(options.site)};
  before(async () => { served.url = (served.server = await serve(served.site)).url; });
  after(() => served.server?.close());
  for (const name of engines) engineSuite(name, options, served);
}

if (require.main === module) main();
