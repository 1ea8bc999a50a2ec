// The tracker shows a labyrinth under fog: the start room, and every room
// the player has revealed by choosing a door, an area or everything. The
// module draws the map and says which doors lead into the fog; the page
// keeps only what was revealed, step by step for undo, in the browser's
// storage under the labyrinth's seed code, so that a run survives a reload
// and every labyrinth keeps a run of its own.

import { call, facts } from './core.js';
import { $, count, sentence } from './messages.js';

const tracker = $('tracker');
const trackerBoard = $('tracker-board');
const trackerBox = $('tracker-map');
const trackerStatus = $('tracker-status');
let trackable = null;  // the labyrinth that "Track my run" opens: the last one written or looked at
let run = null;        // the run on show: { image, steps, shown, doors }

const runStore = {
  key: (seedCode) => `labyrinth-writer-run ${seedCode}`,
  // The steps of a run: each a list of rooms revealed together, or "reset",
  // after which only the start room is shown again.
  load(seedCode) {
    try {
      const kept = JSON.parse(localStorage.getItem(this.key(seedCode)) || '{}');
      const step = (s) => s === 'reset' || (Array.isArray(s) && s.every((cell) => typeof cell === 'string'));
      return Array.isArray(kept.steps) ? kept.steps.filter(step) : [];
    } catch {
      return [];  // nothing kept, or kept by something else: a run from the start
    }
  },
  save(seedCode, steps) {
    try {
      if (steps.length) localStorage.setItem(this.key(seedCode), JSON.stringify({ steps }));
      else localStorage.removeItem(this.key(seedCode));
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

/// The labyrinth that "Track my run" opens: { bytes, name, seedCode }.
export function offerTracking(image) {
  trackable = image;
  $('track-what').textContent = `"Track my run" tracks the labyrinth of ${image.name}, seed code ${image.seedCode}.`;
  $('track-section').hidden = false;
}

function openTracker() {
  if (!trackable) return;
  run = { image: trackable, steps: runStore.load(trackable.seedCode) };
  tracker.hidden = false;
  $('tracker-heading').textContent = `Your run in ${run.image.name} (seed code ${run.image.seedCode})`;
  drawRun();
  trackerBox.focus({ preventScroll: true });
  tracker.scrollIntoView({ block: 'start' });
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
  trackerBoard.innerHTML = tracked.map.slice(tracked.map.indexOf('<svg'));
  const picture = trackerBoard.querySelector('svg');
  picture?.setAttribute('aria-hidden', 'true');  // the status and the doors say what it shows
  for (const door of tracked.doors) {
    const button = Object.assign(document.createElement('button'), { type: 'button', className: 'door', title: door.name });
    button.dataset.door = door.to;
    button.dataset.from = door.from;
    button.dataset.toName = door.toName;
    button.setAttribute('aria-label', door.name);
    button.style.left = `${door.x}px`;
    button.style.top = `${door.y}px`;
    trackerBoard.append(button);
  }
  const kept = runStore.save(run.image.seedCode, run.steps);
  trackerStatus.textContent = `${said}${count(tracked.shown.length, 'room', 'rooms')} shown; `
    + `${count(tracked.doors.length, 'door leads', 'doors lead')} into the fog.`
    + `${kept ? '' : ' This browser does not keep the run.'}`;
  $('tracker-undo').disabled = !run.steps.length;
  $('tracker-reset').disabled = tracked.shown.length === 1;
  bringIntoTrackerView(revealed.length ? revealed
    : [tracked.shown.includes(facts().start) ? facts().start : tracked.shown[0]]);
}

// Scrolls the tracker's box so that the first of `cells` is in view, when
// it is not.
function bringIntoTrackerView(cells) {
  const room = cells[0] && trackerBoard.querySelector(`[data-room="${cells[0]}"]`);
  if (!room) return;
  const box = trackerBox.getBoundingClientRect();
  const at = room.getBoundingClientRect();
  if (at.left < box.left || at.right > box.right) trackerBox.scrollLeft += at.left - box.left - (box.width - at.width) / 2;
  if (at.top < box.top || at.bottom > box.bottom) trackerBox.scrollTop += at.top - box.top - (box.height - at.height) / 2;
}

// Adds a step of the rooms of `cells` not shown yet; nothing when none is new.
function reveal(cells, said) {
  const fresh = cells.filter((cell) => !run.shown.has(cell));
  if (!fresh.length) {
    trackerStatus.textContent = 'Those rooms are shown already.';
    return false;
  }
  run.steps.push(fresh);
  drawRun(said(fresh), fresh);
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
  reveal(rooms.rooms, (fresh) => `Revealed ${what}: ${count(fresh.length, 'room', 'rooms')}. `);
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
  $('track').addEventListener('click', openTracker);
  trackerBoard.addEventListener('click', (event) => {
    const door = event.target.closest('.door');
    if (door) chooseDoor(door);
  });
  $('tracker-reveal-area').addEventListener('click',
    () => revealArea([Number(areas.value)], `area ${areas.value}`));
  $('tracker-reveal-all').addEventListener('click',
    () => revealArea(Array.from({ length: facts().areaCount }, (_, area) => area), 'every area'));
  $('tracker-undo').addEventListener('click', undoStep);
  $('tracker-reset').addEventListener('click', resetRun);
}
