// The run's clock beside the tracker: a timer that can be started, paused
// and reset, a split at the first reveal of each area, and the item rooms
// ticked off as the player collects them. All of it is kept with the run's
// progress (tracker.js stores it) and can be copied as text.

import { facts } from './core.js';
import { copy } from './links.js';
import { $, count } from './messages.js';

const timer = $('run-timer');
const startButton = $('run-timer-start');
const splitList = $('splits');
const itemList = $('items');
let clock = null;     // of the run on show: { elapsed, startedAt, splits: [{ area, at }], ticks: [room] }
let changed = () => {};  // keeps the run, after every change of its clock
let ticking = 0;      // the interval that shows the running time
let items = { shown: [], total: 0 };  // the item rooms shown ({ room, name }), and how many there are

// The longest time a kept clock may hold, in milliseconds: a year, far
// beyond any run, even one whose timer was left running for months. A time
// beyond it, below zero or no number at all is a damaged clock.
const longestRunTime = 365 * 24 * 60 * 60 * 1000;

/// A clock with nothing timed and nothing ticked.
export const freshClock = () => ({ elapsed: 0, startedAt: null, splits: [], ticks: [] });

/// A run's clock as kept, or null for anything that is not a clock this
/// page keeps (damaged, or kept by something else): its times within
/// `longestRunTime` (a running clock started no further from now), a split
/// for each area at most once, and each item room ticked at most once.
export function clockFrom(kept) {
  const time = (ms) => Number.isFinite(ms) && ms >= 0 && ms <= longestRunTime;
  const distinct = (list) => new Set(list).size === list.length;
  const fine = kept !== null && typeof kept === 'object'
    && time(kept.elapsed)
    && (kept.startedAt === null || (Number.isFinite(kept.startedAt) && time(Math.abs(Date.now() - kept.startedAt))))
    && Array.isArray(kept.splits) && distinct(kept.splits.map((s) => s?.area))
    && kept.splits.every((s) => Number.isInteger(s?.area) && s.area >= 0 && s.area < facts().areaCount && time(s.at))
    && Array.isArray(kept.ticks) && distinct(kept.ticks)
    && kept.ticks.every((room) => typeof room === 'string' && /^\d+,\d+$/.test(room));
  if (!fine) return null;
  return { elapsed: kept.elapsed, startedAt: kept.startedAt,
    splits: kept.splits.map(({ area, at }) => ({ area, at })), ticks: [...kept.ticks] };
}

// The time on the clock, in milliseconds.
const now = () => clock.elapsed + (clock.startedAt === null ? 0 : Math.max(0, Date.now() - clock.startedAt));

/// 0:04:09, from milliseconds.
export function timeText(ms) {
  const seconds = Math.floor(ms / 1000);
  const two = (n) => String(n).padStart(2, '0');
  return `${Math.floor(seconds / 3600)}:${two(Math.floor(seconds / 60) % 60)}:${two(seconds % 60)}`;
}

function showTime() {
  timer.textContent = timeText(now());
}

function showRunning() {
  const running = clock.startedAt !== null;
  startButton.textContent = running ? 'Pause' : now() > 0 ? 'Go on' : 'Start';
  clearInterval(ticking);
  if (running) ticking = setInterval(showTime, 250);
  showTime();
}

function showSplits() {
  splitList.replaceChildren(...clock.splits.map(({ area, at }) =>
    Object.assign(document.createElement('li'), { textContent: `Area ${area}: ${timeText(at)}` })));
  $('splits-none').hidden = clock.splits.length > 0;
}

let itemsShown = '';  // the items and ticks the list shows

function showItems() {
  const drawn = JSON.stringify([items, clock.ticks]);
  if (drawn === itemsShown) return;
  itemsShown = drawn;
  const ticked = new Set(clock.ticks);
  itemList.replaceChildren(...items.shown.map(({ room, name }, index) => {
    const box = Object.assign(document.createElement('input'), { type: 'checkbox', checked: ticked.has(room),
      id: `item-room-${index}` });
    box.dataset.item = room;
    const label = Object.assign(document.createElement('label'), { htmlFor: box.id, textContent: `Item room ${name}` });
    const entry = document.createElement('li');
    entry.append(box, label);
    return entry;
  }));
  $('items-count').textContent = `${count(clock.ticks.length, 'item room', 'item rooms')} of ${items.total} ticked off; `
    + `${items.shown.length} shown.`;
}

/// Shows the clock of a run; `keep` is called after each change of it.
export function showClock(runClock, keep) {
  clock = runClock;
  changed = keep;
  showRunning();
  showSplits();
}

/// After a step revealed rooms of `areas` (the start room's area aside): a
/// split for each area that the run reaches for the first time.
export function areasReached(areas) {
  const split = new Set(clock.splits.map((s) => s.area));
  const fresh = [...new Set(areas)].filter((area) => !split.has(area)).sort((a, b) => a - b);
  if (!fresh.length) return;
  const at = now();
  for (const area of fresh) clock.splits.push({ area, at });
  showSplits();
  changed();
}

/// The item rooms shown ({ room, name }), to tick off, and how many the
/// labyrinth has.
export function showItemRooms(shown, total) {
  items = { shown, total };
  showItems();
}

// The run's times and items as text, for a race's chat or notes.
function asText(heading) {
  const ticked = new Set(clock.ticks);
  return [heading, `Time: ${timeText(now())}`,
    ...clock.splits.map(({ area, at }) => `Area ${area}: ${timeText(at)}`),
    `Items: ${clock.ticks.length} of ${items.total}`,
    ...items.shown.filter(({ room }) => ticked.has(room)).map(({ name }) => `Item room ${name}`)].join('\n');
}

export function setUpClock(headingText) {
  startButton.addEventListener('click', () => {
    if (clock.startedAt === null) clock.startedAt = Date.now();
    else {
      clock.elapsed = now();
      clock.startedAt = null;
    }
    showRunning();
    changed();
  });
  $('run-timer-reset').addEventListener('click', () => {
    Object.assign(clock, { elapsed: 0, startedAt: null, splits: [] });
    showRunning();
    showSplits();
    changed();
  });
  itemList.addEventListener('change', (event) => {
    const room = event.target.dataset.item;
    clock.ticks = clock.ticks.filter((other) => other !== room);
    if (event.target.checked) clock.ticks.push(room);
    showItems();
    changed();
  });
  $('run-copy').addEventListener('click', () => copy(asText(headingText()), $('run-copied'),
    'Times and items copied.', 'they are shown above.'));
}
