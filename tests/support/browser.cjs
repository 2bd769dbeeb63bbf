// What the browser tests and the browser benchmark share: the site served as a web host would
// serve it, and Debian's Chromium started with nothing that reaches for the network.
"use strict";

const fs = require("node:fs");
const http = require("node:http");
const path = require("node:path");
const zlib = require("node:zlib");

const TYPES = {
  ".html": "text/html; charset=utf-8", ".js": "text/javascript; charset=utf-8", ".css": "text/css; charset=utf-8",
  ".wasm": "application/wasm", ".webmanifest": "application/manifest+json", ".json": "application/json",
  ".svg": "image/svg+xml", ".png": "image/png", ".ico": "image/x-icon", ".txt": "text/plain; charset=utf-8",
};

// Serves `folder` on 127.0.0.1 at a free port: every file gzipped (-9) when the browser accepts
// it, and told to check back before using a copy it keeps. Nothing outside the folder is served.
// `answers` maps a file's name to another answer, looked up at each request: {status} answers that
// status with no file, {type} sends the file as that type, {drop: true} closes the connection
// unanswered, as a failing network would. Resolves to the listening server; `server.url` is its
// address, ending in "/".
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
      const headers = {"Content-Type": answer.type ?? TYPES[path.extname(file)] ?? "application/octet-stream",
        "Cache-Control": "no-cache", "Vary": "Accept-Encoding"};
      if (/\bgzip\b/.test(request.headers["accept-encoding"] ?? "")) {
        data = zlib.gzipSync(data, {level: 9});
        headers["Content-Encoding"] = "gzip";
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

// Debian's Chromium, headless, through the given puppeteer-core; `extra` adds launch options.
// Puppeteer gives it a fresh profile and removes it when the browser closes.
function launch(puppeteer, chromium, extra = {}) {
  return puppeteer.launch({executablePath: chromium, headless: true, ...extra,
    args: [...CHROMIUM_ARGS, ...(extra.args ?? [])]});
}

module.exports = {serve, launch};
