// WebKit for the browser tests: a small WebDriver (classic) client for WebKitGTK's WebKitWebDriver
// and MiniBrowser, shaped like the part of puppeteer's Browser, BrowserContext and Page that the
// tests use, so that one test body drives all three engines. A context is a driver and its session
// (storage of its own), as WebKitWebDriver holds one session at a time; a page is one of its windows. What WebDriver classic has no command for (touch, request
// interception, the accessibility tree, a debugging protocol) is not offered. Every command is
// bounded in time: one that takes longer throws an error marked `stalled`, after which the driver
// is not to be trusted and the caller closes it and starts another.
"use strict";

const {spawn} = require("node:child_process");
const net = require("node:net");

const COMMAND_LIMIT_MS = 60000;
// puppeteer's key names as WebDriver's characters; KeyX and DigitN are their character.
const KEYS = {Enter: "\uE007", Backspace: "\uE003", ArrowUp: "\uE013", ArrowDown: "\uE015", ArrowLeft: "\uE012",
  Home: "\uE011", End: "\uE010", F1: "\uE031", Shift: "\uE008", Control: "\uE009", Escape: "\uE00C", Tab: "\uE004",
  Space: " "};
const keyValue = key => KEYS[key] ?? key.replace(/^Key([A-Z])$/, (_, letter) => letter.toLowerCase()).replace(/^Digit/, "");
const pause = ms => new Promise(resolve => setTimeout(resolve, ms));

const freePort = () => new Promise((resolve, reject) => {
  const probe = net.createServer().on("error", reject).listen(0, "127.0.0.1", () => {
    const {port} = probe.address();
    probe.close(() => resolve(port));
  });
});

// One command to the driver, bounded in time; resolves to its value, rejects with its error.
async function command(base, method, route, body) {
  try {
    const response = await fetch(base + route, {method, headers: {"Content-Type": "application/json"},
      body: body === undefined ? undefined : JSON.stringify(body), signal: AbortSignal.timeout(COMMAND_LIMIT_MS)});
    const {value} = await response.json();
    if (!response.ok) throw new Error(`WebKitWebDriver: ${value.error}: ${value.message}`);
    return value;
  } catch (error) {
    if (error.name !== "TimeoutError") throw error;
    throw Object.assign(new Error(`WebKitWebDriver: ${method} ${route} took over ${COMMAND_LIMIT_MS} ms`), {stalled: true});
  }
}

// The page's script for `fn` (a function or its source) applied to the arguments, its promise
// settled into {value} or {error}.
const asyncScript = fn => `const done = arguments[arguments.length - 1];
Promise.resolve().then(() => (${fn}).apply(null, Array.from(arguments).slice(0, -1)))
  .then(value => done({value}), error => done({error: String(error && error.message || error)}));`;

function makeKeyboard(run, evaluate) {
  const keys = actions => run("POST", "/actions", {actions: [{type: "key", id: "keyboard", actions}]});
  const stroke = key => [{type: "keyDown", value: keyValue(key)}, {type: "keyUp", value: keyValue(key)}];
  return {
    down: key => keys([{type: "keyDown", value: keyValue(key)}]),
    up: key => keys([{type: "keyUp", value: keyValue(key)}]),
    press: key => keys(stroke(key)),
    type: text => keys([...text].flatMap(character => stroke(character === "\n" ? "Enter" : character))),
    // As puppeteer does it in Firefox: text inserted into the focused field, with no key event.
    sendCharacter: character => evaluate(text => document.execCommand("insertText", false, text), character),
  };
}

// A page: one window of the context's session. `preloads` maps a page's id to the scripts the
// site's server runs before the page's own (see serve() in browser.cjs).
let pagesMade = 0;
function makePage(context, handle, preloads) {
  const id = `webkit-${++pagesMade}`;
  const scripts = [];
  preloads.set(id, scripts);
  const run = async (method, route, body) => {
    if (context.current !== handle) await context.session("POST", "/window", {handle});
    context.current = handle;
    return context.session(method, route, body);
  };
  const evaluate = async (fn, ...args) => {
    const {value, error} = await run("POST", "/execute/async", {script: asyncScript(fn), args});
    if (error !== undefined) throw new Error(error);
    return value;
  };
  // Sets the window's outer size and resolves, once the page has taken it, to what the window has
  // beyond the page. The driver answers before the page knows: a new size reaches the page later,
  // with a resize event, and until then the page's own size is the old one. A page in a tab behind
  // another takes no new size until it is shown.
  const resize = async size => {
    const [outerBefore, hidden] = await evaluate(() => {
      window.resized = false;
      addEventListener("resize", () => { window.resized = true; }, {once: true});
      return [[outerWidth, outerHeight], document.hidden];
    });
    const {width, height} = await run("POST", "/window/rect", size);
    if (!hidden && (outerBefore[0] !== width || outerBefore[1] !== height)) {
      await page.waitForFunction(() => window.resized);
    }
    return evaluate(() => [outerWidth - innerWidth, outerHeight - innerHeight]);
  };
  const page = {
    browserContext: () => context,
    evaluate,
    evaluateOnNewDocument: async (fn, ...args) => {
      scripts.push(`(${fn}).apply(null, ${JSON.stringify(args)});`);
    },
    // Resolves to what the page's own fetch of its address gets: WebDriver says nothing of the response.
    goto: async url => {
      const address = new URL(url);
      if (address.protocol.startsWith("http")) address.searchParams.set("preload", id);
      await run("POST", "/url", {url: address.href});
      return {text: () => evaluate(() => fetch(location.href).then(response => response.text()))};
    },
    reload: () => run("POST", "/refresh", {}),
    content: () => run("GET", "/source"),
    $eval: (selector, fn, ...args) => evaluate(`(selector, ...rest) => {
      const element = document.querySelector(selector);
      if (!element) throw new Error("no element matches " + selector);
      return (${fn})(element, ...rest);
    }`, selector, ...args),
    $$eval: (selector, fn, ...args) => evaluate(`(selector, ...rest) =>
      (${fn})([...document.querySelectorAll(selector)], ...rest)`, selector, ...args),
    waitForFunction: async (fn, options = {}, ...args) => {
      const limit = Date.now() + (options.timeout ?? 30000);
      while (!(await evaluate(fn, ...args))) {
        if (Date.now() > limit) throw new Error(`Waiting failed: ${options.timeout ?? 30000}ms exceeded`);
        await pause(options.polling ?? 20);
      }
    },
    bringToFront: () => run("GET", "/window"),  // the next commands go to this window
    waitForSelector: selector => page.waitForFunction(s => document.querySelector(s) !== null, {}, selector),
    focus: selector => evaluate(s => document.querySelector(s).focus(), selector),
    click: async selector => {
      const element = await run("POST", "/element", {using: "css selector", value: selector});
      await run("POST", `/element/${Object.values(element)[0]}/click`, {});
    },
    // A touch at the element's middle (which WebKitGTK delivers as a mouse's press).
    tap: async selector => {
      const origin = await run("POST", "/element", {using: "css selector", value: selector});
      await run("POST", "/actions", {actions: [{type: "pointer", id: "finger", parameters: {pointerType: "touch"},
        actions: [{type: "pointerMove", origin, x: 0, y: 0}, {type: "pointerDown", button: 0}, {type: "pointerUp", button: 0}]}]});
    },
    // The window's outer size is set so that the page's own comes out at the size asked for: what
    // the window has beyond the page (its toolbar) is read once the page has taken the first size.
    setViewport: async ({width, height}) => {
      const [frameWidth, frameHeight] = await resize({width, height});
      await resize({width: width + frameWidth, height: height + frameHeight});
    },
    // The session goes on in another of its windows, as a new window is opened from the current one.
    close: async () => {
      const [next] = await run("DELETE", "/window");
      if (next) await context.session("POST", "/window", {handle: next});
      context.current = next;
      preloads.delete(id);
    },
  };
  page.keyboard = makeKeyboard(run, evaluate);
  return page;
}

// The process groups started and not yet stopped: they are stopped when this process ends, also
// by a signal, since they are groups of their own that no signal to this one reaches.
const groups = new Set();
const stopGroup = pid => {
  groups.delete(pid);
  try {
    process.kill(-pid, "SIGTERM");
  } catch {
    // already gone
  }
};
process.on("exit", () => groups.forEach(stopGroup));
for (const signal of ["SIGINT", "SIGTERM", "SIGHUP"]) {
  process.once(signal, () => {
    groups.forEach(stopGroup);
    process.kill(process.pid, signal);  // this handler is gone: the signal's own action follows
  });
}

// Starts a program in a process group of its own, so that stopping it stops whatever it started.
// Its output is read only when `piped` (and then all of it, so that it never waits on a full pipe).
function startGroup(argv, environment, piped = false) {
  const child = spawn(argv[0], argv.slice(1),
    {detached: true, env: environment, stdio: piped ? ["pipe", "pipe", "inherit"] : ["ignore", "ignore", "inherit"]});
  child.ended = new Promise(resolve => child.on("exit", resolve).on("error", resolve));
  if (child.pid !== undefined) groups.add(child.pid);
  child.stop = async () => {
    if (child.pid !== undefined) stopGroup(child.pid);
    await Promise.race([child.ended, pause(10000)]);
  };
  return child;
}

// A display for MiniBrowser: this one, or else a virtual one that lives until its input closes.
async function startDisplay() {
  if (process.env.DISPLAY) return {environment: process.env, stop: async () => {}};
  const display = startGroup(["xvfb-run", "-a", "sh", "-c", 'echo "$DISPLAY $XAUTHORITY"; exec cat'], process.env, true);
  const line = await Promise.race([new Promise(resolve => display.stdout.once("data", resolve)), display.ended.then(() => "")]);
  display.stdout.resume();
  const [name, authority] = String(line).trim().split(" ");
  if (!authority) throw new Error("xvfb-run started no display");
  return {environment: {...process.env, DISPLAY: name, XAUTHORITY: authority}, stop: display.stop};
}

// A context is a driver of its own, as WebKitWebDriver holds one session at a time.
async function newContext(programs, environment, preloads) {
  const port = await freePort();
  const driver = startGroup([programs.driver, `--port=${port}`], environment);
  const base = `http://127.0.0.1:${port}`;
  try {
    for (let waited = 0; !(await command(base, "GET", "/status").then(status => status.ready, () => false)); waited += 100) {
      if (driver.exitCode !== null || driver.signalCode !== null || waited > 30000) {
        throw new Error(`${programs.driver} did not start`);
      }
      await pause(100);
    }
    const capabilities = {alwaysMatch: {"webkitgtk:browserOptions": {binary: programs.miniBrowser, args: ["--automation"]}}};
    const {sessionId} = await command(base, "POST", "/session", {capabilities});
    const session = (method, route, body) => command(base, method, `/session/${sessionId}${route}`, body);
    await session("POST", "/timeouts", {script: COMMAND_LIMIT_MS - 5000});
    const context = {session, current: await session("GET", "/window"), close: driver.stop};
    let unused = context.current;  // the session's first window is its first page
    context.newPage = async () => {
      const handle = unused ?? (await session("POST", "/window/new", {type: "tab"})).handle;
      unused = null;
      return makePage(context, handle, preloads);
    };
    return context;
  } catch (error) {
    await driver.stop();
    throw error;
  }
}

// WebKit: a browser whose contexts are WebKitWebDriver sessions driving MiniBrowser, on this
// display or a virtual one. close() ends every process it started.
async function startWebKit(driver, miniBrowser, preloads) {
  const display = await startDisplay();
  const programs = {driver, miniBrowser};
  const contexts = [];
  const createBrowserContext = async () => {
    const context = await newContext(programs, display.environment, preloads);
    contexts.push(context);
    return context;
  };
  try {
    const defaultContext = await createBrowserContext();
    return {
      defaultBrowserContext: () => defaultContext,
      createBrowserContext,
      async close() {
        await Promise.all(contexts.map(context => context.close()));
        await display.stop();
      },
    };
  } catch (error) {
    await display.stop();
    throw error;
  }
}

module.exports = {startWebKit};
