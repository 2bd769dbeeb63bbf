// The linker launcher of the game for the page: runs the link given after "--", then marks the
// glue and the .wasm it made as one build, so that the page can tell a pair of two builds
// (game_file.js). A name made from both files goes into the .wasm as a custom section,
// "qzvillage-build", and into the glue as its export `build`; the same files give the same name.
//   node stamp_build.cjs qzvillage.js qzvillage.wasm -- em++ ...
"use strict";

const {spawnSync} = require("node:child_process");
const crypto = require("node:crypto");
const fs = require("node:fs");

const [glueFile, wasmFile, separator, ...link] = process.argv.slice(2);
if (separator !== "--") throw new Error("usage: stamp_build.cjs GLUE WASM -- LINK...");
const linked = spawnSync(link[0], link.slice(1), {stdio: "inherit"});
if (linked.status !== 0) process.exit(linked.status ?? 1);

const wasm = fs.readFileSync(wasmFile);
const build = crypto.createHash("sha256").update(fs.readFileSync(glueFile)).update(wasm).digest("hex").slice(0, 16);
// A custom section: id 0, its size, then its name's size, its name and the contents (all under
// 128 bytes, so that each size is one byte of LEB128).
const name = Buffer.from("qzvillage-build");
const contents = Buffer.concat([Buffer.from([name.length]), name, Buffer.from(build)]);
fs.writeFileSync(wasmFile, Buffer.concat([wasm, Buffer.from([0, contents.length]), contents]));
fs.appendFileSync(glueFile, `\nexport const build = "${build}";\n`);
