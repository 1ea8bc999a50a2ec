// The page's modules of state and logic under Node, with no page: the
// tracker's run over the module's history of steps (its clock, the run a
// link opens, each step's change of the picture, runs kept by earlier
// pages, notes, pins and areas done, the name of its splits file), what a
// tap on the map asks for, the runs kept in a storage that fills up, the
// peeks at maps, and what the page takes back of a kept file.
//   node --test tests/web/page_logic.test.mjs   (the run's rows need the module: make web)

import assert from 'node:assert/strict';
import { before, describe, test } from 'node:test';

import { keptFileProblem } from '../../web/page/kept_files.js';
import { tapOnMap } from '../../web/page/map_points.js';
import { forgetOldMapChoice, mapPeeks } from '../../web/page/peeks.js';
import { openRun, splitsNaming } from '../../web/page/run.js';
import { runStore } from '../../web/page/run_store.js';
import { storageKey } from '../../web/page/storage_keys.js';
import { loadModule } from './support.mjs';

const start = '11,12';
const hour = 60 * 60 * 1000;
const year = 365 * 24 * hour;

// A stand-in for localStorage that holds at most `room` characters of keys
// and values, and refuses more as a full browser does.
function storage(entries = {}, room = Infinity) {
  const items = new Map(Object.entries(entries));
  const used = () => [...items].reduce((n, [key, value]) => n + key.length + value.length, 0);
  return { items, get length() { return items.size; }, key: (i) => [...items.keys()][i] ?? null,
    getItem: (key) => items.get(key) ?? null, removeItem: (key) => items.delete(key),
    setItem(key, value) {
      const before = items.get(key);
      items.set(key, String(value));
      if (used() <= room) return;
      if (before === undefined) items.delete(key);
      else items.set(key, before);
      throw new Error('QuotaExceededError');
    } };
}

let labyrinth;
let image;
// Every room of the labyrinth tracked (seed 42): { room, area, record }, in scan order.
let rooms;
const roomsIn = (svg) => [...svg.matchAll(/<rect class="room" data-room="([^"]+)"[^>]*data-area="(\d+)"[^>]*data-record="([^"]+)"/g)]
  .map(([, room, area, record]) => ({ room, area: Number(area), record }));
before(async () => {
  labyrinth = await loadModule();
  image = labyrinth.labyrinthToTrack({ seed: '42' }).image;
  const { run } = openRun(labyrinth, { image, imageName: 'tracked.nes', now: () => 0 });
  run.step('revealAll');
  rooms = roomsIn(run.picture());
  run.close();
});

// A run of seed 42's labyrinth at the time `clock.t`, going on from `kept`
// (or a link's `steps`).
function openAt(kept = '', steps = null) {
  const clock = { t: 10 * hour };
  const opened = openRun(labyrinth, { image, imageName: 'tracked.nes', kept, steps, now: () => clock.t });
  assert.equal(opened.ok, true, opened.message);
  return { ...opened, clock };
}
const shownCount = (run) => Number(/, (\d+) rooms? shown$/.exec(run.view.title)[1]);
// The first door of the player's room into the fog, or into a shown room.
const doorOut = (run, fog = true) => run.view.hereDoors.find((door) => door.intoFog === fog)?.to;

describe('the tracker\'s run', () => {
  test('every step is taken back by Undo and given again by Redo; what cannot be taken is no step', () => {
    // Each row: steps (a kind and how to find its room or area in the run as
    // it is), then what the run shows: rooms shown, where the player is
    // (`from`: the room the row's first step was taken from), Undo and Redo,
    // the notes' texts, the rooms pinned and the areas done.
    const fog = (run) => ({ room: doorOut(run) });
    const back = (run) => ({ room: doorOut(run, false) });
    const noted = (text) => (run) => ({ room: run.view.here, text });
    const here = (run) => ({ room: run.view.here });
    const rows = [
      ['one room: the player is there', [['reveal', fog]], { shown: 2, here: 'new', undo: true, redo: false }],
      ['an area: the player stays', [['reveal', fog], ['revealArea', () => ({ area: 3 })]],
        { here: 'new', undo: true }],
      ['a walk to a shown room', [['reveal', fog], ['walk', back]], { shown: 2, here: start }],
      ['Undo puts the player back in the room the step was taken from', [['reveal', fog], ['reveal', fog], ['undo']],
        { shown: 2, here: 'first', redo: true }],
      ['Undo of a walk', [['reveal', fog], ['walk', back], ['undo']], { here: 'first' }],
      ['Reset shows the start room alone', [['reveal', fog], ['resetRooms']], { shown: 1, here: start, undo: true }],
      ['Undo of a Reset brings the run back', [['reveal', fog], ['resetRooms'], ['undo']], { shown: 2, here: 'first' }],
      ['Redo gives the step again', [['reveal', fog], ['undo'], ['redo']], { shown: 2, here: 'first', redo: false }],
      ['a new step gives up the steps undone', [['reveal', fog], ['undo'], ['start']], { shown: 1, redo: false }],
      ['Undo of Reveal all', [['reveal', fog], ['revealAll'], ['undo']], { shown: 2, here: 'first' }],
      ['a room shown already is no step', [['reveal', () => ({ room: start })]],
        { refused: '(11, 12) shows already', undo: false }],
      ['no walk into the fog', [['walk', fog]], { refused: 'is no room shown', here: start }],
      ['nothing to undo or redo', [['undo'], ['redo']], { refused: 'there is no step to give again', undo: false }],
      ['a note on the player\'s room', [['reveal', fog], ['note', noted('Key behind the wall')]],
        { notes: ['Key behind the wall'], undo: true }],
      ['Undo gives a note changed its text before', [['note', noted('a')], ['note', noted('b')], ['undo']],
        { notes: ['a'], redo: true }],
      ['an empty note takes the note away', [['note', noted('a')], ['note', noted('')]], { notes: [] }],
      ['a pin and an area done; Undo takes back the last', [['pin', here], ['areaDone', () => ({ area: 3 })], ['undo']],
        { pins: [start], done: [], redo: true }],
      ['a note of more than 40 characters is no step', [['note', noted('x'.repeat(41))]],
        { refused: 'a note holds at most 40 characters', notes: [], undo: false }],
    ];
    for (const [what, steps, expected] of rows) {
      const { run } = openAt();
      let refused = '';
      const entered = [];
      for (const [kind, of] of steps) {
        const answer = kind === 'undo' || kind === 'redo' ? run[kind]() : run.step(kind, of?.(run));
        if (!answer.ok) refused = answer.message;
        else if (kind === 'reveal') entered.push(answer.here);
      }
      const here = { new: entered.at(-1), first: entered[0] }[expected.here] ?? expected.here;
      const seen = { shown: shownCount(run), here: run.view.here, undo: run.view.canUndo, redo: run.view.canRedo,
        notes: run.view.notes.map((note) => note.text), pins: run.view.pins.map((pin) => pin.room), done: run.view.done };
      for (const name of ['shown', 'undo', 'redo']) if (name in expected) assert.equal(seen[name], expected[name], `${what}: ${name}`);
      for (const name of ['notes', 'pins', 'done']) if (name in expected) assert.deepEqual(seen[name], expected[name], `${what}: ${name}`);
      if (expected.here) assert.equal(seen.here, here, `${what}: here`);
      if (expected.refused) assert.match(refused, new RegExp(expected.refused.replace(/[()]/g, '\\$&')), what);
      else assert.equal(refused, '', what);
      run.close();
    }
  });

  test('the clock: its time, a split per area entered while it has run, ticks, a reset that Undo takes back, the text to copy', () => {
    const { run, clock } = openAt();
    const of = (area) => rooms.find((r) => r.area === area && r.room !== start).room;
    run.step('revealAll');
    run.step('walk', { room: of(1) });
    assert.deepEqual(run.view.splits, [], 'no split before the clock ran');
    run.step('start');
    clock.t += hour + 65_000;
    run.step('walk', { room: of(3) });
    assert.deepEqual([run.running, run.time()], [true, hour + 65_000]);
    run.step('pause');
    clock.t += hour;
    run.step('walk', { room: of(1) });
    run.step('walk', { room: of(3) });
    assert.deepEqual(run.view.splits, [{ area: 3, at: hour + 65_000 }, { area: 1, at: hour + 65_000 }], 'one each, at the clock\'s time');
    const items = rooms.filter((r) => r.record === 'item');
    for (const [kind, item] of [['tick', 0], ['tick', 1], ['untick', 0], ['tick', 2]]) run.step(kind, { room: items[item].room });
    assert.deepEqual(run.view.ticks, [items[1].room, items[2].room]);
    const name = (room) => `(${room.replace(',', ', ')})`;
    assert.equal(run.asText('Run'), ['Run', 'Time: 1:01:05', 'Area 3: 1:01:05', 'Area 1: 1:01:05',
      `Items: 2 of ${items.length}`, ...[items[1], items[2]].map(({ room }) => `Item room ${name(room)}`)].join('\n'));
    run.step('resetClock');
    assert.deepEqual([run.time(), run.view.splits, run.view.ticks.length], [0, [], 2], 'the ticks stay');
    run.undo();
    assert.deepEqual([run.time(), run.view.splits.length], [hour + 65_000, 2], 'a reset undone');
    // Its splits file is named after the labyrinth, the same for every racer of it.
    const namings = [
      [{ seed: '42', seedCode: 'honey mango reed canoe' }, 'Labyrinth seed 42', 'labyrinth-42.lss'],
      [{ seed: '123', daily: '2026-12-08' }, 'Daily labyrinth 2026-12-08', 'labyrinth-daily-2026-12-08.lss'],
      [{ seedCode: 'honey mango reed canoe', race: true }, 'Labyrinth honey mango reed canoe',
        'labyrinth-honey-mango-reed-canoe.lss'],
    ];
    for (const [tracked, category, name] of namings) assert.deepEqual(splitsNaming(tracked), { category, name });
  });

  test('runs kept by the page before runs were histories go on; what is damaged is forgotten and said so', () => {
    const now = 10 * hour;
    const first = rooms.find((r) => r.room !== start).room;
    const second = rooms.find((r) => r.room !== start && r.room !== first).room;
    const item = rooms.find((r) => r.record === 'item').room;
    const fresh = { elapsed: 0, startedAt: null, splits: [], ticks: [] };
    const clockForgotten = /^The timer, splits and ticked item rooms kept for this run were damaged/;
    // Each row: what was kept, then the rooms shown, the time and what is said.
    const rows = [
      ['nothing kept', '', 1, 0, /^$/],
      ['no run\'s form', '"steps"', 1, 0, /^What this browser kept of the run is not a run\.$/],
      ['another version\'s form', '{"version":9,"steps":"","length":0}', 1, 0, /form 9/],
      ['a run kept before runs were timed', { steps: [[first]], here: first }, 2, 0, /^$/],
      ['steps of other forms left out', { steps: [[first], 'undo', [2], null, [second]], here: 7 }, 3, 0, /^$/],
      ['a reset', { steps: [[first], 'reset', [second]] }, 2, 0, /^$/],
      ['running an hour', { steps: [], clock: { ...fresh, elapsed: 5, startedAt: now - hour } }, 1,
        hour + 5, /^$/],
      ['a year', { clock: { ...fresh, elapsed: year } }, 1, year, /^$/],
      ['beyond a year', { clock: { ...fresh, elapsed: year + 1 } }, 1, 0, clockForgotten],
      ['below zero', { clock: { ...fresh, elapsed: -5 } }, 1, 0, clockForgotten],
      ['a string', { clock: { ...fresh, elapsed: '65000' } }, 1, 0, clockForgotten],
      ['started over a year from now', { clock: { ...fresh, startedAt: now + year + 1 } }, 1, 0, clockForgotten],
      ['splits that are not a list', { clock: { ...fresh, splits: 'Area 3' } }, 1, 0, clockForgotten],
      ['a split of an area that is none', { clock: { ...fresh, splits: [{ area: 11, at: 1 }] } }, 1, 0, clockForgotten],
      ['an area split twice', { clock: { ...fresh, splits: [{ area: 1, at: 1 }, { area: 1, at: 2 }] } }, 1, 0,
        clockForgotten],
      ['a damaged clock, the rooms kept', { steps: [[first]], clock: { elapsed: -5 } }, 2, 0, clockForgotten],
      ['a room ticked that is not shown', { clock: { ...fresh, ticks: [item] } }, 1, 0, /^1 step of the kept run did not fit/i],
    ];
    for (const [what, kept, shown, time, said] of rows) {
      const { run, said: told } = openAt(typeof kept === 'string' ? kept : JSON.stringify(kept));
      assert.deepEqual([shownCount(run), run.time()], [shown, time], what);
      assert.match(told, said, what);
      run.close();
    }
    const { run, said } = openAt(JSON.stringify({ steps: [[first], [second]], here: first,
      clock: { ...fresh, splits: [{ area: 4, at: 9 }] } }));
    assert.deepEqual([run.view.here, run.view.splits, said, JSON.parse(run.view.kept).version],
      [first, [{ area: 4, at: 9 }], '', 2], 'the player walked back; kept again in the form of histories');
  });

  test('a link\'s run opens where the browser keeps a run too, unless the run kept goes on from it', () => {
    const { run: made } = openAt();
    made.step('reveal', { room: doorOut(made) });
    const linked = made.stepsText();
    made.step('reveal', { room: doorOut(made) });
    const further = made.view.kept;
    made.undo();
    made.undo();
    made.step('start');
    const other = made.view.kept;
    // Each row: what the browser kept, then the rooms shown and what is said.
    const rows = [
      ['nothing kept', '', 2, /^$/],
      ['the same run kept', JSON.stringify({ version: 2, steps: linked, length: 1 }), 2, /^$/],
      ['kept further', further, 3, /goes on from the link's/],
      ['kept, undone behind the link', other, 2, /in place of the run this browser kept/],
    ];
    for (const [what, kept, shown, said] of rows) {
      const { run, said: told } = openAt(kept, linked);
      assert.deepEqual([shownCount(run), told.match(said) !== null], [shown, true], what);
      run.close();
    }
  });

  test('each step\'s change, put into the picture drawn before it, gives the picture drawn anew', () => {
    const { run, opened } = openAt();
    // The picture as the page holds it: each room's pieces, and the doors into the fog.
    const drawn = { pieces: new Map(), doors: new Set() };
    const redraw = (map, doors) => {
      drawn.pieces = new Map(roomsIn(map).map(({ room }) => [room, []]));
      drawn.doors = new Set(doors.map((door) => `${door.from}>${door.to}`));
    };
    redraw(opened.map, opened.doors);
    const kinds = ['reveal', 'reveal', 'reveal', 'walk', 'undo', 'redo', 'revealArea', 'resetRooms', 'undo', 'tick'];
    let redrawn = 0;
    for (let i = 0; i < 120; ++i) {
      const kind = kinds[(i * 7 + Math.floor(i / 10)) % kinds.length];
      const shown = rooms.filter(({ room }) => drawn.pieces.has(room));
      const answer = kind === 'undo' || kind === 'redo' ? run[kind]()
        : run.step(kind, { room: kind === 'reveal' ? doorOut(run) : kind === 'walk' ? shown[i % shown.length].room
          : shown.find((r) => r.record === 'item')?.room, area: i % 11 });
      if (!answer.ok) continue;
      if (answer.redrawn) {
        redraw(answer.map, answer.doors);
        ++redrawn;
        continue;
      }
      const { added, gone, doorsOpened, doorsClosed } = answer.changes;
      for (const room of gone) assert.ok(drawn.pieces.delete(room), `step ${i}: ${room} was not drawn`);
      for (const { room, ...pieces } of added) drawn.pieces.set(room, Object.values(pieces).filter(Boolean));
      for (const key of doorsClosed) assert.ok(drawn.doors.delete(key), `step ${i}: ${key} was not drawn`);
      for (const door of doorsOpened) drawn.doors.add(`${door.from}>${door.to}`);
      const anew = run.picture();
      assert.deepEqual([...drawn.pieces.keys()].sort(), roomsIn(anew).map(({ room }) => room).sort(), `step ${i}: rooms`);
      for (const piece of [...drawn.pieces.values()].flat()) assert.ok(anew.includes(piece), `step ${i}: ${piece}`);
      const again = openAt(run.view.kept).opened;
      assert.deepEqual([...drawn.doors].sort(), again.doors.map((door) => `${door.from}>${door.to}`).sort(), `step ${i}: doors`);
    }
    assert.ok(redrawn > 0, 'some steps changed too many rooms to be told piece by piece');
  });
});

describe('a tap on the whole map', () => {
  test('a door\'s mark, or the room in fog behind it, reveals that room; a shown room walks there', () => {
    // Cells of 40 units from (40, 40): (11, 12) spans x 480 to 520, y 520 to
    // 560; it is shown, and so is (10, 12); its east door, at (520, 540),
    // leads into the fog of (12, 12).
    const geometry = { gridX: 40, gridY: 40, count: 24 };
    const doors = [{ from: '11,12', to: '12,12', x: 520, y: 540 }];
    const shown = new Set(['11,12', '10,12']);
    const rows = [
      ['on the door\'s mark', [520, 540], { kind: 'reveal', room: '12,12' }],
      ['a quarter of a cell from it, in the shown room', [510, 540], { kind: 'reveal', room: '12,12' }],
      ['anywhere on the fog behind it', [558, 522], { kind: 'reveal', room: '12,12' }],
      ['a shown room', [441, 559], { kind: 'walk', room: '10,12' }],
      ['the player\'s own room, away from the door', [505, 540], null],
      ['fog that no door leads to', [580, 540], null],
      ['the margin of the numbers', [20, 540], null],
      ['beyond the grid', [1001, 540], null],
    ];
    for (const [what, [x, y], target] of rows) {
      assert.deepEqual(tapOnMap({ x, y }, geometry, 40, { doors, isShown: (room) => shown.has(room), here: '11,12' }),
        target, what);
    }
  });
});

describe('the runs kept in the browser', () => {
  const runKey = (code) => storageKey('run', code);
  const kept = (savedAt, size = 100) => JSON.stringify({ steps: [], savedAt, filler: 'x'.repeat(size) });
  const aRun = JSON.stringify({ version: 2, steps: 'Es0g018v-iD', length: 1 });

  test('a run comes back as it was saved, under its old name; one that has taken no step is forgotten', () => {
    const browser = storage();
    const store = runStore(browser, { now: () => 42 });
    assert.equal(store.load('a b c d'), '');
    assert.equal(store.save('a b c d', aRun), true);
    assert.deepEqual(JSON.parse(browser.items.get('labyrinth-writer-run a b c d')), { ...JSON.parse(aRun), savedAt: 42 });
    assert.deepEqual(JSON.parse(runStore(browser).load('a b c d')), { ...JSON.parse(aRun), savedAt: 42 });
    assert.deepEqual([store.save('a b c d', '{"version":2,"steps":"","length":0}'), browser.items.size], [true, 0]);
    assert.deepEqual([runStore(null).load('x'), runStore(null).save('x', aRun)], ['', false],
      'no storage: a run from the start, kept nowhere');
  });

  test('a full storage gives up the runs saved longest ago, and nothing else', () => {
    // This run takes 94 characters; each row's storage has room for it
    // once the runs not left have been given up, and not before.
    const rows = [
      ['the oldest run makes way', { [runKey('old')]: kept(1), [runKey('older')]: kept(0.5), [runKey('new')]: kept(3) },
        460, [runKey('old'), runKey('new')]],
      ['a run of the older form goes first', { [runKey('older')]: kept(1), [runKey('form')]: '{"steps":[]}' },
        260, [runKey('older')]],
      ['what is no run stays', { [storageKey('map-shown', 'x')]: 'shown', [storageKey()]: 'files',
        'other-page': 'x'.repeat(500), [runKey('old')]: kept(1) }, 660,
      [storageKey('map-shown', 'x'), storageKey(), 'other-page']],
      ['a storage that keeps nothing gives up no more than this run takes',
        { [runKey('a')]: kept(1, 20), [runKey('b')]: kept(2, 20), [runKey('c')]: kept(3, 20) }, 0, [runKey('c')]],
    ];
    for (const [what, entries, room, left] of rows) {
      const browser = storage(entries, room);
      assert.equal(runStore(browser, { now: () => 9 }).save('mine', aRun), room > 0, what);
      assert.deepEqual([...browser.items.keys()].filter((key) => key !== runKey('mine')), left, what);
    }
  });
});

describe('the rest of the page\'s state', () => {
  test('a peek at a map holds for its labyrinth, in this page and, where the browser keeps it, on the next visit', () => {
    const browser = storage({ [storageKey('show-map')]: 'shown' });
    const peeks = mapPeeks(browser);
    [['a', true], ['b', true], ['b', false]].forEach(([code, shown]) => peeks.set(code, shown));
    const later = mapPeeks(browser);
    assert.deepEqual([peeks.shown('a'), peeks.shown('b'), later.shown('a'), later.shown('c')], [true, false, true, false]);
    const nowhere = mapPeeks(null);
    nowhere.set('a', true);
    assert.deepEqual([nowhere.shown('a'), mapPeeks(null).shown('a')], [true, false]);
    forgetOldMapChoice(browser);
    forgetOldMapChoice(null);
    assert.deepEqual([...browser.items.keys()], [storageKey('map-shown', 'a')]);
  });

  test('a kept file comes back only as a file whose name a file may have', () => {
    const file = (name, bytes = new Uint8Array(1)) => ({ name, type: '', bytes });
    const notAFile = 'What this browser kept as your image was not a file, so it was forgotten; choose the image again.';
    const rows = [
      [file('game.nes'), ''],
      [{ ...file('game.nes'), bytes: new ArrayBuffer(1) }, ''],
      [file('é'.repeat(127) + 'a'), ''],
      [null, notAFile],
      [file(''), notAFile],
      [{ ...file('game.nes'), type: 7 }, notAFile],
      [{ ...file('game.nes'), bytes: [1] }, notAFile],
      [file('é'.repeat(128)), 'What this browser kept as your image had a name of 256 bytes, longer than the 255 a '
        + 'file\'s name may have, so it was forgotten; choose the image again.'],
    ];
    for (const [kept, problem] of rows) assert.equal(keptFileProblem(kept, 'image'), problem, JSON.stringify(kept));
  });
});
