// The tracker shows a labyrinth under fog: the start room, and every room
// the player has revealed by choosing a door, an area or everything. The
// module draws the map and says which doors lead into the fog; the page
// keeps only what was revealed, step by step for undo, in the browser's
// storage under the labyrinth's seed code, so that a run survives a reload
// and every labyrinth keeps a run of its own. A labyrinth is tracked from a
// write or a look, or with no files at all from its seed (a link, the form,
// today's) or its spoiler file.

import { call, core, facts } from './core.js';
import { readLayout } from './files.js';
import { copy, permalinkFor } from './links.js';
import { $, count, sentence } from './messages.js';
import { areasReached, clockFrom, freshClock, setUpClock, showClock, showItemRooms } from './run_clock.js';
import { setUpPad, showPad } from './tracker_pad.js';
import { bringIntoView, cellAt, clearPicture, doorsAreTargets, frame, planPicture, preparePicture, setUpView,
  showPicture } from './tracker_view.js';

const tracker = $('tracker');
const trackerBoard = $('tracker-board');
const trackerBox = $('tracker-map');
const trackerStatus = $('tracker-status');
const trackSeedInput = $('track-seed');
const trackFormStatus = $('track-form-status');
let trackable = null;  // the labyrinth that "Track my run" opens: the last one written or looked at
let run = null;        // the run on show: { image, steps, here, shown, doors }

const runStore = {
  key: (seedCode) => `labyrinth-writer-run ${seedCode}`,
  // The steps of a run: each a list of rooms revealed together, or "reset",
  // after which only the start room is shown again; the room the player is
  // in, when they said so or a step revealed one; and its clock (none in a
  // run kept before runs were timed). A damaged clock is forgotten, and
  // `clockForgotten` says so, while the steps go on.
  load(seedCode) {
    try {
      const kept = JSON.parse(localStorage.getItem(this.key(seedCode)) || '{}');
      const step = (s) => s === 'reset' || (Array.isArray(s) && s.every((cell) => typeof cell === 'string'));
      const clock = kept.clock === undefined ? freshClock() : clockFrom(kept.clock);
      return { steps: Array.isArray(kept.steps) ? kept.steps.filter(step) : [],
        here: typeof kept.here === 'string' ? kept.here : null, clock: clock ?? freshClock(), clockForgotten: !clock };
    } catch {
      // Nothing kept, or kept by something else: a run from the start.
      return { steps: [], here: null, clock: freshClock(), clockForgotten: false };
    }
  },
  // Each run keeps when it was saved, so that a full storage gives up the
  // runs left longest ago, one by one, before it gives up this one: a racer
  // who tracks the daily labyrinth every day would otherwise fill it within
  // a few years, and from then on keep no run at all. Once as much as this
  // run takes has been freed, a save that still fails is refused for
  // another reason than room, and no more runs are given up for it.
  save({ image, steps, here, clock }) {
    const key = this.key(image.seedCode);
    try {
      const untouched = !steps.length && clock.elapsed === 0 && clock.startedAt === null && !clock.ticks.length;
      if (untouched) {
        localStorage.removeItem(key);
        return true;
      }
      const kept = JSON.stringify({ steps, here, clock, savedAt: Date.now() });
      for (let freed = 0; ;) {
        try {
          localStorage.setItem(key, kept);
          return true;
        } catch (error) {
          const more = freed < key.length + kept.length && this.forgetOldest(key);
          if (!more) throw error;
          freed += more;
        }
      }
    } catch {
      return false;
    }
  },
  // Forgets the run saved longest ago but the one of `key` (a run saved
  // before runs kept the time counts as oldest); returns the characters
  // freed, 0 when there is none.
  forgetOldest(key) {
    let oldest = null;
    let oldestAt = Infinity;
    for (let i = 0; i < localStorage.length; ++i) {
      const other = localStorage.key(i);
      if (other === key || !other?.startsWith(this.key(''))) continue;
      let at = 0;
      try {
        at = Number(JSON.parse(localStorage.getItem(other)).savedAt) || 0;
      } catch {
        // Not a run's form: forgotten first.
      }
      if (at < oldestAt) [oldest, oldestAt] = [other, at];
    }
    if (oldest === null) return 0;
    const freed = oldest.length + localStorage.getItem(oldest).length;
    localStorage.removeItem(oldest);
    return freed;
  },
};

const notKept = ' This browser does not keep the run.';
const clockDamaged = 'The timer, splits and ticked item rooms that this browser kept for this run were damaged, so they '
  + 'were forgotten; the rooms revealed are kept. ';
let unsaved = null;  // the run whose latest step is not kept yet

// Keeps the run on show once the frame that shows its step is painted, so
// that writing the browser's storage never delays that frame; at once when
// the page goes away. Says so in the status when the browser does not keep it.
function saveSoon() {
  if (unsaved === run) return;
  unsaved = run;
  requestAnimationFrame(() => setTimeout(saveNow));
}
function saveNow() {
  const saving = unsaved;
  unsaved = null;
  if (saving && !runStore.save(saving) && saving === run && !trackerStatus.textContent.endsWith(notKept))
    trackerStatus.textContent += notKept;
}
addEventListener('pagehide', saveNow);
document.addEventListener('visibilitychange', () => document.hidden && saveNow());

// The rooms revealed by a run's steps, the start room aside.
function revealedBy(steps) {
  const revealed = new Set();
  for (const step of steps) {
    if (step === 'reset') revealed.clear();
    else step.forEach((cell) => revealed.add(cell));
  }
  return [...revealed];
}

/// The labyrinth that "Track my run" opens: { bytes, name, seedCode, and
/// seed when it is known }. An open tracker follows it, with its own run.
export function offerTracking(image) {
  trackable = image;
  $('track-what').textContent = `"Track my run" tracks the labyrinth of ${image.name}, seed code ${image.seedCode}.`;
  $('track-offer').hidden = false;
  if (!tracker.hidden) openTracker(image, { follow: true });
}

// Opens the tracker on a labyrinth, with the run kept for it. The address
// then names it, when its seed is known, so that a reload or the link on
// another device opens the same run; `follow` leaves the address, the
// focus and the scroll alone, for a tracker that follows a new labyrinth.
function openTracker(image, { follow = false } = {}) {
  const { clockForgotten, ...kept } = runStore.load(image.seedCode);
  run = { image, ...kept };
  showClock(run.clock, () => runStore.save(run));
  tracker.hidden = false;
  $('tracker-heading').textContent = `Your run in ${image.name} (seed code ${image.seedCode})`;
  $('tracker-link-line').hidden = !image.seed;
  $('tracker-copied').textContent = '';
  // A run opens around the room the player is in; drawing it keeps it,
  // with a fresh clock in place of a damaged one.
  drawRun(clockForgotten ? clockDamaged : '', [], true);
  if (follow) return;
  if (image.seed) history.replaceState(history.state, '', permalinkFor(image.seed, true, image.daily));
  trackerBox.focus({ preventScroll: true });
  tracker.scrollIntoView({ block: 'start' });
}

// A labyrinth made by the module without the player's files, tracked; a
// refusal goes to the form, on `field` when it is about what was typed.
function trackMade(made, name, field = null, daily = '') {
  trackSeedInput.removeAttribute('aria-invalid');
  if (!made.ok) {
    trackFormStatus.textContent = sentence(made.message);
    field?.setAttribute('aria-invalid', 'true');
    return false;
  }
  trackFormStatus.textContent = '';
  openTracker({ bytes: made.image, name, seedCode: made.seedCode, seed: made.seed, daily });
  return true;
}

/// Tracks the labyrinth that a write of `seed` makes (as typed: decimal,
/// or REVISION:SEED), with no files; with `daily` (YYYY-MM-DD), as that
/// day's labyrinth, which its link names by the date.
export function trackSeed(seed, daily = '') {
  trackSeedInput.value = seed;
  const name = daily ? `the daily labyrinth of ${daily}` : `the labyrinth of seed ${seed}`;
  return trackMade(call('labyrinthToTrack', { seed }), name, trackSeedInput, daily);
}

function trackDaily() {
  const date = new Date().toISOString().slice(0, 10);
  const daily = core().dailySeed(date);
  if (!daily.ok) trackFormStatus.textContent = sentence(daily.message);
  else trackSeed(daily.seed, date);
}

async function trackLayout() {
  const file = $('track-layout').files[0];
  if (!file) return;
  const read = await readLayout(file);
  const made = read.ok ? call('labyrinthToTrack', { layout: read.bytes, layoutName: file.name }) : read;
  trackMade(made, `the labyrinth of ${file.name}`);
}

// The run of `steps`, the player in `here`, as the module draws it, its
// picture made ready to show.
function tracking(steps, here) {
  const tracked = call('trackRun', { image: run.image.bytes, imageName: run.image.name, revealed: revealedBy(steps),
    here: here ?? '' });
  if (tracked.ok) tracked.picture = preparePicture(tracked.map);
  return tracked;
}

// The run one step on, through each door into the fog of the room the
// player is in, drawn while the page is idle: the step the player takes
// next is most often one of those, and then shows at once. They hold for
// `run` as it was drawn the `drawn`th time.
const ahead = { run: null, drawn: -1, steps: new Map(), waiting: null };
const whenIdle = window.requestIdleCallback ?? ((then) => setTimeout(then, 50));
const stopIdle = window.cancelIdleCallback ?? clearTimeout;

function drawAhead(doors) {
  if (ahead.waiting !== null) stopIdle(ahead.waiting);
  Object.assign(ahead, { run, drawn: run.drawn, steps: new Map(), waiting: null });
  const next = doors.filter((door) => door.intoFog).map((door) => door.to);
  const one = () => {
    ahead.waiting = null;
    if (ahead.run !== run || ahead.drawn !== run.drawn || !next.length) return;
    const to = next.shift();
    const tracked = tracking([...run.steps, [to]], to);
    if (tracked.ok) ahead.steps.set(to, { ...tracked, picture: planPicture(tracked.picture) });
    ahead.waiting = whenIdle(one);
  };
  ahead.waiting = whenIdle(one);
}

// Draws the run as its steps say (`tracked`: as drawn ahead), tells how far
// it has come (after `said`, or what it says of the run drawn), and keeps
// the steps; brings the first of the rooms the last step revealed into view,
// or the player's room (`centre`: into the middle of the box).
function drawRun(said = '', revealed = [], centre = false, tracked = tracking(run.steps, run.here)) {
  run.drawn = (run.drawn ?? 0) + 1;
  if (!tracked.ok) {
    clearPicture();
    trackerStatus.textContent = sentence(tracked.message, [run.image.name]);
    return;
  }
  run.shown = new Set(tracked.shown);
  run.here = tracked.here;
  showPicture(tracked.picture);
  frame(tracked.doors);
  showHere(tracked);
  showItemRooms(tracked.items, tracked.itemRooms);
  saveSoon();
  trackerStatus.textContent = `${typeof said === 'function' ? said(tracked) : said}${count(tracked.shown.length, 'room', 'rooms')} shown; `
    + `${count(tracked.doors.length, 'door leads', 'doors lead')} into the fog.`;
  $('tracker-undo').disabled = !run.steps.length;
  $('tracker-reset').disabled = tracked.shown.length === 1;
  bringIntoView(revealed[0] ?? run.here, centre);
  drawAhead(tracked.hereDoors);
}

// The map's element of the shown room `cell`; its rooms are a group of
// their own, which is quicker to look through than the whole map.
const roomOf = (cell) => trackerBoard.querySelector(`.rooms > [data-room="${cell}"]`);

// "You are here": the room the player is in carries aria-current="location",
// and the pad offers its doors.
function showHere({ here, hereName, hereDoors }) {
  trackerBoard.querySelector('.rooms > [aria-current]')?.removeAttribute('aria-current');
  roomOf(here)?.setAttribute('aria-current', 'location');
  showPad(hereName, hereDoors);
}

// The player is in the shown room `cell` now.
function moveHere(cell) {
  if (!run.shown.has(cell) || cell === run.here) return;
  run.here = cell;
  drawRun(({ hereName }) => `You are in ${hereName}. `, [cell]);
}

// Adds a step of the rooms of `cells` not shown yet; nothing when none is new.
function reveal(cells, said) {
  const fresh = cells.filter((cell) => !run.shown.has(cell));
  if (!fresh.length) {
    trackerStatus.textContent = 'Those rooms are shown already.';
    return false;
  }
  const current = ahead.run === run && ahead.drawn === run.drawn;
  const drawn = fresh.length === 1 && current ? ahead.steps.get(fresh[0]) : undefined;
  run.steps.push(fresh);
  if (fresh.length === 1) run.here = fresh[0];
  drawRun(said(fresh), fresh, false, drawn);
  const areaOf = (cell) => Number(roomOf(cell)?.dataset.area);
  const startArea = areaOf(facts().start);
  areasReached(fresh.map(areaOf).filter((area) => Number.isInteger(area) && area !== startArea));
  return true;
}

// A door into the fog chosen, on the pad or the map: the room behind it is
// revealed.
function chooseDoor(door) {
  reveal([door.to], () => `Revealed ${door.toName}. `);
}

// A door on the map chosen: the keyboard goes on from there, to a door of
// the revealed room when it has one.
function chooseDoorOnMap(button) {
  const to = button.dataset.door;
  chooseDoor({ to, toName: button.dataset.toName });
  const next = trackerBoard.querySelector(`.door[data-from="${to}"]`) || trackerBoard.querySelector('.door');
  (next || trackerBox).focus();
}

function revealArea(areas, what) {
  const rooms = call('roomsOfAreas', { image: run.image.bytes, imageName: run.image.name, areas });
  if (!rooms.ok) {
    trackerStatus.textContent = sentence(rooms.message, [run.image.name]);
    return;
  }
  reveal(rooms.rooms, (fresh) => `Revealed ${what}: ${count(fresh.length, 'room', 'rooms')}; Undo hides them again. `);
}

function undoStep() {
  if (!run.steps.length) return;
  const step = run.steps.pop();
  drawRun(step === 'reset' ? 'The run is back as it was before the reset. ' : 'Undone. ');
  if (document.activeElement === document.body) trackerBox.focus();
}

function resetRun() {
  run.steps.push('reset');
  drawRun('Reset to the start room; Undo brings the run back. ');
  $('tracker-undo').focus();
}

export function setUpTracker() {
  const areas = $('tracker-area');
  for (let area = 0; area < facts().areaCount; ++area)
    areas.append(Object.assign(document.createElement('option'), { value: String(area), textContent: `Area ${area}` }));
  $('track').addEventListener('click', () => trackable && openTracker(trackable));
  setUpClock(() => $('tracker-heading').textContent);
  setUpView(() => run && drawRun('', [], true));
  setUpPad({ reveal: chooseDoor, walk: (door) => moveHere(door.to) });
  trackerBoard.addEventListener('click', (event) => {
    const door = doorsAreTargets() && event.target.closest('.door');
    if (door) chooseDoorOnMap(door);
    else if (run) moveHere(cellAt(event.clientX, event.clientY));
  });
  $('track-form').addEventListener('submit', (event) => {
    event.preventDefault();
    trackSeed(trackSeedInput.value.trim());
  });
  $('track-daily').addEventListener('click', trackDaily);
  $('track-layout').addEventListener('change', () => trackLayout().catch((error) => {
    trackFormStatus.textContent = `Something went wrong in the page: ${error.message || error}.`;
  }));
  $('tracker-copy-link').addEventListener('click', () => copy(permalinkFor(run.image.seed, true, run.image.daily), $('tracker-copied'),
    'Link copied.', 'the address bar shows the link.'));
  $('tracker-reveal-area').addEventListener('click',
    () => revealArea([Number(areas.value)], `area ${areas.value}`));
  $('tracker-reveal-all').addEventListener('click',
    () => revealArea(Array.from({ length: facts().areaCount }, (_, area) => area), 'every area'));
  $('tracker-undo').addEventListener('click', undoStep);
  $('tracker-reset').addEventListener('click', resetRun);
}
