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
import { areasReached, clockFrom, setUpClock, showClock, showItemRooms } from './run_clock.js';
import { frame, scrollBy, setUpView, showPicture, tapWhole } from './tracker_view.js';

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
  // after which only the start room is shown again; and the room the
  // player is in, when they said so or a step revealed one.
  load(seedCode) {
    try {
      const kept = JSON.parse(localStorage.getItem(this.key(seedCode)) || '{}');
      const step = (s) => s === 'reset' || (Array.isArray(s) && s.every((cell) => typeof cell === 'string'));
      return { steps: Array.isArray(kept.steps) ? kept.steps.filter(step) : [],
        here: typeof kept.here === 'string' ? kept.here : null, clock: clockFrom(kept.clock) };
    } catch {
      // Nothing kept, or kept by something else: a run from the start.
      return { steps: [], here: null, clock: clockFrom(null) };
    }
  },
  save({ image, steps, here, clock }) {
    try {
      const untouched = !steps.length && clock.elapsed === 0 && clock.startedAt === null && !clock.ticks.length;
      if (untouched) localStorage.removeItem(this.key(image.seedCode));
      else localStorage.setItem(this.key(image.seedCode), JSON.stringify({ steps, here, clock }));
      return true;
    } catch {
      return false;
    }
  },
};

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
  run = { image, ...runStore.load(image.seedCode) };
  showClock(run.clock, () => runStore.save(run));
  tracker.hidden = false;
  $('tracker-heading').textContent = `Your run in ${image.name} (seed code ${image.seedCode})`;
  $('tracker-link-line').hidden = !image.seed;
  $('tracker-copied').textContent = '';
  drawRun();
  // A run opens around the room the player is in.
  bringIntoTrackerView([run.here], true);
  if (follow) return;
  if (image.seed) history.replaceState(history.state, '', permalinkFor(image.seed, true));
  trackerBox.focus({ preventScroll: true });
  tracker.scrollIntoView({ block: 'start' });
}

// A labyrinth made by the module without the player's files, tracked; a
// refusal goes to the form, on `field` when it is about what was typed.
function trackMade(made, name, field = null) {
  trackSeedInput.removeAttribute('aria-invalid');
  if (!made.ok) {
    trackFormStatus.textContent = sentence(made.message);
    field?.setAttribute('aria-invalid', 'true');
    return false;
  }
  trackFormStatus.textContent = '';
  openTracker({ bytes: made.image, name, seedCode: made.seedCode, seed: made.seed });
  return true;
}

/// Tracks the labyrinth that a write of `seed` makes (as typed: decimal,
/// or REVISION:SEED), with no files.
export function trackSeed(seed) {
  trackSeedInput.value = seed;
  return trackMade(call('labyrinthToTrack', { seed }), `the labyrinth of seed ${seed}`, trackSeedInput);
}

function trackDaily() {
  const date = new Date().toISOString().slice(0, 10);
  const daily = core().dailySeed(date);
  if (!daily.ok) trackFormStatus.textContent = sentence(daily.message);
  else trackSeed(daily.seed);
}

async function trackLayout() {
  const file = $('track-layout').files[0];
  if (!file) return;
  const read = await readLayout(file);
  const made = read.ok ? call('labyrinthToTrack', { layout: read.bytes, layoutName: file.name }) : read;
  trackMade(made, `the labyrinth of ${file.name}`);
}

// Draws the run as its steps say, tells how far it has come, and keeps the
// steps; `revealed` names the rooms the last step revealed, to bring into view.
function drawRun(said = '', revealed = []) {
  const tracked = call('trackRun', { image: run.image.bytes, imageName: run.image.name, revealed: revealedBy(run.steps) });
  if (!tracked.ok) {
    trackerBoard.replaceChildren();
    trackerStatus.textContent = sentence(tracked.message, [run.image.name]);
    return;
  }
  run.shown = new Set(tracked.shown);
  run.doors = tracked.doors;
  showPicture(tracked.map);
  const placed = tracked.doors.map((door) => {
    const button = Object.assign(document.createElement('button'), { type: 'button', className: 'door', title: door.name });
    button.dataset.door = door.to;
    button.dataset.from = door.from;
    button.dataset.toName = door.toName;
    button.setAttribute('aria-label', door.name);
    if (door.link) button.classList.add('link');
    trackerBoard.append(button);
    return { x: door.x, y: door.y, button };
  });
  frame(placed);
  if (!run.shown.has(run.here)) run.here = facts().start;
  markHere();
  showItemRooms(tracked.items, tracked.itemRooms);
  const kept = runStore.save(run);
  trackerStatus.textContent = `${said}${count(tracked.shown.length, 'room', 'rooms')} shown; `
    + `${count(tracked.doors.length, 'door leads', 'doors lead')} into the fog.`
    + `${kept ? '' : ' This browser does not keep the run.'}`;
  $('tracker-undo').disabled = !run.steps.length;
  $('tracker-reset').disabled = tracked.shown.length === 1;
  bringIntoTrackerView(revealed.length ? revealed : [run.here]);
}

// "You are here": the room the player is in carries aria-current="location".
function markHere() {
  trackerBoard.querySelector('[aria-current]')?.removeAttribute('aria-current');
  trackerBoard.querySelector(`[data-room="${run.here}"]`)?.setAttribute('aria-current', 'location');
}

// A tap or a click on a shown room: the player is there now.
function moveHere(event) {
  const room = [...trackerBoard.querySelectorAll('[data-room]')].find((element) => {
    const box = element.getBoundingClientRect();
    return event.clientX >= box.left && event.clientX <= box.right && event.clientY >= box.top
      && event.clientY <= box.bottom;
  });
  if (!room) return;
  run.here = room.dataset.room;
  markHere();
  runStore.save(run);
}

// Scrolls the tracker's box so that the first of `cells` is in view, when
// it is not, or with `centre` into the middle of the box.
function bringIntoTrackerView(cells, centre = false) {
  const room = cells[0] && trackerBoard.querySelector(`[data-room="${cells[0]}"]`);
  if (!room) return;
  // What the number strips at the top and the left leave of the box.
  const whole = trackerBox.getBoundingClientRect();
  const top = whole.top + (trackerBoard.querySelector('.numbers.columns')?.offsetHeight ?? 0);
  const left = whole.left + (trackerBoard.querySelector('.numbers.rows')?.offsetWidth ?? 0);
  const box = { left, top, right: whole.right, bottom: whole.bottom, width: whole.right - left, height: whole.bottom - top };
  const at = room.getBoundingClientRect();
  const across = centre || at.left < box.left || at.right > box.right;
  const down = centre || at.top < box.top || at.bottom > box.bottom;
  if (across || down) {
    scrollBy(across ? at.left - box.left - (box.width - at.width) / 2 : 0,
      down ? at.top - box.top - (box.height - at.height) / 2 : 0);
  }
}

// Adds a step of the rooms of `cells` not shown yet; nothing when none is new.
function reveal(cells, said) {
  const fresh = cells.filter((cell) => !run.shown.has(cell));
  if (!fresh.length) {
    trackerStatus.textContent = 'Those rooms are shown already.';
    return false;
  }
  run.steps.push(fresh);
  if (fresh.length === 1) run.here = fresh[0];
  drawRun(said(fresh), fresh);
  const areaOf = (cell) => Number(trackerBoard.querySelector(`[data-room="${cell}"]`)?.dataset.area);
  const startArea = areaOf(facts().start);
  areasReached(fresh.map(areaOf).filter((area) => Number.isInteger(area) && area !== startArea));
  return true;
}

// A door chosen: the room behind it is revealed, and the keyboard goes on
// from there, to a door of that room when it has one.
function chooseDoor(button) {
  const to = button.dataset.door;
  const toName = button.dataset.toName;
  reveal([to], () => `Revealed ${toName}. `);
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
  setUpView({ zoomed: () => run && bringIntoTrackerView([run.here]), redraw: () => run && drawRun() });
  trackerBoard.addEventListener('click', (event) => {
    if (tapWhole(event)) return;
    const door = event.target.closest('.door');
    if (door) chooseDoor(door);
    else moveHere(event);
  });
  $('track-form').addEventListener('submit', (event) => {
    event.preventDefault();
    trackSeed(trackSeedInput.value.trim());
  });
  $('track-daily').addEventListener('click', trackDaily);
  $('track-layout').addEventListener('change', () => trackLayout().catch((error) => {
    trackFormStatus.textContent = `Something went wrong in the page: ${error.message || error}.`;
  }));
  $('tracker-copy-link').addEventListener('click', () => copy(permalinkFor(run.image.seed, true), $('tracker-copied'),
    'Link copied.', 'the address bar shows the link.'));
  $('tracker-reveal-area').addEventListener('click',
    () => revealArea([Number(areas.value)], `area ${areas.value}`));
  $('tracker-reveal-all').addEventListener('click',
    () => revealArea(Array.from({ length: facts().areaCount }, (_, area) => area), 'every area'));
  $('tracker-undo').addEventListener('click', undoStep);
  $('tracker-reset').addEventListener('click', resetRun);
}
