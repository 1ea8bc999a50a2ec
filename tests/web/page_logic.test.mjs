// The page's modules of state and logic under Node, with no page and no
// module: the tracker's run and its clock, the runs kept in a storage that
// fills up, the peeks at maps, the steps drawn ahead, and what the page
// takes back of a kept file.
//   node --test tests/web/page_logic.test.mjs   (needs no build)

import assert from 'node:assert/strict';
import { describe, test } from 'node:test';

import { drawAhead } from '../../web/page/draw_ahead.js';
import { keptFileProblem } from '../../web/page/kept_files.js';
import { forgetOldMapChoice, mapPeeks } from '../../web/page/peeks.js';
import { clockFrom, longestRunTime, runFrom } from '../../web/page/run.js';
import { runStore } from '../../web/page/run_store.js';
import { storageKey } from '../../web/page/storage_keys.js';

const areaCount = 11;
const start = '11,12';
const hour = 60 * 60 * 1000;

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

// A run at the time `clock.t`, drawn after each step as the module draws
// one: the start room and the rooms revealed, the player in a shown room.
function openRun(kept = {}) {
  const clock = { t: 10 * hour };
  const { run, clockForgotten } = runFrom(kept, { areaCount, now: () => clock.t });
  const draw = () => {
    const shown = [start, ...run.revealed()];
    run.drawnAs(shown, shown.includes(run.here) ? run.here : start);
  };
  draw();
  return { run, clock, clockForgotten, draw };
}

describe('the tracker\'s run', () => {
  test('steps reveal, walk, reset and undo; what is shown already is no step', () => {
    const rows = [
      ['one room: the player is there', [['reveal', ['1,1']]], { revealed: ['1,1'], here: '1,1', undo: true }],
      ['an area: the player stays', [['reveal', ['1,1']], ['reveal', ['2,1', '3,1']]],
        { revealed: ['1,1', '2,1', '3,1'], here: '1,1' }],
      ['shown rooms left out; one new, the player is there', [['reveal', ['1,1']], ['reveal', ['1,1', start, '2,1']]],
        { revealed: ['1,1', '2,1'], here: '2,1', last: ['2,1'] }],
      ['nothing new, no step', [['reveal', [start]]], { revealed: [], undo: false, last: [] }],
      ['a walk to a shown room', [['reveal', ['1,1']], ['walk', start]], { here: start, last: true }],
      ['no walk into the fog', [['walk', '5,5']], { here: start, last: false }],
      ['a reset shows the start room alone', [['reveal', ['1,1']], ['reset']], { revealed: [], here: start, undo: true }],
      ['undo of a reset', [['reveal', ['1,1']], ['reset'], ['undo']], { revealed: ['1,1'], last: 'reset' }],
      ['undo of the first step', [['reveal', ['1,1']], ['undo']], { revealed: [], undo: false, last: ['1,1'] }],
      ['nothing to undo', [['undo']], { last: null }],
    ];
    for (const [what, steps, expected] of rows) {
      const { run, draw } = openRun();
      let last;
      for (const [step, arg] of steps) {
        last = run[step](arg);
        draw();
      }
      const seen = { revealed: run.revealed(), here: run.here, undo: run.canUndo, last };
      for (const name of Object.keys(expected)) assert.deepEqual(seen[name], expected[name], `${what}: ${name}`);
    }
    const { run } = openRun({ steps: [['1,1'], 'reset', ['2,2']] });
    assert.deepEqual([run.revealed('1,1'), run.revealed('2,2')], [['2,2', '1,1'], ['2,2']], 'a step ahead');
  });

  test('the clock: its time, a split per area once, ticks, the text to copy, and a reset that keeps the ticks', () => {
    const { run, clock } = openRun();
    run.startOrPause();
    clock.t += hour + 65_000;
    assert.deepEqual([run.running, run.time(), run.reached([3, 1, 3])], [true, hour + 65_000, true]);
    clock.t += 5_000;
    run.startOrPause();
    clock.t += hour;
    assert.deepEqual([run.running, run.reached([1, 3]), run.reached([2])], [false, false, true]);
    assert.deepEqual(run.splits.map(({ area, at }) => [area, at - hour]), [[1, 65_000], [3, 65_000], [2, 70_000]]);
    for (const [room, ticked] of [['4,4', true], ['5,5', true], ['4,4', false], ['6,6', true]]) run.tick(room, ticked);
    const items = { shown: [{ room: '5,5', name: '(5, 5)' }, { room: '7,7', name: '(7, 7)' }], total: 9 };
    assert.equal(run.asText('Run', items), 'Run\nTime: 1:01:10\nArea 1: 1:01:05\nArea 3: 1:01:05\nArea 2: 1:01:10\n'
      + 'Items: 2 of 9\nItem room (5, 5)');
    run.resetClock();
    assert.deepEqual([run.time(), run.splits, run.ticks, run.untouched], [0, [], ['5,5', '6,6'], false]);
    ['5,5', '6,6'].forEach((room) => run.tick(room, false));
    assert.equal(run.untouched, true);
  });

  test('a kept clock is taken back only as a clock the page keeps', () => {
    const now = 10 * hour;
    const fresh = { elapsed: 0, startedAt: null, splits: [], ticks: [] };
    const rows = [
      ['fresh', {}, true],
      ['running an hour', { elapsed: 5, startedAt: now - hour, splits: [{ area: 10, at: 5 }], ticks: ['0,23'] }, true],
      ['a year', { elapsed: longestRunTime }, true],
      ['beyond a year', { elapsed: longestRunTime + 1 }, false],
      ['below zero', { elapsed: -5 }, false],
      ['a string', { elapsed: '65000' }, false],
      ['started over a year from now', { startedAt: now + longestRunTime + 1 }, false],
      ['splits that are not a list', { splits: 'Area 3' }, false],
      ['a split of an area that is none', { splits: [{ area: 11, at: 1 }] }, false],
      ['an area split twice', { splits: [{ area: 1, at: 1 }, { area: 1, at: 2 }] }, false],
      ['a tick that is no room', { ticks: ['a,b'] }, false],
      ['a room ticked twice', { ticks: ['1,1', '1,1'] }, false],
    ];
    for (const [what, change, fine] of rows)
      assert.deepEqual(clockFrom({ ...fresh, ...change }, areaCount, now), fine ? { ...fresh, ...change } : null, what);
  });

  test('a kept run goes on: steps of other forms left out, a damaged clock forgotten and said so', () => {
    const rows = [
      ['nothing kept', null, [], null, false],
      ['no run\'s form', 'steps', [], null, false],
      ['a run kept before runs were timed', { steps: [['1,1']], here: '1,1' }, ['1,1'], '1,1', false],
      ['steps of other forms', { steps: [['1,1'], 'undo', [2], null, ['2,2']], here: 7 }, ['1,1', '2,2'], null, false],
      ['a damaged clock', { steps: [['1,1']], clock: { elapsed: -5 } }, ['1,1'], null, true],
    ];
    for (const [what, kept, revealed, here, forgotten] of rows) {
      const { run, clockForgotten } = runFrom(kept, { areaCount, now: () => 0 });
      assert.deepEqual([run.revealed(), run.here, clockForgotten, run.time()], [revealed, here, forgotten, 0], what);
    }
  });
});

describe('the runs kept in the browser', () => {
  const runKey = (code) => storageKey('run', code);
  const kept = (savedAt, size = 100) => JSON.stringify({ steps: [], savedAt, filler: 'x'.repeat(size) });

  test('a run comes back as it was saved, under its old name; one with nothing to keep is forgotten', () => {
    const browser = storage();
    const store = runStore(browser, { areaCount, now: () => 42 });
    const { run } = store.load('a b c d');
    run.reveal(['1,1']);
    run.startOrPause();
    assert.equal(store.save('a b c d', run), true);
    assert.deepEqual(JSON.parse(browser.items.get('labyrinth-writer-run a b c d')), { ...run.kept(), savedAt: 42 });
    assert.deepEqual(runStore(browser, { areaCount, now: () => 43 }).load('a b c d').run.kept(), run.kept());
    run.undo();
    run.startOrPause();
    run.resetClock();
    assert.deepEqual([store.save('a b c d', run), browser.items.size], [true, 0]);
    assert.deepEqual([runStore(null, { areaCount }).load('x').run.untouched, runStore(null, { areaCount }).save('x', run)],
      [true, false], 'no storage: a run from the start, kept nowhere');
  });

  test('a full storage gives up the runs saved longest ago, and nothing else', () => {
    // This run takes 131 characters; each row's storage has room for it
    // once the runs not left have been given up, and not before.
    const rows = [
      ['the oldest run makes way', { [runKey('old')]: kept(1), [runKey('older')]: kept(0.5), [runKey('new')]: kept(3) },
        500, [runKey('old'), runKey('new')]],
      ['a run of the older form goes first', { [runKey('older')]: kept(1), [runKey('form')]: '{"steps":[]}' },
        300, [runKey('older')]],
      ['what is no run stays', { [storageKey('map-shown', 'x')]: 'shown', [storageKey()]: 'files',
        'other-page': 'x'.repeat(500), [runKey('old')]: kept(1) }, 700,
      [storageKey('map-shown', 'x'), storageKey(), 'other-page']],
      ['a storage that keeps nothing gives up no more than this run takes',
        { [runKey('a')]: kept(1, 20), [runKey('b')]: kept(2, 20), [runKey('c')]: kept(3, 20) }, 0, [runKey('c')]],
    ];
    for (const [what, entries, room, left] of rows) {
      const browser = storage(entries, room);
      const store = runStore(browser, { areaCount, now: () => 9 });
      const { run } = store.load('mine');
      run.reveal(['1,1']);
      assert.equal(store.save('mine', run), room > 0, what);
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

  test('steps drawn ahead one at a time while idle, and only for the run as drawn last', () => {
    const queue = [];
    const ahead = drawAhead({ whenIdle: (then) => queue.push(then), stopIdle: (at) => { queue[at - 1] = null; } });
    const idle = (times) => { for (let i = 0; i < times; ++i) queue.splice(0).forEach((then) => then?.()); };
    const draw = (room) => (room === 'fog' ? null : `drawn ${room}`);
    ahead.start(['a', 'fog', 'b'], draw);
    idle(1);
    assert.deepEqual(['a', 'b'].map(ahead.take), ['drawn a', undefined], 'one step an idle moment');
    ahead.start(['c', 'fog', 'd'], draw);
    assert.equal(ahead.take('a'), undefined, 'a new start forgets the old steps');
    idle(3);
    assert.deepEqual(['b', 'c', 'fog', 'd'].map(ahead.take), [undefined, 'drawn c', undefined, 'drawn d']);
    ahead.start(['e'], draw);
    ahead.stop();
    assert.deepEqual([ahead.take('d'), queue.filter(Boolean).length], [undefined, 0], 'stopped: nothing, and no work left');
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
