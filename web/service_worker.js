// The game offline: this worker keeps every file of one build in a cache named after that build,
// and serves the site's files from it alone, so a page never mixes the files of two builds. The
// build writes BUILD below: each file with its SHA-256, and the cache's name made from them all.
// A new build is a new worker: it fetches its files, checks each against its hash and keeps them
// in a cache of its own; it takes over once no page of the old one is open, and then deletes the
// old cache. A file that does not match leaves the old build in place.

const BUILD = {cache: "qzvillage-unbuilt", files: {}};  // written by the build

// The types the browser insists on for the page's scripts and the game. Their bytes are checked
// against the build, so a server that names them otherwise (text/html, say) keeps them from
// running only until the worker has them, not for as long as it keeps the build.
const TYPES = {".js": "text/javascript", ".wasm": "application/wasm"};

const hex = buffer => Array.from(new Uint8Array(buffer), byte => byte.toString(16).padStart(2, "0")).join("");

async function keepBuild() {
  const cache = await caches.open(BUILD.cache);
  try {
    await Promise.all(Object.entries(BUILD.files).map(async ([name, sha256]) => {
      const response = await fetch(name, {cache: "no-cache"});
      const body = await response.arrayBuffer();
      if (!response.ok || hex(await crypto.subtle.digest("SHA-256", body)) !== sha256) {
        throw new Error(`${name} is not the file of this build`);
      }
      const type = TYPES[name.slice(name.lastIndexOf("."))] ?? response.headers.get("Content-Type");
      await cache.put(name, new Response(body, {headers: type ? {"Content-Type": type} : {}}));
    }));
  } catch (error) {
    await caches.delete(BUILD.cache);
    throw error;
  }
}

async function dropOtherBuilds() {
  for (const name of await caches.keys()) {
    if (name.startsWith("qzvillage-") && name !== BUILD.cache) {
      await caches.delete(name);
    }
  }
  await self.clients.claim();
}

// The file of this build a request asks for, by its path under the worker's scope; "" for none.
function fileAsked(request) {
  const url = new URL(request.url);
  const scope = new URL(self.registration.scope);
  if (request.method !== "GET" || url.origin !== scope.origin || !url.pathname.startsWith(scope.pathname)) {
    return "";
  }
  const name = url.pathname.slice(scope.pathname.length) || "index.html";
  return name in BUILD.files ? name : "";
}

self.addEventListener("install", event => event.waitUntil(keepBuild()));
self.addEventListener("activate", event => event.waitUntil(dropOtherBuilds()));
self.addEventListener("fetch", event => {
  const name = fileAsked(event.request);
  if (name) {
    event.respondWith(caches.open(BUILD.cache).then(cache => cache.match(name))
      .then(response => response ?? fetch(event.request)));
  }
});
