// The write: the labyrinth of the seed in the field (or of a spoiler file)
// written into a copy of the chosen image, and the result on show, with
// its downloads, its link and its map on request.

import { call, core, facts } from './core.js';
import { offerAfterWrite, withdrawDownloads } from './downloads.js';
import { chosen, chosenImage, chosenText, readChosen, readLayout } from './files.js';
import { permalinkFor, readAddress } from './links.js';
import { showImage } from './maps.js';
import { $, afterNextFrame, sentence, setStatus } from './messages.js';
import { offerTracking } from './tracker.js';

const form = $('write-form');
const seedInput = $('seed');
const result = $('result');
const stale = $('stale');

let written = null;   // what the result on show was written from: { image, text, seed, layout }
let dailyOf = null;   // the daily labyrinth last asked for: { seed, date }
let refusedLink = '';  // why the link in the address was refused, until the seed field is typed in
let writing = false;  // a write is under way; the button stays enabled, and keeps the focus

function seedIsWrong(message) {
  seedInput.setAttribute('aria-invalid', 'true');
  seedInput.setAttribute('aria-describedby', 'status');
  setStatus(sentence(message), 'error');
  seedInput.focus();
}

function seedIsFine() {
  seedInput.removeAttribute('aria-invalid');
  seedInput.removeAttribute('aria-describedby');
}

// On a phone the result comes into view and takes the focus, so that the
// next step is where the eye and the keyboard are. On a wider screen the
// focus stays on the button, for the next write, and the page scrolls only
// when the download is out of view.
const narrow = window.matchMedia('(max-width: 40rem)');

function bringResultIntoView() {
  if (narrow.matches) {
    result.scrollIntoView({ block: 'start' });
    result.focus({ preventScroll: true });
    return;
  }
  const box = $('download').getBoundingClientRect();
  if (box.top < 0 || box.bottom > window.innerHeight) $('download').scrollIntoView({ block: 'nearest' });
}

/// The result on show no longer matches the inputs: "Done." goes, and the
/// result says which files and seed it was written from.
export function inputsChanged() {
  if (!written || result.hidden || !stale.hidden) return;
  const seed = written.seed === '' ? 'a random seed' : `seed ${written.seed}`;
  stale.textContent = `This labyrinth was written from ${written.image} and ${written.text} with ${seed}, before your `
    + 'change. Press Write to TGL for one from what is chosen now.';
  stale.hidden = false;
  setStatus('Ready.');
}

// The result of a write that worked, in the frame after the click: "Done.",
// as the window says it when its click returns, with the download in its
// place, the facts and (when the player wants it) the map.
function showWritten(done, request) {
  setStatus(facts().statusDone, 'ok');
  performance.clearMarks('labyrinth-done');  // one mark, however many writes
  performance.mark('labyrinth-done');
  offerAfterWrite(done.downloads, true);
  // A layout has no seed, so no link: the spoiler file is what to share.
  const fromLayout = Boolean(done.layoutName);
  $('seed-used').textContent = fromLayout ? `none: the labyrinth of ${done.layoutName}` : done.seed;
  $('seed-code').textContent = done.seedCode;
  const day = !fromLayout && dailyOf && dailyOf.seed === done.seed ? dailyOf.date : '';
  $('daily-date').textContent = day;
  $('daily-term').hidden = $('daily-date').hidden = !day;
  $('link-line').hidden = fromLayout;
  if (!fromLayout) $('permalink').href = permalinkFor(done.seed, false, day);
  $('copied').textContent = '';
  written = { image: request.imageName, text: request.textName, seed: request.seed, layout: done.layoutName };
  stale.hidden = true;
  result.hidden = false;
  const image = done.downloads.find((d) => d.kind === 'image');
  showImage('write', { bytes: image.bytes, name: image.name, seedCode: done.seedCode });
  offerTracking({ bytes: image.bytes, name: image.name, seedCode: done.seedCode, seed: fromLayout ? '' : done.seed });
  return image;
}

/// Writes the labyrinth of the seed in the field, or with `layoutFile` the
/// labyrinth that a spoiler file describes.
export async function write(layoutFile = null) {
  if (!core()) return setStatus('The page is still loading; try again in a moment.', 'error');
  const seed = layoutFile ? '' : seedInput.value.trim();
  const seedProblem = core().seedProblem(seed);
  if (seedProblem) return seedIsWrong(seedProblem);
  // Whatever the field holds, a refused link writes nothing until the player
  // types a seed of their own.
  if (refusedLink && !layoutFile) return seedIsWrong(refusedLink);
  seedIsFine();
  if (writing) return;
  writing = true;
  withdrawDownloads('write');
  result.hidden = true;
  // The click takes about a millisecond, so the work starts at once rather
  // than after a frame that would show "Creating..." for no longer.
  setStatus(facts().statusCreating);
  form.setAttribute('aria-busy', 'true');
  let shown = false;  // the write's result is on show, downloads and all
  try {
    const names = [chosenImage(), chosenText(), chosen($('look')), layoutFile].filter(Boolean).map((f) => f.name);
    const files = await readChosen();
    if (!files.ok) return setStatus(sentence(files.message, names), 'error');
    // The daily labyrinth is written by its date, which names its image.
    const daily = !layoutFile && dailyOf && dailyOf.seed === seed ? dailyOf.date : '';
    const request = { seed, daily, image: files.image?.bytes, imageName: files.image?.name, text: files.text?.bytes,
      textName: files.text?.name };
    if (layoutFile) {
      const layout = await readLayout(layoutFile);
      if (!layout.ok) return setStatus(sentence(layout.message, names), 'error');
      Object.assign(request, { layout: layout.bytes, layoutName: layoutFile.name });
    }
    const done = call('writeLabyrinth', request);
    if (!done.ok) return setStatus(sentence(done.message, names), 'error');
    const image = showWritten(done, request);
    shown = true;

    // Once that frame is drawn: the new image to download, the result in
    // view (looked for once, with the map laid out in that frame), the
    // address bar (a new address has the browser look at the page's icon
    // again), then the patch and the spoiler (read back out of the new
    // image, as `labyrinth-cli show --json` reads it).
    await afterNextFrame();
    offerAfterWrite([image]);
    bringResultIntoView();
    if (!done.layoutName) history.replaceState(history.state, '', $('permalink').href);
    const patched = call('patchOfWrite',
      { image: request.image, imageName: request.imageName, written: image.bytes, seed: done.seed,
        seedCode: done.seedCode, layoutName: done.layoutName, daily });
    if (patched.ok) offerAfterWrite(patched.downloads);
    const spoiled = call('spoilerOfImage', { image: image.bytes, imageName: image.name });
    if (spoiled.ok) offerAfterWrite(spoiled.downloads);
  } catch (error) {
    // Whatever went wrong, the status line says so instead of "Creating...".
    if (!shown) {
      withdrawDownloads('write');
      result.hidden = true;
    }
    setStatus(`Something went wrong in the page: ${error.message || error}.`, 'error');
  } finally {
    writing = false;
    form.removeAttribute('aria-busy');
  }
}

/// A link fills the seed field (a daily link, with its date's seed); a link
/// that cannot be followed is refused at once, in the status line: one of
/// another revision with both revisions named, its seed going into the field
/// in a form that a write refuses in turn, so that it never becomes another
/// labyrinth; one with a part this page does not read, a repeated key, no
/// seed or date, a bad seed or a bad date likewise.
export function seedFromAddress() {
  const link = readAddress();
  refusedLink = link.problem;
  if (!link.names) return link;
  const before = seedInput.value;
  seedInput.value = link.seed;
  if (seedInput.value !== before) {
    seedIsFine();
    inputsChanged();
  }
  if (link.problem) {
    seedInput.setAttribute('aria-invalid', 'true');
    seedInput.setAttribute('aria-describedby', 'status');
    setStatus(sentence(link.problem), 'error');
  } else if (link.daily) {
    dailyOf = { seed: link.seed, date: link.daily };
  }
  return link;
}

// Today's labyrinth, by UTC: the seed of the date, filled in and written.
function writeDaily() {
  refusedLink = '';  // the player asked for the daily labyrinth, whatever the address said
  if (!core()) return setStatus('The page is still loading; try again in a moment.', 'error');
  const date = new Date().toISOString().slice(0, 10);
  const daily = core().dailySeed(date);
  if (!daily.ok) return setStatus(sentence(daily.message), 'error');
  dailyOf = { seed: daily.seed, date };
  if (seedInput.value !== daily.seed) {
    seedInput.value = daily.seed;
    inputsChanged();
  }
  return write();
}

function writeFromLayout() {
  const file = chosen($('layout'));
  if (!file) {
    setStatus('Choose a spoiler file first: the spoiler download of a write, or what labyrinth-cli show --json '
      + 'prints.', 'error');
    return $('layout').focus();
  }
  return write(file);
}

export function watchWriting() {
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    write();
  });
  $('daily').addEventListener('click', writeDaily);
  $('write-layout').addEventListener('click', writeFromLayout);
  seedInput.addEventListener('input', () => {
    refusedLink = '';
    seedIsFine();
    inputsChanged();
  });
}
