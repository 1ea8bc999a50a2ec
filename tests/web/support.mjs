// Shared by the page's tests and benchmark: where things are, synthetic
// files (never a real cartridge), the native command line, the module
// under Node, and Debian's Chromium driven by playwright-core.

import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const pageDir = process.env.LABYRINTH_WEB_DIR || path.join(root, 'build/web');
export const cliPath = process.env.LABYRINTH_CLI || path.join(root, 'build/dev/cli/labyrinth-cli');
/// The window's icon renderer, from the same build as the command line unless named.
export const renderIconsPath = process.env.LABYRINTH_RENDER_ICONS
  || path.join(path.dirname(cliPath), '../ui/icon/labyrinth-render-icons');

/// Offsets the synthetic files need: the smallest image that takes a
/// labyrinth, the text block, the trainer flag of the header.
export const minImageSize = 88070;
export const textSize = 446;

/// A synthetic image: "NES" 0x1A, then a byte pattern so that any changed
/// byte shows; byte 6 without the trainer flag 0x04.
export function syntheticImage(size = minImageSize) {
  const bytes = new Uint8Array(size);
  for (let i = 0; i < size; ++i) bytes[i] = (i * 31 + 5) % 251;
  bytes.set([0x4e, 0x45, 0x53, 0x1a]);
  if (size > 6) bytes[6] &= ~0x04;
  return bytes;
}

/// A text file whose byte i is (i * 7 + 1) mod 256.
export function syntheticText(size = textSize) {
  const bytes = new Uint8Array(size);
  for (let i = 0; i < size; ++i) bytes[i] = (i * 7 + 1) % 256;
  return bytes;
}

/// A fresh folder, removed by the returned function.
export function tempDir() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'labyrinth-web-'));
  return { dir, remove: () => fs.rmSync(dir, { recursive: true, force: true }) };
}

/// Runs the native labyrinth-cli with `args` in `cwd`.
export function cli(args, cwd) {
  const run = spawnSync(cliPath, args, { cwd, encoding: 'buffer', stdio: ['ignore', 'pipe', 'pipe'] });
  return { exit: run.status, out: run.stdout, err: run.stderr.toString() };
}

/// The value of a "Name: value" line of the command line's report.
export function field(text, name) {
  const match = new RegExp(`^${name}: (.*)$`, 'm').exec(text);
  return match ? match[1] : undefined;
}

/// The seed code that a write reported on its seed line ("Seed: N  Code: w w w w").
export function codeOf(report) {
  const line = field(report, 'Seed');
  return line === undefined ? undefined : line.split('  Code: ')[1];
}

/// The module, loaded as the page loads it but handed its .wasm bytes
/// (Node's fetch does not read files).
export async function loadModule() {
  const { default: createLabyrinthModule } = await import(path.join(pageDir, 'labyrinth.js'));
  return createLabyrinthModule({ wasmBinary: fs.readFileSync(path.join(pageDir, 'labyrinth.wasm')) });
}

/// Flags that keep Chromium off the network and out of the user's profile.
export const chromiumFlags = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

/// Debian's Chromium under playwright-core, with a fresh profile; never a
/// downloaded browser. Resolves to { browser, close }.
export async function launchChromium() {
  const { chromium } = await import('playwright-core');
  const profile = tempDir();
  const context = await chromium.launchPersistentContext(profile.dir, {
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: chromiumFlags,
    acceptDownloads: true,
  });
  return {
    context,
    close: async () => {
      await context.close();
      profile.remove();
    },
  };
}

/// Debian's Chromium for pages that each start from nothing: every
/// `browser.newContext()` is a fresh profile, with no cache, no stored files
/// and no service worker. Resolves to the browser.
export async function launchBrowser() {
  const { chromium } = await import('playwright-core');
  return chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true,
    args: chromiumFlags });
}

/// The command line's write of `image` with `seed` into a copy, with its BPS
/// patch: the written bytes, the patch's bytes and the report.
export function nativeWrite(dir, imageName, seed, textName = 'tgltext.tgl') {
  const out = `native-${seed}.nes`;
  const patch = `native-${seed}.bps`;
  for (const file of [out, patch]) fs.rmSync(path.join(dir, file), { force: true });
  const run = cli(['write', imageName, '--text', textName, '--seed', String(seed), '-o', out, '--patch', patch], dir);
  if (run.exit !== 0) throw new Error(`labyrinth-cli write failed: ${run.err}`);
  return {
    bytes: new Uint8Array(fs.readFileSync(path.join(dir, out))),
    patch: new Uint8Array(fs.readFileSync(path.join(dir, patch))),
    report: run.out.toString(),
    path: out,
  };
}

export function requireBuilt() {
  for (const file of [path.join(pageDir, 'labyrinth.js'), path.join(pageDir, 'index.html'), cliPath])
    if (!fs.existsSync(file)) throw new Error(`${file} is missing: build it first (make web, and the dev preset)`);
  execFileSync(cliPath, ['--version']);
}
