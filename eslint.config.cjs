// eslint for the page and its tools: the recommended rules, with the globals each kind of file
// runs among. The packages come from the web build's npm folder, found through NODE_PATH
// (tools/static-checks.sh sets it).
"use strict";

const js = require("@eslint/js");
const globals = require("globals");

module.exports = [
  {ignores: ["build/**"]},
  js.configs.recommended,
  {files: ["web/**/*.js"], languageOptions: {sourceType: "module", globals: globals.browser}},
  {files: ["web/service_worker.js"], languageOptions: {sourceType: "script", globals: globals.serviceworker}},
  // The tests and the benchmark run in Node.js and hand functions to the page, which run there.
  {files: ["**/*.cjs"], languageOptions: {sourceType: "commonjs", globals: {...globals.node, ...globals.browser}}},
];
