// The page: reads the two files, hands them to the WebAssembly module (the
// same driver as the window and labyrinth-cli), and shows what comes back.
// No labyrinth logic lives here or in the modules it starts: the messages
// about what is in the files, the status texts, the version, the link's
// form and which slot a file belongs in come from the module; the page
// turns them into sentences, and says in its own words only what it does
// itself (where a file went, what the browser keeps).
//
// This file starts the page: it makes the owners of the page's state, looks
// up the page's elements and hands each view its own.

import { mayBroadcast } from './page/broadcast.js';
import { facts, moduleReady, onReloaded } from './page/core.js';
import { setUpDownloads } from './page/downloads.js';
import { statusLine } from './page/dom.js';
import { fileReader } from './page/file_reads.js';
import { setUpFiles } from './page/files.js';
import { fileStore } from './page/kept_files.js';
import { setUpLook } from './page/look.js';
import { setUpMaps } from './page/maps.js';
import { messages } from './page/messages.js';
import { labyrinthsOnShow } from './page/on_show.js';
import { forgetOldMapChoice, mapPeeks } from './page/peeks.js';
import { setUpRemembering } from './page/remembered.js';
import { runStore } from './page/run_store.js';
import { setUpTracker } from './page/tracker.js';
import { setUpWrite } from './page/write.js';

// The page's elements of `ids`, each under its id in camelCase
// ("tracker-undo" as trackerUndo), for a view to take.
function elementsOf(...ids) {
  return Object.fromEntries(ids.map((id) => {
    const element = document.getElementById(id);
    if (!element) throw new Error(`the page has no element "${id}"`);
    return [id.replace(/-(\w)/g, (_, letter) => letter.toUpperCase()), element];
  }));
}

// The browser's localStorage, or null where it gives the page none (it
// may refuse a page that asks, in a private window say): the parts that
// keep things there then keep nothing, as they would in such a browser.
function browserStorage() {
  try {
    return window.localStorage;
  } catch {
    return null;
  }
}

// The service worker keeps the page's files for offline use. A worker of a
// newer build waits until this page has loaded everything it needs, then is
// told to take over, so that the next visit gets the new build whole.
async function keepForOffline() {
  if (!('serviceWorker' in navigator)) return;
  try {
    const registration = await navigator.serviceWorker.register('service-worker.js');
    const takeOver = () => registration.waiting?.postMessage('take-over');
    const watch = (worker) => worker?.addEventListener('statechange', () => {
      if (worker.state === 'installed') takeOver();
    });
    // A new worker may already be on its way: this page asked for it when it
    // was opened.
    watch(registration.installing);
    registration.addEventListener('updatefound', () => watch(registration.installing));
    takeOver();
  } catch {
    // Without a worker the page works as before, only not offline.
  }
}

// Files dropped on a file input go to it, as usual; on the Look section, to
// Look; anywhere else on the page, to the slots they belong in.
function watchDrops({ writeSection, lookSection }, { files, look, say }) {
  const onFileInput = (event) => event.target instanceof HTMLInputElement && event.target.type === 'file';
  const sectionFor = (event) => (lookSection.contains(event.target) ? lookSection : writeSection);
  const clearDropTarget = () => document.querySelectorAll('.drop-target').forEach((s) => s.classList.remove('drop-target'));
  document.addEventListener('dragover', (event) => {
    if (onFileInput(event)) return;
    event.preventDefault();
    const section = sectionFor(event);
    if (!section.classList.contains('drop-target')) {
      clearDropTarget();
      section.classList.add('drop-target');
    }
  });
  document.addEventListener('dragleave', (event) => {
    if (!event.relatedTarget) clearDropTarget();
  });
  document.addEventListener('drop', (event) => {
    clearDropTarget();
    if (onFileInput(event)) return;
    event.preventDefault();
    const dropped = [...event.dataTransfer.files];
    if (!dropped.length) return;
    const work = sectionFor(event) === lookSection ? look.droppedOnLook(dropped) : files.dropped(dropped);
    work.catch((error) => say(messages.pageBroke(error), 'error'));
  });
}

// ---- start ----------------------------------------------------------------

// What may be the broadcast view shows nothing until the link is read.
if (mayBroadcast(window.location.hash)) document.documentElement.classList.add('broadcast');
const ready = moduleReady();
const storage = browserStorage();
const shown = labyrinthsOnShow();
const read = fileReader();
const { status, write: writeButton, version, revision, about } =
  elementsOf('status', 'write', 'version', 'revision', 'about');
const say = statusLine(status);

const files = setUpFiles(elementsOf('rom', 'text', 'files-used'), { read, say });
const { download: image, patch, spoiler } = elementsOf('download', 'patch', 'spoiler');
const downloads = setUpDownloads({ image, patch, spoiler });
const write = setUpWrite(elementsOf('write-form', 'seed', 'result', 'stale', 'download', 'seed-used', 'seed-code',
  'daily-date', 'daily-term', 'link-line', 'permalink', 'copied', 'copy-link', 'copy-seed', 'daily', 'write-layout',
  'layout', 'look'), { say, files, downloads, shown });
const remembering = setUpRemembering(elementsOf('remember', 'remembered', 'forget'),
  { files, read, store: fileStore(storage) });
const { spoilerToggle: toggle, mapFigure: figure, map: box, routeArea: route, routeSaid: said } =
  elementsOf('spoiler-toggle', 'map-figure', 'map', 'route-area', 'route-said');
const maps = setUpMaps({ write: { toggle, figure, box, route, said } }, { shown, peeks: mapPeeks(storage) });
const look = setUpLook(elementsOf('look', 'look-seed', 'look-result'), { read, downloads, maps, shown });
files.onChanged(write.inputsChanged);
files.onChanged(remembering.save);
onReloaded(() => { writeButton.disabled = false; });
watchDrops(elementsOf('write-section', 'look-section'), { files, look, say });

forgetOldMapChoice(storage);
// Remembered files come back while the module loads.
const restoring = remembering.restore();
try {
  await ready;
  await restoring;
  writeButton.disabled = false;
  const tracker = setUpTracker(elementsOf('tracker', 'tracker-heading', 'tracker-status', 'tracker-map',
    'tracker-board', 'track-offer', 'track-what', 'track', 'tracker-link-line', 'tracker-copy-link', 'tracker-copied',
    'tracker-undo', 'tracker-redo', 'tracker-reset', 'tracker-area', 'tracker-reveal-area', 'tracker-reveal-all', 'tracker-legend',
    'tracker-legend-map', 'tracker-zoom', 'tracker-pad', 'tracker-here', 'tracker-here-marks', 'run-timer',
    'run-timer-start', 'run-timer-reset', 'splits', 'splits-none', 'items', 'items-count', 'run-copy',
    'run-save-splits', 'run-copied', 'track-form', 'track-seed', 'track-form-status', 'track-daily', 'track-layout',
    'tracker-image-field', 'tracker-image', 'tracker-image-code', 'tracker-image-said', 'tracker-note-form',
    'tracker-note', 'tracker-note-room', 'tracker-pin', 'room-marks', 'room-marks-none', 'areas-done',
    'broadcast-strip', 'broadcast-here', 'broadcast-time', 'broadcast-splits'),
  { store: runStore(storage), shown, remembering, read, downloads });
  maps.offerRoutes();
  files.showFilesUsed();
  version.textContent = facts().version;
  revision.textContent = String(facts().revision);
  about.hidden = false;
  say('Ready.');
  // A link fills the seed field; one that asks for the tracker (a seed,
  // date or race's seed code of this revision, and "track") opens it on
  // that labyrinth, with no files but a race's image, and on the run the
  // link carries. Once the module can tell whether a link's revision is
  // this page's. A link of the broadcast view shows the page as that view
  // (hidden until then); any other link, or one refused, the page as itself.
  const followAddress = () => {
    const link = write.seedFromAddress();
    const follows = link.names && link.track && !link.problem;
    tracker.broadcast(follows && link.broadcast ? link : null);
    if (follows) tracker.follow(link);
  };
  window.addEventListener('hashchange', followAddress);
  followAddress();
  document.documentElement.dataset.ready = 'true';
  performance.mark('labyrinth-ready');
  keepForOffline();
} catch (error) {
  document.documentElement.classList.remove('broadcast');
  say(`The page could not load its WebAssembly module: ${error.message || error}.`, 'error');
}
