// The page in a real browser (Debian's Chromium, driven by playwright-core)
// against the built files served on a free local port: a write with a seed
// whose download the native verifier accepts and equals the native write,
// the permalink, a wrong file, a file too large, remembered files, and
// "Look at an image".
//   node --test tests/web/page.test.mjs   (after make web and the dev build)

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { servePage } from '../../scripts/serve-web.mjs';
import { cli, field, launchChromium, nativeWrite, pageDir, requireBuilt, syntheticImage, syntheticText, tempDir }
  from './support.mjs';

let served;
let chromium;
let work;
const file = (name) => path.join(work.dir, name);

before(async () => {
  requireBuilt();
  work = tempDir();
  fs.writeFileSync(file('game.nes'), syntheticImage());
  fs.writeFileSync(file('tgltext.tgl'), syntheticText());
  const notNes = syntheticImage();
  notNes.set([0x50, 0x4b, 0x03, 0x04]);
  fs.writeFileSync(file('archive.nes'), notNes);
  served = await servePage(pageDir);
  chromium = await launchChromium();
});
after(async () => {
  await chromium?.close();
  served?.server.close();
  work?.remove();
});

// A fresh page, ready to write; any request that leaves this machine fails the test.
async function openPage(hash = '') {
  const page = await chromium.context.newPage();
  const strays = [];
  page.on('request', (request) => {
    const url = new URL(request.url());
    if (!['blob:', 'data:'].includes(url.protocol) && url.origin !== new URL(served.url).origin) strays.push(url.href);
  });
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  await page.goto(served.url + hash);
  await page.waitForSelector('html[data-ready="true"]');
  return { page, strays, errors };
}

async function chooseFiles(page, image = 'game.nes', text = 'tgltext.tgl') {
  await page.setInputFiles('#rom', file(image));
  await page.setInputFiles('#text', file(text));
}

const statusIs = (page, text) => page.waitForFunction((t) => document.getElementById('status').textContent === t, text);

describe('the page', () => {
  test('writes with a seed: the download is the native write, and verify --original accepts it', async () => {
    const { page, strays, errors } = await openPage();
    await chooseFiles(page);
    await page.fill('#seed', '42');
    await page.press('#seed', 'Enter');  // the keyboard submits the form
    await statusIs(page, 'Done.');

    const link = page.locator('#download');
    assert.equal(await link.getAttribute('download'), 'game-42.nes');
    const [download] = await Promise.all([page.waitForEvent('download'), link.click()]);
    assert.equal(download.suggestedFilename(), 'game-42.nes');
    await download.saveAs(file('from-page.nes'));

    const native = nativeWrite(work.dir, 'game.nes', 42);
    assert.deepEqual(new Uint8Array(fs.readFileSync(file('from-page.nes'))), native.bytes);
    const verified = cli(['verify', 'from-page.nes', '--text', 'tgltext.tgl', '--original', 'game.nes'], work.dir);
    assert.equal(verified.exit, 0, verified.out.toString() + verified.err);

    // Beside the image, the patch to share it: the bytes of `write --patch`.
    const [patch] = await Promise.all([page.waitForEvent('download'), page.click('#patch')]);
    assert.equal(patch.suggestedFilename(), 'game-42.bps');
    await patch.saveAs(file('from-page.bps'));
    assert.deepEqual(new Uint8Array(fs.readFileSync(file('from-page.bps'))), native.patch);

    assert.equal(await page.textContent('#seed-code'), field(native.report, 'Seed code'));
    assert.equal(await page.textContent('#seed-used'), '42');
    assert.equal(new URL(await page.getAttribute('#permalink', 'href')).hash, '#seed=42');

    // The map read back out of the download, and the spoiler of show --json.
    await page.waitForSelector('#map svg');
    const rooms = await page.locator('#map svg rect.room').count();
    const json = cli(['show', 'from-page.nes', '--json'], work.dir).out.toString();
    assert.equal(rooms, JSON.parse(json).summary.rooms);
    const [spoiler] = await Promise.all([page.waitForEvent('download'), page.click('#spoiler')]);
    assert.equal(spoiler.suggestedFilename(), 'game-42-spoiler.json');
    await spoiler.saveAs(file('spoiler.json'));
    assert.equal(fs.readFileSync(file('spoiler.json'), 'utf8'), json);

    assert.deepEqual(strays, []);
    assert.deepEqual(errors, []);
    await page.close();
  });

  test('an empty seed field writes with a random seed, shown after the write', async () => {
    const { page } = await openPage();
    await chooseFiles(page);
    await page.click('#write');
    await statusIs(page, 'Done.');
    const seed = await page.textContent('#seed-used');
    assert.match(seed, /^\d+$/);
    assert.equal(await page.getAttribute('#download', 'download'), `game-${seed}.nes`);
    await page.close();
  });

  test('the permalink fills the seed field', async () => {
    const { page } = await openPage('#seed=12345678901234567890');
    assert.equal(await page.inputValue('#seed'), '12345678901234567890');
    await page.evaluate(() => { window.location.hash = 'seed=7'; });
    await page.waitForFunction(() => document.getElementById('seed').value === '7');
    await page.close();
  });

  test('a wrong file shows its message and offers no download', async () => {
    const { page } = await openPage();
    // First a good write, so that a download would be there to withdraw.
    await chooseFiles(page);
    await page.fill('#seed', '1');
    await page.click('#write');
    await statusIs(page, 'Done.');

    await page.setInputFiles('#rom', file('archive.nes'));
    await page.click('#write');
    const message = 'archive.nes: is not an NES cartridge image (it does not start with "NES" and 0x1A)';
    await statusIs(page, message);
    for (const link of ['#download', '#patch']) {
      assert.equal(await page.isVisible(link), false, link);
      assert.equal(await page.getAttribute(link, 'href'), null, link);
    }
    assert.equal(await page.isVisible('#result'), false);
    // The same words as the command line.
    assert.match(cli(['write', 'archive.nes', '--seed', '1'], work.dir).err, new RegExp(message.replace(/[()]/g, '\\$&')));

    // A bad seed, and a file over 16 MiB, refused before it is read.
    await page.setInputFiles('#rom', file('game.nes'));
    await page.fill('#seed', '12x');
    await page.click('#write');
    await statusIs(page, 'the seed must be a whole number from 0 to 18446744073709551615, not "12x"');
    await page.fill('#seed', '');
    await page.setInputFiles('#rom', { name: 'huge.nes', mimeType: 'application/octet-stream',
      buffer: Buffer.alloc(16 * 1024 * 1024 + 1) });
    await page.click('#write');
    await page.waitForFunction(() => document.getElementById('status').textContent.startsWith('huge.nes: is 16777217 bytes'));
    assert.equal(await page.isVisible('#download'), false);
    await page.close();
  });

  test('Look at an image shows the map, seed code and verdict of a written image', async () => {
    const native = nativeWrite(work.dir, 'game.nes', 99);
    const { page } = await openPage();
    await page.setInputFiles('#look', file(native.path));
    await page.waitForSelector('#look-result svg');
    const shown = await page.textContent('#look-result');
    assert.ok(shown.includes(`Seed code: ${field(native.report, 'Seed code')}`), shown);
    assert.ok(shown.includes(`${native.path}: the labyrinth is complete and consistent`), shown);
    const rooms = await page.locator('#look-result svg rect.room').count();
    assert.equal(rooms, JSON.parse(cli(['show', native.path, '--json'], work.dir).out.toString()).summary.rooms);

    // An image without a labyrinth: show's message, no map.
    await page.setInputFiles('#look', file('game.nes'));
    await page.waitForFunction(() => document.getElementById('look-result').textContent.includes('holds no readable labyrinth'));
    assert.equal(await page.locator('#look-result svg').count(), 0);
    await page.close();
  });

  test('remembered files come back on the next visit until they are forgotten', async () => {
    let { page } = await openPage();
    await page.check('#remember');
    await chooseFiles(page);
    await page.waitForFunction(() => document.getElementById('remembered').textContent.includes('tgltext.tgl'));
    await page.close();

    ({ page } = await openPage());
    assert.equal(await page.isChecked('#remember'), true);
    assert.equal(await page.evaluate(() => document.getElementById('rom').files[0]?.name), 'game.nes');
    await page.fill('#seed', '42');
    await page.click('#write');
    await statusIs(page, 'Done.');
    assert.equal(await page.getAttribute('#download', 'download'), 'game-42.nes');
    await page.click('#forget');
    await page.waitForFunction(() => document.getElementById('remembered').textContent.includes('no longer keeps'));
    assert.equal(await page.isChecked('#remember'), false);
    await page.close();

    ({ page } = await openPage());
    assert.equal(await page.isChecked('#remember'), false);
    assert.equal(await page.evaluate(() => document.getElementById('rom').files.length), 0);
    await page.close();
  });
});
