// Applies a BPS patch with the independent `bps` package from npm, through
// its library (its command line exits 0 even when a check fails).
//   node apply-bps.mjs PATCH SOURCE OUTPUT
// Exit 0: OUTPUT holds the patched source. Exit 1: the patch was refused
// (bad header, or a CRC32 of the patch, source or target did not match); the
// applier's reason goes to standard error. Exit 2: bad usage. Exit 3: the
// package is missing.
import { readFileSync, writeFileSync } from 'node:fs';

let bps;
try {
  bps = await import('bps');
} catch (error) {
  console.error(`the npm package bps is missing (run npm ci at the top of the tree): ${error.message}`);
  process.exit(3);
}

const [patchPath, sourcePath, outputPath] = process.argv.slice(2);
if (!outputPath) {
  console.error('usage: node apply-bps.mjs PATCH SOURCE OUTPUT');
  process.exit(2);
}
// Copies into buffers of their own: the library reads the whole underlying
// ArrayBuffer, which for a pooled Buffer holds other bytes too.
const patch = new Uint8Array(readFileSync(patchPath));
const source = new Uint8Array(readFileSync(sourcePath));
let target;
try {
  const { instructions } = bps.parse(patch);   // checks the patch's own CRC32
  target = bps.apply(instructions, source);   // checks the source's and the target's
} catch (error) {
  console.error(`refused: ${error.message}`);
  process.exit(1);
}
writeFileSync(outputPath, target);
