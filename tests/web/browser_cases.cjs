// The browser tests' single cases, one table: the keyboard, touch, a huge paste, the screen
// reader, and a page that cannot load its game.
"use strict";

const assert = require("node:assert/strict");
const {openGame, waitFor, typeLine, ctrlD, transcript} = require("./browser_test.cjs");

const TITLE = "QZ村战魔王\n\n\n1新游戏\n2退出游戏\n选择：";
const SEED = 54;

const state = page => page.evaluate(() => document.body.dataset.game);

// A game at its first pause: the story, after the name and the statistics.
async function atFirstPause(browser, url) {
  const page = await openGame(browser, url, SEED);
  for (const line of ["1", "勇者", "y", "y"]) {
    await typeLine(page, line);
  }
  await waitFor(page, "key");
  return page;
}

async function paste(page, text) {
  await page.evaluate(data => {
    const clipboard = new DataTransfer();
    clipboard.setData("text/plain", data);
    document.querySelector(".xterm-helper-textarea")
      .dispatchEvent(new ClipboardEvent("paste", {clipboardData: clipboard, bubbles: true, cancelable: true}));
  }, text);
}

const CASES = [
  ["a lone Shift does not end a pause", async (browser, url) => {
    const page = await atFirstPause(browser, url);
    const before = await transcript(page);
    await page.keyboard.press("Shift");
    await new Promise(resolve => setTimeout(resolve, 200));
    assert.equal(await state(page), "key");
    assert.equal(await transcript(page), before);
    await page.keyboard.press("KeyX");
    await page.waitForFunction(b => window.qz.transcript().length > b, {}, before.length);
    await page.close();
  }],
  ["an arrow key ends two pauses", async (browser, url) => {
    const page = await atFirstPause(browser, url);
    await page.keyboard.press("ArrowUp");  // the story's pause, then the first enemy's
    await waitFor(page, "line");
    assert.match(await transcript(page), /遇到了第1个敌人：\S+\n按任意键继续\.\.\.\n=+\n/);
    await page.close();
  }],
  ["Backspace removes a whole Chinese character from a name", async (browser, url) => {
    const page = await openGame(browser, url, SEED);
    await typeLine(page, "1");
    await page.keyboard.type("阿强x");
    await page.keyboard.press("Backspace");
    await page.keyboard.press("Backspace");
    await typeLine(page, "明");
    await waitFor(page, "line");
    assert.ok((await transcript(page)).endsWith("请输入你的名字：阿明\n你的名字是：阿明确定吗？(Y/N):"));
    await page.close();
  }],
  ["a paste of three lines answers three questions", async (browser, url) => {
    const page = await openGame(browser, url, SEED);
    await paste(page, "1\n勇者\ny\n");
    await page.waitForFunction(() => window.qz.transcript().endsWith("次机会(Y/N):"));
    assert.ok((await transcript(page)).startsWith(TITLE + "1\n请输入你的名字：勇者\n你的名字是：勇者确定吗？(Y/N):y\n你的HP："));
    await page.close();
  }],
  ["Ctrl-D at the name prompt ends the game as the end of input does", async (browser, url) => {
    const page = await openGame(browser, url, SEED);
    await typeLine(page, "1");
    await ctrlD(page);
    await waitFor(page, "over");
    assert.equal(await transcript(page), TITLE + "1\n请输入你的名字：\n");
    assert.equal(await page.evaluate(() => document.body.dataset.ending), "input-ended");
    await page.close();
  }],
  ["touch buttons alone play to the end of the first battle", async (browser, url) => {
    const page = await openGame(browser, url, SEED, {width: 390, height: 844, isMobile: true, hasTouch: true});
    const tap = async send => page.tap(`#touch button[data-send="${send}"]`);
    for (const answer of ["1", "1", "y", "y"]) {  // the title, a name ("1"), and two yeses
      await tap(answer);
      await tap("enter");
    }
    while (!/遇到了第2个敌人|倒下了/.test(await transcript(page))) {
      await waitFor(page, (await state(page)) === "key" ? "key" : "line");
      if ((await state(page)) === "key") {
        await tap(" ");
      } else {
        await tap("1");
        await tap("enter");
      }
    }
    await page.close();
  }],
  ["a 1 MB paste at the name prompt does not freeze the page", async (browser, url) => {
    const page = await openGame(browser, url, SEED);
    await typeLine(page, "1");
    await paste(page, "名".repeat(350000) + "\n");  // 3 bytes each in UTF-8: 1.05 MB
    await page.keyboard.type("y\n");
    await page.waitForFunction(() => window.qz.transcript().endsWith("次机会(Y/N):"), {timeout: 60000});
    await page.close();
  }],
  ["the screen reader mode shows the title's lines", async (browser, url) => {
    const page = await openGame(browser, url, SEED);
    await page.click("#screen-reader");
    const snapshot = JSON.stringify(await page.accessibility.snapshot({interestingOnly: false}));
    assert.ok(snapshot.includes("QZ村战魔王") && snapshot.includes("1新游戏"), "title lines not in the tree");
    await page.close();
  }],
  ["a page opened as a file says why the game cannot start", async browser => {
    const page = await browser.newPage();
    await page.goto("file://" + require("node:path").resolve(process.argv[process.argv.indexOf("--site") + 1], "index.html"));
    await waitFor(page, "failed");
    assert.match(await page.$eval("#status", e => e.textContent), /cannot load/);
    await page.close();
  }],
];

module.exports = {CASES};
