// The page in a real browser (Debian's Chromium, driven by playwright-core)
// against the built files served on a free local port: a write with a seed
// whose download the native verifier accepts and equals the native write,
// the permalink, a wrong file, a file too large, remembered files, "Look at
// an image", dropped files, results that go stale, axe-core and the focus
// ring in every state at phone and desktop widths in light and dark, the
// page with JavaScript off, and offline use and installability.
//   node --test tests/web/page.test.mjs   (after make web and the dev build)

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { servePage } from '../../scripts/serve-web.mjs';
import { cli, codeOf, field, launchBrowser, launchChromium, nativeWrite, pageDir, requireBuilt, root, syntheticImage, syntheticText, tempDir }
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
  fs.writeFileSync(file('notes.txt'), 'These are my notes about the game.\n'.repeat(20));
  served = await servePage(pageDir);
  chromium = await launchChromium();
  await chromium.context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: served.url });
});
after(async () => {
  await chromium?.close();
  served?.server.close();
  work?.remove();
});

// A fresh page, ready to write; any request that leaves this machine fails the test.
async function openPage(hash = '', { viewport, colorScheme, time } = {}) {
  const page = await chromium.context.newPage();
  if (viewport) await page.setViewportSize(viewport);
  if (colorScheme) await page.emulateMedia({ colorScheme });
  if (time) await page.clock.setFixedTime(new Date(time));
  const strays = [];
  page.on('request', (request) => {
    const url = new URL(request.url());
    if (!['blob:', 'data:'].includes(url.protocol) && url.origin !== new URL(served.url).origin) strays.push(url.href);
  });
  // Uncaught errors, and what the browser reports on the console as an
  // error: a style or script that the page's policy refuses, above all.
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  page.on('console', (message) => message.type() === 'error' && errors.push(message.text()));
  await page.goto(served.url + hash);
  await page.waitForSelector('html[data-ready="true"]');
  return { page, strays, errors };
}

async function chooseFiles(page, image = 'game.nes', text = 'tgltext.tgl') {
  await page.setInputFiles('#rom', file(image));
  await page.setInputFiles('#text', file(text));
}

const statusIs = (page, text) => page.waitForFunction((t) => document.getElementById('status').textContent === t, text);

// The two files chosen and a write with `seed`, to "Done.".
async function writeSeed(page, seed) {
  await chooseFiles(page);
  await page.fill('#seed', seed);
  await page.click('#write');
  await statusIs(page, 'Done.');
}

// The bytes of the image that the page offers after a write.
async function downloadedImage(page, name) {
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
  await download.saveAs(file(name));
  return new Uint8Array(fs.readFileSync(file(name)));
}

// Files dropped on `selector` at once, as from a file manager: [name, bytes].
async function drop(page, selector, files) {
  const dataTransfer = await page.evaluateHandle((list) => {
    const transfer = new DataTransfer();
    for (const [name, bytes] of list) transfer.items.add(new File([new Uint8Array(bytes)], name));
    return transfer;
  }, files.map(([name, bytes]) => [name, [...bytes]]));
  await page.dispatchEvent(selector, 'drop', { dataTransfer });
}
const fileBytes = (name) => fs.readFileSync(file(name));
const inputFile = (page, id) => page.evaluate((i) => document.getElementById(i).files[0]?.name ?? null, id);

// The squares of the rooms that a map paints: one subpath each in the
// paths of the page's map, one element each in the tracker's.
const paintedRooms = (page, map) => page.locator(`${map} svg path.rooms`)
  .evaluateAll((paths) => paths.reduce((n, path) => n + path.getAttribute('d').split('M').length - 1, 0));

// The maps as on a first visit: every labyrinth's hidden.
async function forgetMapChoice(page) {
  await page.evaluate(() => Object.keys(localStorage).filter((key) => key.startsWith('labyrinth-writer-map-shown'))
    .forEach((key) => localStorage.removeItem(key)));
  await page.reload();
  await page.waitForSelector('html[data-ready="true"]');
}

const axeSource = fs.readFileSync(path.join(root, 'node_modules/axe-core/axe.min.js'), 'utf8');

// The axe-core violations of the page as it is (WCAG 2.2 AA and best
// practice, target sizes included).
async function axeViolations(page) {
  // Evaluated as an expression, as the developer tools would: the page's
  // own policy forbids any script from elsewhere, rightly.
  if (!await page.evaluate(() => 'axe' in window)) await page.evaluate(axeSource);
  return page.evaluate(async () => {
    const { violations } = await window.axe.run(document, {
      runOnly: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa', 'best-practice'],
    });
    return violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
  });
}

// What a state of the page must hold for everyone: no axe-core violation,
// nothing wider than the viewport, and a focus ring of at least 3:1, 2 px,
// on every control that the keyboard reaches.
async function expectAccessible(page, state) {
  assert.deepEqual(await axeViolations(page), [], `${state}: axe-core`);
  assert.deepEqual(await page.evaluate(() => [document.documentElement.scrollWidth, window.innerWidth]),
    await page.evaluate(() => [window.innerWidth, window.innerWidth]), `${state}: the page is wider than the viewport`);

  const kept = await page.evaluateHandle(() => document.activeElement);
  await page.evaluate(() => {
    document.activeElement?.blur();
    window.reached = new Set();
  });
  const rings = [];
  for (let stop = 0; stop < 40; ++stop) {
    await page.keyboard.press('Tab');
    const ring = await page.evaluate(() => {
      const element = document.activeElement;
      if (!element || element === document.body || window.reached.has(element)) return null;
      window.reached.add(element);
      const rgb = (text) => (text.match(/[\d.]+/g) || []).map(Number);
      const luminance = ([r, g, b]) => [r, g, b].map((v) => v / 255)
        .map((v) => (v <= 0.04045 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4))
        .reduce((sum, v, i) => sum + v * [0.2126, 0.7152, 0.0722][i], 0);
      let behind = element.parentElement;
      while (behind && rgb(getComputedStyle(behind).backgroundColor)[3] === 0) behind = behind.parentElement;
      const style = getComputedStyle(element);
      const [a, b] = [luminance(rgb(style.outlineColor)),
        luminance(rgb(getComputedStyle(behind || document.documentElement).backgroundColor))];
      return { what: element.id || element.tagName, width: parseFloat(style.outlineWidth),
        shown: style.outlineStyle !== 'none', contrast: (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05) };
    });
    if (!ring) break;
    rings.push(ring);
  }
  assert.ok(rings.length >= 5, `${state}: the keyboard reaches only ${rings.map((r) => r.what)}`);
  for (const ring of rings)
    assert.ok(ring.shown && ring.width >= 2 && ring.contrast >= 3, `${state}: focus ring of ${JSON.stringify(ring)}`);
  await kept.evaluate((element) => element.focus?.());
}

describe('the page', () => {
  test('writes with a seed: the download is the native write, and verify --original accepts it', async () => {
    const { page, strays, errors } = await openPage();
    await forgetMapChoice(page);
    // The page's own style and script run by their digests alone: no other
    // inline code, no eval.
    const policy = await page.getAttribute('meta[http-equiv="Content-Security-Policy"]', 'content');
    assert.match(policy, /script-src 'self' 'sha256-[^']+' 'wasm-unsafe-eval';.* style-src 'self' 'sha256-[^']+';/);
    assert.doesNotMatch(policy, /'unsafe-inline'|'unsafe-eval'|'nonce-/);
    await chooseFiles(page);
    // Before writing, the page names the two files that the write will use.
    await page.waitForFunction(() => document.getElementById('files-used').textContent
      === 'The write uses game.nes as the image and tgltext.tgl as the text file.');
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

    assert.equal(await page.textContent('#seed-code'), codeOf(native.report));
    assert.equal(await page.textContent('#seed-used'), '42');
    assert.equal(new URL(await page.getAttribute('#permalink', 'href')).hash, '#r=1&seed=42');
    // The address bar shows the permalink, and "Copy link" copies it.
    assert.equal(page.url(), await page.getAttribute('#permalink', 'href'));
    await page.click('#copy-link');
    await page.waitForFunction(() => document.getElementById('copied').textContent === 'Link copied.');
    assert.equal(await page.evaluate(() => navigator.clipboard.readText()), page.url());
    // "Copy seed and code" copies the seed line that labyrinth-cli prints.
    await page.click('#copy-seed');
    await page.waitForFunction(() => document.getElementById('copied').textContent === 'Seed and code copied.');
    assert.equal(await page.evaluate(() => navigator.clipboard.readText()), `Seed: ${field(native.report, 'Seed')}`);
    // The footer names the version that the command line prints, and the generator's revision.
    const version = cli(['--version'], work.dir).out.toString().split(' ')[1];
    assert.equal((await page.textContent('#version')).split(' ')[0], version);
    assert.match(await page.textContent('#revision'), /^[1-9]\d*$/);

    // The spoiler of show --json is offered; the map only on request: the
    // map read back out of the download, all its rooms.
    const [spoiler] = await Promise.all([page.waitForEvent('download'), page.click('#spoiler')]);
    assert.equal(spoiler.suggestedFilename(), 'game-42-spoiler.json');
    await spoiler.saveAs(file('spoiler.json'));
    const json = cli(['show', 'from-page.nes', '--json'], work.dir).out.toString();
    assert.equal(fs.readFileSync(file('spoiler.json'), 'utf8'), json);
    assert.equal(await page.isVisible('#map'), false);
    assert.equal(await page.locator('#map svg').count(), 0);
    assert.deepEqual([await page.textContent('#spoiler-toggle'), await page.getAttribute('#spoiler-toggle', 'aria-expanded')],
      ['Show the map (spoiler)', 'false']);
    await page.click('#spoiler-toggle');
    await page.waitForSelector('#map svg');
    assert.equal(await paintedRooms(page, '#map'), JSON.parse(json).summary.rooms);
    assert.deepEqual([await page.textContent('#spoiler-toggle'), await page.getAttribute('#spoiler-toggle', 'aria-expanded')],
      ['Hide the map', 'true']);

    // The choice is kept for this labyrinth, in a reload too; a peek does
    // not carry over to the next labyrinth, written or looked at.
    await page.reload();
    await page.waitForSelector('html[data-ready="true"]');
    await writeSeed(page, '42');
    await page.waitForSelector('#map svg');
    assert.equal(await page.textContent('#spoiler-toggle'), 'Hide the map');
    await writeSeed(page, '43');
    assert.deepEqual([await page.isVisible('#map-figure'), await page.locator('#map svg').count(),
      await page.textContent('#spoiler-toggle')], [false, 0, 'Show the map (spoiler)']);
    await page.setInputFiles('#look', file(nativeWrite(work.dir, 'game.nes', 44).path));
    await page.waitForSelector('#look-spoiler-toggle');
    assert.deepEqual([await page.locator('#look-result svg').count(), await page.textContent('#look-spoiler-toggle')],
      [0, 'Show the map (spoiler)']);
    // The same labyrinth looked at shows its map, as chosen for it.
    await page.setInputFiles('#look', file('from-page.nes'));
    await page.waitForSelector('#look-result svg');

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

  test('the permalink fills the seed field: its old and new form give the native bytes, another revision none', async () => {
    let { page } = await openPage('#seed=12345678901234567890');
    assert.equal(await page.inputValue('#seed'), '12345678901234567890');
    await page.evaluate(() => { window.location.hash = 'seed=7'; });
    await page.waitForFunction(() => document.getElementById('seed').value === '7');
    await page.close();

    const native = nativeWrite(work.dir, 'game.nes', 7).bytes;
    for (const hash of ['#seed=7', '#r=1&seed=7']) {
      ({ page } = await openPage(hash));
      assert.equal(await page.inputValue('#seed'), '7', hash);
      await chooseFiles(page);
      await page.click('#write');
      await statusIs(page, 'Done.');
      assert.deepEqual(await downloadedImage(page, 'linked.nes'), native, hash);
      await page.close();
    }

    // A link of another revision is refused, and nothing is written from it.
    ({ page } = await openPage('#r=2&seed=7'));
    const refusal = 'This link is for labyrinths of generator revision 2; this page writes revision 1.';
    assert.equal(await page.textContent('#status'), refusal);
    await chooseFiles(page);
    await page.click('#write');
    await statusIs(page, 'The seed 2:7 is for labyrinths of generator revision 2; this page writes revision 1.');
    assert.equal(await page.isVisible('#result'), false);
    await page.close();
    // Nor is a tracker opened on it.
    ({ page } = await openPage('#r=2&seed=7&track'));
    assert.equal(await page.textContent('#status'), refusal);
    assert.equal(await page.isVisible('#tracker'), false);
    await page.close();
  });

  // The page as a player opens a link: on a phone with touch, and on a desktop.
  const screens = [
    ['390 px with touch', { viewport: { width: 390, height: 844 }, hasTouch: true, isMobile: true }],
    ['1280 px', { viewport: { width: 1280, height: 800 } }],
  ];
  async function openOn(browser, options, hash) {
    const context = await browser.newContext(options);
    const page = await context.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    await page.goto(served.url + hash);
    await page.waitForSelector('html[data-ready="true"]');
    return { page, errors, close: () => context.close() };
  }

  test('a link the page does not read in full (an unknown part, a repeated key, a bad seed or date) is refused as it opens, and writes nothing',
    async () => {
      const seedRule = (seed) => `This link's seed is refused: the seed must be a whole number from 0 to 18446744073709551615, not "${seed}".`;
      const twice = (key) => `This link gives ${key} more than once, so it names no one labyrinth.`;
      const rows = [
        ['#r=1&seed=42&seed=43', twice('seed='), ''],
        ['#r=1&seed=42&track&seed=43', twice('seed='), ''],
        ['#r=1&r=1&seed=42', twice('r='), ''],
        ['#r=1&seed=abc', seedRule('abc'), 'abc'],
        ['#r=1&seed=18446744073709551616&track', seedRule('18446744073709551616'), '18446744073709551616'],
        ['#seed=', seedRule(''), ''],
        ['#r=1&daily=2026-02-30', 'This link\'s daily date is refused: the date must be a day from 1970-01-01 to '
          + '9999-12-31 written YYYY-MM-DD, not "2026-02-30".', ''],
        ['#r=1&daily=2026-12-08&seed=42', 'This link gives both a seed and a daily date, so it names no one labyrinth.', ''],
        ['#R=1&SEED=42', 'This link is not one this page reads: "R" is none of the keys r, seed, daily, code, lab, run, track, view, size and bg.', ''],
        ['#r=1&seed=42&track=0', 'This link is not one this page reads: track takes no value, not "track=0".', ''],
        ['#r=1&seed=42&view=broadcast', 'This link gives view=broadcast without track, and only the tracker is broadcast.',
          ''],
        ['#r=1&seed=42&track&view=broadcast&size=50', 'This link\'s size is refused: it is N or WxH, each from 120 to 4096 '
          + 'CSS pixels, not "50".', ''],
      ];
      const browser = await launchBrowser();
      try {
        for (const [screen, options] of screens)
          for (const [hash, refusal, field] of rows) {
            const what = `${hash}, ${screen}`;
            const { page, errors, close } = await openOn(browser, options, hash);
            assert.equal(await page.textContent('#status'), refusal, what);
            assert.deepEqual([await page.inputValue('#seed'), await page.getAttribute('#seed', 'aria-invalid')],
              [field, 'true'], what);
            assert.deepEqual([await page.isVisible('#tracker'), await page.isVisible('#write')], [false, true], what);
            await expectAccessible(page, `a refused link, ${what}`);
            // Write to TGL writes nothing from it, whatever the field holds.
            await chooseFiles(page);
            await page.click('#write');
            await page.waitForFunction(() => document.getElementById('status').className === 'error');
            assert.equal(await page.isVisible('#result'), false, what);
            // A seed typed over it is the player's own, and is written.
            await page.fill('#seed', '42');
            await page.click('#write');
            await statusIs(page, 'Done.');
            assert.deepEqual(errors, [], what);
            await close();
          }
      } finally {
        await browser.close();
      }
    });

  test('a daily link opens that date\'s labyrinth, named after the date, on a phone and a desktop', async () => {
    fs.rmSync(file('daily-native.nes'), { force: true });
    const run = cli(['write', 'game.nes', '--daily', '2026-12-08', '-o', 'daily-native.nes'], work.dir);
    assert.equal(run.exit, 0, run.err);
    const seed = field(run.out.toString(), 'Seed').split(' ')[0];
    const browser = await launchBrowser();
    try {
      for (const [screen, options] of screens) {
        const { page, errors, close } = await openOn(browser, options, '#r=1&daily=2026-12-08');
        assert.deepEqual([await page.textContent('#status'), await page.inputValue('#seed')], ['Ready.', seed], screen);
        await chooseFiles(page);
        await page.click('#write');
        await statusIs(page, 'Done.');
        assert.deepEqual([await page.textContent('#seed-used'), await page.textContent('#daily-date')],
          [seed, '2026-12-08'], screen);
        assert.equal(await page.getAttribute('#download', 'download'), 'game-daily-2026-12-08.nes', screen);
        const [patch] = await Promise.all([page.waitForEvent('download'), page.click('#patch')]);
        assert.equal(patch.suggestedFilename(), 'game-daily-2026-12-08.bps', screen);
        assert.equal(new URL(await page.getAttribute('#permalink', 'href')).hash, '#r=1&daily=2026-12-08', screen);
        assert.equal(new URL(page.url()).hash, '#r=1&daily=2026-12-08', screen);
        assert.deepEqual(await downloadedImage(page, 'daily-linked.nes'),
          new Uint8Array(fs.readFileSync(file('daily-native.nes'))), screen);
        await expectAccessible(page, `after a daily link's write, ${screen}`);
        // Another seed typed in is no longer the daily: named and linked by its seed.
        await page.fill('#seed', '42');
        await page.click('#write');
        await statusIs(page, 'Done.');
        assert.equal(await page.getAttribute('#download', 'download'), 'game-42.nes', screen);
        assert.equal(await page.isVisible('#daily-date'), false, screen);
        assert.deepEqual(errors, [], screen);
        await close();
      }
      // With track, the tracker opens on that date's labyrinth, with no files.
      const { page, close } = await openOn(browser, screens[0][1], '#r=1&daily=2026-12-08&track');
      await page.waitForSelector('#tracker:not([hidden]) svg');
      assert.ok((await page.textContent('#tracker-heading')).includes('the daily labyrinth of 2026-12-08 (seed code'));
      assert.equal(new URL(page.url()).hash, '#r=1&daily=2026-12-08&track');
      await close();
    } finally {
      await browser.close();
    }
  });

  test('the map shows an area\'s route on request: the spoiler\'s, on a phone and a desktop', async () => {
    const native = nativeWrite(work.dir, 'game.nes', 42);
    const spoiler = JSON.parse(cli(['show', native.path, '--json'], work.dir).out.toString());
    const browser = await launchBrowser();
    try {
      for (const [screen, options] of screens) {
        const { page, errors, close } = await openOn(browser, options, '');
        await forgetMapChoice(page);
        await writeSeed(page, '42');
        assert.equal(await page.isVisible('#route-area'), false, `the route is offered before the map, ${screen}`);
        await page.click('#spoiler-toggle');
        await page.waitForSelector('#map svg');
        assert.equal(await page.locator('#map path.route').count(), 0, screen);
        for (const area of [3, 10]) {
          await page.selectOption('#route-area', String(area));
          const route = spoiler.areas[area].route;
          await page.waitForFunction((n) => document.getElementById('route-said').textContent.includes(`${n} doors`),
            route.length - 1);
          const [, , head] = cli(['show', native.path, '--route', '--areas', String(area)], work.dir).out.toString().split('\n');
          assert.equal(await page.textContent('#route-said'), `The route to area ${area}: ${route.length - 1} doors from `
            + `the start room to its numbered room, ${/, (through links? .*)$/.exec(head)[1]}.`, screen);
          const d = await page.getAttribute('#map path.route', 'd');
          assert.equal(d.split(/[ML]/).filter(Boolean).length, route.length, screen);
          assert.equal(await page.locator('#map path.route').count(), 1, screen);
        }
        await expectAccessible(page, `a route on the map, ${screen}`);
        await page.selectOption('#route-area', '');
        assert.equal(await page.locator('#map path.route').count(), 0, screen);
        // A new labyrinth starts without a route, as without its map.
        await writeSeed(page, '43');
        assert.deepEqual([await page.inputValue('#route-area'), await page.locator('#map path.route').count()], ['', 0]);
        // Look's map offers the same routes; it shows at once, as this labyrinth's map was asked for above.
        await page.setInputFiles('#look', file(native.path));
        await page.waitForSelector('#look-map svg');
        await page.selectOption('#look-route-area', '10');
        await page.waitForFunction(() => document.getElementById('look-route-said').textContent.startsWith('The route to area 10:'));
        assert.equal((await page.getAttribute('#look-map path.route', 'd')).split(/[ML]/).filter(Boolean).length,
          spoiler.areas[10].route.length, screen);
        await expectAccessible(page, `a route on the map of a look, ${screen}`);
        assert.deepEqual(errors, [], screen);
        await close();
      }
    } finally {
      await browser.close();
    }
  });

  test('today\'s labyrinth is the command line\'s --daily of the same day', async () => {
    const { page } = await openPage('', { time: '2026-12-08T23:30:00Z' });
    await chooseFiles(page);
    await page.click('#daily');
    await statusIs(page, 'Done.');
    assert.equal(await page.textContent('#daily-date'), '2026-12-08');
    assert.equal(await page.inputValue('#seed'), await page.textContent('#seed-used'));
    fs.rmSync(file('daily-native.nes'), { force: true });
    const run = cli(['write', 'game.nes', '--daily', '2026-12-08', '-o', 'daily-native.nes'], work.dir);
    assert.equal(run.exit, 0, run.err);
    assert.equal(field(run.out.toString(), 'Seed').split(' ')[0], await page.textContent('#seed-used'));
    assert.deepEqual(await downloadedImage(page, 'daily-page.nes'), new Uint8Array(fs.readFileSync(file('daily-native.nes'))));
    assert.equal(await page.getAttribute('#download', 'download'), 'game-daily-2026-12-08.nes');
    assert.equal(new URL(page.url()).hash, '#r=1&daily=2026-12-08');
    // Tracking today's labyrinth needs no files, is the same labyrinth, and
    // its link names it by the date.
    await page.click('#track-daily');
    await page.waitForSelector('#tracker:not([hidden]) svg');
    assert.ok((await page.textContent('#tracker-heading')).includes(
      `the daily labyrinth of 2026-12-08 (seed code ${await page.textContent('#seed-code')})`));
    assert.equal(new URL(page.url()).hash, '#r=1&daily=2026-12-08&track');
    await page.close();
  });

  test('a spoiler file writes its labyrinth as write --layout does, and a broken one nothing', async () => {
    const native = nativeWrite(work.dir, 'game.nes', 12);
    fs.writeFileSync(file('mine.json'), cli(['show', native.path, '--json'], work.dir).out);
    const { page } = await openPage();
    await chooseFiles(page);
    await page.click('#layout-details summary');
    await page.setInputFiles('#layout', file('mine.json'));
    await page.click('#write-layout');
    await statusIs(page, 'Done.');
    assert.equal(await page.getAttribute('#download', 'download'), 'game-mine.nes');
    fs.rmSync(file('layout-native.nes'), { force: true });
    const run = cli(['write', 'game.nes', '--layout', 'mine.json', '-o', 'layout-native.nes'], work.dir);
    assert.equal(run.exit, 0, run.err);
    assert.deepEqual(await downloadedImage(page, 'layout-page.nes'), new Uint8Array(fs.readFileSync(file('layout-native.nes'))));
    // Its records are those of the image that the spoiler file describes.
    assert.equal(cli(['verify', 'layout-page.nes', '--code', codeOf(native.report)], work.dir).exit, 0);
    assert.equal(await page.isVisible('#link-line'), false);

    const broken = JSON.parse(fs.readFileSync(file('mine.json'), 'utf8'));
    broken.rooms.find((room) => room.record === 'plain').random = 99;
    fs.writeFileSync(file('broken.json'), JSON.stringify(broken));
    await page.setInputFiles('#layout', file('broken.json'));
    await page.click('#write-layout');
    await page.waitForFunction(() => document.getElementById('status').textContent
      .startsWith('broken.json: 1 problem in the labyrinth it describes, so nothing was written: the random byte of room'));
    assert.equal(await page.isVisible('#result'), false);

    // The valid spoiler padded beyond the command line's limit is refused as the command line refuses it.
    await page.setInputFiles('#layout', { name: 'padded.json', mimeType: 'application/json',
      buffer: Buffer.from(fs.readFileSync(file('mine.json'), 'utf8').padEnd(4 * 1024 * 1024 + 1, ' ')) });
    await page.click('#write-layout');
    await page.waitForFunction(() => document.getElementById('status').textContent
      .startsWith('padded.json: is 4,194,305 bytes; a labyrinth\'s description is at most 4,194,304'));
    assert.equal(await page.isVisible('#result'), false);
    await page.close();
  });

  test('a wrong file shows its message and offers no download', async () => {
    const { page } = await openPage();
    // First a good write, so that a download would be there to withdraw.
    await writeSeed(page, '1');

    await page.setInputFiles('#rom', file('archive.nes'));
    await page.click('#write');
    const message = 'archive.nes: is not an NES cartridge image (it does not start with "NES" and 0x1A)';
    await statusIs(page, `${message}.`);
    for (const link of ['#download', '#patch']) {
      assert.equal(await page.isVisible(link), false, link);
      assert.equal(await page.getAttribute(link, 'href'), null, link);
    }
    assert.equal(await page.isVisible('#result'), false);
    // The same words as the command line.
    assert.match(cli(['write', 'archive.nes', '--seed', '1'], work.dir).err, new RegExp(message.replace(/[()]/g, '\\$&')));

    // A bad seed: the field is marked and takes the focus. Then a file over
    // 16 MiB, refused before it is read.
    await page.setInputFiles('#rom', file('game.nes'));
    await page.fill('#seed', '12x');
    await page.click('#write');
    await statusIs(page, 'The seed must be a whole number from 0 to 18446744073709551615, not "12x".');
    assert.deepEqual(await page.evaluate(() => [document.activeElement.id, document.getElementById('seed')
      .getAttribute('aria-invalid')]), ['seed', 'true']);
    await page.fill('#seed', '');
    assert.equal(await page.getAttribute('#seed', 'aria-invalid'), null);
    await page.setInputFiles('#rom', { name: 'huge.nes', mimeType: 'application/octet-stream',
      buffer: Buffer.alloc(16 * 1024 * 1024 + 1) });
    await page.click('#write');
    await page.waitForFunction(() => document.getElementById('status').textContent.startsWith('huge.nes: is 16,777,217 bytes'));
    assert.equal(await page.isVisible('#download'), false);
    await page.close();
  });

  test('Look at an image shows the map, seed code and verdict of a written image', async () => {
    const native = nativeWrite(work.dir, 'game.nes', 99);
    const { page } = await openPage();
    await forgetMapChoice(page);
    await page.setInputFiles('#look', file(native.path));
    await page.waitForSelector('#look-spoiler-toggle');
    const shown = await page.textContent('#look-result');
    assert.ok(shown.includes(`Seed code: ${codeOf(native.report)}`), shown);
    assert.ok(shown.includes(`${native.path}: the labyrinth is complete and consistent`), shown);
    // Its map only on request, by the choice that the write's map follows too.
    assert.equal(await page.locator('#look-result svg').count(), 0);
    await page.click('#look-spoiler-toggle');
    await page.waitForSelector('#look-result svg');
    const rooms = await paintedRooms(page, '#look-result');
    assert.equal(rooms, JSON.parse(cli(['show', native.path, '--json'], work.dir).out.toString()).summary.rooms);
    await page.reload();
    await page.waitForSelector('html[data-ready="true"]');
    await page.setInputFiles('#look', file(native.path));
    await page.waitForSelector('#look-result svg');
    assert.equal(await page.textContent('#look-spoiler-toggle'), 'Hide the map');

    // With a seed, every byte of its labyrinth is compared, as verify --seed compares it.
    await page.fill('#look-seed', '99');
    await page.press('#look-seed', 'Enter');
    await page.waitForFunction(() => document.getElementById('look-result').textContent.includes('exactly the labyrinth of seed 99'));
    await page.fill('#look-seed', '98');
    await page.press('#look-seed', 'Tab');
    await page.waitForFunction(() => document.getElementById('look-result').textContent
      .includes('the room records differ from the labyrinth that seed 98 writes'));
    await page.fill('#look-seed', '');
    await page.press('#look-seed', 'Tab');

    // An image without a labyrinth: show's message, no map.
    await page.setInputFiles('#look', file('game.nes'));
    await page.waitForFunction(() => document.getElementById('look-result').textContent.includes('holds no readable labyrinth'));
    assert.equal(await page.locator('#look-result svg').count(), 0);
    await page.close();
  });

  test('the tracker reveals a run door by door, by area or all, with undo and reset, and keeps each run', async () => {
    const { page, strays, errors } = await openPage();
    const other = nativeWrite(work.dir, 'game.nes', 99);
    const native = nativeWrite(work.dir, 'game.nes', 42);
    const spoiler = JSON.parse(cli(['show', native.path, '--json'], work.dir).out.toString());
    // The doors that lead from the shown rooms into the others, as show --json tells the labyrinth.
    const rooms = new Map(spoiler.rooms.map((room) => [`${room.x},${room.y}`, room]));
    const step = { east: [1, 0], west: [-1, 0], south: [0, 1], north: [0, -1] };
    const doorsFrom = (shown) => shown.flatMap((cell) => rooms.get(cell).exits.map((exit) => {
      const [x, y] = cell.split(',').map(Number);
      const to = `${x + step[exit][0]},${y + step[exit][1]}`;
      return rooms.has(to) && !shown.includes(to)
        ? `${exit[0].toUpperCase()}${exit.slice(1)} of (${x}, ${y}) to (${to.replace(',', ', ')})` : null;
    })).filter(Boolean).sort();
    const shownRooms = () => page.locator('#tracker .rooms > [data-room]').evaluateAll((all) => all.map((e) => e.dataset.room));
    const here = () => page.getAttribute('#tracker [aria-current="location"]', 'data-room');
    // Marks on the whole map, buttons zoomed in: named as the doors read.
    const name = (from, to) => {
      const [x, y] = from.split(',').map(Number);
      const side = Object.keys(step).find((s) => `${x + step[s][0]},${y + step[s][1]}` === to);
      return `${side[0].toUpperCase()}${side.slice(1)} of (${x}, ${y}) to (${to.replace(',', ', ')})`;
    };
    const doors = async () => (await page.locator('#tracker [data-door]').evaluateAll((all) => all.map((e) => [e.dataset.from, e.dataset.door])))
      .map(([from, to]) => name(from, to)).sort();
    const expectRun = async (shown, what) => {
      await page.waitForFunction((n) => document.querySelectorAll('#tracker .rooms > [data-room]').length === n, shown.length);
      assert.deepEqual((await shownRooms()).sort(), [...shown].sort(), what);
      assert.deepEqual(await doors(), doorsFrom(shown), what);
    };
    const track = async () => {
      await page.click('#track');
      await page.waitForSelector('#tracker:not([hidden]) svg');
    };

    await writeSeed(page, '42');
    await track();
    await expectRun(['11,12'], 'at first the start room alone');

    // The pad by the keyboard (its arrow keys) reveals the room behind a
    // side of the start room and only that. Zoomed in, a door on the map by
    // a click; its focus goes on to a door of that room.
    const side = await page.getAttribute('#tracker-pad .pad-door.fog', 'data-side');
    const [, fx, fy] = /to \((\d+), (\d+)\)$/.exec(doorsFrom(['11,12']).find((door) => door.toLowerCase().startsWith(side)));
    const first = `${fx},${fy}`;
    await page.focus('#tracker-pad .pad-door:not(:disabled)');
    await page.keyboard.press({ north: 'ArrowUp', south: 'ArrowDown', west: 'ArrowLeft', east: 'ArrowRight' }[side]);
    await expectRun(['11,12', first], 'one door');
    assert.equal(await page.evaluate(() => document.activeElement.matches('#tracker-pad .pad-door:not(:disabled)')), true);
    await page.click('#tracker-zoom');
    await page.waitForSelector('#tracker-board:not(.whole) button.door');
    assert.deepEqual(await page.locator('#tracker button[data-door]').evaluateAll((all) => all.map((e) => e.getAttribute('aria-label')).sort()),
      doorsFrom(['11,12', first]));
    const second = await page.getAttribute(`#tracker button[data-door][data-from="${first}"]`, 'data-door')
      ?? await page.getAttribute('#tracker button[data-door]', 'data-door');
    await page.click(`#tracker button[data-door="${second}"]`);
    const walked = ['11,12', first, second];
    await expectRun(walked, 'two doors');
    // The keyboard stays in the player's room: on a door of it on the map,
    // or on the pad when it has none there, never on a door of another room.
    const focusIn = () => page.evaluate(() => {
      const focused = document.activeElement;
      return focused.matches('#tracker button[data-door]') ? focused.dataset.from
        : focused.matches('#tracker-pad .pad-door:not(:disabled)') ? 'pad' : focused.id || focused.tagName;
    });
    const doorsOfHere = async () => page.locator(`#tracker button[data-door][data-from="${await here()}"]`).count();
    let deadEnd = await doorsOfHere() === 0;
    assert.equal(await focusIn(), deadEnd ? 'pad' : second, 'after a door on the map');
    // On by the keyboard alone, Enter on the door that has the focus, until
    // a room with no door into the fog.
    let stepped = 0;
    for (; stepped < 60 && !deadEnd; ++stepped) {
      const door = await page.evaluate(() => document.activeElement.dataset.door);
      await page.keyboard.press('Enter');
      await page.waitForFunction((cell) => document.querySelector('#tracker [aria-current]')?.dataset.room === cell, door);
      deadEnd = await doorsOfHere() === 0;
      assert.equal(await focusIn(), deadEnd ? 'pad' : door, `the keyboard after ${door}`);
    }
    assert.ok(deadEnd, 'the walk came to a room with no door into the fog');
    // A reload draws whole the very picture that those steps changed piece by piece.
    const picture = () => page.locator('#tracker-board svg [data-room]').evaluateAll((all) => all.map((e) => e.outerHTML));
    const changed = await picture();
    await page.reload();
    await page.waitForSelector('html[data-ready="true"]');
    await page.waitForSelector('#tracker:not([hidden]) svg');
    assert.deepEqual(await picture(), changed, 'the picture drawn whole');
    await page.click('#tracker-zoom');
    for (let i = 0; i < stepped; ++i) await page.click('#tracker-undo');
    await expectRun(walked, 'the walk by the keyboard undone');
    await page.click('#tracker-zoom');

    // A whole area, Undo and Redo; a walk undone puts the player back in the
    // room it was taken from.
    const area3 = spoiler.rooms.filter((room) => room.area === 3).map((room) => `${room.x},${room.y}`);
    await page.selectOption('#tracker-area', '3');
    await page.click('#tracker-reveal-area');
    await expectRun([...new Set([...walked, ...area3])], 'area 3');
    await page.click('#tracker-undo');
    await expectRun(walked, 'undo');
    await page.click('#tracker-redo');
    await expectRun([...new Set([...walked, ...area3])], 'redo');
    await page.click('#tracker-undo');
    await expectRun(walked, 'undo again');
    assert.equal(await page.isEnabled('#tracker-redo'), true);
    const startBox = await page.locator('#tracker .rooms > [data-room="11,12"]').boundingBox();
    await page.mouse.click(startBox.x + startBox.width / 2, startBox.y + startBox.height / 2);
    await page.waitForFunction(() => document.querySelector('#tracker [aria-current]')?.dataset.room === '11,12');
    assert.equal(await page.isEnabled('#tracker-redo'), false, 'a new step gives up the steps undone');
    await page.click('#tracker-undo');
    await page.waitForFunction((cell) => document.querySelector('#tracker [aria-current]')?.dataset.room === cell, second);

    // A reload keeps the run; another labyrinth has a run of its own.
    await page.reload();
    await page.waitForSelector('html[data-ready="true"]');
    await page.setInputFiles('#look', file(other.path));
    await page.waitForSelector('#look-spoiler-toggle');
    await track();
    await page.waitForFunction(() => document.querySelectorAll('#tracker .rooms > [data-room]').length === 1);
    await page.click('#tracker-pad .pad-door.fog');
    await page.waitForFunction(() => document.querySelectorAll('#tracker .rooms > [data-room]').length === 2);
    assert.ok((await page.textContent('#tracker svg title')).includes(codeOf(other.report)), 'the map of the run on show');
    // An image looked at is tracked by its seed code, its seed told nowhere.
    const raceLink = `#r=1&code=${codeOf(other.report).replaceAll(' ', '-')}&track`;
    assert.equal(new URL(page.url()).hash, raceLink);
    // The open tracker follows a new write, with that labyrinth's own run.
    await writeSeed(page, '42');
    await page.waitForFunction((code) => document.getElementById('tracker-heading').textContent.includes(code),
      codeOf(native.report));
    await expectRun(walked, 'followed to the next write');
    await track();
    await expectRun(walked, 'after a reload, beside another run');
    await page.setInputFiles('#look', []);
    await page.setInputFiles('#look', file(other.path));
    await page.waitForSelector('#look-spoiler-toggle');
    await track();
    await page.waitForFunction(() => document.querySelectorAll('#tracker .rooms > [data-room]').length === 2);
    const raceHere = await here();

    // A sealed race's tracker comes back after a reload when its image is
    // remembered; without it, the page asks for the image once and takes
    // only the race's.
    await page.check('#remember');
    await page.waitForFunction(() => document.getElementById('remembered').textContent.includes('(the image of the race'));
    await page.reload();
    await page.waitForSelector('html[data-ready="true"]');
    await page.waitForFunction(() => document.querySelectorAll('#tracker:not([hidden]) .rooms > [data-room]').length === 2);
    assert.deepEqual([await here(), await page.evaluate(() => document.getElementById('look').files.length),
      new URL(page.url()).hash], [raceHere, 0, raceLink], 'remembered');
    await page.click('#forget');
    await page.waitForFunction(() => document.getElementById('remembered').textContent
      === 'This browser no longer keeps your files.');
    await page.reload();
    await page.waitForSelector('html[data-ready="true"]');
    await page.waitForSelector('#tracker-image-field:not([hidden])');
    assert.deepEqual([await page.isHidden('#tracker'), await page.textContent('#tracker-image-code')],
      [true, codeOf(other.report)]);
    await page.setInputFiles('#tracker-image', file(native.path));
    await page.waitForFunction(() => document.getElementById('tracker-image-said').textContent.includes('not the race'));
    assert.equal(await page.isHidden('#tracker'), true, 'another labyrinth\'s image');
    await page.setInputFiles('#tracker-image', file(other.path));
    await page.waitForFunction(() => document.querySelectorAll('#tracker:not([hidden]) .rooms > [data-room]').length === 2);
    assert.deepEqual([await here(), await page.isHidden('#tracker-image-field')], [raceHere, true], 'the image chosen');

    // Reset shows the start room alone, and undo brings the run back; all.
    await page.setInputFiles('#look', file(native.path));
    await page.waitForSelector('#look-spoiler-toggle');
    await track();
    await expectRun(walked, 'the same labyrinth looked at');
    await page.click('#tracker-reset');
    await expectRun(['11,12'], 'reset');
    await page.click('#tracker-undo');
    await expectRun(walked, 'undo of a reset');
    await page.click('#tracker-reveal-all');
    await expectRun([...rooms.keys()], 'all');
    await page.click('#tracker-reset');
    assert.deepEqual([strays, errors], [[], []]);
    await page.close();
  });

  test('a tracker link on a phone opens the command line\'s labyrinth with no files, and a reload keeps the run', async () => {
    const native = nativeWrite(work.dir, 'game.nes', 42);
    const spoiler = JSON.parse(cli(['show', native.path, '--json'], work.dir).out.toString());
    const start = `${spoiler.start.x},${spoiler.start.y}`;
    const browser = await launchBrowser();
    const phone = await browser.newContext({ viewport: { width: 390, height: 844 }, hasTouch: true, isMobile: true });
    await phone.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: served.url });
    const page = await phone.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    page.on('console', (message) => message.type() === 'error' && errors.push(message.text()));
    const shownRooms = () => page.locator('#tracker .rooms > [data-room]').evaluateAll((all) => all.map((e) => e.dataset.room).sort());
    const here = () => page.getAttribute('#tracker [aria-current="location"]', 'data-room');
    const ready = async () => {
      await page.waitForSelector('html[data-ready="true"]');
      await page.waitForSelector('#tracker:not([hidden]) svg');
    };
    // Whether a room lies wholly inside the tracker's visible box, below and
    // right of the row and column numbers.
    const inView = (room) => page.evaluate((cell) => {
      const box = document.getElementById('tracker-map').getBoundingClientRect();
      const top = document.querySelector('#tracker .numbers.columns').getBoundingClientRect().bottom;
      const left = document.querySelector('#tracker .numbers.rows').getBoundingClientRect().right;
      const at = document.querySelector(`#tracker .rooms > [data-room="${cell}"]`).getBoundingClientRect();
      return at.left >= left && at.right <= box.right && at.top >= top && at.bottom <= box.bottom;
    }, room);
    try {
      await page.goto(`${served.url}#r=1&seed=42&track`);
      await ready();
      assert.equal(await page.evaluate(() => document.getElementById('rom').files.length), 0);
      assert.ok((await page.textContent('#tracker-heading')).includes(`seed code ${codeOf(native.report)}`));
      assert.deepEqual([await shownRooms(), await here()], [[start], start]);

      // The whole grid fits the width, with row and column numbers; the
      // legend is folded.
      const fits = () => page.evaluate(() => {
        const box = document.getElementById('tracker-map');
        const columns = document.querySelectorAll('#tracker .numbers.columns span');
        return [document.querySelector('#tracker svg').getBoundingClientRect().width <= box.clientWidth,
          box.scrollWidth <= box.clientWidth, columns.length, columns[columns.length - 1].textContent];
      });
      assert.deepEqual(await fits(), [true, true, 24, '23']);
      assert.equal(await page.evaluate(() => document.getElementById('tracker-legend').open), false);

      // Door targets, on the pad and zoomed in on the map: at least 24 by 24
      // px, no two overlapping.
      const targetsAreSound = async (selector, what) => {
        const boxes = await page.locator(selector).evaluateAll((all) => all.map((door) => {
          const { left, top, width, height } = door.getBoundingClientRect();
          return { left, top, width, height };
        }));
        assert.ok(boxes.length > 0, what);
        for (const [i, a] of boxes.entries()) {
          assert.ok(a.width >= 24 && a.height >= 24, `${what}: ${JSON.stringify(a)}`);
          for (const b of boxes.slice(i + 1))
            assert.ok(a.left + a.width <= b.left || b.left + b.width <= a.left || a.top + a.height <= b.top
              || b.top + b.height <= a.top, `${what}: ${JSON.stringify(a)} overlaps ${JSON.stringify(b)}`);
        }
      };
      await targetsAreSound('#tracker-pad .pad-door', 'the pad');

      // A tapped side reveals its room, which is where the player is now, in
      // view; the side back is a passage that walks there again.
      const side = await page.getAttribute('#tracker-pad .pad-door.fog', 'data-side');
      await page.tap(`#tracker-pad [data-side="${side}"]`);
      await page.waitForFunction(() => document.querySelectorAll('#tracker .rooms > [data-room]').length === 2);
      const door = await here();
      assert.notEqual(door, start);
      assert.equal(await inView(door), true, `${door} is out of view`);
      const back = { north: 'south', south: 'north', east: 'west', west: 'east' }[side];
      assert.equal(await page.getAttribute(`#tracker-pad [data-side="${back}"]`, 'class'), 'pad-door');
      await page.tap(`#tracker-pad [data-side="${back}"]`);
      await page.waitForFunction((cell) => document.querySelector('#tracker [aria-current]')?.dataset.room === cell, start);
      await page.tap(`#tracker-pad [data-side="${side}"]`);
      await page.waitForFunction((cell) => document.querySelector('#tracker [aria-current]')?.dataset.room === cell, door);
      await page.focus('#track-seed');
      await expectAccessible(page, 'tracker from a link, 390 px with touch');

      // A note and a pin on the room the player is in, by touch: each marked
      // on the map, said with the room (the pad's name) and listed; Undo
      // takes them back, Redo gives the note again.
      const note = 'Blue key, behind the east wall';
      await page.tap('#tracker-note');
      await page.fill('#tracker-note', note);
      await page.tap('#tracker-note-keep');
      await page.tap('#tracker-pin');
      await page.waitForSelector(`#tracker [data-marked="${door}"] .note-mark ~ .pin-mark`);
      const doorName = `(${door.replace(',', ', ')})`;
      assert.equal(await page.getByRole('group', { name: `The doors of ${doorName}, where you are (pinned, note "${note}")`,
        exact: true }).count(), 1, 'the room said with its marks');
      assert.deepEqual(await page.locator('#room-marks li').allTextContents(), [`${doorName}: pinned, note "${note}"`]);
      await page.focus('#track-seed');
      await expectAccessible(page, 'a note and a pin, 390 px with touch');
      await page.tap('#tracker-undo');
      await page.tap('#tracker-undo');
      await page.waitForFunction(() => !document.querySelector('#tracker [data-marked]'));
      assert.deepEqual([await page.inputValue('#tracker-note'), await page.isVisible('#room-marks-none')], ['', true]);
      await page.tap('#tracker-redo');
      await page.waitForSelector(`#tracker [data-marked="${door}"] .note-mark`);
      assert.deepEqual([await page.inputValue('#tracker-note'), await page.getAttribute('#tracker-pin', 'aria-pressed')],
        [note, 'false']);

      // Every room revealed is the command line's labyrinth; Undo takes it
      // back, Redo gives it again.
      const all = spoiler.rooms.map((room) => `${room.x},${room.y}`).sort();
      await page.tap('#tracker-reveal-all');
      await page.waitForFunction((n) => document.querySelectorAll('#tracker .rooms > [data-room]').length === n, all.length);
      assert.deepEqual(await shownRooms(), all);
      await page.tap('#tracker-undo');
      await page.waitForFunction(() => document.querySelectorAll('#tracker .rooms > [data-room]').length === 2);
      await expectAccessible(page, 'tracker after Undo, Redo on, 390 px with touch');
      await page.tap('#tracker-redo');
      await page.waitForFunction((n) => document.querySelectorAll('#tracker .rooms > [data-room]').length === n, all.length);
      assert.deepEqual([await shownRooms(), await here()], [all, door]);
      await page.tap('#tracker-undo');
      await page.waitForFunction(() => document.querySelectorAll('#tracker .rooms > [data-room]').length === 2);

      // A reload brings the run back at once, the room the player is in too;
      // a tap on a shown room moves "you are here".
      await page.reload();
      await ready();
      assert.deepEqual([await shownRooms(), await here()], [[start, door].sort(), door]);
      await page.locator(`#tracker .rooms > [data-room="${start}"]`).scrollIntoViewIfNeeded();
      const startBox = await page.locator(`#tracker .rooms > [data-room="${start}"]`).boundingBox();
      await page.touchscreen.tap(startBox.x + startBox.width / 2, startBox.y + startBox.height / 2);
      await page.waitForFunction((cell) => document.querySelector('#tracker [aria-current]')?.dataset.room === cell, start);

      // The tracker's link, copied, names the labyrinth and the run.
      await page.tap('#tracker-copy-link');
      await page.waitForFunction(() => document.getElementById('tracker-copied').textContent === 'Link copied.');
      assert.match(await page.evaluate(() => navigator.clipboard.readText()),
        new RegExp(`^${served.url.replace(/[.]/g, '\\.')}#r=1&seed=42&track&run=[\\w-]+$`));

      // A sealed race's link on a phone asks for the race's image; the run
      // on show stays until it is given.
      await page.evaluate((code) => { window.location.hash = `r=1&code=${code}&track`; },
        codeOf(nativeWrite(work.dir, 'game.nes', 98).report).replaceAll(' ', '-'));
      await page.waitForSelector('#tracker-image-field:not([hidden])');
      await page.focus('#track-seed');
      await expectAccessible(page, 'a race\'s link asks for its image, 390 px with touch');
      // A race bot's link carries the race's rooms: no image is asked for,
      // and the tracker's link carries them on, with the run.
      for (const name of ['race.json', 'race.nes']) fs.rmSync(file(name), { force: true });
      const sealed = JSON.parse(cli(['write', 'game.nes', '--sealed', '--spoiler', 'race.json', '-o', 'race.nes', '--json'],
        work.dir).out.toString());
      await page.evaluate((link) => { window.location.hash = link; }, sealed.trackerLink);
      await page.waitForFunction((code) => document.getElementById('tracker-heading').textContent.includes(code),
        sealed.seedCode);
      assert.equal(await page.isHidden('#tracker-image-field'), true);
      await page.tap('#tracker-pad .pad-door.fog');
      await page.waitForFunction(() => document.querySelectorAll('#tracker .rooms > [data-room]').length === 2);
      await page.tap('#tracker-copy-link');
      await page.waitForFunction(() => document.getElementById('tracker-copied').textContent === 'Link copied.');
      const raceLink = new URL(await page.evaluate(() => navigator.clipboard.readText())).hash;
      assert.ok(raceLink.startsWith(`${sealed.trackerLink.replace(/&track$/, '')}&track&run=`), raceLink);

      // A typed seed that is no seed is refused in the form; a spoiler file is tracked as its labyrinth.
      await page.fill('#track-seed', '12x');
      await page.tap('#track-seed-button');
      await page.waitForFunction(() => document.getElementById('track-form-status').textContent.startsWith('The seed must'));
      assert.equal(await page.getAttribute('#track-seed', 'aria-invalid'), 'true');
      fs.writeFileSync(file('track.json'), JSON.stringify(spoiler));
      await page.setInputFiles('#track-layout', file('track.json'));
      await page.waitForFunction(() => document.getElementById('tracker-heading').textContent.includes('track.json'));
      assert.deepEqual([await shownRooms(), await page.isVisible('#tracker-copy-link')], [[start, door].sort(), false]);

      // Zoomed in, the doors on the map are targets, the numbers stay, and
      // each room revealed is in view: a walk of 40 doors, each chosen where
      // the map has scrolled to.
      await page.tap('#tracker-zoom');
      await page.waitForSelector('#tracker-zoom[aria-pressed="true"]');
      for (let step = 0; step < 40; ++step) {
        const to = await page.evaluate(() => {
          const next = document.querySelector('#tracker .door');
          next?.click();
          return next?.dataset.door ?? null;
        });
        if (!to) break;
        assert.equal(await here(), to, `step ${step}`);
        assert.equal(await inView(to), true, `step ${step}: ${to} is out of view`);
      }
      await targetsAreSound('#tracker .door', 'zoomed in');
      await page.focus('#track-seed');
      await expectAccessible(page, 'zoomed in, 390 px with touch');
      await page.tap('#tracker-zoom');
      assert.deepEqual(await fits(), [true, true, 24, '23']);

      // A browser that keeps nothing says so once a step is shown, and the
      // run goes on; it gives up no more of the older runs than room for this one.
      const keepsNothing = await phone.newPage();
      await keepsNothing.addInitScript(() => {
        const set = Storage.prototype.setItem;
        for (const at of [1, 2]) {
          set.call(localStorage, `labyrinth-writer-run left ${at}`, JSON.stringify({ savedAt: at, filler: 'x'.repeat(999) }));
        }
        Storage.prototype.setItem = () => { throw new DOMException('The quota has been exceeded.', 'QuotaExceededError'); };
      });
      await keepsNothing.goto(`${served.url}#r=1&seed=43&track`);
      await keepsNothing.waitForSelector('#tracker:not([hidden]) svg');
      await keepsNothing.tap('#tracker-pad .pad-door.fog');
      await keepsNothing.waitForFunction(() => document.querySelectorAll('#tracker .rooms > [data-room]').length === 2
        && document.getElementById('tracker-status').textContent.endsWith(' This browser does not keep the run.'));
      const left = await keepsNothing.evaluate(() => {
        const keys = Object.keys(localStorage).filter((key) => key.includes(' left '));
        keys.forEach((key) => localStorage.removeItem(key));
        return keys;
      });
      assert.deepEqual(left, ['labyrinth-writer-run left 2']);
      await keepsNothing.close();

      // A full storage gives up the run saved longest ago for this one, and
      // keeps what is not a run.
      const full = await phone.newPage();
      await full.goto(`${served.url}#r=1&seed=44&track`);
      await full.waitForSelector('#tracker:not([hidden]) svg');
      const older = await full.evaluate(() => {
        localStorage.setItem('labyrinth-writer-map-shown other', 'shown');
        const keys = [];
        // Runs of every size down to a few bytes, until not a byte more fits.
        for (let size = 1 << 20; size >= 8;) {
          const key = `labyrinth-writer-run older ${keys.length}`;
          try {
            localStorage.setItem(key, JSON.stringify({ steps: [], savedAt: keys.length + 1, filler: 'x'.repeat(size) }));
            keys.push(key);
          } catch {
            size /= 2;
          }
        }
        return keys;
      });
      await full.tap('#tracker-pad .pad-door.fog');
      await full.waitForFunction(() => localStorage.getItem(`labyrinth-writer-run ${
        /seed code ([^)]*)/.exec(document.getElementById('tracker-heading').textContent)[1]}`));
      assert.deepEqual(await full.evaluate((keys) => keys.filter((key) => localStorage.getItem(key) !== null), older),
        older.slice(1));
      assert.deepEqual([await full.evaluate(() => localStorage.getItem('labyrinth-writer-map-shown other')),
        (await full.textContent('#tracker-status')).endsWith('keep the run.')], ['shown', false]);
      await full.close();

      assert.deepEqual(errors, []);
    } finally {
      await browser.close();
    }
  });

  test('the broadcast view: the map alone at its size, transparent or keyed, following and stepping the run of the '
    + 'tracker beside it', async () => {
    for (const name of ['broadcast.json', 'broadcast.nes']) fs.rmSync(file(name), { force: true });
    const race = JSON.parse(cli(['write', 'game.nes', '--sealed', '--spoiler', 'broadcast.json', '-o', 'broadcast.nes',
      '--json'], work.dir).out.toString());
    const transparent = [0, 0, 0, 0];
    // Each row: the tracker's link, what the broadcast view's adds to it
    // (after the run's steps, when the tracker's link with them is given),
    // the browser, the view's size and its colour beside the map.
    const rows = [
      ['#r=1&seed=45&track', '&view=broadcast', { viewport: { width: 480, height: 480 } }, [480, 480], transparent],
      ['#r=1&daily=2026-12-08&track', '&view=broadcast&size=390x600', screens[0][1], [390, 600], transparent, 'run'],
      [race.trackerLink, '&bg=0f0&view=broadcast&size=300', screens[1][1], [300, 300], [0, 255, 0, 255], 'run'],
    ];
    const browser = await launchBrowser();
    try {
      for (const [open, added, options, [width, height], beside, withRun] of rows) {
        const what = `${open}${added}`;
        const context = await browser.newContext(options);
        await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: served.url });
        const errors = [];
        const pageOf = async (hash) => {
          const page = await context.newPage();
          page.on('pageerror', (error) => errors.push(error.message));
          await page.goto(served.url + hash);
          await page.waitForSelector('#tracker:not([hidden]) svg');
          return page;
        };
        const roomsAre = (page, n) => page.waitForFunction((count) =>
          document.querySelectorAll('#tracker .rooms > [data-room]').length === count, n);
        const tracker = await pageOf(open);
        await tracker.click('#tracker-pad .pad-door.fog');
        await roomsAre(tracker, 2);
        await tracker.waitForFunction(() => Object.keys(localStorage).some((key) => key.startsWith('labyrinth-writer-run ')));
        let link = open;
        if (withRun) {
          await tracker.click('#tracker-copy-link');
          await tracker.waitForFunction(() => document.getElementById('tracker-copied').textContent === 'Link copied.');
          link = new URL(await tracker.evaluate(() => navigator.clipboard.readText())).hash;
          assert.match(link, /&run=/, what);
        }
        const view = await pageOf(link + added);
        await roomsAre(view, 2);
        assert.equal(new URL(view.url()).hash, link + added, `${what}: the address stays the view's`);

        // At its size, nothing scrolls and nothing lies outside its box.
        const laidOut = await view.evaluate(() => {
          const outside = [...document.querySelectorAll('body *:not(svg *)')].filter((element) => {
            const box = element.getBoundingClientRect();
            return element.getClientRects().length > 0 && (box.left < -0.5 || box.top < -0.5
              || box.right > document.body.clientWidth + 0.5 || box.bottom > document.body.clientHeight + 0.5);
          }).map((element) => element.id || element.tagName);
          const page = document.scrollingElement;
          const map = document.getElementById('tracker-map');
          return { size: [document.body.clientWidth, document.body.clientHeight], outside,
            scrolls: [page.scrollWidth > page.clientWidth, page.scrollHeight > page.clientHeight,
              map.scrollWidth > map.clientWidth, map.scrollHeight > map.clientHeight] };
        });
        assert.deepEqual(laidOut, { size: [width, height], outside: [], scrolls: [false, false, false, false] }, what);
        assert.deepEqual(await axeViolations(view), [], `${what}: axe-core`);

        // Beside the map (left of it, or below it in a tall view) the page is
        // transparent, or the link's colour; the map itself is not.
        const points = await view.evaluate(() => {
          const map = document.getElementById('tracker-board').getBoundingClientRect();
          const box = document.getElementById('tracker-map').getBoundingClientRect();
          const middle = [Math.round(map.x + map.width / 2), Math.round(map.y + map.height / 2)];
          return [map.left - box.left >= 2 ? [Math.floor(box.left) + 1, middle[1]] : [middle[0], Math.ceil(map.bottom) + 1],
            middle];
        });
        const shot = await view.screenshot({ omitBackground: true });
        const blank = await context.newPage();
        const pixels = await blank.evaluate(async ([png, points]) => {
          const picture = await createImageBitmap(new Blob([new Uint8Array(png)], { type: 'image/png' }));
          const canvas = new OffscreenCanvas(picture.width, picture.height);
          const drawn = canvas.getContext('2d');
          drawn.drawImage(picture, 0, 0);
          return points.map(([x, y]) => [...drawn.getImageData(x, y, 1, 1).data]);
        }, [[...shot], points]);
        await blank.close();
        assert.deepEqual([pixels[0], pixels[1][3]], [beside, 255], `${what}: the colours beside the map and on it`);

        // A step of the tracker shows in the view within the frame of the
        // storage event that tells of it, and the strip says where the player is.
        await view.evaluate(() => {
          window.seen = [];
          addEventListener('storage', () => requestAnimationFrame(() =>
            window.seen.push(document.querySelectorAll('#tracker .rooms > [data-room]').length)));
        });
        await tracker.click('#tracker-pad .pad-door.fog');
        await view.waitForFunction(() => window.seen.length > 0);
        assert.equal(await view.evaluate(() => window.seen[0]), 3, `${what}: within a frame`);
        assert.equal(await view.textContent('#broadcast-here'), await tracker.textContent('#tracker-here'), what);

        // A tap on the fog behind a gold door in the view reveals that room,
        // and the tracker follows.
        const fog = await view.evaluate(() => {
          const mark = document.querySelector('#tracker .door-mark').getBoundingClientRect();
          const from = document.querySelector(`#tracker .rooms > [data-room="${
            document.querySelector('#tracker .door-mark').dataset.from}"]`).getBoundingClientRect();
          return [2 * (mark.x + mark.width / 2) - (from.x + from.width / 2), 2 * (mark.y + mark.height / 2) - (from.y + from.height / 2)];
        });
        if (options.hasTouch) await view.touchscreen.tap(...fog);
        else await view.mouse.click(...fog);
        await roomsAre(view, 4);
        await roomsAre(tracker, 4);

        // The splits of the tracker's timer, in the strip.
        await tracker.click('#run-timer-start');
        await tracker.click('#tracker-reveal-all');
        const away = tracker.locator('#tracker .rooms > :not([data-area="0"])').first();
        await away.scrollIntoViewIfNeeded();
        const box = await away.boundingBox();
        await tracker.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
        await tracker.waitForSelector('#splits li');
        const splits = (await tracker.locator('#splits li').allTextContents()).map((split) => split.replace(':', ''));
        await view.waitForFunction((n) => document.querySelectorAll('#broadcast-splits span').length === n, splits.length);
        assert.deepEqual(await view.locator('#broadcast-splits span').allTextContents(), splits, what);
        assert.deepEqual(errors, [], what);
        await context.close();
      }
    } finally {
      await browser.close();
    }
  });

  test('the run\'s timer, splits and item rooms are kept with the progress and copied as text', async () => {
    const native = nativeWrite(work.dir, 'game.nes', 77);
    const spoiler = JSON.parse(cli(['show', native.path, '--json'], work.dir).out.toString());
    const items = spoiler.rooms.filter((room) => room.record === 'item');
    const area = spoiler.rooms.find((room) => room.area !== 0 && room.record === 'item').area;
    const itemsOfArea = items.filter((room) => room.area === area).map((room) => `Item room (${room.x}, ${room.y})`);
    const page = await chromium.context.newPage();
    await page.clock.install({ time: new Date('2026-12-08T20:00:00Z') });
    const open = async () => {
      await page.waitForSelector('html[data-ready="true"]');
      await page.waitForSelector('#tracker:not([hidden]) svg');
    };
    const timeIs = (text) => page.waitForFunction((t) => document.getElementById('run-timer').textContent === t, text);
    await page.goto(`${served.url}#r=1&seed=77&track`);
    await open();
    assert.equal(await page.textContent('#run-timer'), '0:00:00');
    await page.click('#run-timer-start');
    await page.clock.runFor(65_000);
    await timeIs('0:01:05');
    await page.click('#run-timer-start');  // pause
    await page.clock.runFor(10_000);
    await timeIs('0:01:05');
    assert.equal(await page.textContent('#run-timer-start'), 'Go on');

    // A room of an area entered, once the timer has run, is its split
    // (revealed, it is not); its item rooms can be ticked off.
    const roomsOf = (n) => spoiler.rooms.filter((room) => room.area === n).map((room) => `${room.x},${room.y}`);
    const splits = () => page.locator('#splits li').allTextContents();
    const walkTo = async (cell) => {
      const room = page.locator(`#tracker .rooms > [data-room="${cell}"]`);
      await room.scrollIntoViewIfNeeded();
      const box = await room.boundingBox();
      await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
      await page.waitForFunction((c) => document.querySelector('#tracker [aria-current]')?.dataset.room === c, cell);
    };
    await page.selectOption('#tracker-area', String(area));
    await page.click('#tracker-reveal-area');
    await page.waitForFunction((n) => document.querySelectorAll('#tracker .rooms > [data-room]').length === n,
      roomsOf(area).length + 1);
    assert.deepEqual(await splits(), []);
    await walkTo(roomsOf(area)[0]);
    assert.deepEqual(await splits(), [`Area ${area}: 0:01:05`]);
    assert.deepEqual(await page.locator('#items label').allTextContents(), itemsOfArea);
    assert.equal(await page.textContent('#items-count'),
      `0 item rooms of ${items.length} ticked off; ${itemsOfArea.length} shown.`);
    await page.check('#items input >> nth=0');
    await page.waitForFunction(() => document.getElementById('items-count').textContent.startsWith('1 item room of'));
    // A note and a pin in that room, and the area marked done, are kept and carried with the rest.
    await page.fill('#tracker-note', 'Dead end, & no <key>');
    await page.press('#tracker-note', 'Enter');
    await page.click('#tracker-pin');
    await page.check(`#area-done-${area}`);
    await page.waitForSelector('#tracker-pin[aria-pressed="true"]');

    // Undo after Reveal all and a walk into another area takes its split away.
    const other = [1, 2, 3, 4, 5].find((n) => n !== area);
    await page.click('#tracker-reveal-all');
    await walkTo(roomsOf(other)[0]);
    assert.deepEqual(await splits(), [`Area ${area}: 0:01:05`, `Area ${other}: 0:01:05`]);
    await page.click('#tracker-undo');
    await page.click('#tracker-undo');
    await page.waitForFunction((n) => document.querySelectorAll('#tracker .rooms > [data-room]').length === n,
      roomsOf(area).length + 1);
    assert.deepEqual(await splits(), [`Area ${area}: 0:01:05`]);

    // All of it comes back on a reload, and is copied as text.
    await page.reload();
    await open();
    await timeIs('0:01:05');
    assert.deepEqual(await splits(), [`Area ${area}: 0:01:05`]);
    assert.equal(await page.isChecked('#items input >> nth=0'), true);
    assert.deepEqual([await page.inputValue('#tracker-note'), await page.isChecked(`#area-done-${area}`)],
      ['Dead end, & no <key>', true]);

    // The splits saved as a LiveSplit file: read back by an XML parser, the
    // areas and times that the tracker shows, under the labyrinth's name.
    const [saved] = await Promise.all([page.waitForEvent('download'), page.click('#run-save-splits')]);
    assert.equal(saved.suggestedFilename(), 'labyrinth-77.lss');
    await saved.saveAs(file('splits.lss'));
    const parser = await chromium.context.newPage();
    const read = await parser.evaluate((text) => {
      const run = new DOMParser().parseFromString(text, 'application/xml');
      if (run.querySelector('parsererror')) return run.querySelector('parsererror').textContent;
      return { category: run.querySelector('Run > CategoryName').textContent,
        segments: [...run.querySelectorAll('Segments > Segment')].map((segment) => [segment.querySelector('Name').textContent,
          segment.querySelector('SplitTime[name="Personal Best"] > RealTime').textContent]) };
    }, fs.readFileSync(file('splits.lss'), 'utf8'));
    await parser.close();
    const lssTime = (time) => time.replace(/^0?(\d+):(\d\d):(\d\d)\.\d+$/, '$1:$2:$3');
    assert.deepEqual({ ...read, segments: read.segments.map(([name, time]) => `${name}: ${lssTime(time)}`) },
      { category: 'Labyrinth seed 77', segments: await splits() });
    await page.waitForFunction(() => document.getElementById('run-copied').textContent
      === 'The splits are saved as labyrinth-77.lss.');
    await page.click('#run-copy');
    await page.waitForFunction(() => document.getElementById('run-copied').textContent === 'Times and items copied.');
    const copied = await page.evaluate(() => navigator.clipboard.readText());
    for (const line of ['Time: 0:01:05', `Area ${area}: 0:01:05`, `Items: 1 of ${items.length}`, itemsOfArea[0]])
      assert.ok(copied.split('\n').includes(line), `${line} in ${copied}`);

    // Reset the timer sets it to zero and clears the splits; the ticks stay;
    // Undo brings time and splits back, Redo takes them again.
    await page.click('#run-timer-reset');
    await timeIs('0:00:00');
    assert.deepEqual([await splits(), await page.isChecked('#items input >> nth=0')], [[], true]);
    await page.click('#tracker-undo');
    await timeIs('0:01:05');
    assert.deepEqual(await splits(), [`Area ${area}: 0:01:05`]);
    await page.click('#tracker-redo');
    await timeIs('0:00:00');
    await page.click('#tracker-undo');
    await timeIs('0:01:05');

    // The tracker's link opens the same run in a browser that never saw it:
    // its rooms, the player's room, the time, the splits and the ticks.
    const seen = async (on) => ({ rooms: await on.locator('#tracker .rooms > [data-room]').evaluateAll((all) =>
      all.map((e) => e.dataset.room).sort()), here: await on.getAttribute('#tracker [aria-current]', 'data-room'),
    time: await on.textContent('#run-timer'), splits: await on.locator('#splits li').allTextContents(),
    ticked: await on.locator('#items input:checked').evaluateAll((all) => all.map((e) => e.dataset.item)),
    marks: await on.locator('#room-marks li').allTextContents(),
    marked: await on.locator('#tracker [data-marked]').evaluateAll((all) => all.map((e) => e.dataset.marked)),
    done: await on.locator('#areas-done input:checked').evaluateAll((all) => all.map((e) => e.dataset.area)) });
    await page.click('#tracker-copy-link');
    await page.waitForFunction(() => document.getElementById('tracker-copied').textContent === 'Link copied.');
    const link = await page.evaluate(() => navigator.clipboard.readText());
    const elsewhere = await launchBrowser();
    try {
      const fresh = await (await elsewhere.newContext()).newPage();
      await fresh.goto(link);
      await fresh.waitForSelector('#tracker:not([hidden]) svg');
      await fresh.waitForFunction(() => document.getElementById('run-timer').textContent !== '0:00:00');
      const there = await seen(fresh);
      assert.deepEqual(there, await seen(page));
      assert.deepEqual([there.marks.length, there.marked.length, there.done], [1, 1, [String(area)]], 'notes and pins');
      assert.equal(new URL(fresh.url()).hash, '#r=1&seed=77&track', 'the run is kept, and the address names the labyrinth');
    } finally {
      await elsewhere.close();
    }

    // Runs kept by the page before runs were histories load: rooms, the
    // player's room, the clock, its splits and ticks; they are kept again in
    // today's form. A damaged clock is forgotten, and said so once; the rooms
    // revealed are kept.
    const key = `labyrinth-writer-run ${codeOf(native.report)}`;
    const [item] = items.filter((room) => room.area === area).map((room) => `${room.x},${room.y}`);
    const earlier = (clock) => JSON.stringify({ steps: [[item]], here: item, clock, savedAt: 1 });
    const fine = { elapsed: 65_000, startedAt: null, splits: [{ area, at: 65_000 }], ticks: [item] };
    const keptAs = async (clock) => {
      await page.evaluate(([k, run]) => localStorage.setItem(k, run), [key, earlier(clock)]);
      await page.reload();
      await open();
      await page.waitForFunction((k) => JSON.parse(localStorage.getItem(k)).version === 2, key);
      return { ...await seen(page), status: await page.textContent('#tracker-status') };
    };
    const { status, ...run } = await keptAs(fine);
    assert.deepEqual([run, status.startsWith('2 rooms shown;')], [{ rooms: ['11,12', item].sort(), here: item,
      time: '0:01:05', splits: [`Area ${area}: 0:01:05`], ticked: [item], marks: [], marked: [], done: [] }, true], status);
    const fresh = { elapsed: 0, startedAt: null, splits: [], ticks: [] };
    const damaged = [
      ['running for longer than a number holds', { elapsed: 1e308, startedAt: -1e308 }],
      ['below zero', { elapsed: -5 }],
      ['a string', { elapsed: '65000' }],
      ['splits that are not a list', { elapsed: 65000, splits: 'Area 3' }],
      ['a split of an area that is none', { elapsed: 65000, splits: [{ area: 99, at: 1000 }] }],
    ];
    for (const [what, clock] of damaged) {
      const run = await keptAs({ ...fresh, ...clock });
      assert.deepEqual([run.rooms.length, run.time, run.ticked], [2, '0:00:00', []], what);
      assert.ok(run.status.startsWith('The timer, splits and ticked item rooms kept for this run were damaged, so they '
        + 'were forgotten. 2 rooms shown'), `${what}: ${run.status}`);
    }
    await page.reload();
    await open();
    assert.ok((await page.textContent('#tracker-status')).startsWith('2 rooms shown'), 'said once');
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
    assert.equal(await inputFile(page, 'rom'), 'game.nes');
    await expectAccessible(page, 'remembered files');
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

    // Records that are not files, as a damaged or foreign database holds
    // them, or whose name no file can have: each is forgotten, and said so;
    // a good record beside them stays.
    await page.check('#remember');
    await chooseFiles(page);
    await page.waitForFunction(() => document.getElementById('remembered').textContent.includes('tgltext.tgl'));
    const notFile = 'What this browser kept as your image was not a file, so it was forgotten; choose the image again.';
    const longName = (bytes) => `What this browser kept as your image had a name of ${bytes} bytes, longer than the 255 a `
      + 'file\'s name may have, so it was forgotten; choose the image again.';
    const records = [['{ name: 12, bytes: "string" }', notFile], ['null', notFile],
      ['{ name: "game.nes", type: "", bytes: [1, 2] }', notFile], ['{ name: 12, type: "", bytes: Uint8Array }', notFile],
      ['{ name: "game.nes", bytes: Uint8Array }', notFile],
      ['a name of 1,000,004 characters', longName('1,000,004')], ['a name of 128 characters in 256 bytes', longName('256')]];
    for (const [row, [bad, note]] of records.entries()) {
      await page.evaluate((which) => new Promise((resolve, reject) => {
        const record = [{ name: 12, bytes: 'string' }, null, { name: 'game.nes', type: '', bytes: [1, 2] },
          { name: 12, type: '', bytes: new Uint8Array(4) }, { name: 'game.nes', bytes: new Uint8Array(4) },
          { name: `${'x'.repeat(1_000_000)}.nes`, type: '', bytes: new Uint8Array(4) },
          { name: '\u00e9'.repeat(128), type: '', bytes: new Uint8Array(4) }][which];
        const open = indexedDB.open('labyrinth-writer', 1);
        open.onsuccess = () => {
          const transaction = open.result.transaction('files', 'readwrite');
          transaction.objectStore('files').put(record, 'rom');
          transaction.oncomplete = () => { open.result.close(); resolve(); };
          transaction.onerror = () => reject(transaction.error);
        };
      }), row);
      await page.reload();
      await page.waitForSelector('html[data-ready="true"]');
      const said = await page.textContent('#remembered');
      assert.equal(said, `Remembered in this browser: tgltext.tgl. ${note}`, bad);
      assert.deepEqual([await inputFile(page, 'rom'), await inputFile(page, 'text')], [null, 'tgltext.tgl']);
      assert.equal(await page.textContent('#files-used'), 'The text file is tgltext.tgl; choose your cartridge image.');
      await page.reload();
      await page.waitForSelector('html[data-ready="true"]');
      assert.equal(await page.textContent('#remembered'), 'Remembered in this browser: tgltext.tgl.', bad);
    }
    await page.click('#forget');
    await page.close();
  });
  test('dropped and picked files go where their content says, each slot once, a stray file nowhere', async () => {
    const { page } = await openPage();
    // Three files at once, the stray one between the two that belong, and a
    // second image after the first: the stray and the second are named, unused.
    await drop(page, '#write-heading', [['tgltext.tgl', fileBytes('tgltext.tgl')], ['notes.txt', fileBytes('notes.txt')],
      ['game.nes', fileBytes('game.nes')], ['again.nes', fileBytes('game.nes')]]);
    await page.waitForFunction(() => document.getElementById('status').textContent.includes('notes.txt'));
    const told = await page.textContent('#status');
    assert.deepEqual([await inputFile(page, 'rom'), await inputFile(page, 'text')], ['game.nes', 'tgltext.tgl']);
    assert.ok(told.startsWith('game.nes is now the image and tgltext.tgl the text file.'), told);
    // In the image check's own words, as the command line refuses such an image.
    assert.ok(told.includes('notes.txt was not used: it is not an NES cartridge image (it does not start with "NES" and '
      + '0x1A), nor a text file whose name ends in .tgl.'), told);
    assert.ok(told.includes('again.nes was not used: game.nes is the image of this drop.'), told);
    assert.equal(await page.textContent('#files-used'), 'The write uses game.nes as the image and tgltext.tgl as the text file.');
    await page.fill('#seed', '42');
    await page.click('#write');
    await statusIs(page, 'Done.');
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
    await download.saveAs(file('dropped.nes'));
    assert.deepEqual(new Uint8Array(fs.readFileSync(file('dropped.nes'))), nativeWrite(work.dir, 'game.nes', 42).bytes);

    // A stray file alone changes nothing; an image picked as the text file
    // becomes the image, and a .tgl picked as the image the text file.
    await drop(page, 'main', [['notes.txt', fileBytes('notes.txt')]]);
    await page.waitForFunction(() => document.getElementById('status').textContent.startsWith('notes.txt was not used'));
    assert.deepEqual([await inputFile(page, 'rom'), await inputFile(page, 'text')], ['game.nes', 'tgltext.tgl']);
    await page.setInputFiles('#text', file('native-42.nes'));
    await page.waitForFunction(() => document.getElementById('rom').files[0]?.name === 'native-42.nes');
    assert.equal(await inputFile(page, 'text'), null);
    await page.setInputFiles('#rom', file('tgltext.tgl'));
    await page.waitForFunction(() => document.getElementById('text').files[0]?.name === 'tgltext.tgl');
    assert.equal(await inputFile(page, 'rom'), null);

    // An image dropped on Look is looked at; the write's slots keep theirs.
    await page.setInputFiles('#rom', file('game.nes'));
    await drop(page, '#look-heading', [['native-42.nes', fileBytes('native-42.nes')]]);
    await page.waitForSelector('#look-spoiler-toggle');
    assert.equal(await inputFile(page, 'rom'), 'game.nes');
    const [spoiler] = await Promise.all([page.waitForEvent('download'), page.click('#look-result a[download]')]);
    await spoiler.saveAs(file('look-spoiler.json'));
    assert.equal(fs.readFileSync(file('look-spoiler.json'), 'utf8'),
      cli(['show', 'native-42.nes', '--json'], work.dir).out.toString());
    await page.close();
  });

  test('a result never outlives its inputs: a change clears "Done." and says what the result is of', async () => {
    const { page } = await openPage();
    await writeSeed(page, '42');
    assert.equal(await page.isVisible('#stale'), false);
    const changes = [
      ['the seed', () => page.fill('#seed', '43'), 'with seed 42'],
      ['the image', () => page.setInputFiles('#rom', file('native-42.nes')), 'with seed 43'],
    ];
    for (const [what, change, seedSaid] of changes) {
      await change();
      await page.waitForFunction(() => !document.getElementById('stale').hidden);
      assert.notEqual(await page.textContent('#status'), 'Done.', what);
      const said = await page.textContent('#stale');
      assert.ok(said.includes('game.nes and tgltext.tgl') && said.includes(seedSaid), `${what}: ${said}`);
      // Writing again makes the result current.
      await page.fill('#seed', '43');
      await page.setInputFiles('#rom', file('game.nes'));
      await page.click('#write');
      await statusIs(page, 'Done.');
      assert.equal(await page.isVisible('#stale'), false, what);
    }
    await page.close();
  });

  test('every state passes axe-core, fits the viewport and shows its focus, at phone and desktop widths, light and dark',
    async () => {
      const native = nativeWrite(work.dir, 'game.nes', 99);
      const race = nativeWrite(work.dir, 'game.nes', 98);
      for (const viewport of [{ width: 1280, height: 800 }, { width: 390, height: 844 }])
        for (const colorScheme of ['light', 'dark']) {
          const at = `${viewport.width} px, ${colorScheme}`;
          const { page } = await openPage('', { viewport, colorScheme });
          await forgetMapChoice(page);
          await expectAccessible(page, `initial, ${at}`);
          // The first screen's text: one family in two weights, sizes from one scale in rem.
          const type = await page.evaluate(() => {
            const seen = { families: new Set(), weights: new Set(), sizes: new Set() };
            const texts = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
            for (let text; (text = texts.nextNode());) {
              const box = text.parentElement.getBoundingClientRect();
              if (!text.textContent.trim() || !box.width || box.top >= window.innerHeight) continue;
              const style = getComputedStyle(text.parentElement);
              seen.families.add(style.fontFamily);
              seen.weights.add(style.fontWeight);
              seen.sizes.add(parseFloat(style.fontSize) / 16);
            }
            return Object.fromEntries(Object.entries(seen).map(([key, values]) => [key, [...values].sort()]));
          });
          assert.deepEqual([type.families.length, type.weights.length <= 2], [1, true], `${JSON.stringify(type)}, ${at}`);
          assert.deepEqual(type.sizes.filter((size) => ![0.875, 1, 1.25, 1.5, 1.75].includes(size)), [],
            `sizes off the scale, ${at}`);

          await writeSeed(page, '42');
          await page.waitForSelector('#spoiler:not([hidden])');
          // Below the fold the result comes into view and takes the focus.
          const seen = await page.evaluate(() => {
            const box = document.getElementById('download').getBoundingClientRect();
            return [box.top >= 0 && box.bottom <= window.innerHeight, document.activeElement.id];
          });
          assert.equal(seen[0], true, `the download is out of view, ${at}`);
          if (viewport.width < 600) assert.equal(seen[1], 'result', `the result has no focus, ${at}`);
          await page.click('#spoiler-toggle');
          await page.waitForSelector('#map svg');
          await page.focus('#write');
          await expectAccessible(page, `after a write, the map shown, ${at}`);
          await page.click('#spoiler-toggle');

          // The tracker, a door revealed by a click or a tap on the pad.
          await page.click('#track');
          if (await page.isEnabled('#tracker-reset')) await page.click('#tracker-reset');
          await page.click('#tracker-pad .pad-door.fog');
          await page.waitForFunction(() => document.querySelectorAll('#tracker .rooms > [data-room]').length > 1);
          // A note and a pin on the player's room (kept from the last state
          // where it was the same room), and an area done.
          await page.fill('#tracker-note', 'Key here');
          await page.click('#tracker-note-keep');
          if (await page.getAttribute('#tracker-pin', 'aria-pressed') !== 'true') await page.click('#tracker-pin');
          await page.check('#area-done-2');
          await page.waitForSelector('#tracker [data-marked] .note-mark ~ .pin-mark');
          // A step undone: Undo and Redo both on.
          await page.click('#tracker-reveal-all');
          await page.click('#tracker-undo');
          await page.waitForSelector('#tracker-redo:enabled');
          await page.focus('#track');
          await expectAccessible(page, `tracker with a note, a pin and an area done, Undo and Redo on, ${at}`);
          // Zoomed in, the legend unfolded, a refused seed in the tracker's form.
          await page.click('#tracker-zoom');
          await page.evaluate(() => { document.getElementById('tracker-legend').open = true; });
          await page.fill('#track-seed', 'x');
          await page.click('#track-seed-button');
          await page.waitForSelector('#track-seed[aria-invalid="true"]');
          await page.waitForSelector('#tracker-legend-map svg');
          await page.focus('#track');
          await expectAccessible(page, `tracker, zoomed in, and the legend, ${at}`);
          await page.click('#tracker-zoom');

          // A pasted page of digits: cut in the message, the field marked.
          await page.fill('#seed', '7'.repeat(5000));
          await page.click('#write');
          await page.waitForFunction(() => document.getElementById('status').textContent.endsWith(
            'not a seed of 5,000 characters.'));
          assert.equal(await page.evaluate(() => document.activeElement.id), 'seed');
          await expectAccessible(page, `error, ${at}`);

          await page.setInputFiles('#look', file(native.path));
          await page.waitForSelector('#look-spoiler-toggle');
          await expectAccessible(page, `look, ${at}`);

          // A sealed race's link asks for the race's image.
          await page.evaluate((code) => { window.location.hash = `r=1&code=${code}&track`; },
            codeOf(race.report).replaceAll(' ', '-'));
          await page.waitForSelector('#tracker-image-field:not([hidden])');
          await expectAccessible(page, `a race's link asks for its image, ${at}`);
          await page.close();
        }
    });

  test('with JavaScript off the page says why it cannot work and shows no controls', async () => {
    const page = await chromium.context.newPage();
    const cdp = await chromium.context.newCDPSession(page);
    await cdp.send('Emulation.setScriptExecutionDisabled', { value: true });
    await page.goto(served.url);
    const said = await page.innerText('main');
    assert.ok(said.includes('This page needs JavaScript'), said);
    for (const hidden of ['#write-form', '#look-field', '#status'])
      assert.equal(await page.isVisible(hidden), false, hidden);
    await page.close();
  });

  test('offline after one visit, installable, and a new build replaces the old cache', async () => {
    // A page of its own, on an origin of its own, whose files can change.
    const site = tempDir();
    fs.cpSync(pageDir, site.dir, { recursive: true });
    const own = await servePage(site.dir);
    const page = await chromium.context.newPage();
    try {
      await page.goto(own.url);
      await page.waitForSelector('html[data-ready="true"]');
      await page.evaluate(() => navigator.serviceWorker.ready);
      const cdp = await chromium.context.newCDPSession(page);
      const { installabilityErrors } = await cdp.send('Page.getInstallabilityErrors');
      assert.deepEqual(installabilityErrors, []);
      const firstCaches = await page.evaluate(() => caches.keys());
      assert.equal(firstCaches.length, 1);

      // No network at all: the page loads, writes, and its download is the native write.
      own.server.close();
      own.server.closeAllConnections();
      await chromium.context.setOffline(true);
      await page.reload();
      await page.waitForSelector('html[data-ready="true"]');
      await writeSeed(page, '42');
      const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
      await download.saveAs(file('offline.nes'));
      assert.deepEqual(new Uint8Array(fs.readFileSync(file('offline.nes'))), nativeWrite(work.dir, 'game.nes', 42).bytes);

      // A new build: another page, another worker. The open page loads as it
      // was, then the new worker takes over, and only its cache is left.
      await chromium.context.setOffline(false);
      const newer = await servePage(site.dir, { port: Number(new URL(own.url).port) });
      try {
        const index = path.join(site.dir, 'index.html');
        fs.writeFileSync(index, fs.readFileSync(index, 'utf8').replace('<h1>Labyrinth Writer</h1>', '<h1>Labyrinth Writer (new)</h1>'));
        const worker = path.join(site.dir, 'service-worker.js');
        fs.writeFileSync(worker, fs.readFileSync(worker, 'utf8').replace(/const build = '[0-9a-f]+';/, "const build = 'newer';"));
        await page.reload();
        await page.waitForSelector('html[data-ready="true"]');
        // The browser looks for a new worker shortly after the load.
        for (let tries = 0; (await page.evaluate(() => caches.keys())).join() !== 'labyrinth-writer-newer'; ++tries) {
          assert.ok(tries < 200, 'the new build did not take over');
          await new Promise((resolve) => setTimeout(resolve, 50));
        }
        await page.reload();
        assert.equal(await page.textContent('h1'), 'Labyrinth Writer (new)');
      } finally {
        newer.server.close();
      }
    } finally {
      await chromium.context.setOffline(false);
      await page.close();
      own.server.close();
      site.remove();
    }
  });
});
