// The game's code as the page loads it: the glue (qzvillage.js) imported and the .wasm compiled
// once, for every game the page plays. A failure is not kept, so the next try loads afresh; it
// says what went wrong in words a player can act on, naming the real cause: no network, a file
// the site does not have, another answer from the server, a file served as the wrong type, one
// that is damaged or arrived damaged, or files of two builds: the build marks the glue and the
// .wasm with one name (web/stamp_build.cjs), and page.js and index.html with another, made from the
// page's files and the game's name, which page.js holds too (web/stamp_page.cmake).

// Why the game could not be loaded, in the page's words.
const PROBLEMS = {
  file: "无法加载游戏：本页是作为文件打开的，请通过网站服务器打开。 " +
    "The game cannot load: this page was opened as a file; open it from a web server instead.",
  "no-webassembly": "无法加载游戏：这个浏览器不支持 WebAssembly，请换用较新的浏览器。 " +
    "The game cannot load: this browser has no WebAssembly; try a recent browser.",
  offline: "无法加载游戏：连不上网站（没有网络？）。 " +
    "The game cannot load: the site cannot be reached (no network?).",
  "not-found": "无法加载游戏：网站上找不到 {file}（HTTP {status}）。 " +
    "The game cannot load: the site has no {file} (HTTP {status}).",
  status: "无法加载游戏：服务器对 {file} 的回答是 HTTP {status}。 " +
    "The game cannot load: the server answered {status} for {file}.",
  type: "无法加载游戏：服务器把 {file} 作为 {type} 发来，而不是游戏的代码。 " +
    "The game cannot load: the server sent {file} as {type}, not as the game's code.",
  damaged: "无法加载游戏：{file} 已损坏或与本页不配套（{detail}）。 " +
    "The game cannot load: {file} is damaged or from another build ({detail}).",
  garbled: "无法加载游戏：{file} 在下载中损坏了（{detail}）。 " +
    "The game cannot load: {file} arrived damaged ({detail}).",
  builds: "无法加载游戏：网站上的 qzvillage.js 与 qzvillage.wasm 不是同一个版本（网站也许正在更新，请稍后再试）。 " +
    "The game cannot load: the site's qzvillage.js and qzvillage.wasm are from different builds " +
    "(the site may be being updated; try again later).",
  page: "无法加载游戏：本页的文件（index.html、page.js、qzvillage.js）不是同一个版本（网站也许正在更新），请按“新游戏”重新加载。 " +
    "The game cannot load: the page's files (index.html, page.js, qzvillage.js) are from different builds " +
    "(the site may be being updated); New game loads the page again.",
};

// This page's build and its game's, written in by the build.
export const BUILD = {page: "unstamped-page", game: "unstamped-game"};

// The types each file may come as: a module only as JavaScript; the .wasm as anything but a page
// or other text, since a server that does not know the type may call it anything.
const TYPE_OK = {
  "qzvillage.js": type => /^(text|application)\/(x-)?(javascript|ecmascript)\b/.test(type),
  "qzvillage.wasm": type => !type.startsWith("text/"),
};

export class LoadProblem extends Error {
  constructor(kind, details = {}) {
    super(PROBLEMS[kind].replace(/\{(\w+)\}/g, (_, name) => details[name]));
    this.kind = kind;
  }
}

// The words for a failure to load or start the game.
export function explain(error) {
  if (error instanceof LoadProblem) {
    return error.message;
  }
  return new LoadProblem("damaged", {file: "qzvillage.wasm", detail: String(error)}).message;
}

let loading = null;
let glueTries = 0;

// [the module's factory, the compiled .wasm]; rejects with a LoadProblem.
export function loadGame() {
  loading ??= Promise.all([importGlue(), compileWasm()]).then(oneBuild).catch(error => {
    loading = null;
    throw error;
  });
  return loading;
}

// The glue and the .wasm, once they are seen to be of one build, and of the page's: files of
// another could run half-working.
function oneBuild([glue, wasm]) {
  const [mark] = WebAssembly.Module.customSections(wasm, "qzvillage-build");
  if (!mark || new TextDecoder().decode(mark) !== glue.build) {
    throw new LoadProblem("builds");
  }
  const page = document.querySelector('meta[name="qzvillage-build"]')?.content;
  if (glue.build !== BUILD.game || page !== BUILD.page) {
    throw new LoadProblem("page");
  }
  return [glue.default, wasm];
}

async function importGlue() {
  // The browser keeps a failed import for the page's life, so a try after the first asks for the
  // file under another address; the first is the one the page preloads.
  const address = glueTries++ === 0 ? "./qzvillage.js" : `./qzvillage.js?try=${glueTries}`;
  try {
    return await import(address);
  } catch (error) {
    // The import says nothing of why; asking for the file again does.
    await fetchChecked("qzvillage.js");
    throw new LoadProblem("damaged", {file: "qzvillage.js", detail: String(error)});
  }
}

// The LoadProblem of a file whose download failed: the network's, unless the site answers.
async function failedDownload(file) {
  try {
    await fetch(file, {method: "HEAD", cache: "no-store"});
  } catch {
    return new LoadProblem("offline");
  }
  return new LoadProblem("garbled", {file, detail: "cut short or wrongly encoded"});
}

// The response for a file of the game, or the LoadProblem that keeps it from being used.
async function fetchChecked(file) {
  let response;
  try {
    response = await fetch(file);
  } catch {
    throw await failedDownload(file);
  }
  if (!response.ok) {
    const kind = response.status === 404 || response.status === 410 ? "not-found" : "status";
    throw new LoadProblem(kind, {file, status: response.status});
  }
  const type = response.headers.get("Content-Type") ?? "";
  if (!TYPE_OK[file](type)) {
    throw new LoadProblem("type", {file, type: type.split(";")[0]});
  }
  return response;
}

async function compileWasm() {
  if (location.protocol === "file:") {
    throw new LoadProblem("file");
  }
  if (typeof WebAssembly !== "object") {
    throw new LoadProblem("no-webassembly");
  }
  const response = await fetchChecked("qzvillage.wasm");
  try {
    // Compiled while it downloads, where the server names the type that allows it.
    const streams = response.headers.get("Content-Type")?.startsWith("application/wasm");
    return await (streams ? WebAssembly.compileStreaming(response)
      : WebAssembly.compile(await response.arrayBuffer()));
  } catch (error) {
    // Not WebAssembly, or cut short (some browsers compile what came before they say so).
    throw error instanceof WebAssembly.CompileError
      ? new LoadProblem("garbled", {file: "qzvillage.wasm", detail: error.message})
      : await failedDownload("qzvillage.wasm");
  }
}
