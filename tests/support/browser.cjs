// What the browser tests and the browser benchmark share: the site served as a web host would
// serve it, and the three engines (Chromium, Firefox, WebKit) found on this machine and started
// with nothing that reaches for the network.
"use strict";

const fs = require("node:fs");
const http = require("node:http");
const path = require("node:path");
const {parseArgs} = require("node:util");
const zlib = require("node:zlib");

// Scripts to run before a page's own, for a driver that cannot add them itself (WebDriver
// classic): an HTML file asked for with `?preload=ID` is served with PRELOADS.get(ID) run first.
const PRELOADS = new Map();

function withPreload(data, asked) {
  const scripts = PRELOADS.get(new URL(asked, "http://host").searchParams.get("preload"));
  if (!scripts) return data;
  const tags = scripts.map(source => `<script>${source}</script>`).join("");
  return Buffer.from(data.toString("utf8").replace("<head>", "<head>" + tags));
}

const TYPES = {
  ".html": "text/html; charset=utf-8", ".js": "text/javascript; charset=utf-8", ".css": "text/css; charset=utf-8",
  ".wasm": "application/wasm", ".webmanifest": "application/manifest+json", ".json": "application/json",
  ".svg": "image/svg+xml", ".png": "image/png", ".ico": "image/x-icon", ".txt": "text/plain; charset=utf-8",
};

// Serves `folder` on 127.0.0.1 at a free port: every file gzipped (-9) when the browser accepts
// it, and told to check back before using a copy it keeps. Nothing outside the folder is served.
// `answers` maps a file's name to another answer, looked up at each request: {status} answers that
// status with no file, {type} sends the file as that type, {drop: true} closes the connection
// unanswered, as a failing network would, {edit} sends what the function edit(bytes) makes of the
// file, {cut: true} closes the connection halfway through the file, and {falseGzip: true} says the
// file is gzipped when it is not. Resolves to the listening server; `server.url` is its address,
// ending in "/".
function serve(folder, answers = {}) {
  const root = path.resolve(folder);
  const server = http.createServer((request, response) => {
    const asked = decodeURIComponent(new URL(request.url, "http://host").pathname);
    let file = path.join(root, path.normalize(asked));
    if (file.endsWith(path.sep)) file = path.join(file, "index.html");
    const answer = answers[path.basename(file)] ?? {};
    if (answer.drop) {
      request.socket.destroy();
      return;
    }
    fs.readFile(file, (error, data) => {
      if (error || !file.startsWith(root + path.sep) || answer.status) {
        response.writeHead(answer.status ?? 404, {"Content-Type": "text/plain"});
        response.end("not served");
        return;
      }
      if (file.endsWith(".html")) data = withPreload(data, request.url);
      if (answer.edit) data = answer.edit(data);
      const headers = {"Content-Type": answer.type ?? TYPES[path.extname(file)] ?? "application/octet-stream",
        "Cache-Control": "no-cache", "Vary": "Accept-Encoding"};
      if (answer.falseGzip || /\bgzip\b/.test(request.headers["accept-encoding"] ?? "")) {
        data = answer.falseGzip ? data : zlib.gzipSync(data, {level: 9});
        headers["Content-Encoding"] = "gzip";
      }
      if (answer.cut && request.method === "GET") {
        response.writeHead(200, {...headers, "Content-Length": data.length});
        response.write(data.subarray(0, data.length >> 1), () => request.socket.destroy());
        return;
      }
      response.writeHead(200, headers);
      response.end(data);
    });
  });
  return new Promise(resolve => server.listen(0, "127.0.0.1", () => {
    server.url = `http://127.0.0.1:${server.address().port}/`;
    resolve(server);
  }));
}

const CHROMIUM_ARGS = ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
  "--disable-background-networking", "--disable-component-update", "--disable-sync"];

// Chromium, headless, through the given puppeteer-core; `extra` adds launch options.
// Puppeteer gives it a fresh profile and removes it when the browser closes.
function launch(puppeteer, chromium, extra = {}) {
  return puppeteer.launch({executablePath: chromium, headless: true, ...extra,
    args: [...CHROMIUM_ARGS, ...(extra.args ?? [])]});
}

const isProgram = file => fs.statSync(file, {throwIfNoEntry: false})?.isFile() ?? false;
const listing = folder => (fs.statSync(folder, {throwIfNoEntry: false})?.isDirectory() ? fs.readdirSync(folder) : []);

// The first of `names` found on PATH.
function onPath(...names) {
  const folders = (process.env.PATH ?? "").split(path.delimiter).filter(Boolean);
  return folders.flatMap(folder => names.map(name => path.join(folder, name))).find(isProgram);
}

// WebKitGTK's MiniBrowser is no command: it lives in the library's own folder,
// <lib>/[<arch>/]webkit2gtk-4.x/ or webkitgtk-6.0/.
function findMiniBrowser() {
  for (const lib of ["/usr/lib", "/usr/lib64", "/usr/local/lib", "/usr/libexec"]) {
    for (const folder of [lib, ...listing(lib).map(name => path.join(lib, name))]) {
      const kits = listing(folder).filter(name => /^webkit2?gtk-[0-9.]+$/.test(name)).sort().reverse();
      const found = kits.map(kit => path.join(folder, kit, "MiniBrowser")).find(isProgram);
      if (found) return found;
    }
  }
  return undefined;
}

// The engines the browser tests run in, and where each one's programs are found unless an
// option names them.
const ENGINES = ["chromium", "firefox", "webkit"];
const findPrograms = () => ({
  chromium: onPath("chromium", "chromium-browser", "google-chrome"),
  firefox: onPath("firefox-esr", "firefox"),
  "webkit-driver": onPath("WebKitWebDriver"),
  minibrowser: findMiniBrowser(),
});

// Starts `engine` headless (WebKit under xvfb-run when there is no display): Chromium and Firefox
// through puppeteer-core (Firefox over WebDriver BiDi), WebKit through webdriver.cjs.
// `programs.profile` names a folder for Chromium's or Firefox's profile, kept after it closes;
// `programs.hostName` a name the browser's own resolver maps to 127.0.0.1 (Chromium and Firefox), for
// a site served over plain http from elsewhere than localhost, which is no secure context.
function startEngine(engine, puppeteer, programs) {
  const needed = {chromium: ["chromium"], firefox: ["firefox"], webkit: ["webkit-driver", "minibrowser"]}[engine];
  for (const program of needed.filter(name => !programs[name])) {
    throw new Error(`no ${program} was found: install it, or name it with --${program} PATH`);
  }
  const profile = programs.profile ? {userDataDir: programs.profile} : {};
  const name = programs.hostName;
  if (engine === "chromium") {
    return launch(puppeteer, programs.chromium, {...profile, args: name ? [`--host-resolver-rules=MAP ${name} 127.0.0.1`] : []});
  }
  if (engine === "firefox") {
    return puppeteer.launch({browser: "firefox", executablePath: programs.firefox, headless: true, ...profile,
      extraPrefsFirefox: {"network.captive-portal-service.enabled": false, "network.connectivity-service.enabled": false,
        ...(name ? {"network.dns.localDomains": name} : {})}});
  }
  return require("./webdriver.cjs").startWebKit(programs["webkit-driver"], programs.minibrowser, PRELOADS);
}

// The command line's options, each --NAME VALUE, over `defaults`: an option not among `names` (a
// mistyped one) or a value without an option stops the program.
function readOptions(names, defaults = {}) {
  const options = Object.fromEntries(names.map(name => [name, {type: "string"}]));
  return {...defaults, ...parseArgs({options, strict: true}).values};
}

module.exports = {serve, launch, ENGINES, findPrograms, startEngine, readOptions};
