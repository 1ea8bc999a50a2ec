// The tracker: a labyrinth under fog, the start room and every room the
// player has revealed by choosing a door, an area or everything. It keeps
// one run (run.js: the module's history of the run's steps) for the
// labyrinth it shows, and draws what each step's answer says: the map (by
// what the step changed), where the player is, the pad, the clock and the
// status. Every button is a step, Undo or Redo, so that no tap loses
// anything for good; so are the player's notes, pins and areas done
// (tracker_notes.js). The run is kept in the browser under the labyrinth's
// seed code (run_store.js), and its link opens it on another device; a
// tracker follows what another page of the same browser keeps of the run
// it shows, so that the broadcast view (broadcast.js) in a streaming
// program or a window capture shows the run as the player takes it. A
// labyrinth is tracked from a write or a look, with no files at all
// (track_forms.js), or from a link; a sealed race's link names the
// labyrinth by its seed code alone, and the page asks for its image once.

import { setUpBroadcast } from './broadcast.js';
import { core, facts, guarded, onReloaded } from './core.js';
import { whenIdle } from './dom.js';
import { copyAddress, labyrinthAddress } from './links.js';
import { count, messages, sentence } from './messages.js';
import { openRun, splitsNaming } from './run.js';
import { setUpClock } from './run_clock.js';
import { setUpTrackForms } from './track_forms.js';
import { setUpNotes } from './tracker_notes.js';
import { setUpPad } from './tracker_pad.js';
import { setUpTrackerView } from './tracker_view.js';

const notKept = ' This browser does not keep the run.';

// What the status says of each step before it counts the rooms and doors;
// a function of the answer and of how many rooms the step showed.
const said = {
  walk: ({ hereName }) => `You are in ${hereName}. `,
  area: (what) => (answer, more) => `Revealed ${what}: ${count(more, 'room', 'rooms')}; Undo hides them again. `,
  resetRooms: 'Reset to the start room; Undo brings the run back. ',
  undo: 'Undone; Redo gives the step again. ',
  redo: 'Redone. ',
  start: 'The timer runs. ',
  pause: 'The timer is paused. ',
  resetClock: 'The timer is back at zero, without its splits; Undo brings them back. ',
  tick: 'Ticked off. ',
  untick: 'No longer ticked off. ',
};

/// The tracker's section, by its elements (those of its map, pad, clock and
/// forms too, and the field that asks for a sealed race's image); `store`
/// keeps the runs (runStore), `shown` (labyrinthsOnShow) says which
/// labyrinth "Track my run" opens, `remembering` (setUpRemembering) keeps a
/// sealed race's image with the player's files, and `read` reads a file
/// (a fileReader), and `downloads` (setUpDownloads) saves the splits file.
/// Returns { follow, broadcast }: follows a link to the tracker, and shows
/// the page as its broadcast view.
export function setUpTracker(elements, { store, shown, remembering, read, downloads }) {
  const { tracker, trackerHeading, trackerStatus, trackerMap, trackOffer, trackWhat, trackerLinkLine,
    trackerCopied, trackerUndo, trackerRedo, trackerReset, trackerArea: areas, trackerImageField, trackerImage,
    trackerImageCode, trackerImageSaid } = elements;
  // The labyrinth tracked: { bytes, name, seedCode }, with `seed` (and
  // `daily`) when it is known, and `race` when it came from an image whose
  // seed is told nowhere (a sealed race), which its link names by its code;
  // or a race's as its link carries it: { lab, name, seedCode, race }.
  let image = null;
  let run = null;       // its run (run.js)
  let unsaved = null;   // the run whose latest step is not kept yet: { run, seedCode }
  let awaited = null;   // a sealed race's link waiting for its image: { code, steps }
  let broadcasting = false;  // the page is the broadcast view, whose address stays as its link gave it

  const view = setUpTrackerView(elements, { scale: facts().trackerScale, legendOf: () => run?.legend() ?? '' });
  const pad = setUpPad(elements, {
    reveal: (door) => step('reveal', { room: door.to }, `Revealed ${door.toName}. `),
    walk: (door) => step('walk', { room: door.to }, said.walk),
  });
  const clock = setUpClock(elements, { step: (kind, args) => step(kind, args, said[kind]), run: () => run,
    heading: () => trackerHeading.textContent, naming: () => splitsNaming(image), save: downloads.save });
  const notes = setUpNotes(elements, { step, areaCount: facts().areaCount });
  const broadcast = setUpBroadcast({ ...elements, root: document.documentElement }, { run: () => run });
  const forms = setUpTrackForms(elements, { open: openTracker });

  // Keeps the run on show once the page is idle, after the frame that shows
  // its step, so that writing the browser's storage (which takes a
  // phone longer than the rest of a tap) never delays that frame nor what the
  // page does right after it; at once when the page goes away. Says so in the
  // status when the browser does not keep it.
  function saveSoon() {
    if (unsaved?.run === run) return;
    unsaved = { run, seedCode: image.seedCode };
    whenIdle(saveNow);
  }
  function saveNow() {
    const saving = unsaved;
    unsaved = null;
    if (saving && !store.save(saving.seedCode, saving.run.view.kept) && saving.run === run
      && !trackerStatus.textContent.endsWith(notKept)) trackerStatus.textContent += notKept;
  }

  // Shows what an answer of the run says: the picture changed by it (or
  // drawn whole), the player's room, in view (`centre`: in the middle of
  // the box), the pad, the clock, the buttons, and the status after `told`
  // (text, or a function of the answer and how many rooms it showed). A run
  // as another page kept it (`kept`) is not kept again.
  function shows(answer, told = '', { centre = false, kept = false } = {}) {
    const rooms = view.roomCount();
    if (answer.redrawn) view.show(answer.map, answer.doors);
    else if (answer.changes) view.change(answer.changes, answer.title);
    view.markHere(answer.here);
    view.markRooms(answer.notes, answer.pins);
    pad.show(answer.hereName, answer.hereDoors);
    clock.show(answer);
    notes.show(answer);
    broadcast.show(answer);
    trackerUndo.disabled = !answer.canUndo;
    trackerRedo.disabled = !answer.canRedo;
    trackerReset.disabled = view.roomCount() === 1 && answer.here === facts().start;
    trackerStatus.textContent = `${typeof told === 'function' ? told(answer, view.roomCount() - rooms) : told}`
      + `${count(view.roomCount(), 'room', 'rooms')} shown; ${count(view.doorCount(), 'door leads', 'doors lead')} `
      + 'into the fog.';
    view.bringIntoView(answer.here, centre);
    if (!kept) saveSoon();
  }

  // Takes a step of `kind` (or Undo, or Redo) and shows it, with `told`
  // first in the status. The keyboard stays where the player is: after a
  // step taken on the map, or one that took away what had the focus, it
  // goes to a door of the player's room on the map, or to the pad when the
  // room has none there; a button that went off gives it to its fellow.
  function step(kind, args = {}, told = said[kind], { onMap = false } = {}) {
    if (!run) return;
    const focused = document.activeElement;
    const answer = kind === 'undo' || kind === 'redo' ? run[kind]() : run.step(kind, args);
    if (!answer.ok) {
      clock.show(run.view);
      notes.show(run.view);
      trackerStatus.textContent = sentence(answer.message, [image.name]);
      return;
    }
    shows(answer, told);
    if (onMap || (focused && !focused.isConnected)) {
      const door = view.doorOf(answer.here);
      if (door) door.focus({ preventScroll: true });
      else pad.focus();
    } else if (focused === trackerUndo || focused === trackerRedo) {
      const fellow = focused === trackerUndo ? trackerRedo : trackerUndo;
      if (focused.disabled) (fellow.disabled ? trackerMap : fellow).focus();
    }
  }

  // Opens the tracker on a labyrinth (`tracked`), with the run kept for it
  // or a link's `steps`. The address then names it (and its run stays in
  // the browser), so that a reload opens the same run; `follow` leaves the
  // address, the focus and the scroll alone, for a tracker that follows a
  // new labyrinth, as the broadcast view does always, whose link a reload
  // must open again; with `kept`, for the run as another page kept it, it
  // does not keep it again. With `code`, only an image of that seed code is
  // tracked. Returns "" or why it was not opened.
  function openTracker(tracked, { follow = false, steps = null, code = '', kept = false } = {}) {
    saveNow();
    const opened = openRun(core(), { image: tracked.bytes, imageName: tracked.name, lab: tracked.lab,
      code: tracked.seedCode, kept: store.load(code || tracked.seedCode), steps, guard: guarded });
    if (opened.ok && code && opened.opened.seedCode !== code) {
      opened.run.close();
      return `${tracked.name} holds the labyrinth of seed code ${opened.opened.seedCode}, not the race of this link `
        + `(seed code ${code}); choose that race's image.`;
    }
    run?.close();
    run = null;
    tracker.hidden = false;
    trackerHeading.textContent = `Your run in ${tracked.name} (seed code ${tracked.seedCode || code})`;
    if (!opened.ok) {
      view.clear();
      trackerLinkLine.hidden = true;
      trackerStatus.textContent = sentence(opened.message, [tracked.name]);
      return trackerStatus.textContent;
    }
    ({ run } = opened);
    image = { ...tracked, seedCode: opened.opened.seedCode };
    awaited = null;
    trackerImageField.hidden = true;
    trackerLinkLine.hidden = !image.seed && !image.race;
    trackerCopied.textContent = '';
    view.show(opened.opened.map, opened.opened.doors);
    // A run opens around the room the player is in; it is kept at once, in
    // the form of histories, and without what was damaged.
    shows(opened.opened, opened.said ? `${opened.said} ` : '', { centre: true, kept });
    remembering.keepTracked(image.race && image.bytes ? { name: image.name, bytes: image.bytes } : null);
    if (follow || broadcasting) return '';
    history.replaceState(history.state, '', address());
    trackerMap.focus({ preventScroll: true });
    tracker.scrollIntoView({ block: 'start' });
    return '';
  }

  // The address of the labyrinth tracked, with the run's `steps` when they are given.
  const address = (steps = '') => labyrinthAddress(window.location.href, { seed: image.seed, daily: image.daily,
    code: image.race ? image.seedCode : '', lab: image.lab, track: true, steps });

  // A link to a sealed race's run that names its labyrinth by the seed code
  // alone: the page takes the race's image remembered in this browser, or
  // the one "Look at an image" shows, or asks for it.
  async function followRace(code, steps) {
    awaited = { code, steps };
    const kept = await remembering.trackedImage();
    if (awaited?.code !== code) return;
    if (kept && !trackRace({ ...kept, race: true })) return;
    const looked = shown.of('look');
    if (looked?.seedCode === code && !trackRace({ ...looked, race: true })) return;
    trackerImageCode.textContent = code;
    trackerImageSaid.textContent = '';
    trackerImageField.hidden = false;
    trackerImageField.scrollIntoView({ block: 'start' });
    trackerImage.focus({ preventScroll: true });
  }

  // Tracks `candidate` as the race the link awaits; returns "" or why not.
  const trackRace = (candidate) => openTracker(candidate, { steps: awaited.steps, code: awaited.code });

  async function raceImageChosen() {
    const file = trackerImage.files[0];
    if (!file || !awaited) return;
    const bytes = await read(file, 'image');
    trackerImageSaid.textContent = bytes.ok ? trackRace({ bytes: bytes.bytes, name: file.name, race: true })
      : sentence(bytes.message, [file.name]);
  }

  // The labyrinth that "Track my run" opens: the last one written or looked
  // at. An open tracker follows it, with its own run; a race's link that
  // awaits its image takes the one looked at, when it is the race's.
  shown.follow((section, offered) => {
    if (!offered) return;
    trackWhat.textContent = `"Track my run" tracks the labyrinth of ${offered.name}, seed code ${offered.seedCode}.`;
    trackOffer.hidden = false;
    if (awaited && section === 'look' && offered.seedCode === awaited.code) trackRace({ ...offered, race: true });
    else if (!tracker.hidden) openTracker({ ...offered, race: !offered.seed }, { follow: true });
  });
  // A fresh module after one that broke: the run opens again as it was kept.
  onReloaded(() => run && openTracker(image, { follow: true }));

  for (let area = 0; area < facts().areaCount; ++area)
    areas.append(Object.assign(document.createElement('option'), { value: String(area), textContent: `Area ${area}` }));
  elements.track.addEventListener('click', () => {
    const latest = shown.latest();
    if (latest) openTracker({ ...latest, race: !latest.seed });
  });
  elements.trackerBoard.addEventListener('click', (event) => {
    const door = view.doorsAreTargets() && event.target.closest('.door');
    if (door) {
      step('reveal', { room: door.dataset.door }, `Revealed ${door.dataset.toName}. `, { onMap: true });
      return;
    }
    const tap = run && view.tapAt(event.clientX, event.clientY);
    if (tap?.kind === 'walk') step('walk', { room: tap.room }, said.walk);
    else if (tap) step('reveal', { room: tap.room }, (answer) => `Revealed ${answer.hereName}. `);
  });
  elements.trackerCopyLink.addEventListener('click', async () => {
    const steps = run.stepsText();
    trackerCopied.textContent = await copyAddress(address(typeof steps === 'string' ? steps : ''));
  });
  elements.trackerRevealArea.addEventListener('click',
    () => step('revealArea', { area: Number(areas.value) }, said.area(`area ${areas.value}`)));
  elements.trackerRevealAll.addEventListener('click', () => step('revealAll', {}, said.area('every area')));
  trackerUndo.addEventListener('click', () => step('undo'));
  trackerRedo.addEventListener('click', () => step('redo'));
  trackerReset.addEventListener('click', () => {
    step('resetRooms');
    trackerUndo.focus();
  });
  trackerImage.addEventListener('change', () => raceImageChosen().catch((error) => {
    trackerImageSaid.textContent = messages.pageBroke(error);
  }));
  // Another page of this browser kept a new state of the run on show (or
  // forgot it): it is shown as kept there, in place of this page's, within
  // the frame; a step of this page not kept yet gives way to it.
  addEventListener('storage', (event) => {
    if (!run || (event.key !== null && event.key !== store.keyOf(image.seedCode))) return;
    unsaved = null;
    openTracker(image, { follow: true, kept: true });
  });
  addEventListener('pagehide', saveNow);
  document.addEventListener('visibilitychange', () => document.hidden && saveNow());

  return {
    /// Follows a link to the tracker (as readLink reads it, with no
    /// problem): its labyrinth, by seed, date, or a race's seed code (and
    /// its rooms, when the link carries them), and its run's steps when it
    /// carries them.
    follow(link) {
      const steps = link.run || null;
      if (link.lab) {
        return openTracker({ lab: link.lab, name: 'the race\'s labyrinth', seedCode: link.code, race: true }, { steps });
      }
      if (link.code) return followRace(link.code, steps);
      return forms.trackSeed(link.seed, link.daily, { steps });
    },

    /// Shows the page as the broadcast view of a link (as readLink reads
    /// it), or as itself for null; the map then fills its box.
    broadcast(link) {
      broadcasting = Boolean(link);
      broadcast.use(link);
      view.fillBox(broadcasting);
    },
  };
}
