// WebKit for the browser tests: a small WebDriver (classic) client for WebKitGTK's WebKitWebDriver
// and MiniBrowser, shaped like the part of puppeteer's Browser, BrowserContext and Page that the
// tests use, so that one test body drives all three engines. A context is a session (storage of
// its own), a page one of its windows. What WebDriver classic has no command for (touch, request
// interception, the accessibility tree, a debugging protocol) is not offered. Every command is
// bounded in time: one that takes longer throws an error marked `stalled`, after which the driver
// is not to be trusted and the caller closes it and starts another.
"use strict";

const {spawn} = require("node:child_process");
const net = require("node:net");

const COMMAND_LIMIT_MS = 60000;
const ELEMENT = "element-6066-11e4-a52f-4a6f-9b1e-4ac1c8b2a8b3";  // WebDriver's key for an element reference
// puppeteer's key names as WebDriver's characters; KeyX and DigitN are their character.
const KEYS = {Enter: "\uE007", Backspace: "\uE003", ArrowUp: "\uE013", ArrowDown: "\uE015", Shift: "\uE008",
  Control: "\uE009", Escape: "\uE00C", Tab: "\uE004", Space: " "};
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
function makePage(context, handle, preloads) {
  const id = `webkit-${context.pages.push(handle)}-${Date.now()}`;
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
  const page = {
    browserContext: () => context,
    evaluate,
    evaluateOnNewDocument: async (fn, ...args) => {
      scripts.push(`(${fn}).apply(null, ${JSON.stringify(args)});`);
    },
    goto: url => {
      const address = new URL(url);
      if (address.protocol.startsWith("http")) address.searchParams.set("preload", id);
      return run("POST", "/url", {url: address.href});
    },
    reload: () => run("POST", "/refresh", {}),
    content: () => run("GET", "/source"),
    $eval: (selector, fn, ...args) => evaluate(`(selector, ...rest) => {
      const element = document.querySelector(selector);
      if (!element) throw new Error("no element matches " + selector);
      return (${fn})(element, ...rest);
    }`, selector, ...args),
    waitForFunction: async (fn, options = {}, ...args) => {
      const limit = Date.now() + (options.timeout ?? 30000);
      while (!(await evaluate(fn, ...args))) {
        if (Date.now() > limit) throw new Error(`Waiting failed: ${options.timeout ?? 30000}ms exceeded`);
        await pause(options.polling ?? 20);
      }
    },
    waitForSelector: selector => page.waitForFunction(s => document.querySelector(s) !== null, {}, selector),
    focus: selector => evaluate(s => document.querySelector(s).focus(), selector),
    click: async selector => {
      const element = await run("POST", "/element", {using: "css selector", value: selector});
      await run("POST", `/element/${element[ELEMENT]}/click`, {});
    },
    // The window's outer size is set so that the page's own comes out at the size asked for.
    setViewport: async ({width, height}) => {
      await run("POST", "/window/rect", {width, height});
      const [innerWidth, innerHeight] = await evaluate(() => [window.innerWidth, window.innerHeight]);
      await run("POST", "/window/rect", {width: 2 * width - innerWidth, height: 2 * height - innerHeight});
    },
    close: async () => {
      await run("DELETE", "/window");
      context.current = null;
      preloads.delete(id);
    },
  };
  page.keyboard = makeKeyboard(run, evaluate);
  return page;
}

async function newContext(base, miniBrowser, preloads) {
  const capabilities = {alwaysMatch: {"webkitgtk:browserOptions": {binary: miniBrowser, args: ["--automation"]}}};
  const {sessionId} = await command(base, "POST", "/session", {capabilities});
  const session = (method, route, body) => command(base, method, `/session/${sessionId}${route}`, body);
  await session("POST", "/timeouts", {script: COMMAND_LIMIT_MS - 5000});
  const context = {session, current: await session("GET", "/window"), pages: []};
  let unused = context.current;  // the session's first window is its first page
  context.newPage = async () => {
    const handle = unused ?? (await session("POST", "/window/new", {type: "tab"})).handle;
    unused = null;
    return makePage(context, handle, preloads);
  };
  context.close = () => session("DELETE", "");
  return context;
}

// Starts WebKitWebDriver (under xvfb-run when there is no display) for MiniBrowser; resolves to a
// browser once the driver answers. close() ends the driver and every process it started.
async function startWebKit(driver, miniBrowser, preloads) {
  const port = await freePort();
  const argv = [driver, `--port=${port}`];
  const child = spawn(process.env.DISPLAY ? argv[0] : "xvfb-run", process.env.DISPLAY ? argv.slice(1) : ["-a", ...argv],
    {detached: true, stdio: ["ignore", "ignore", "inherit"]});
  const ended = new Promise(resolve => child.on("exit", resolve).on("error", resolve));
  const base = `http://127.0.0.1:${port}`;
  for (let waited = 0; !(await command(base, "GET", "/status").then(status => status.ready, () => false)); waited += 100) {
    if (child.exitCode !== null || child.signalCode !== null || waited > 30000) throw new Error(`${driver} did not start`);
    await pause(100);
  }
  const defaultContext = await newContext(base, miniBrowser, preloads);
  return {
    defaultBrowserContext: () => defaultContext,
    createBrowserContext: () => newContext(base, miniBrowser, preloads),
    async close() {
      try {
        process.kill(-child.pid, "SIGTERM");
      } catch {
        // already gone
      }
      await Promise.race([ended, pause(10000)]);
    },
  };
}

module.exports = {startWebKit};
