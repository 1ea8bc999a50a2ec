#!/usr/bin/env node
// Takes the README's picture of the page: headless Chromium, a write with
// seed 2024 on a synthetic image (never a real cartridge), the page as it
// looks after "Done." with the map shown (it is hidden until asked).
//   node scripts/web-screenshot.mjs [OUT.png] [WIDTHxHEIGHT] [light|dark]

import fs from 'node:fs';
import path from 'node:path';

import { servePage } from './serve-web.mjs';
import { launchChromium, pageDir, syntheticImage, syntheticText, tempDir } from '../tests/web/support.mjs';

const out = process.argv[2] || 'docs/web-page.png';
const [width, height] = (process.argv[3] || '1100x1700').split('x').map(Number);
const colorScheme = process.argv[4] || 'light';

const work = tempDir();
const served = await servePage(pageDir);
const chromium = await launchChromium();
try {
  fs.writeFileSync(path.join(work.dir, 'game.nes'), syntheticImage());
  fs.writeFileSync(path.join(work.dir, 'tgltext.tgl'), syntheticText());
  const page = await chromium.context.newPage();
  await page.setViewportSize({ width, height });
  await page.emulateMedia({ colorScheme });
  await page.goto(served.url);
  await page.waitForSelector('html[data-ready="true"]');
  await page.setInputFiles('#rom', path.join(work.dir, 'game.nes'));
  await page.setInputFiles('#text', path.join(work.dir, 'tgltext.tgl'));
  await page.fill('#seed', '2024');
  await page.click('#write');
  await page.waitForFunction(() => document.getElementById('status').textContent === 'Done.');
  await page.click('#spoiler-toggle');
  await page.waitForSelector('#map svg');
  await page.mouse.move(0, 0);  // the button as it rests, not as hovered
  await page.screenshot({ path: out, fullPage: true });
  console.log(`Wrote ${out}`);
} finally {
  await chromium.close();
  served.server.close();
  work.remove();
}
