#!/usr/bin/env node
// The page's speed and size, in Debian's Chromium against the built files on
// a local port (make bench-web runs it after building both sides):
//   - one click, from the button to "Done." (the page's mark of the moment it
//     says so, or the status line's change), median over 200 clicks (seeds 0
//     to 199 on a blank image held in memory), against the native click of
//     the same seeds measured in this run (labyrinth-bench);
//   - from the button to the new map painted: the end of the first frame
//     that holds the map, with the whole map on screen (the player's choice
//     to see maps on), the clicks spread evenly over the frame interval, as
//     a player's clicks fall;
//   - how long after navigation the page is ready to write: on a cold load
//     (a fresh profile each time: no cache, no service worker) and on a
//     repeat visit (the service worker's copy), 20 loads each; for the cold
//     loads also the medians of the steps on the way (the page received,
//     its files received, its script running, the module compiled);
//   - every byte the page transfers on a cold load, uncompressed.
// Figures, not pass or fail: the machine is shared and noisy.

import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

import { launchBrowser, launchChromium, minImageSize, pageDir, requireBuilt, root, tempDir, textSize }
  from '../tests/web/support.mjs';

const clicks = Number(process.env.CLICKS || 200);
const loads = Number(process.env.LOADS || 20);
const quietMs = 1000;
const nativeBench = process.env.LABYRINTH_BENCH || path.join(root, 'build/bench/bench/labyrinth-bench');

const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor((sorted.length - 1) / 2)];
};
const quantile = (values, q) => [...values].sort((a, b) => a - b)[Math.floor(q * (values.length - 1))];

function nativeClickMs() {
  const report = JSON.parse(execFileSync(nativeBench,
    ['--benchmark_filter=^BM_Click/seeds_0_to_199', '--benchmark_format=json'], { encoding: 'utf8' }));
  return report.benchmarks[0].p50_ms;
}

// The page served as `make web-serve` serves it: by a process of its own,
// so that this one's work does not slow the server down. The loads are timed
// as a plain static host serves the page; the clicks on a cross-origin
// isolated page, whose clock runs at full precision.
function serve({ isolated = false } = {}) {
  const server = spawn(process.execPath,
    [path.join(root, 'scripts/serve-web.mjs'), ...(isolated ? ['--isolated'] : []), pageDir],
    { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    server.stdout.setEncoding('utf8');
    server.stdout.on('data', (text) => {
      const address = /http:\/\/127\.0\.0\.1:\d+\//.exec(text);
      if (address) resolve({ url: address[0], stop: () => server.kill() });
    });
    server.once('exit', (code) => reject(new Error(`the server stopped (${code})`)));
  });
}

// Loads the page and resolves to its time from navigation to ready.
async function readyAfterLoad(page, url) {
  return (await loadPhases(page, url)).ready;
}

// Loads the page and resolves to the times from navigation to each step on
// the way to ready: the page's own file received, the last of the files it
// asks for received, its script running, the module compiled, ready.
//
// Nothing of Playwright's runs in the page until it has had time to get
// ready: waiting on a selector runs Playwright's own script in the page, on
// the thread that the page's start-up needs, and made a cold load about 25
// ms slower than a player's. A load slower than that quiet second still ends
// in the wait on the selector.
async function loadPhases(page, url) {
  await page.goto(url, { waitUntil: 'load' });
  await new Promise((resolve) => setTimeout(resolve, quietMs));
  await page.waitForSelector('html[data-ready="true"]');
  return page.evaluate(() => {
    const at = (name) => performance.getEntriesByName(name)[0].startTime;
    return {
      page: performance.getEntriesByType('navigation')[0].responseEnd,
      files: Math.max(...performance.getEntriesByType('resource')
        .filter((entry) => entry.startTime < at('labyrinth-script')).map((entry) => entry.responseEnd)),
      script: at('labyrinth-script'),
      compiled: at('labyrinth-compiled'),
      ready: at('labyrinth-ready'),
    };
  });
}

requireBuilt();
const work = tempDir();
const served = await serve();
const isolated = await serve({ isolated: true });
const browser = await launchBrowser();
const chromium = await launchChromium();
try {
  // The blank image of the native benchmark: the magic, then zeros.
  const image = new Uint8Array(minImageSize);
  image.set([0x4e, 0x45, 0x53, 0x1a]);
  fs.writeFileSync(path.join(work.dir, 'bench.nes'), image);
  fs.writeFileSync(path.join(work.dir, 'tgltext.tgl'), new Uint8Array(textSize));

  // What a cold load transfers, from a load of its own: fetching each body
  // back from the browser is work that the timed loads are spared.
  const files = new Map();
  {
    const context = await browser.newContext();
    const page = await context.newPage();
    const bodies = [];
    page.on('response', (response) => bodies.push(response.body().then((body) => {
      files.set(new URL(response.url()).pathname, body.length);
    }, () => {})));
    await loadPhases(page, served.url);
    await Promise.all(bodies);
    await context.close();
  }
  const transferred = [...files.values()].reduce((a, b) => a + b, 0);

  // Cold loads, each in a fresh profile.
  const coldMs = [];
  const coldPhases = [];
  for (let i = 0; i < loads; ++i) {
    const context = await browser.newContext();
    coldPhases.push(await loadPhases(await context.newPage(), served.url));
    coldMs.push(coldPhases.at(-1).ready);
    await context.close();
  }

  // Repeat visits: one visit installs the service worker, then each load is
  // served from its copy.
  const first = await chromium.context.newPage();
  await readyAfterLoad(first, served.url);
  await first.evaluate(() => navigator.serviceWorker.ready);
  await first.close();
  const repeatMs = [];
  for (let i = 0; i < loads; ++i) {
    const page = await chromium.context.newPage();
    repeatMs.push(await readyAfterLoad(page, served.url));
    await page.close();
  }

  // Clicks, timed inside the page: the button's click event to the status
  // line reading "Done.", and to the end of the first frame that shows the
  // new map. Between clicks the page settles for a few frames, then waits a
  // part of a frame that changes from click to click (evenly over 0 to 16
  // ms), so that the clicks fall at every point of the frame interval.
  // A window tall enough that the whole map is on screen, so that painting
  // it is part of the frame.
  const page = await chromium.context.newPage();
  await page.setViewportSize({ width: 1280, height: 1800 });
  await page.goto(isolated.url);
  if (!await page.evaluate(() => crossOriginIsolated)) throw new Error('the page for the clicks is not cross-origin isolated');
  await page.waitForSelector('html[data-ready="true"]');
  await page.setInputFiles('#rom', path.join(work.dir, 'bench.nes'));
  await page.setInputFiles('#text', path.join(work.dir, 'tgltext.tgl'));
  // The map shows after a write once the player asks for it, as after one
  // write here; the choice holds for the clicks that follow.
  await page.click('#write');
  await page.waitForFunction(() => document.getElementById('status').textContent === 'Done.');
  if (await page.getAttribute('#spoiler-toggle', 'aria-expanded') !== 'true') await page.click('#spoiler-toggle');
  await page.waitForSelector('#map svg');
  await page.mouse.move(0, 0);  // the pointer goes back to the corner, away from the map
  const timings = await page.evaluate(async (count) => {
    const status = document.getElementById('status');
    const seed = document.getElementById('seed');
    const button = document.getElementById('write');
    const map = document.getElementById('map');
    const frame = () => new Promise((resolve) => requestAnimationFrame(resolve));
    // The first change of the page after which `condition` holds.
    const until = (condition) => new Promise((resolve) => {
      const observer = new MutationObserver(() => {
        if (!condition()) return;
        observer.disconnect();
        resolve(performance.now());
      });
      observer.observe(document.body, { childList: true, characterData: true, subtree: true, attributes: true });
    });
    // The end of the next frame: its rendering runs after its
    // animation-frame callbacks, and a task posted from one of them runs
    // once that frame is done.
    const frameDrawn = () => new Promise((resolve) => requestAnimationFrame(() => {
      const channel = new MessageChannel();
      channel.port1.onmessage = () => resolve(performance.now());
      channel.port2.postMessage(null);
    }));
    const done = [];
    const painted = [];
    for (let i = 0; i < count; ++i) {
      seed.value = String(i);
      const old = map.firstElementChild;
      const written = until(() => status.textContent === 'Done.');
      const drawn = until(() => map.firstElementChild && map.firstElementChild !== old).then(frameDrawn);
      const start = performance.now();
      button.click();
      // The page marks the moment it says "Done."; the status line's change
      // is seen only once the click's task has ended.
      const seen = await written;
      const marked = performance.getEntriesByName('labyrinth-done').at(-1)?.startTime;
      done.push((marked > start ? marked : seen) - start);
      painted.push((await drawn) - start);
      if (status.textContent !== 'Done.') throw new Error(status.textContent);
      if (document.getElementById('spoiler').hidden) await until(() => !document.getElementById('spoiler').hidden);
      for (let settle = 0; settle < 3; ++settle) await frame();
      await new Promise((resolve) => setTimeout(resolve, 20 + ((i * 7) % 17)));
    }
    return { done, painted };
  }, clicks);
  // The module's click alone, in memory: the page's call of writeLabyrinth
  // (files copied in, the driver, the image copied out), seeds 0 to 199.
  const moduleMs = await page.evaluate(async ({ count, image }) => {
    const { default: createLabyrinthModule } = await import('./labyrinth.js');
    const labyrinth = await createLabyrinthModule();
    const request = { image: new Uint8Array(image), imageName: 'bench.nes', text: new Uint8Array(446), textName: 'tgltext.tgl' };
    const times = [];
    for (let round = 0; round < 2; ++round)  // the first round warms the compiler up
      for (let i = 0; i < count; ++i) {
        const start = performance.now();
        const written = labyrinth.writeLabyrinth({ ...request, seed: String(i) });
        if (round === 1) times.push(performance.now() - start);
        if (!written.ok) throw new Error(written.message);
      }
    return times;
  }, { count: clicks, image: [...image] });
  await page.close();

  const native = nativeClickMs();
  const browserMs = median(timings.done);
  const row = (what, value) => console.log(`${what.padEnd(58)} ${value}`);
  console.log(`Browser page, Chromium ${browser.version()}, ${clicks} clicks, ${loads} loads of each kind`);
  row('native click, median (labyrinth-bench, seeds 0-199)', `${native.toFixed(3)} ms`);
  row('module click in the page, in memory, median', `${median(moduleMs).toFixed(3)} ms  (${(median(moduleMs) / native).toFixed(2)}x native)`);
  row('page: button to "Done.", median', `${browserMs.toFixed(3)} ms  (${(browserMs / native).toFixed(2)}x native)`);
  row('page: button to "Done.", 99th percentile', `${quantile(timings.done, 0.99).toFixed(3)} ms`);
  row('page: button to the new map painted, median / 95th pct', `${median(timings.painted).toFixed(1)} / ${quantile(timings.painted, 0.95).toFixed(1)} ms`);
  row('page ready after a cold load, median / worst', `${median(coldMs).toFixed(1)} / ${Math.max(...coldMs).toFixed(1)} ms`);
  row('  each load', coldMs.map((ms) => ms.toFixed(0)).join(' '));
  const phase = (name) => median(coldPhases.map((phases) => phases[name])).toFixed(0);
  row('  medians of its steps', `page received ${phase('page')}, its files ${phase('files')}, script running `
    + `${phase('script')}, module compiled ${phase('compiled')}, ready ${phase('ready')} ms`);
  row('page ready on a repeat visit (service worker), median / worst', `${median(repeatMs).toFixed(1)} / ${Math.max(...repeatMs).toFixed(1)} ms`);
  row('everything the page transfers on a cold load, uncompressed', `${transferred} bytes (${(transferred / 1048576).toFixed(3)} MiB)`);
  for (const [name, size] of [...files].sort()) row(`  ${name}`, `${size} bytes`);
} finally {
  await chromium.close();
  await browser.close();
  served.stop();
  isolated.stop();
  work.remove();
}
