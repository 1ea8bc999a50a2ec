// The tracker: a labyrinth under fog, the start room and every room the
// player has revealed by choosing a door, an area or everything. It keeps
// one run (run.js) for the labyrinth it shows, asks the module to draw it
// and to say which doors lead into the fog, and draws what comes back: the
// map, the pad, the clock and the status. The run is kept in the browser
// under the labyrinth's seed code (run_store.js). A labyrinth is tracked
// from a write or a look, or with no files at all (track_forms.js).

import { call, facts } from './core.js';
import { copyAddress, labyrinthAddress } from './links.js';
import { count, sentence } from './messages.js';
import { drawAhead } from './draw_ahead.js';
import { setUpClock } from './run_clock.js';
import { setUpTrackForms } from './track_forms.js';
import { setUpPad } from './tracker_pad.js';
import { preparePicture, setUpTrackerView } from './tracker_view.js';

const notKept = ' This browser does not keep the run.';
const clockDamaged = 'The timer, splits and ticked item rooms that this browser kept for this run were damaged, so they '
  + 'were forgotten; the rooms revealed are kept. ';

/// The tracker's section, by its elements (those of its map, pad, clock and
/// forms too); `store` keeps the runs (runStore), and `shown`
/// (labyrinthsOnShow) says which labyrinth "Track my run" opens. Returns
/// { trackSeed }, which tracks a seed from a link.
export function setUpTracker(elements, { store, shown }) {
  const { tracker, trackerHeading, trackerStatus, trackerMap, trackerBoard, trackOffer, trackWhat, trackerLinkLine,
    trackerCopied, trackerUndo, trackerReset, trackerArea: areas } = elements;
  let image = null;    // the labyrinth tracked: { bytes, name, seedCode, and seed (and daily) when it is known }
  let run = null;      // its run
  let unsaved = null;  // the run whose latest step is not kept yet: { run, seedCode }

  const view = setUpTrackerView(elements, { scale: facts().trackerScale, redraw: () => run && drawRun('', [], true) });
  const pad = setUpPad(elements, { reveal: chooseDoor, walk: (door) => moveHere(door.to) });
  const clock = setUpClock(elements, { heading: () => trackerHeading.textContent });
  const forms = setUpTrackForms(elements, { open: (made) => openTracker(made) });
  const ahead = drawAhead({ whenIdle: window.requestIdleCallback ?? ((then) => setTimeout(then, 50)),
    stopIdle: window.cancelIdleCallback ?? clearTimeout });

  // Keeps the run on show once the frame that shows its step is painted, so
  // that writing the browser's storage never delays that frame; at once when
  // the page goes away. Says so in the status when the browser does not keep it.
  function saveSoon() {
    if (unsaved?.run === run) return;
    unsaved = { run, seedCode: image.seedCode };
    requestAnimationFrame(() => setTimeout(saveNow));
  }
  function saveNow() {
    const saving = unsaved;
    unsaved = null;
    if (saving && !store.save(saving.seedCode, saving.run) && saving.run === run
      && !trackerStatus.textContent.endsWith(notKept)) trackerStatus.textContent += notKept;
  }

  // The run as the module draws it, the player in `here`, its picture made
  // ready to show.
  function tracking(revealed, here) {
    const tracked = call('trackRun', { image: image.bytes, imageName: image.name, revealed, here: here ?? '' });
    if (tracked.ok) tracked.picture = preparePicture(tracked.map);
    return tracked;
  }

  // Draws the run (`tracked`: as drawn ahead), tells how far it has come
  // (after `said`, or what it says of the run drawn), and keeps it; brings
  // the first of the rooms the last step revealed into view, or the
  // player's room (`centre`: into the middle of the box). Then draws ahead
  // the steps through the doors into the fog of the player's room.
  function drawRun(said = '', revealed = [], centre = false, tracked = tracking(run.revealed(), run.here)) {
    if (!tracked.ok) {
      ahead.stop();
      view.clearPicture();
      trackerStatus.textContent = sentence(tracked.message, [image.name]);
      return;
    }
    run.drawnAs(tracked.shown, tracked.here);
    view.showPicture(tracked.picture);
    view.frame(tracked.doors);
    view.markHere(tracked.here);
    pad.show(tracked.hereName, tracked.hereDoors);
    clock.showItemRooms(tracked.items, tracked.itemRooms);
    saveSoon();
    trackerStatus.textContent = `${typeof said === 'function' ? said(tracked) : said}${count(tracked.shown.length, 'room', 'rooms')} shown; `
      + `${count(tracked.doors.length, 'door leads', 'doors lead')} into the fog.`;
    trackerUndo.disabled = !run.canUndo;
    trackerReset.disabled = tracked.shown.length === 1;
    view.bringIntoView(revealed[0] ?? run.here, centre);
    ahead.start(tracked.hereDoors.filter((door) => door.intoFog).map((door) => door.to), (to) => {
      const next = tracking(run.revealed(to), to);
      return next.ok ? { ...next, picture: view.planPicture(next.picture) } : null;
    });
  }

  // Opens the tracker on a labyrinth, with the run kept for it. The address
  // then names it, when its seed is known, so that a reload or the link on
  // another device opens the same run; `follow` leaves the address, the
  // focus and the scroll alone, for a tracker that follows a new labyrinth.
  function openTracker(tracked, { follow = false } = {}) {
    const kept = store.load(tracked.seedCode);
    image = tracked;
    run = kept.run;
    const { seedCode } = image;
    const opened = run;
    clock.show(run, () => store.save(seedCode, opened));
    tracker.hidden = false;
    trackerHeading.textContent = `Your run in ${image.name} (seed code ${image.seedCode})`;
    trackerLinkLine.hidden = !image.seed;
    trackerCopied.textContent = '';
    // A run opens around the room the player is in; drawing it keeps it,
    // with a fresh clock in place of a damaged one.
    drawRun(kept.clockForgotten ? clockDamaged : '', [], true);
    if (follow) return;
    if (image.seed) {
      history.replaceState(history.state, '', labyrinthAddress(window.location.href,
        { seed: image.seed, daily: image.daily, track: true }));
    }
    trackerMap.focus({ preventScroll: true });
    tracker.scrollIntoView({ block: 'start' });
  }

  // The player is in the shown room `cell` now.
  function moveHere(cell) {
    if (run.walk(cell)) drawRun(({ hereName }) => `You are in ${hereName}. `, [cell]);
  }

  // A step of the rooms of `cells` not shown yet; nothing when none is new.
  // The first room revealed of an area is its split.
  function reveal(cells, said) {
    const fresh = run.reveal(cells);
    if (!fresh.length) {
      trackerStatus.textContent = 'Those rooms are shown already.';
      return false;
    }
    drawRun(said(fresh), fresh, false, fresh.length === 1 ? ahead.take(fresh[0]) : undefined);
    const startArea = view.areaOf(facts().start);
    const reached = fresh.map((cell) => view.areaOf(cell)).filter((area) => Number.isInteger(area) && area !== startArea);
    if (run.reached(reached)) {
      clock.showSplits();
      store.save(image.seedCode, run);
    }
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
    (next || trackerMap).focus();
  }

  function revealArea(chosen, what) {
    const rooms = call('roomsOfAreas', { image: image.bytes, imageName: image.name, areas: chosen });
    if (!rooms.ok) {
      trackerStatus.textContent = sentence(rooms.message, [image.name]);
      return;
    }
    reveal(rooms.rooms, (fresh) => `Revealed ${what}: ${count(fresh.length, 'room', 'rooms')}; Undo hides them again. `);
  }

  function undoStep() {
    const step = run.undo();
    if (step === null) return;
    drawRun(step === 'reset' ? 'The run is back as it was before the reset. ' : 'Undone. ');
    if (document.activeElement === document.body) trackerMap.focus();
  }

  function resetRun() {
    run.reset();
    drawRun('Reset to the start room; Undo brings the run back. ');
    trackerUndo.focus();
  }

  // The labyrinth that "Track my run" opens: the last one written or looked
  // at. An open tracker follows it, with its own run.
  shown.follow((section, offered) => {
    if (!offered) return;
    trackWhat.textContent = `"Track my run" tracks the labyrinth of ${offered.name}, seed code ${offered.seedCode}.`;
    trackOffer.hidden = false;
    if (!tracker.hidden) openTracker(offered, { follow: true });
  });

  for (let area = 0; area < facts().areaCount; ++area)
    areas.append(Object.assign(document.createElement('option'), { value: String(area), textContent: `Area ${area}` }));
  elements.track.addEventListener('click', () => shown.latest() && openTracker(shown.latest()));
  trackerBoard.addEventListener('click', (event) => {
    const door = view.doorsAreTargets() && event.target.closest('.door');
    if (door) chooseDoorOnMap(door);
    else if (run) moveHere(view.roomAt(event.clientX, event.clientY));
  });
  elements.trackerCopyLink.addEventListener('click', async () => {
    trackerCopied.textContent = await copyAddress(labyrinthAddress(window.location.href,
      { seed: image.seed, daily: image.daily, track: true }));
  });
  elements.trackerRevealArea.addEventListener('click', () => revealArea([Number(areas.value)], `area ${areas.value}`));
  elements.trackerRevealAll.addEventListener('click',
    () => revealArea(Array.from({ length: facts().areaCount }, (_, area) => area), 'every area'));
  elements.trackerUndo.addEventListener('click', undoStep);
  elements.trackerReset.addEventListener('click', resetRun);
  addEventListener('pagehide', saveNow);
  document.addEventListener('visibilitychange', () => document.hidden && saveNow());

  return { trackSeed: forms.trackSeed };
}
