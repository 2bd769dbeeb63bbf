// The game's code as the page loads it: the glue (qzvillage.js) imported and the .wasm compiled
// once, for every game the page plays. A failure is not kept, so the next try loads afresh; it
// says what went wrong in words a player can act on.

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
  glue: "无法加载游戏：取不到 qzvillage.js（网站上没有，或者没有网络）。 " +
    "The game cannot load: qzvillage.js could not be fetched (not on the site, or no network).",
  damaged: "无法加载游戏：qzvillage.wasm 已损坏或与本页不配套（{detail}）。 " +
    "The game cannot load: qzvillage.wasm is damaged or from another build ({detail}).",
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
  return new LoadProblem("damaged", {detail: String(error)}).message;
}

let loading = null;

// [the module's factory, the compiled .wasm]; rejects with a LoadProblem.
export function loadGame() {
  loading ??= Promise.all([importGlue(), compileWasm()]).catch(error => {
    loading = null;
    throw error;
  });
  return loading;
}

async function importGlue() {
  try {
    return (await import("./qzvillage.js")).default;
  } catch {
    throw new LoadProblem("glue");
  }
}

async function compileWasm() {
  if (location.protocol === "file:") {
    throw new LoadProblem("file");
  }
  if (typeof WebAssembly !== "object") {
    throw new LoadProblem("no-webassembly");
  }
  let response;
  try {
    response = await fetch("qzvillage.wasm");
  } catch {
    throw new LoadProblem("offline");
  }
  if (!response.ok) {
    throw new LoadProblem("not-found", {file: "qzvillage.wasm", status: response.status});
  }
  try {
    // Compiled while it downloads, where the server names the type that allows it.
    const streams = response.headers.get("Content-Type")?.startsWith("application/wasm");
    return await (streams ? WebAssembly.compileStreaming(response)
      : WebAssembly.compile(await response.arrayBuffer()));
  } catch (error) {
    throw error instanceof WebAssembly.CompileError ? new LoadProblem("damaged", {detail: error.message})
      : new LoadProblem("offline");
  }
}
