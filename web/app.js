// The page: reads the two files, hands them to the WebAssembly module (the
// same driver as the window and labyrinth-cli), and shows what comes back.
// No labyrinth logic lives here or in the modules it starts: every message
// about the files, the status texts, the version, the link's form and
// which slot a file belongs in come from the module; the page only turns
// messages into sentences. This file starts the page and wires its parts.

import { facts, moduleReady, onReloaded } from './page/core.js';
import { dropped, onFilesChanged, showFilesUsed, watchFileInputs } from './page/files.js';
import { watchCopying } from './page/links.js';
import { droppedOnLook, watchLooking } from './page/look.js';
import { forgetOldMapChoice, toggleMap, watchRoutes } from './page/maps.js';
import { $, setStatus } from './page/messages.js';
import { rememberFiles, restoreFiles, watchRemembering } from './page/remembered.js';
import { setUpTracker, trackSeed } from './page/tracker.js';
import { inputsChanged, seedFromAddress, watchWriting } from './page/write.js';

const writeButton = $('write');
const writeSection = $('write-section');
const lookSection = $('look-section');

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
function watchDrops() {
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
    const files = [...event.dataTransfer.files];
    if (!files.length) return;
    const work = sectionFor(event) === lookSection ? droppedOnLook(files) : dropped(files);
    work.catch((error) => setStatus(`Something went wrong in the page: ${error.message || error}.`, 'error'));
  });
}

// A link fills the seed field; one that asks for the tracker (a seed of
// this revision and "track") opens it on that labyrinth, with no files.
function followAddress() {
  const link = seedFromAddress();
  if (link.names && link.track && !link.problem) trackSeed(link.seed, link.daily);
}

// ---- start ----------------------------------------------------------------

onFilesChanged(inputsChanged);
onFilesChanged(rememberFiles);
onReloaded(() => { writeButton.disabled = false; });
watchWriting();
watchFileInputs();
watchRemembering();
watchCopying();
watchLooking();
watchDrops();
$('spoiler-toggle').addEventListener('click', () => toggleMap('write'));
window.addEventListener('hashchange', followAddress);

forgetOldMapChoice();
const ready = moduleReady();
// Remembered files come back while the module loads.
const restoring = restoreFiles();
try {
  await ready;
  await restoring;
  writeButton.disabled = false;
  setUpTracker();
  watchRoutes();
  showFilesUsed();
  $('version').textContent = facts().version;
  $('revision').textContent = String(facts().revision);
  $('about').hidden = false;
  setStatus('Ready.');
  followAddress();  // once the module can tell whether a link's revision is this page's
  document.documentElement.dataset.ready = 'true';
  performance.mark('labyrinth-ready');
  keepForOffline();
} catch (error) {
  setStatus(`The page could not load its WebAssembly module: ${error.message || error}.`, 'error');
}
