// The WebAssembly module under Node: the same bytes as the native command
// line for 50 seeds, the same map, spoiler and verdict as `show` and
// `verify`, every kind of bad input refused with the command line's
// message and no output, and which slot a file's content says it is for.
//   node --test tests/web/module.test.mjs   (after make web and the dev build)

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { execFileSync, spawnSync } from 'node:child_process';

import { cli, codeOf, field, loadModule, nativeWrite, pageDir, renderIconsPath, requireBuilt, root, syntheticImage, syntheticText, tempDir }
  from './support.mjs';

let labyrinth;
let work;
const image = syntheticImage();
const text = syntheticText();

before(async () => {
  requireBuilt();
  labyrinth = await loadModule();
  work = tempDir();
  fs.writeFileSync(path.join(work.dir, 'game.nes'), image);
  fs.writeFileSync(path.join(work.dir, 'tgltext.tgl'), text);
});
after(() => work?.remove());

const write = (request) =>
  labyrinth.writeLabyrinth({ image, imageName: 'game.nes', text, textName: 'tgltext.tgl', ...request });

// The first offset where two byte strings differ, in hex, or 'identical'.
function firstDifference(a, b) {
  const n = Math.min(a.length, b.length);
  for (let i = 0; i < n; ++i) if (a[i] !== b[i]) return `0x${i.toString(16)}`;
  return a.length === b.length ? 'identical' : `length ${a.length} vs ${b.length}`;
}

// A map's rooms, whether painted as one path per colour (the page's map) or
// as one element each (show --svg): "fill x y" of every square, sorted; its
// walls, whether runs or pieces, as the stretches of each line of the grid
// that they cover; and the rest of the document, which is the same in both.
function sameMap(svg) {
  const squares = [];
  const lines = new Map();
  const cover = (line, a, b) => lines.set(line, [...(lines.get(line) || []), [Math.min(a, b), Math.max(a, b)]]);
  const withoutWalls = svg.replace(/(<path class="walls"[^>]*) d="([^"]*)"/, (whole, element, d) => {
    for (const [, x, y, how, a, b] of d.matchAll(/M([\d.]+) ([\d.]+)([LHV])([\d.]+)(?: ([\d.]+))?/g)) {
      const [x1, y1] = [Number(x), Number(y)];
      const [x2, y2] = how === 'L' ? [Number(a), Number(b)] : how === 'H' ? [Number(a), y1] : [x1, Number(a)];
      if (y1 === y2) cover(`h ${y1}`, x1, x2);
      else cover(`v ${x1}`, y1, y2);
    }
    return element;
  });
  const walls = [...lines].map(([line, stretches]) => {
    const joined = [];
    for (const [a, b] of stretches.sort((p, q) => p[0] - q[0] || p[1] - q[1]))
      if (joined.length && a <= joined.at(-1)[1] + 0.005) joined.at(-1)[1] = Math.max(joined.at(-1)[1], b);
      else joined.push([a, b]);
    return `${line}: ${joined.map((s) => s.join('-')).join(' ')}`;
  }).sort();
  const rest = withoutWalls.replace(/<g class="rooms">\n([^]*?)<\/g>\n/, (whole, rooms) => {
    for (const [, fill, d] of rooms.matchAll(/<path class="rooms" fill="(#[0-9a-f]{6})" d="([^"]*)"/g))
      for (const [, x, y] of d.matchAll(/M([\d.]+) ([\d.]+)h/g)) squares.push(`${fill} ${x} ${y}`);
    for (const [, x, y, fill] of rooms.matchAll(/<rect class="room"[^>]* x="([\d.]+)" y="([\d.]+)"[^>]* fill="(#[0-9a-f]{6})"/g))
      squares.push(`${fill} ${x} ${y}`);
    return '';
  });
  return { squares: squares.sort(), walls, rest };
}

describe('the module writes what labyrinth-cli writes', () => {
  // Small seeds, and large ones that do not fit a JavaScript number.
  const seeds = [...Array.from({ length: 45 }, (_, i) => String(i)),
    '9007199254740993', '12345678901234567890', '18446744073709551615', '4294967296', '2024'];

  test('50 seeds, byte for byte, with the same seed and seed code', () => {
    assert.equal(seeds.length, 50);
    for (const seed of seeds) {
      const native = nativeWrite(work.dir, 'game.nes', seed);
      const written = write({ seed });
      assert.equal(written.ok, true, written.message);
      assert.equal(written.seed, seed);
      assert.equal(written.seedCode, codeOf(native.report), `seed ${seed}`);
      assert.equal(written.downloads.length, 1);
      const [download] = written.downloads;
      assert.deepEqual([download.kind, download.name], ['image', `game-${seed}.nes`]);
      assert.equal(firstDifference(download.bytes, native.bytes), 'identical', `seed ${seed}`);
      // The patch too: the very bytes of `write --patch`.
      const patched = labyrinth.patchOfWrite(
        { image, imageName: 'game.nes', written: download.bytes, seed, seedCode: written.seedCode });
      assert.equal(patched.ok, true, patched.message);
      const [patch] = patched.downloads;
      assert.deepEqual([patch.kind, patch.name], ['patch', `game-${seed}.bps`]);
      assert.equal(firstDifference(patch.bytes, native.patch), 'identical', `patch of seed ${seed}`);
      assert.equal(Number(field(native.report, 'Attempts').split(' ')[0]), written.attempts, `seed ${seed}`);
    }
  });

  test('the patch turns the given image into the written one, checked by an independent applier', async () => {
    const bps = await import('bps');
    const written = write({ seed: '77' });
    const [newImage] = written.downloads;
    const [patch] = labyrinth.patchOfWrite(
      { image, imageName: 'game.nes', written: newImage.bytes, seed: '77', seedCode: written.seedCode }).downloads;
    const { instructions } = bps.parse(new Uint8Array(patch.bytes));  // the patch's own CRC32
    assert.deepEqual(new Uint8Array(bps.apply(instructions, new Uint8Array(image))), new Uint8Array(newImage.bytes));
    const other = new Uint8Array(syntheticImage());
    other[100] ^= 1;
    assert.throws(() => bps.apply(instructions, other), 'another image is refused by its CRC32');
  });

  test('the given image is not changed, and an empty seed is a random one shown after the write', () => {
    const before = image.slice();
    const a = write({ seed: '' });
    const b = write({});
    assert.equal(a.ok && b.ok, true);
    assert.match(a.seed, /^\d+$/);
    assert.notEqual(a.seed, b.seed);
    assert.deepEqual(image, before);
    // The seed shown repeats the write exactly.
    assert.deepEqual(write({ seed: a.seed }).downloads[0].bytes, a.downloads[0].bytes);
  });

  test('looking at a written image says what show, show --json, show --svg and verify say', () => {
    const native = nativeWrite(work.dir, 'game.nes', 77);
    const name = native.path;
    const looked = labyrinth.lookAtImage({ image: native.bytes, imageName: name });
    assert.equal(looked.ok, true, looked.message);
    const show = (...args) => cli(['show', name, ...args], work.dir);
    assert.equal(looked.seedCode, field(show('--png', 'map.png', '--force').out.toString(), 'Seed code'));
    assert.deepEqual(sameMap(looked.map), sameMap(show('--svg', '-').out.toString()));
    const [spoiler] = looked.downloads;
    assert.deepEqual([spoiler.kind, spoiler.name, spoiler.type], ['spoiler', 'native-77-spoiler.json', 'application/json']);
    const json = show('--json').out.toString();
    assert.equal(Buffer.from(spoiler.bytes).toString(), json);
    assert.equal(sameMap(looked.map).squares.length, JSON.parse(json).summary.rooms);
    assert.ok(sameMap(looked.map).walls.length > 40);
    assert.equal(looked.complete, true);
    // The page's read-back after a write: the same map and spoiler, each alone.
    const mapped = labyrinth.mapOfImage({ image: native.bytes, imageName: name });
    assert.deepEqual([mapped.ok, mapped.seedCode, mapped.map], [true, looked.seedCode, looked.map]);
    const [alone] = labyrinth.spoilerOfImage({ image: native.bytes, imageName: name }).downloads;
    assert.deepEqual([alone.name, Buffer.from(alone.bytes).toString()], [spoiler.name, json]);
    // Each area's route on the map: the spoiler's rooms, and a line through
    // their middles, one cell (32 px) a step, across or down.
    for (const entry of JSON.parse(json).areas) {
      const route = labyrinth.routeOnMap({ image: native.bytes, imageName: name, area: entry.area });
      assert.equal(route.ok, true, route.message);
      assert.deepEqual(route.rooms, entry.route.map(({ x, y }) => `${x},${y}`), `area ${entry.area}`);
      const points = [...route.path.matchAll(/[ML]([\d.]+) ([\d.]+)/g)].map(([, x, y]) => [Number(x), Number(y)]);
      assert.equal(points.length, entry.route.length, route.path);
      for (let i = 1; i < points.length; ++i)
        assert.equal(Math.abs(points[i][0] - points[i - 1][0]) + Math.abs(points[i][1] - points[i - 1][1]), 32, route.path);
      // The links it goes through, as show --route names them.
      const [, , head] = cli(['show', native.path, '--route', '--areas', String(entry.area)], work.dir).out.toString().split('\n');
      assert.equal(route.through, /, (through links? .*)$/.exec(head)?.[1] ?? '', head);
    }
    for (const area of [-1, 11])
      assert.equal(labyrinth.routeOnMap({ image: native.bytes, imageName: name, area }).message,
        `there is no area ${area}: the areas are 0 to 10`);
    // What verify says of the labyrinth; of the text block the page is not
    // asked, as Look has no text file.
    const verifySays = (image) => cli(['verify', image], work.dir).out.toString().split('\n')
      .filter((line) => line.startsWith(`${image}: `) && !line.startsWith(`${image}: text block `));
    assert.deepEqual([...looked.problems, looked.verdict], verifySays(name));

    // A plain room's random byte out of range: still readable, no longer
    // consistent; the page lists what verify lists.
    const plain = JSON.parse(json).rooms.find((room) => room.record === 'plain');
    const damaged = native.bytes.slice();
    damaged[plain.offset + 3] = 200;
    fs.writeFileSync(path.join(work.dir, 'damaged.nes'), damaged);
    const seen = labyrinth.lookAtImage({ image: damaged, imageName: 'damaged.nes' });
    assert.equal(seen.ok, true, seen.message);
    assert.equal(seen.complete, false);
    assert.equal(seen.problems.length, 1);
    assert.deepEqual([...seen.problems, seen.verdict], verifySays('damaged.nes'));
  });

  test('a tracked run: the start room and the revealed rooms, the doors into the rest, the rooms of an area', () => {
    const native = nativeWrite(work.dir, 'game.nes', 31);
    const spoiler = JSON.parse(cli(['show', native.path, '--json'], work.dir).out.toString());
    const key = (cell) => `${cell.x},${cell.y}`;
    const area3 = spoiler.rooms.filter((room) => room.area === 3).map(key);
    const startKey = key(spoiler.start);
    const run = new labyrinth.RunSession();
    // The run as it stands, whole: its rooms shown (by the picture) and every door into the fog.
    const whole = () => {
      const fresh = new labyrinth.RunSession();
      try {
        const opened = fresh.openSteps({ image: native.bytes, imageName: native.path, steps: run.stepsText(), now: 0 });
        return { ...opened, shown: [...opened.map.matchAll(/<rect class="room" data-room="(\d+,\d+)"/g)].map(([, room]) => room) };
      } finally {
        fresh.delete();
      }
    };
    try {
      const opened = run.open({ image: native.bytes, imageName: native.path, kept: '', now: 0 });
      assert.equal(opened.ok, true, opened.message);
      // A room that is none, or no cell, is no step; the start room is always shown.
      for (const room of ['junk', '24,1', '1,-1', '0,0,0'])
        assert.equal(run.step({ kind: 'reveal', room, now: 1 }).ok, false, room);
      assert.ok(run.step({ kind: 'reveal', room: area3[0], now: 1 }).ok);
      const one = whole();
      assert.deepEqual(new Set(one.shown), new Set([area3[0], startKey]));
      // Each door into the fog leaves a shown room for its neighbour behind the side it names, a room not shown.
      const step = { east: [1, 0], west: [-1, 0], south: [0, 1], north: [0, -1] };
      assert.ok(one.doors.length > 0);
      for (const door of one.doors) {
        const [x, y] = door.from.split(',').map(Number);
        assert.ok(one.shown.includes(door.from), door.from);
        assert.equal(door.to, `${x + step[door.side][0]},${y + step[door.side][1]}`);
        assert.equal(door.toName, `(${x + step[door.side][0]}, ${y + step[door.side][1]})`);
        assert.ok(spoiler.rooms.some((r) => key(r) === door.to) && !one.shown.includes(door.to), door.to);
        assert.ok(door.x > 40 * (x + 1) - 1 && door.x < 40 * (x + 2) + 1 && door.y > 40 * (y + 1) - 1 && door.y < 40 * (y + 2) + 1);
      }
      // The rooms of an area are what revealing it shows; a door on which the
      // map draws a link's number (its room from which the link leaves is shown) says so.
      assert.ok(run.step({ kind: 'revealArea', area: 3, now: 2 }).ok);
      const areaRun = whole();
      assert.deepEqual(new Set(areaRun.shown), new Set([...area3, startKey]));
      const badged = (door) => spoiler.links.some((link) => areaRun.shown.includes(key(link.from))
        && [key(link.from), key(link.to)].sort().join() === [door.from, door.to].sort().join());
      assert.ok(areaRun.doors.some((door) => door.link));
      for (const door of areaRun.doors) assert.equal(door.link, badged(door), door.name);
      // Every room revealed: no fog, no door into it.
      run.step({ kind: 'revealAll', now: 3 });
      const all = whole();
      assert.deepEqual([all.shown.length, all.doors.length], [spoiler.summary.rooms, 0]);
      // The room the player is in, and its doors: with every room shown, into
      // shown rooms only, as the exits of show --json say.
      const roomKeys = new Set(spoiler.rooms.map(key));
      for (const room of spoiler.rooms.filter((_, i) => i % 9 === 0)) {
        const at = key(room) === run.step({ kind: 'walk', room: key(room), now: 4 }).here ? whole() : null;
        if (!at) continue;  // the player was in that room already
        const exits = room.exits.map((side) => `${room.x + step[side][0]},${room.y + step[side][1]}`).filter((to) => roomKeys.has(to));
        assert.deepEqual([at.here, at.hereName, at.hereDoors.map((door) => door.to).sort(), at.hereDoors.some((door) => door.intoFog)],
          [key(room), `(${room.x}, ${room.y})`, exits.sort(), false]);
      }
      assert.deepEqual(opened.hereDoors.filter((door) => door.intoFog), opened.doors.filter((door) => door.from === startKey));
      // The item rooms to tick off: those shown, and how many the labyrinth has.
      const items = spoiler.rooms.filter((r) => r.record === 'item').map((r) => ({ room: key(r), name: `(${r.x}, ${r.y})` }));
      assert.deepEqual([one.itemRooms, all.itemRooms, all.items], [items.length, items.length, items]);
      assert.deepEqual(one.items, items.filter((item) => one.shown.includes(item.room)));
      assert.equal(run.open({ image: syntheticImage(), imageName: 'blank.nes', kept: '', now: 0 }).ok, false);
    } finally {
      run.delete();
    }
    // Every room taken door by door, as a racer takes them, walking back where
    // needed: the run's link still fits one QR code (2,953 bytes).
    const racer = new labyrinth.RunSession();
    try {
      let view = racer.open({ image: native.bytes, imageName: native.path, kept: '', now: 0 });
      let { doors } = view;
      for (let now = 1; doors.length > 0; now++) {
        const [door] = doors;
        if (door.from !== view.here) view = { ...view, ...racer.step({ kind: 'walk', room: door.from, now }) };
        const taken = racer.step({ kind: 'reveal', room: door.to, now });
        assert.equal(taken.ok, true, taken.message);
        view = { ...view, ...taken };
        doors = taken.redrawn ? taken.doors : doors.filter((d) => !taken.changes.doorsClosed.includes(`${d.from}>${d.to}`))
          .concat(taken.changes.doorsOpened);
      }
      const link = `r=1&seed=31&track&run=${racer.stepsText()}`;
      const reopened = racer.openSteps({ image: native.bytes, imageName: native.path, steps: racer.stepsText(), now: 0 });
      assert.deepEqual([reopened.map.match(/<rect class="room" /g).length, reopened.here], [spoiler.summary.rooms, view.here]);
      assert.ok(link.length < 2953, `${link.length} characters`);
    } finally {
      racer.delete();
    }
  });
});

describe('bad input gets the command line\'s message and no output', () => {
  const withTrainer = image.slice();
  withTrainer[6] |= 0x04;
  const notNes = image.slice();
  notNes[0] = 0x4d;
  const cases = [
    { what: 'an image without the NES magic', image: notNes, wording: 'is not an NES cartridge image' },
    { what: 'an image that is too short', image: image.slice(0, 87624), wording: 'is not a complete cartridge image' },
    { what: 'an empty image', image: new Uint8Array(0), wording: 'is 0 bytes long' },
    { what: 'an image with a trainer', image: withTrainer, wording: 'trainer' },
    { what: 'a text file that is too short', text: text.slice(0, 445), wording: 'but the text block needs 446' },
    { what: 'an empty text file', text: new Uint8Array(0), wording: 'holds 0 bytes' },
    { what: 'the image given as the text file', text: image, wording: "is a cartridge image, not the game's text file" },
  ];
  for (const c of cases) {
    test(c.what, () => {
      const request = { seed: '5', ...(c.image && { image: c.image }), ...(c.text && { text: c.text }) };
      const refused = write(request);
      assert.equal(refused.ok, false);
      assert.equal(refused.downloads, undefined);
      assert.match(refused.message, new RegExp(c.wording));
      // The very message of `labyrinth-cli write ... -o OUT` on the same files.
      fs.writeFileSync(path.join(work.dir, 'game.nes'), c.image || image);
      fs.writeFileSync(path.join(work.dir, 'tgltext.tgl'), c.text || text);
      const native = cli(['write', 'game.nes', '--seed', '5', '-o', 'bad-out.nes'], work.dir);
      fs.writeFileSync(path.join(work.dir, 'game.nes'), image);
      fs.writeFileSync(path.join(work.dir, 'tgltext.tgl'), text);
      assert.equal(native.exit, 2);
      assert.equal(native.err, `labyrinth-cli: ${refused.message}; nothing was written\n`);
      assert.equal(fs.existsSync(path.join(work.dir, 'bad-out.nes')), false);
    });
  }

  test('seeds that are not whole numbers from 0 to 2^64 - 1', () => {
    for (const seed of ['abc', '-1', '+1', '1.5', ' 7', '0x10', '18446744073709551616', '١٢', '7'.repeat(5000)]) {
      const refused = write({ seed });
      assert.equal(refused.ok, false, seed);
      assert.equal(refused.downloads, undefined);
      // The page checks the seed before it writes, with the same words.
      assert.equal(labyrinth.seedProblem(seed), refused.message);
      const native = cli(['write', 'game.nes', '--seed', seed, '-o', 'bad-out.nes'], work.dir);
      assert.equal(native.exit, 2, seed);
      assert.ok(native.err.includes(refused.message), `${seed}: ${native.err} / ${refused.message}`);
    }
    // A long seed is measured, not echoed.
    assert.match(labyrinth.seedProblem('7'.repeat(5000)), /, not a seed of 5,000 characters$/);
    for (const seed of ['', '0', '18446744073709551615']) assert.equal(labyrinth.seedProblem(seed), '', seed);
  });

  test('a file larger than 16 MiB is refused before it is read', () => {
    const limit = 16 * 1024 * 1024;
    assert.equal(labyrinth.refuseLargeFile('game.nes', limit), '');
    assert.equal(labyrinth.refuseLargeFile('huge.nes', limit + 1),
      'huge.nes: is 16,777,217 bytes, larger than the 16 MiB the page reads (a cartridge image is far smaller); it was not read');
    const big = new Uint8Array(limit + 1);
    big.set(image);
    const refused = write({ image: big, imageName: 'huge.nes' });
    assert.equal(refused.ok, false);
    assert.match(refused.message, /^huge\.nes: is 16,777,217 bytes, larger than the 16 MiB/);
    assert.equal(labyrinth.lookAtImage({ image: big, imageName: 'huge.nes' }).ok, false);
    // Up to the limit is fine: a large image is written like any other.
    const large = new Uint8Array(limit);
    large.set(image);
    const written = write({ image: large, imageName: 'large.nes', seed: '3' });
    assert.equal(written.ok, true, written.message);
    assert.equal(written.downloads[0].bytes.length, limit);
  });

  test('a spoiler file has the command line\'s limit of 4 MiB, and its message', () => {
    const limit = 4 * 1024 * 1024;
    const native = nativeWrite(work.dir, 'game.nes', 21);
    const spoiler = cli(['show', native.path, '--json'], work.dir).out.toString();
    // The same valid spoiler, padded with blanks to the limit and one byte beyond.
    for (const [size, accepted] of [[limit, true], [limit + 1, false]]) {
      const padded = new TextEncoder().encode(spoiler.padEnd(size, ' '));
      fs.writeFileSync(path.join(work.dir, 'padded.json'), padded);
      fs.rmSync(path.join(work.dir, 'padded-out.nes'), { force: true });
      const run = cli(['write', 'game.nes', '--layout', 'padded.json', '-o', 'padded-out.nes'], work.dir);
      assert.equal(run.exit === 0, accepted, `command line, ${size} bytes: ${run.err}`);
      const written = write({ layout: padded, layoutName: 'padded.json' });
      assert.equal(written.ok, accepted, `page, ${size} bytes: ${written.message}`);
      assert.equal(labyrinth.refuseLargeLayout('padded.json', size) === '', accepted, `${size} bytes`);
      if (!accepted) {
        assert.match(written.message, /^padded\.json: is 4,194,305 bytes; .*4,194,304/);
        assert.equal(run.err, `labyrinth-cli: ${written.message}; nothing was written\n`);
      }
    }
  });

  test('missing files and requests of the wrong shape', () => {
    for (const request of [undefined, null, 42, 'game.nes', {}, { image: [1, 2, 3] }]) {
      const refused = labyrinth.writeLabyrinth(request);
      assert.equal(refused.ok, false, String(request));
      assert.equal(refused.message, 'no cartridge image was given: choose your .nes file');
    }
    assert.equal(labyrinth.writeLabyrinth({ image, imageName: 'game.nes' }).message,
      'no text file was given: choose tgltext.tgl');
    assert.equal(labyrinth.lookAtImage({}).ok, false);
  });

  test('an image without a labyrinth cannot be looked at, with show\'s message', () => {
    const looked = labyrinth.lookAtImage({ image, imageName: 'game.nes' });
    assert.equal(looked.ok, false);
    const native = cli(['show', 'game.nes'], work.dir);
    assert.equal(native.err, `labyrinth-cli: ${looked.message}\n`);
    for (const action of ['mapOfImage', 'spoilerOfImage', 'routeOnMap'])
      assert.deepEqual(labyrinth[action]({ image, imageName: 'game.nes', area: 0 }), { ok: false, message: looked.message });
  });
});

describe('the facts the page shows come from the core', () => {
  test('which slot a file belongs in: its content first, then a .tgl name', () => {
    const rows = [
      ['game.nes', image, 'image'],
      ['anything.bin', image.slice(0, 4), 'image'],  // the magic alone says image, whatever the name
      ['tgltext.tgl', image, 'image'],               // an image named .tgl is still an image
      ['tgltext.tgl', text, 'text'],
      ['TGLTEXT.TGL', text.slice(0, 2), 'text'],     // any case; short files too
      ['notes.txt', text, 'unknown'],
      ['archive.nes', new Uint8Array([0x50, 0x4b, 0x03, 0x04]), 'unknown'],
      ['tgl', text, 'unknown'],
      ['empty.tgl', new Uint8Array(0), 'text'],
    ];
    const { fileKindBytes } = labyrinth.about();
    for (const [name, bytes, kind] of rows)
      assert.equal(labyrinth.kindOfFile(name, bytes.slice(0, fileKindBytes)), kind, name);
  });

  test('the status texts, the version and the generator revision', () => {
    const about = labyrinth.about();
    assert.deepEqual([about.statusCreating, about.statusFailed, about.statusDone], ['Creating...', 'Failed.', 'Done.']);
    // The version the command line prints, from the same source.
    const version = cli(['--version'], work.dir).out.toString().split(' ')[1];
    assert.equal(about.version.split(' ')[0], version);
    assert.ok(Number.isInteger(about.revision) && about.revision >= 1, String(about.revision));
    assert.equal(about.textBytesRead, 446);
    assert.equal(about.textFileName, 'tgltext.tgl');
  });

  test('a file that fits no slot is refused in the image check\'s words', () => {
    const notNes = image.slice();
    notNes[0] = 0x4d;
    fs.writeFileSync(path.join(work.dir, 'notes.nes'), notNes);
    const native = cli(['show', 'notes.nes'], work.dir).err;
    const check = /notes\.nes: (is not an NES cartridge image[^\n]*)\n/.exec(native);
    assert.ok(check, native);
    assert.equal(labyrinth.unusedFileMessage('notes.txt'),
      `notes.txt was not used: it ${check[1]}, nor a text file whose name ends in .tgl`);
  });

  test('links: their form, their reading, and a bare seed= of revision 1', () => {
    // A seed code and a run's steps are named only by the links that carry them.
    const read = (fragment) => {
      const { code, run, lab, broadcast, width, height, background, ...link } = labyrinth.readLink(fragment);
      return { ...link, ...(code && { code }), ...(run && { run }), ...(lab && { lab }) };
    };
    const seedRefused = (seed) => `this link's seed is refused: ${labyrinth.seedProblem(seed)}`;
    const twice = (key) => `this link gives ${key} more than once, so it names no one labyrinth`;
    const unread = (part) => `this link is not one this page reads: ${part} r, seed, daily, code, lab, run, track, view, size and bg`;
    const neither = 'this link gives neither a seed nor a daily date, so it names no labyrinth';
    const rows = [
      ['seed=7', { names: true, seed: '7', daily: '', track: false, problem: '' }],
      ['r=1&seed=7', { names: true, seed: '7', daily: '', track: false, problem: '' }],
      ['r=1&seed=18446744073709551615&track', { names: true, seed: '18446744073709551615', daily: '', track: true,
        problem: '' }],
      ['track&seed=7', { names: true, seed: '7', daily: '', track: true, problem: '' }],
      ['r=2&seed=7', { names: true, seed: '2:7', daily: '', track: false,
        problem: 'this link is for labyrinths of generator revision 2; this page writes revision 1' }],
      ['r=x&seed=7&track', { names: true, seed: 'x:7', daily: '', track: true,
        problem: 'this link names no generator revision (its r= is "x")' }],
      ['', { names: false, seed: '', daily: '', track: false, problem: '' }],
      // A link is read in full or refused: a part this page does not read,
      // in another case or with another separator, a value for track, or no
      // labyrinth named.
      ['r=1&track', { names: true, seed: '', daily: '', track: true, problem: neither }],
      ['track', { names: true, seed: '', daily: '', track: true, problem: neither }],
      ['R=1&SEED=42', { names: true, seed: '', daily: '', track: false, problem: unread('"R" is none of the keys') }],
      [`r=1&seed=42&${'k'.repeat(40)}=1`, { names: true, seed: '', daily: '', track: false,
        problem: unread('a key of 40 characters is none of the keys') }],
      ['r=1&seed=42&view=broadcast', { names: true, seed: '', daily: '', track: false,
        problem: 'this link gives view=broadcast without track, and only the tracker is broadcast' }],
      ['r=1&seed=42&track=0', { names: true, seed: '', daily: '', track: false,
        problem: 'this link is not one this page reads: track takes no value, not "track=0"' }],
      ['seed=42&', { names: true, seed: '', daily: '', track: false,
        problem: 'this link is not one this page reads: it has an "&" too many' }],
      ['r=1;seed=42', { names: true, seed: '', daily: '', track: false,
        problem: 'this link names no generator revision (its r= is "1;seed=42")' }],
      ['r', { names: true, seed: '', daily: '', track: false, problem: 'this link names no generator revision (its r= is "")' }],
      // A link that names no one labyrinth, or a seed that a write refuses,
      // is refused as it is read, with the write's own words for the seed.
      ['seed', { names: true, seed: '', daily: '', track: false,
        problem: 'this link\'s seed is refused: the seed must be a whole number from 0 to 18446744073709551615, not ""' }],
      ['r=1&seed=abc', { names: true, seed: 'abc', daily: '', track: false, problem: seedRefused('abc') }],
      ['r=1&seed=18446744073709551616&track', { names: true, seed: '18446744073709551616', daily: '', track: true,
        problem: seedRefused('18446744073709551616') }],
      ['r=1&seed=-1', { names: true, seed: '-1', daily: '', track: false, problem: seedRefused('-1') }],
      ['r=1&seed=42&seed=43', { names: true, seed: '', daily: '', track: false, problem: twice('seed=') }],
      ['r=1&seed=42&seed=42', { names: true, seed: '', daily: '', track: false, problem: twice('seed=') }],
      ['r=1&r=1&seed=42', { names: true, seed: '', daily: '', track: false, problem: twice('r=') }],
      ['seed=42&track&track', { names: true, seed: '', daily: '', track: true, problem: twice('track') }],
      // The daily labyrinth by its date: the seed of `write --daily DATE`.
      ['r=1&daily=2026-12-08', { names: true, seed: '7166512511697589649', daily: '2026-12-08', track: false,
        problem: '' }],
      ['daily=2026-12-08&track', { names: true, seed: '7166512511697589649', daily: '2026-12-08', track: true,
        problem: '' }],
      ['r=1&daily=2026-13-01', { names: true, seed: '', daily: '2026-13-01', track: false,
        problem: `this link's daily date is refused: ${labyrinth.dailySeed('2026-13-01').message}` }],
      ['r=1&daily=', { names: true, seed: '', daily: '', track: false,
        problem: `this link's daily date is refused: ${labyrinth.dailySeed('').message}` }],
      ['r=1&daily=2026-12-08&daily=2026-12-09', { names: true, seed: '', daily: '2026-12-09', track: false,
        problem: twice('daily=') }],
      ['r=1&daily=2026-12-08&seed=42', { names: true, seed: '', daily: '2026-12-08', track: false,
        problem: 'this link gives both a seed and a daily date, so it names no one labyrinth' }],
      ['r=2&daily=2026-12-08', { names: true, seed: '', daily: '2026-12-08', track: false,
        problem: 'this link is for labyrinths of generator revision 2; this page writes revision 1' }],
      // A sealed race's labyrinth by its code, and a run by its steps.
      [`${labyrinth.codeLinkFragment('honey mango reed canoe', true)}&run=Eqg9D`, { names: true, seed: '', daily: '',
        track: true, code: 'honey mango reed canoe', run: 'Eqg9D', problem: '' }],
      ['r=1&seed=42&run=Eqg9D', { names: true, seed: '', daily: '', track: false, run: 'Eqg9D',
        problem: 'this link gives a run\'s steps without track, and only the tracker shows a run' }],
    ];
    for (const [fragment, expected] of rows) assert.deepEqual(read(fragment), expected, fragment);
    assert.equal(labyrinth.linkFragment('42', false), 'r=1&seed=42');
    assert.equal(labyrinth.linkFragment('12345678901234567890', true), 'r=1&seed=12345678901234567890&track');
    assert.equal(labyrinth.linkFragment('nope', false), '');
    for (const track of [false, true])
      assert.deepEqual(read(labyrinth.linkFragment('99', track)), { names: true, seed: '99', daily: '', track, problem: '' });
    assert.equal(labyrinth.dailyLinkFragment('2026-12-08', false), 'r=1&daily=2026-12-08');
    assert.equal(labyrinth.dailyLinkFragment('2026-12-08', true), 'r=1&daily=2026-12-08&track');
    assert.equal(labyrinth.dailyLinkFragment('2026-02-30', false), '');
  });

  test('a labyrinth to track without files is the one a write of its seed, or its spoiler file, makes', () => {
    for (const seed of ['42', '0', '18446744073709551615']) {
      const native = nativeWrite(work.dir, 'game.nes', seed);
      const spoiler = cli(['show', native.path, '--json'], work.dir).out.toString();
      const tracked = labyrinth.labyrinthToTrack({ seed });
      assert.equal(tracked.ok, true, tracked.message);
      assert.deepEqual([tracked.seed, tracked.seedCode], [seed, codeOf(native.report)]);
      const made = labyrinth.spoilerOfImage({ image: tracked.image, imageName: 'tracked.nes' });
      assert.equal(new TextDecoder().decode(made.downloads[0].bytes), spoiler, seed);
      const fromLayout = labyrinth.labyrinthToTrack({ layout: new TextEncoder().encode(spoiler), layoutName: 's.json' });
      assert.deepEqual([fromLayout.seed, fromLayout.seedCode, fromLayout.layoutName], ['', tracked.seedCode, 's.json']);
    }
    assert.equal(labyrinth.labyrinthToTrack({}).message, 'no seed was given: type the seed of the labyrinth to track');
    assert.equal(labyrinth.labyrinthToTrack({ seed: '12x' }).message, labyrinth.seedProblem('12x'));

    // A sealed race's tracker link, from write --json, opens the rooms of
    // the image written, with no image and no seed.
    fs.copyFileSync(path.join(work.dir, 'game.nes'), path.join(work.dir, 'race.nes'));
    const report = JSON.parse(cli(['write', 'race.nes', '--sealed', '--spoiler', 'race.json', '--json'], work.dir).out);
    const link = labyrinth.readLink(report.trackerLink.slice(1));
    assert.deepEqual([link.problem, link.code, link.track], ['', report.seedCode, true]);
    const run = new labyrinth.RunSession();
    try {
      const opened = run.open({ lab: link.lab, code: link.code, kept: '', now: 0 });
      assert.equal(opened.seedCode, report.seedCode, opened.message);
      const all = run.step({ kind: 'revealAll', now: 1 });
      const written = JSON.parse(cli(['show', 'race.nes', '--json'], work.dir).out);
      const rooms = new Set(written.rooms.map(({ x, y }) => `${x},${y}`));
      const shown = new Set([...all.map.matchAll(/<rect class="room" data-room="(\d+,\d+)"/g)].map(([, room]) => room));
      assert.deepEqual(shown, rooms);
    } finally {
      run.delete();
    }
  });

  test('the daily seed and the revision of links, as the command line has them', () => {
    assert.deepEqual({ ...labyrinth.dailySeed('2026-12-08') }, { ok: true, seed: '7166512511697589649' });
    assert.match(labyrinth.dailySeed('2026-13-01').message, /the date must be a day from 1970-01-01/);
    // Written by its date, the daily labyrinth is that of its seed, in an
    // image named after the date; a date that is no day writes nothing.
    const daily = write({ daily: '2026-12-08' });
    const seeded = write({ seed: '7166512511697589649' });
    assert.deepEqual([daily.seed, daily.downloads[0].name], ['7166512511697589649', 'game-daily-2026-12-08.nes']);
    assert.deepEqual(daily.downloads[0].bytes, seeded.downloads[0].bytes);
    assert.equal(write({ daily: '2026-02-29' }).message, labyrinth.dailySeed('2026-02-29').message);
    // Its patch is named after the date too, with the bytes of the seed's;
    // a date that is not that seed's names nothing.
    const patchOf = (seed, date) => labyrinth.patchOfWrite({ image, imageName: 'game.nes',
      written: daily.downloads[0].bytes, seed, seedCode: daily.seedCode, daily: date });
    const [byDate, bySeed] = [patchOf(daily.seed, '2026-12-08'), patchOf(daily.seed, '')];
    assert.deepEqual([byDate.downloads[0].name, bySeed.downloads[0].name],
      ['game-daily-2026-12-08.bps', 'game-7166512511697589649.bps']);
    assert.deepEqual(byDate.downloads[0].bytes, bySeed.downloads[0].bytes);
    assert.equal(patchOf(daily.seed, '2026-12-09').message,
      'the seed 7166512511697589649 is not the daily labyrinth of 2026-12-09');
    assert.equal(patchOf(daily.seed, '2026-12-32').message, labyrinth.dailySeed('2026-12-32').message);
    assert.equal(labyrinth.linkProblem('1'), '');
    assert.equal(labyrinth.linkProblem('3'), 'this link is for labyrinths of generator revision 3; this page writes revision 1');
    assert.equal(labyrinth.linkProblem('x'), 'this link names no generator revision (its r= is "x")');
    assert.equal(labyrinth.seedProblem('1:42'), '');
    assert.match(labyrinth.seedProblem('3:42'), /the seed 3:42 is for labyrinths of generator revision 3; this page writes/);
  });

  test('the page\'s modules are bundled once each, and a module that exports changeable state stops the build', () => {
    const copyOfWeb = path.join(work.dir, 'web');
    const bundle = (out) => spawnSync(process.execPath, [path.join(copyOfWeb, 'bundle_page.mjs'),
      ...['index.html', 'style.css'].map((name) => path.join(copyOfWeb, name)), path.join(pageDir, 'labyrinth.js'),
      path.join(copyOfWeb, 'app.js'), path.join(work.dir, out)], { encoding: 'utf8' });
    fs.cpSync(path.join(root, 'web'), copyOfWeb, { recursive: true });
    const built = bundle('bundled.html');
    assert.equal(built.status, 0, built.stderr);
    const page = fs.readFileSync(path.join(work.dir, 'bundled.html'), 'utf8');
    for (const name of fs.readdirSync(path.join(copyOfWeb, 'page')))
      assert.equal(page.match(new RegExp(`const module\\$${name.replace('.js', '')}\\$\\d+ =`, 'g'))?.length, 1, name);
    assert.doesNotMatch(page, /^\s*(?:import|export)\b/m);

    const breaks = [
      ['links.js', 'export let shared = 1;\n', /links\.js: the bundle does not take "export let shared = 1;"/],
      ['messages.js', "import { core } from './core.js';\nimport { sentence } from './links.js';\n", /imports lead back/],
    ];
    for (const [file, added, refusal] of breaks) {
      const module = path.join(copyOfWeb, 'page', file);
      const kept = fs.readFileSync(module, 'utf8');
      fs.writeFileSync(module, added + kept);
      const refused = bundle('refused.html');
      fs.writeFileSync(module, kept);
      assert.equal(refused.status, 1, file);
      assert.match(refused.stderr, refusal);
    }
  });

  test('the page\'s icons are the window\'s icon as it is drawn now (else: scripts/web-icons)', () => {
    const drawn = path.join(work.dir, 'icons');
    execFileSync(path.join(root, 'scripts/web-icons'), ['--renderer', renderIconsPath, '--into', drawn], { stdio: 'pipe' });
    for (const name of ['labyrinth-writer.svg', 'labyrinth-writer-192.png', 'labyrinth-writer-512.png'])
      assert.ok(fs.readFileSync(path.join(drawn, name)).equals(fs.readFileSync(path.join(root, 'web/icons', name))),
        `web/icons/${name} is not the window's icon: run scripts/web-icons and commit web/icons`);
  });
});
