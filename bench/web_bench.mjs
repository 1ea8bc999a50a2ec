#!/usr/bin/env node
// The page's speed and size, in Debian's Chromium against the built files on
// a local port (make bench-web runs it after building both sides):
//   - one click, from the button to "Done." (the page's mark of the moment it
//     says so, or the status line's change), median over 200 clicks (seeds 0
//     to 199 on a blank image held in memory), against the native click of
//     the same seeds measured in this run (labyrinth-bench);
//   - from the button to the new result painted: the end of the first frame
//     after "Done.", the clicks spread evenly over the frame interval, as a
//     player's clicks fall (the map stays hidden: every new labyrinth does);
//   - a tap on a door of the tracker, at 390 by 844 CSS pixels with touch,
//     until the end of the first frame that holds the revealed room, median
//     over 100 taps (a run from a link, with no files), and the tap's
//     handler alone (the click's task, before the browser draws);
//   - at a 4x CPU slowdown, as on a phone (the DevTools protocol's
//     Emulation.setCPUThrottlingRate): the same tap, Reveal all (every room
//     of the labyrinth of seed 0, 371, from the start room alone), a cold
//     load to ready, and the button to "Done."; and, to read those against,
//     what this machine and browser take at that speed for any change at
//     all (one word of the tracker's status line, to the end of the frame
//     that shows it), for the module's whole picture of those 371 rooms put
//     into a page that holds nothing else (with the browser's own trace of
//     where that time goes: the DevTools protocol's Tracing), and for a
//     cold load of a page that does nothing but load the module;
//   - a whole run (every room of seed 0 revealed door by door, the walks
//     that takes, the timer started and paused, every item room ticked):
//     the length of the tracker's link that carries it, and what the
//     browser keeps of it;
//   - how long after navigation the page is ready to write: on a cold load
//     (a fresh profile each time: no cache, no service worker) and on a
//     repeat visit (the service worker's copy), 20 loads each; for the cold
//     loads also the medians of the steps on the way (the page received,
//     its files received, its script running, the module compiled);
//   - every byte the page transfers on a cold load, uncompressed.
// With LABYRINTH_WEB_BEFORE, the folder of another build of the page (make
// bench-web BEFORE=<git revision> builds one), the taps, Reveal all and the
// slowed cold load are timed on both in the same run, one after the other,
// and shown side by side. Between taps the page is left a few frames and a
// part of one; a page that drew steps ahead while idle (the page before the
// tracker's run was the module's history) did so then, outside the time.
// Figures, not pass or fail: the machine is shared and noisy.

import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

import { launchBrowser, launchChromium, loadModule, minImageSize, pageDir, requireBuilt, root, tempDir, textSize }
  from '../tests/web/support.mjs';

const clicks = Number(process.env.CLICKS || 200);
const loads = Number(process.env.LOADS || 20);
const taps = Number(process.env.TAPS || 100);
const slowLoads = Number(process.env.SLOW_LOADS || 10);
const revealsAll = Number(process.env.REVEALS_ALL || 10);
const slowdown = 4;
const quietMs = 1000;
const nativeBench = process.env.LABYRINTH_BENCH || path.join(root, 'build/bench/bench/labyrinth-bench');
const beforeDir = process.env.LABYRINTH_WEB_BEFORE;

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
function serve({ isolated = false, folder = pageDir } = {}) {
  const server = spawn(process.execPath,
    [path.join(root, 'scripts/serve-web.mjs'), ...(isolated ? ['--isolated'] : []), folder],
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

// Clicks, timed inside the page: the button's click event to the status
// line reading "Done.", and to the end of the first frame after it. Between
// clicks the page settles for a few frames, then waits a part of a frame
// that changes from click to click (evenly over 0 to 16 ms), so that the
// clicks fall at every point of the frame interval.
function clickTimes(page, count) {
  return page.evaluate(async (count) => {
    const status = document.getElementById('status');
    const seed = document.getElementById('seed');
    const button = document.getElementById('write');
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
      const written = until(() => status.textContent === 'Done.');
      const drawn = written.then(frameDrawn);
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
  }, count);
}

// A page ready for clicks, on the cross-origin isolated server (whose clock
// runs at full precision), with the benchmark's files chosen.
async function clickPage(context, url) {
  const page = await context.newPage();
  await page.setViewportSize({ width: 1280, height: 1800 });
  await page.goto(url);
  if (!await page.evaluate(() => crossOriginIsolated)) throw new Error('the page for the clicks is not cross-origin isolated');
  await page.waitForSelector('html[data-ready="true"]');
  await page.setInputFiles('#rom', path.join(work.dir, 'bench.nes'));
  await page.setInputFiles('#text', path.join(work.dir, 'tgltext.tgl'));
  return page;
}

// Steps in the tracker, timed inside the page, from the step to the end of
// the first frame that shows it, and to the end of the step's own task (its
// handler, before the browser draws):
//   - 'tap': a tap on a door into the fog, the pad's side of the room the
//     player is in (or, on a page without the pad, the door on the map),
//     until the room it reveals is painted. When the player's room has no
//     door into the fog, a tap on a room that has one, untimed; when no room
//     has, Reset, untimed.
//   - 'change': one word of the status line changed, what any change costs
//     this machine and browser before the frame that shows it ends.
//   - 'all': Reveal all, until every room is painted; then Undo, untimed.
// Resolves to { times, handled }.
function trackerTimes(page, count, step) {
  return page.evaluate(async ({ n, step }) => {
    const board = document.getElementById('tracker-board');
    const status = document.getElementById('tracker-status');
    const frame = () => new Promise((resolve) => requestAnimationFrame(resolve));
    const frameDrawn = () => new Promise((resolve) => requestAnimationFrame(() => {
      const channel = new MessageChannel();
      channel.port1.onmessage = () => resolve(performance.now());
      channel.port2.postMessage(null);
    }));
    const pad = document.getElementById('tracker-pad');
    const doorToTap = () => (pad ? pad.querySelector('.pad-door.fog:not(:disabled)') : board.querySelector('.door'));
    // The rooms on the map: every piece of a room carries its data-room, its square alone sits in g.rooms.
    const rooms = () => board.querySelectorAll('.rooms > [data-room]').length;
    // A door to tap, found or made so; then the tap, which checks its room.
    const prepare = async () => {
      if (doorToTap()) return;
      const from = board.querySelector('.door-mark')?.dataset.from;
      if (from) {
        const room = board.querySelector(`.rooms > [data-room="${from}"]`).getBoundingClientRect();
        board.dispatchEvent(new MouseEvent('click', { bubbles: true, clientX: room.left + room.width / 2,
          clientY: room.top + room.height / 2 }));
      } else document.getElementById('tracker-reset').click();
      await frame();
    };
    const tap = (i, door, before) => {
      door.click();
      return () => {
        if (rooms() !== before + 1) throw new Error(`tap ${i} revealed no room`);
      };
    };
    const change = (i) => {
      status.textContent = i % 2 ? 'Revealed.' : 'Shown.';
      return () => {};
    };
    const all = (i) => {
      document.getElementById('tracker-reveal-all').click();
      return () => {
        if (!/ 0 doors lead into the fog\.$/.test(status.textContent)) throw new Error(`Reveal all ${i}: ${status.textContent}`);
      };
    };
    const times = [];
    const handled = [];
    for (let i = 0; i < n; ++i) {
      if (step === 'tap') await prepare();
      const door = doorToTap();
      const before = rooms();
      const start = performance.now();
      const check = { tap, change, all }[step](i, door, before);
      handled.push(performance.now() - start);
      const drawn = await frameDrawn();
      check();
      times.push(drawn - start);
      if (step === 'all') {
        document.getElementById('tracker-undo').click();
        await frame();
      }
      for (let settle = 0; settle < 3; ++settle) await frame();
      await new Promise((resolve) => setTimeout(resolve, 20 + ((i * 7) % 17)));
    }
    return { times, handled };
  }, { n: count, step });
}

// A whole run in the tracker on show: every room revealed door by door
// (zoomed in, where every door into the fog is a target; from the player's
// room when it has one, else after a walk to a room that has), the timer
// started first and paused last, and every item room ticked. Resolves to
// the tracker's link and what the browser keeps of the run, in characters.
function wholeRun(page) {
  return page.evaluate(async () => {
    const board = document.getElementById('tracker-board');
    const frame = () => new Promise((resolve) => requestAnimationFrame(resolve));
    const here = () => board.querySelector('.rooms > [aria-current]')?.dataset.room;
    document.getElementById('run-timer-start').click();
    document.getElementById('tracker-zoom').click();
    for (let door; (door = board.querySelector('.door'));) {
      const own = board.querySelector(`.door[data-from="${here()}"]`);
      if (!own) {
        const room = board.querySelector(`.rooms > [data-room="${door.dataset.from}"]`).getBoundingClientRect();
        board.dispatchEvent(new MouseEvent('click', { bubbles: true, clientX: room.left + room.width / 2,
          clientY: room.top + room.height / 2 }));
      }
      (own ?? board.querySelector(`.door[data-from="${here()}"]`)).click();
      await frame();
    }
    for (const item of document.querySelectorAll('#items input:not(:checked)')) item.click();
    document.getElementById('run-timer-start').click();
    await frame();
    document.getElementById('tracker-copy-link').click();
    await new Promise((resolve) => setTimeout(resolve, 200));
    const key = Object.keys(localStorage).find((name) => name.startsWith('labyrinth-writer-run '));
    return { link: (await navigator.clipboard.readText()).length, kept: key.length + localStorage.getItem(key).length,
      rooms: board.querySelectorAll('.rooms > [data-room]').length };
  });
}

// The module's whole picture of a run that shows every room of seed 0's
// labyrinth, put into a page that holds nothing else, `count` times at a
// `rate` times CPU slowdown, each until the end of the frame that shows it:
// the least Reveal all can take here with that picture. Resolves to the
// times and the medians of the main thread's parts of it as the browser's
// trace tells them (parsing, style, layout, pre-paint, paint), in ms.
async function pictureAlone(count, rate) {
  const labyrinth = await loadModule();
  const run = new labyrinth.RunSession();
  run.open({ image: labyrinth.labyrinthToTrack({ seed: '0' }).image, imageName: 'seed 0', kept: '', now: 0 });
  const { map } = run.step({ kind: 'revealAll', now: 1 });
  run.delete();
  const context = await browser.newContext({ viewport: { width: 390, height: 844 }, hasTouch: true, isMobile: true });
  const page = await context.newPage();
  const cdp = await context.newCDPSession(page);
  await cdp.send('Emulation.setCPUThrottlingRate', { rate });
  await page.setContent('<!doctype html><html lang="en"><title>A picture</title><div id="box"></div></html>');
  const events = [];
  cdp.on('Tracing.dataCollected', ({ value }) => events.push(...value));
  const traced = new Promise((resolve) => cdp.once('Tracing.tracingComplete', resolve));
  await cdp.send('Tracing.start', { categories: 'devtools.timeline,blink.user_timing', transferMode: 'ReportEvents' });
  const times = await page.evaluate(async ({ svg, count }) => {
    const frame = () => new Promise((resolve) => requestAnimationFrame(resolve));
    const frameDrawn = () => new Promise((resolve) => requestAnimationFrame(() => {
      const channel = new MessageChannel();
      channel.port1.onmessage = () => resolve(performance.now());
      channel.port2.postMessage(null);
    }));
    const box = document.getElementById('box');
    const out = [];
    for (let i = 0; i < count; ++i) {
      performance.mark('picture');
      const start = performance.now();
      box.innerHTML = svg;
      box.firstElementChild.setAttribute('width', '370');
      box.firstElementChild.setAttribute('height', '274');
      out.push(await frameDrawn() - start);
      performance.mark('picture drawn');
      for (let settle = 0; settle < 3; ++settle) await frame();
      box.replaceChildren();
      for (let settle = 0; settle < 3; ++settle) await frame();
    }
    return out;
  }, { svg: map.slice(map.indexOf('<svg')), count });
  await cdp.send('Tracing.end');
  await traced;
  await context.close();
  const marks = events.filter((e) => e.name === 'picture' || e.name === 'picture drawn').sort((a, b) => a.ts - b.ts);
  const parts = { ParseHTML: 'parse', UpdateLayoutTree: 'style', Layout: 'layout', PrePaint: 'pre-paint', Paint: 'paint' };
  const spans = Object.fromEntries(Object.values(parts).map((part) => [part, []]));
  for (let i = 0; i + 1 < marks.length; i += 2) {
    const sums = Object.fromEntries(Object.values(parts).map((part) => [part, 0]));
    for (const e of events) {
      if (e.ph === 'X' && parts[e.name] && e.pid === marks[i].pid && e.tid === marks[i].tid && e.ts >= marks[i].ts
        && e.ts <= marks[i + 1].ts) sums[parts[e.name]] += e.dur / 1000;
    }
    for (const [part, ms] of Object.entries(sums)) spans[part].push(ms);
  }
  return { times, parts: Object.fromEntries(Object.entries(spans).map(([part, ms]) => [part, median(ms)])) };
}

// A page that does nothing but load the module and say it is ready, in
// `dir`: the least a cold load of a page with this module can take here.
function writeModuleOnlyPage(dir) {
  fs.mkdirSync(dir, { recursive: true });
  for (const name of ['labyrinth.js', 'labyrinth.wasm']) fs.copyFileSync(path.join(pageDir, name), path.join(dir, name));
  fs.writeFileSync(path.join(dir, 'index.html'), `<!doctype html>
<html lang="en"><head><meta charset="utf-8"><title>The module alone</title>
<script type="module">
import createLabyrinthModule from './labyrinth.js';
performance.mark('labyrinth-script');
const code = WebAssembly.compileStreaming(fetch('labyrinth.wasm'));
const labyrinth = await createLabyrinthModule({ instantiateWasm(imports, receive) {
  code.then((compiled) => { performance.mark('labyrinth-compiled'); return WebAssembly.instantiate(compiled, imports)
    .then((instance) => receive(instance, compiled)); });
  return {};
} });
labyrinth.about();
performance.mark('labyrinth-ready');
document.documentElement.dataset.ready = 'true';
</script></head><body><p>The module alone.</p></body></html>
`);
}

// Cold loads of each of `urls` in turn, `count` rounds, each in a fresh
// profile at a 4x slowdown; the times to ready, for each url.
async function slowColdLoads(urls, count) {
  const times = urls.map(() => []);
  for (let i = 0; i < count; ++i) {
    for (const [k, url] of urls.entries()) {
      const context = await browser.newContext();
      const page = await context.newPage();
      await (await context.newCDPSession(page)).send('Emulation.setCPUThrottlingRate', { rate: slowdown });
      times[k].push((await loadPhases(page, url)).ready);
      await context.close();
    }
  }
  return times;
}

// A phone's tracker from a link (of `seed`), with no files; slowed down `rate` times.
async function trackerPage(url, rate = 1, seed = 42) {
  const context = await browser.newContext({ viewport: { width: 390, height: 844 }, hasTouch: true, isMobile: true });
  await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: url });
  const page = await context.newPage();
  if (rate > 1) await (await context.newCDPSession(page)).send('Emulation.setCPUThrottlingRate', { rate });
  await page.goto(`${url}#r=1&seed=${seed}&track`);
  await page.waitForSelector('#tracker:not([hidden]) svg');
  return { page, close: () => context.close() };
}

requireBuilt();
const work = tempDir();
writeModuleOnlyPage(path.join(work.dir, 'module-only'));
const served = await serve();
const isolated = await serve({ isolated: true });
const moduleOnly = await serve({ folder: path.join(work.dir, 'module-only') });
const before = beforeDir ? await serve({ isolated: true, folder: beforeDir }) : null;
const beforePlain = beforeDir ? await serve({ folder: beforeDir }) : null;
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

  const page = await clickPage(chromium.context, isolated.url);
  await page.click('#write');
  await page.waitForFunction(() => document.getElementById('status').textContent === 'Done.');
  await page.mouse.move(0, 0);  // the pointer goes back to the corner
  const timings = await clickTimes(page, clicks);
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

  // The tracker on a phone, then everything again at a phone's speed; the
  // page built before too, when there is one.
  const tapsOn = async (url, rate) => {
    const tracker = await trackerPage(url, rate);
    const { times, handled } = await trackerTimes(tracker.page, taps, 'tap');
    const changes = rate > 1 ? (await trackerTimes(tracker.page, taps, 'change')).times : [];
    await tracker.close();
    const all = await trackerPage(url, rate, 0);
    const revealAll = rate > 1 ? (await trackerTimes(all.page, revealsAll, 'all')).times : [];
    await all.close();
    return { times, handled, changes, revealAll };
  };
  const fastTaps = await tapsOn(isolated.url, 1);
  const tapMs = fastTaps.times;
  const slowTaps = await tapsOn(isolated.url, slowdown);
  const slowTapMs = slowTaps.times;
  const beforeTaps = before ? { fast: await tapsOn(before.url, 1), slow: await tapsOn(before.url, slowdown) } : null;
  const whole = await trackerPage(isolated.url, 1, 0);
  const run = await wholeRun(whole.page);
  await whole.close();
  const picture = await pictureAlone(revealsAll, slowdown);
  const [slowColdMs, moduleOnlyMs, beforeColdMs] = await slowColdLoads(
    [served.url, moduleOnly.url, ...(beforePlain ? [beforePlain.url] : [])], slowLoads);
  const slowContext = await browser.newContext();
  const slowClicks = await clickPage(slowContext, isolated.url);
  await (await slowContext.newCDPSession(slowClicks)).send('Emulation.setCPUThrottlingRate', { rate: slowdown });
  const slowTimings = await clickTimes(slowClicks, Math.min(clicks, 50));
  await slowContext.close();

  const native = nativeClickMs();
  const browserMs = median(timings.done);
  const row = (what, value) => console.log(`${what.padEnd(58)} ${value}`);
  console.log(`Browser page, Chromium ${browser.version()}, ${clicks} clicks, ${loads} loads of each kind`);
  row('native click, median (labyrinth-bench, seeds 0-199)', `${native.toFixed(3)} ms`);
  row('module click in the page, in memory, median', `${median(moduleMs).toFixed(3)} ms  (${(median(moduleMs) / native).toFixed(2)}x native)`);
  row('page: button to "Done.", median', `${browserMs.toFixed(3)} ms  (${(browserMs / native).toFixed(2)}x native)`);
  row('page: button to "Done.", 99th percentile', `${quantile(timings.done, 0.99).toFixed(3)} ms`);
  row('page: button to the result painted, median / 95th pct', `${median(timings.painted).toFixed(1)} / ${quantile(timings.painted, 0.95).toFixed(1)} ms`);
  const spread = (values) => `${median(values).toFixed(1)} / ${quantile(values, 0.95).toFixed(1)} ms`;
  const was = (values) => (values ? `  (before: ${median(values).toFixed(1)} / ${quantile(values, 0.95).toFixed(1)} ms)` : '');
  const worst = (values) => `${median(values).toFixed(1)} / ${Math.max(...values).toFixed(1)} ms`;
  const fine = (values) => `${median(values).toFixed(2)} / ${quantile(values, 0.95).toFixed(2)} ms`;
  row('tracker at 390 px: tap to the room painted, median / 95th pct', spread(tapMs) + was(beforeTaps?.fast.times));
  row('  the tap\'s handler alone, median / 95th pct', fine(fastTaps.handled)
    + (beforeTaps ? `  (before: ${fine(beforeTaps.fast.handled)})` : ''));
  row(`at ${slowdown}x CPU slowdown: tap to the room painted, median / 95th`, spread(slowTapMs) + was(beforeTaps?.slow.times));
  row(`  any change (a word of the status line) to painted, median / 95th`, spread(slowTaps.changes)
    + was(beforeTaps?.slow.changes));
  row('  the tap against any change, medians', `${(median(slowTapMs) / median(slowTaps.changes)).toFixed(2)}x`
    + (beforeTaps ? `  (before: ${(median(beforeTaps.slow.times) / median(beforeTaps.slow.changes)).toFixed(2)}x)` : ''));
  row(`at ${slowdown}x CPU slowdown: Reveal all (371 rooms) painted, median / 95th`, spread(slowTaps.revealAll)
    + was(beforeTaps?.slow.revealAll));
  row('  its whole picture alone in a bare page, median / 95th', spread(picture.times));
  row('  of which, by the trace (medians)', Object.entries(picture.parts)
    .map(([part, ms]) => `${part} ${ms.toFixed(1)}`).join(', ') + ' ms');
  row('a whole run: its link, what the browser keeps of it', `${run.link} / ${run.kept} characters (${run.rooms} rooms)`);
  row(`at ${slowdown}x CPU slowdown: ready after a cold load, median / worst`,
    worst(slowColdMs) + (beforeColdMs ? `  (before: ${worst(beforeColdMs)})` : ''));
  row('  a page that only loads the module, median / worst', worst(moduleOnlyMs));
  row(`at ${slowdown}x CPU slowdown: button to "Done.", median / 95th pct`, spread(slowTimings.done));
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
  for (const server of [served, isolated, moduleOnly, before, beforePlain]) server?.stop();
  work.remove();
}
