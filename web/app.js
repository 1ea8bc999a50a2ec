// The page: reads the two files, hands them to the WebAssembly module (the
// same driver as the window and labyrinth-cli), and shows what comes back.
// No labyrinth logic lives here: every message about the files, the status
// texts, the version and which slot a file belongs in come from the module;
// the page only turns messages into sentences.

import createLabyrinthModule from './labyrinth.js';

// Marks of how far a load has come, which make bench-web reads: this script
// running, the module compiled, and (below) the page ready.
performance.mark('labyrinth-script');

const $ = (id) => document.getElementById(id);
const form = $('write-form');
const writeSection = $('write-section');
const romInput = $('rom');
const textInput = $('text');
const seedInput = $('seed');
const writeButton = $('write');
const status = $('status');
const filesUsed = $('files-used');
const remember = $('remember');
const remembered = $('remembered');
const forget = $('forget');
const result = $('result');
const stale = $('stale');
const lookSection = $('look-section');
const lookInput = $('look');
const lookSeed = $('look-seed');
const lookResult = $('look-result');

let labyrinth = null;  // the module, once loaded
let about = null;      // its facts: version, revision, status texts, read sizes
const offered = { write: [], look: [] };  // object URLs of the downloads on show, by section
let written = null;    // what the result on show was written from: { image, text, seed, layout }
let dailyOf = null;    // the daily labyrinth last asked for: { seed, date }
let writing = false;   // a write is under way; the button stays enabled, and keeps the focus
// The labyrinths whose maps the page can show: the image of the last write,
// and the image looked at last, each { bytes, name, seedCode }.
const shownImages = { write: null, look: null };

// ---- the module -----------------------------------------------------------

// The module's code is fetched and compiled once, as soon as this script
// runs, and kept: a fresh module after a failure is made from it without
// fetching anything again. A host that serves the .wasm file under another
// type than application/wasm gets the slower way, from its bytes.
const wasmCode = WebAssembly.compileStreaming(fetch('labyrinth.wasm')).catch(
  () => fetch('labyrinth.wasm').then((response) => response.arrayBuffer()).then((bytes) => WebAssembly.compile(bytes)));

async function loadModule() {
  const code = await wasmCode;
  performance.mark('labyrinth-compiled');
  labyrinth = await new Promise((resolve, reject) => {
    createLabyrinthModule({
      instantiateWasm(imports, receive) {
        WebAssembly.instantiate(code, imports).then((instance) => receive(instance, code), reject);
        return {};
      },
    }).then(resolve, reject);
  });
  about = labyrinth.about();
}

// Calls an action of the module. Its failures are values already; should
// the module itself break (out of memory, a bug), that becomes a value too,
// and a fresh module is loaded for the next try, so the page never hangs.
function call(action, ...args) {
  try {
    return labyrinth[action](...args);
  } catch (error) {
    labyrinth = null;
    loadModule().then(() => { writeButton.disabled = false; }, () => {});
    return { ok: false, message: `${about.statusFailed} The writer stopped unexpectedly (${error.message || error}); please try again` };
  }
}

// A message as a sentence: a capital letter first (unless it starts with a
// file's own name, which keeps its spelling) and a full stop at the end.
function sentence(text, names = []) {
  let out = String(text).trim();
  const byName = names.some((name) => name && out.startsWith(`${name}:`));
  if (!byName && /^[a-z]/.test(out)) out = out[0].toUpperCase() + out.slice(1);
  if (!/[.!?]$/.test(out)) out += '.';
  return out;
}

const chosen = (input) => input.files[0] || null;
const namesInPlay = () => [chosen(romInput), chosen(textInput), chosen(lookInput)].filter(Boolean).map((f) => f.name);

// ---- reading files --------------------------------------------------------

// A file's bytes for a slot, or a refusal worded by the module. An image
// larger than the page reads is refused before a byte is read; of a text
// file only the bytes a write uses are read, as the command line does. Each
// file is read once, as soon as it is chosen, so that a click does not wait
// for the disk.
const reads = { image: new WeakMap(), text: new WeakMap() };

function readFile(file, slot) {
  const kept = reads[slot];
  if (!kept.has(file)) {
    let reading;
    if (slot === 'image') {
      const refusal = labyrinth.refuseLargeFile(file.name, file.size);
      reading = refusal ? Promise.resolve({ ok: false, message: refusal }) : file.arrayBuffer();
    } else {
      reading = file.slice(0, about.textBytesRead).arrayBuffer();
    }
    kept.set(file, Promise.resolve(reading).then(
      (read) => (read instanceof ArrayBuffer ? { ok: true, bytes: new Uint8Array(read) } : read),
      (error) => ({ ok: false, message: `${file.name}: cannot be read: ${error.message || error}` })));
  }
  return kept.get(file);
}

// Which slot a file's content says it is for: "image", "text" or "unknown".
async function kindOf(file) {
  const head = new Uint8Array(await file.slice(0, about.fileKindBytes).arrayBuffer());
  return labyrinth.kindOfFile(file.name, head);
}

// ---- showing results ------------------------------------------------------

function setStatus(text, kind = '') {
  status.textContent = text;
  status.className = kind;
}

// Takes back what a section offered: no download stays on show after a
// failure. The links go at once; their memory is released after the click.
function withdrawDownloads(section) {
  const urls = offered[section];
  offered[section] = [];
  setTimeout(() => urls.forEach((url) => URL.revokeObjectURL(url)));
  if (section === 'write')
    for (const link of result.querySelectorAll('a[download]')) {
      link.hidden = true;
      link.removeAttribute('href');
    }
}

function offer(section, download, link) {
  const url = URL.createObjectURL(new Blob([download.bytes], { type: download.type }));
  offered[section].push(url);
  link.href = url;
  link.download = download.name;
  link.hidden = false;
  link.classList.remove('pending');
}

// After a write each download goes to the link made for its kind: #download
// for the image, #patch for the patch, #spoiler for the description.
const linkForKind = { image: 'download', patch: 'patch', spoiler: 'spoiler' };

// With `placeOnly`, a link takes its place and name but no file yet (it
// stays invisible): handing the browser the file's bytes takes a good
// millisecond, which the frame that says "Done." need not wait for.
function offerAfterWrite(downloads, placeOnly = false) {
  for (const download of downloads) {
    const link = $(linkForKind[download.kind]);
    if (!link) continue;
    if (placeOnly) Object.assign(link, { download: download.name, hidden: false }).classList.add('pending');
    else offer('write', download, link);
    if (download.kind === 'image') link.textContent = `Download ${download.name}`;
    if (download.kind === 'patch') link.textContent = `Patch to share it (BPS): ${download.name}`;
  }
}

function showMap(container, svg) {
  container.innerHTML = svg.slice(svg.indexOf('<svg'));
  const picture = container.querySelector('svg');
  if (picture) picture.setAttribute('aria-label', picture.querySelector('title')?.textContent || 'Labyrinth map');
}

// ---- the map only on request ------------------------------------------------

// Whether the player wants to see maps: off until asked, and then kept in
// the browser for the next writes and visits. One choice for the map after
// a write and the map of an image looked at.
const mapChoice = {
  key: 'labyrinth-writer-show-map',
  shown() {
    try {
      return localStorage.getItem(this.key) === 'shown';
    } catch {
      return false;  // no storage here: the map stays hidden until asked, each time
    }
  },
  set(shown) {
    try {
      if (shown) localStorage.setItem(this.key, 'shown');
      else localStorage.removeItem(this.key);
    } catch {
      // Not kept, but the choice holds for this page.
    }
    this.now = shown;
  },
  now: false,
};

// The map of one section: its toggle, the figure it shows or hides, the box
// the map goes into, and the image it is drawn from.
const mapViews = {
  write: () => ({ toggle: $('spoiler-toggle'), figure: $('map-figure'), box: $('map') }),
  look: () => ({ toggle: $('look-spoiler-toggle'), figure: $('look-map-figure'), box: $('look-map') }),
};

// Draws the map of a section's image into its box, unless it is there
// already: the SVG of the map's one layout, from the module.
function drawMap(section) {
  const { box } = mapViews[section]();
  const image = shownImages[section];
  if (!box || !image || box.dataset.drawn === image.seedCode) return;
  const mapped = image.svg ? { ok: true, map: image.svg } : call('mapOfImage', { image: image.bytes, imageName: image.name });
  if (mapped.ok) showMap(box, mapped.map);
  else box.textContent = sentence(mapped.message, [image.name]);
  box.dataset.drawn = image.seedCode;
}

// Shows or hides a section's map as the choice says.
function applyMapChoice(section) {
  const { toggle, figure, box } = mapViews[section]();
  if (!toggle) return;
  const shown = mapChoice.now;
  toggle.textContent = shown ? 'Hide the map' : 'Show the map (spoiler)';
  toggle.setAttribute('aria-expanded', String(shown));
  if (shown) drawMap(section);
  figure.hidden = !shown || !box.firstChild;
}

function toggleMaps() {
  mapChoice.set(!mapChoice.now);
  for (const section of Object.keys(mapViews)) applyMapChoice(section);
}

// The link to a labyrinth names the generator revision with its seed, so
// that a later page that writes another revision refuses it.
function permalinkFor(seed) {
  const url = new URL(window.location.href);
  url.hash = `r=${about.revision}&seed=${seed}`;
  return url.href;
}

// After the next frame is drawn, once the browser has nothing more urgent to
// do: for work that must not hold up the frame that shows the new labyrinth,
// nor what the browser does right after it (within half a second at most).
const afterNextFrame = () => new Promise((resolve) => requestAnimationFrame(() => {
  if ('requestIdleCallback' in window) requestIdleCallback(() => resolve(), { timeout: 500 });
  else setTimeout(resolve);
}));

// ---- the files the write will use -----------------------------------------

function showFilesUsed() {
  const image = chosen(romInput);
  const text = chosen(textInput);
  const code = (name) => Object.assign(document.createElement('code'), { textContent: name });
  if (image && text) {
    filesUsed.replaceChildren('The write uses ', code(image.name), ' as the image and ', code(text.name),
      ' as the text file.');
  } else if (image) {
    filesUsed.replaceChildren('The image is ', code(image.name), '; choose the text file ', code('tgltext.tgl'), '.');
  } else if (text) {
    filesUsed.replaceChildren('The text file is ', code(text.name), '; choose your cartridge image.');
  } else {
    filesUsed.replaceChildren('Choose your cartridge image and ', code('tgltext.tgl'), '.');
  }
}

// The result on show no longer matches the inputs: "Done." goes, and the
// result says which files and seed it was written from.
function inputsChanged() {
  if (!written || result.hidden || !stale.hidden) return;
  const seed = written.seed === '' ? 'a random seed' : `seed ${written.seed}`;
  stale.textContent = `This labyrinth was written from ${written.image} and ${written.text} with ${seed}, before your `
    + 'change. Press Write to TGL for one from what is chosen now.';
  stale.hidden = false;
  setStatus('Ready.');
}

function filesChanged() {
  showFilesUsed();
  inputsChanged();
  for (const [input, slot] of [[romInput, 'image'], [textInput, 'text']])
    if (chosen(input) && labyrinth) readFile(chosen(input), slot);
  rememberFiles();
}

// Puts a file into a file input, as if chosen there (null empties it).
function setFile(input, file) {
  const transfer = new DataTransfer();
  if (file) transfer.items.add(file);
  input.files = transfer.files;
}

// A file picked in one slot whose content says it belongs in the other goes
// there: an image picked as the text file, or a .tgl picked as the image.
async function picked(input) {
  const file = chosen(input);
  let moved = '';
  if (file) {
    await moduleReady;
    const kind = await kindOf(file);
    if (input === textInput && kind === 'image') {
      setFile(romInput, file);
      setFile(textInput, null);
      moved = `${file.name} is a cartridge image, so it is now the image; choose tgltext.tgl as the text file.`;
    } else if (input === romInput && kind === 'text') {
      setFile(textInput, file);
      setFile(romInput, null);
      moved = `${file.name} is a text file, so it is now the text file; choose your cartridge image.`;
    }
  }
  filesChanged();
  if (moved) setStatus(moved);
}

// Dropped files: each to the slot its content says it is for, each slot
// filled at most once; a file that fits no slot, or whose slot is taken by
// an earlier file of the same drop, is named and used nowhere.
async function dropped(files) {
  await moduleReady;
  const placed = { image: null, text: null };
  const unused = [];
  for (const file of files) {
    const kind = await kindOf(file);
    if (kind === 'unknown') unused.push(`${file.name} was not used: it is neither a cartridge image (it does not `
      + 'start with "NES" and 0x1A) nor a text file whose name ends in .tgl.');
    else if (placed[kind]) unused.push(`${file.name} was not used: ${placed[kind].name} is the ${kind === 'image'
      ? 'image' : 'text file'} of this drop.`);
    else placed[kind] = file;
  }
  if (placed.image) setFile(romInput, placed.image);
  if (placed.text) setFile(textInput, placed.text);
  const went = [];
  if (placed.image) went.push(`${placed.image.name} is now the image`);
  if (placed.text) went.push(`${placed.text.name} the text file`);
  if (placed.image || placed.text) filesChanged();
  const said = went.length ? [`${went.join(' and ')}.`] : [];
  setStatus([...said, ...unused].join(' '), unused.length && !went.length ? 'error' : '');
}

// A drop on the Look section: the first image dropped is looked at.
async function droppedOnLook(files) {
  await moduleReady;
  let image = null;
  for (const file of files) if (!image && await kindOf(file) === 'image') image = file;
  const file = image || files[0];
  setFile(lookInput, file);
  await look();
  const others = [...files].filter((other) => other !== file).map((other) => other.name);
  if (others.length) {
    const note = document.createElement('p');
    note.className = 'hint';
    note.textContent = `Not looked at: ${others.join(', ')} (one image at a time).`;
    lookResult.append(note);
  }
}

// ---- writing --------------------------------------------------------------

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

// Writes the labyrinth of the seed in the field, or with `layoutFile` the
// labyrinth that a spoiler file describes.
async function write(layoutFile = null) {
  if (!labyrinth) return setStatus('The page is still loading; try again in a moment.', 'error');
  const seed = layoutFile ? '' : seedInput.value.trim();
  const seedProblem = labyrinth.seedProblem(seed);
  if (seedProblem) return seedIsWrong(seedProblem);
  seedIsFine();
  if (writing) return;
  writing = true;
  withdrawDownloads('write');
  result.hidden = true;
  // The click takes about a millisecond, so the work starts at once rather
  // than after a frame that would show "Creating..." for no longer.
  setStatus(about.statusCreating);
  form.setAttribute('aria-busy', 'true');
  let shown = false;  // the write's result is on show, downloads and all
  try {
    const request = { seed };
    const names = [...namesInPlay(), layoutFile?.name].filter(Boolean);
    for (const [input, slot, bytesKey, nameKey] of [[romInput, 'image', 'image', 'imageName'],
      [textInput, 'text', 'text', 'textName']]) {
      const file = chosen(input);
      if (!file) continue;
      const read = await readFile(file, slot);
      if (!read.ok) return setStatus(sentence(read.message, names), 'error');
      request[bytesKey] = read.bytes;
      request[nameKey] = file.name;
    }
    if (layoutFile) {
      const refusal = labyrinth.refuseLargeFile(layoutFile.name, layoutFile.size);
      if (refusal) return setStatus(sentence(refusal, names), 'error');
      request.layout = new Uint8Array(await layoutFile.arrayBuffer());
      request.layoutName = layoutFile.name;
    }
    const done = call('writeLabyrinth', request);
    if (!done.ok) return setStatus(sentence(done.message, names), 'error');

    // The labyrinth is written (in memory): "Done.", as the window says it
    // when its click returns, with the download in its place, the facts and
    // (when the player wants it) the map read back out of the new image, all
    // in this task, so that the frame after the click shows them together.
    setStatus(about.statusDone, 'ok');
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
    const permalink = fromLayout ? null : permalinkFor(done.seed);
    $('link-line').hidden = fromLayout;
    if (permalink) $('permalink').href = permalink;
    $('copied').textContent = '';
    written = { image: request.imageName, text: request.textName, seed, layout: done.layoutName };
    stale.hidden = true;
    result.hidden = false;
    shown = true;
    // The map only when the player wants to see it.
    $('map').replaceChildren();
    delete $('map').dataset.drawn;
    $('map-figure').hidden = true;
    const image = done.downloads.find((d) => d.kind === 'image');
    shownImages.write = { bytes: image.bytes, name: image.name, seedCode: done.seedCode };
    applyMapChoice('write');
    offerTracking(shownImages.write);

    // Once that frame is drawn: the new image to download, the result in
    // view (looked for once, with the map laid out in that frame), the
    // address bar (a new address has the browser look at the page's icon
    // again), then the patch and the spoiler (read back out of the new
    // image, as `labyrinth-cli show --json` reads it).
    await afterNextFrame();
    offerAfterWrite([image]);
    bringResultIntoView();
    if (permalink) history.replaceState(history.state, '', permalink);
    const patched = call('patchOfWrite',
      { image: request.image, imageName: request.imageName, written: image.bytes, seed: done.seed,
        seedCode: done.seedCode, layoutName: done.layoutName });
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

// Copies the permalink, or the seed line that every front end prints
// ("Seed: N  Code: w w w w"), for a friend or a race.
async function copy(text, done, instead) {
  const copied = $('copied');
  try {
    await navigator.clipboard.writeText(text);
    copied.textContent = done;
  } catch {
    copied.textContent = `This browser did not let the page copy; ${instead}`;
  }
}
const copyLink = () => copy($('permalink').href, 'Link copied.', 'the address bar shows the link.');
const copySeed = () => copy(labyrinth.seedLine($('seed-used').textContent, $('seed-code').textContent),
  'Seed and code copied.', 'they are shown above.');

// ---- looking at an image --------------------------------------------------

async function look() {
  withdrawDownloads('look');
  lookResult.replaceChildren();
  shownImages.look = null;
  const file = chosen(lookInput);
  if (!file) return;
  if (!labyrinth) {
    lookResult.textContent = 'The page is still loading; choose the image again in a moment.';
    return;
  }
  const paragraph = (text, className = '') => {
    const p = document.createElement('p');
    p.textContent = text;
    if (className) p.className = className;
    lookResult.append(p);
    return p;
  };
  const seed = lookSeed.value.trim();
  const seedProblem = labyrinth.seedProblem(seed);
  lookSeed.toggleAttribute('aria-invalid', Boolean(seedProblem));
  if (seedProblem) return paragraph(sentence(seedProblem), 'error');
  const read = await readFile(file, 'image');
  const looked = read.ok ? call('lookAtImage', { image: read.bytes, imageName: file.name, seed }) : read;
  if (!looked.ok) return paragraph(sentence(looked.message, [file.name]), 'error');

  paragraph(`Seed code: ${looked.seedCode}`);
  paragraph(sentence(looked.verdict, [file.name]), looked.complete ? 'ok' : 'error');
  if (looked.problems.length) {
    const list = document.createElement('ul');
    list.className = 'problems';
    for (const problem of looked.problems) list.append(Object.assign(document.createElement('li'), { textContent: problem }));
    lookResult.append(list);
  }
  for (const download of looked.downloads) {
    const link = document.createElement('a');
    link.textContent = `Spoiler (JSON): ${download.name}`;
    paragraph('').append(link);
    offer('look', download, link);
  }
  // The map, as after a write, only when the player wants to see it.
  const toggle = Object.assign(document.createElement('button'),
    { id: 'look-spoiler-toggle', type: 'button', className: 'plain' });
  toggle.setAttribute('aria-controls', 'look-map-figure');
  toggle.addEventListener('click', toggleMaps);
  paragraph('').append(toggle);
  const figure = Object.assign(document.createElement('figure'), { id: 'look-map-figure', hidden: true });
  const map = Object.assign(document.createElement('div'), { id: 'look-map', className: 'map' });
  // Scrolls sideways on a narrow screen: the keyboard reaches it by its name.
  Object.assign(map, { tabIndex: 0 });
  map.setAttribute('role', 'region');
  map.setAttribute('aria-label', `Map of ${file.name}`);
  figure.append(map);
  lookResult.append(figure);
  shownImages.look = { bytes: read.bytes, name: file.name, seedCode: looked.seedCode, svg: looked.map };
  applyMapChoice('look');
  offerTracking(shownImages.look);
}

// ---- tracking a run -------------------------------------------------------

// The tracker shows a labyrinth under fog: the start room, and every room
// the player has revealed by choosing a door, an area or everything. The
// module draws the map and says which doors lead into the fog; the page
// keeps only what was revealed, step by step for undo, in the browser's
// storage under the labyrinth's seed code, so that a run survives a reload
// and every labyrinth keeps a run of its own.
const tracker = $('tracker');
const trackerBoard = $('tracker-board');
const trackerBox = $('tracker-map');
const trackerStatus = $('tracker-status');
let trackable = null;  // the labyrinth that "Track my run" opens: the last one written or looked at
let run = null;        // the run on show: { image, steps, shown, doors }

const runStore = {
  key: (seedCode) => `labyrinth-writer-run ${seedCode}`,
  // The steps of a run: each a list of rooms ("x,y") revealed together,
  // or "reset", after which only the start room is shown again.
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

const cellName = (cell) => `(${cell.replace(',', ', ')})`;
const sideName = (side) => side[0].toUpperCase() + side.slice(1);

function offerTracking(image) {
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
    const name = `${sideName(door.side)} of ${cellName(door.from)} to ${cellName(door.to)}`;
    const button = Object.assign(document.createElement('button'), { type: 'button', className: 'door', title: name });
    button.dataset.door = door.to;
    button.dataset.from = door.from;
    button.setAttribute('aria-label', name);
    button.style.left = `${door.x}px`;
    button.style.top = `${door.y}px`;
    trackerBoard.append(button);
  }
  const rooms = tracked.shown.length;
  const doors = tracked.doors.length;
  const kept = runStore.save(run.image.seedCode, run.steps);
  trackerStatus.textContent = `${said}${rooms} ${rooms === 1 ? 'room' : 'rooms'} shown; ${doors} `
    + `${doors === 1 ? 'door leads' : 'doors lead'} into the fog.${kept ? '' : ' This browser does not keep the run.'}`;
  $('tracker-undo').disabled = !run.steps.length;
  $('tracker-reset').disabled = rooms === 1;
  bringIntoTrackerView(revealed.length ? revealed : [tracked.shown.includes(about.start) ? about.start : tracked.shown[0]]);
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
  reveal([to], () => `Revealed ${cellName(to)}. `);
  const next = trackerBoard.querySelector(`.door[data-from="${to}"]`) || trackerBoard.querySelector('.door');
  (next || trackerBox).focus();
}

function revealArea(areas, what) {
  const rooms = call('roomsOfAreas', { image: run.image.bytes, imageName: run.image.name, areas });
  if (!rooms.ok) {
    trackerStatus.textContent = sentence(rooms.message, [run.image.name]);
    return;
  }
  reveal(rooms.rooms, (fresh) => `Revealed ${what}: ${fresh.length} ${fresh.length === 1 ? 'room' : 'rooms'}. `);
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

function setUpTracker() {
  const areas = $('tracker-area');
  for (let area = 0; area < about.areaCount; ++area)
    areas.append(Object.assign(document.createElement('option'), { value: String(area), textContent: `Area ${area}` }));
  $('track').addEventListener('click', openTracker);
  trackerBoard.addEventListener('click', (event) => {
    const door = event.target.closest('.door');
    if (door) chooseDoor(door);
  });
  $('tracker-reveal-area').addEventListener('click',
    () => revealArea([Number(areas.value)], `area ${areas.value}`));
  $('tracker-reveal-all').addEventListener('click',
    () => revealArea(Array.from({ length: about.areaCount }, (_, area) => area), 'every area'));
  $('tracker-undo').addEventListener('click', undoStep);
  $('tracker-reset').addEventListener('click', resetRun);
}

// ---- remembered files -----------------------------------------------------

const store = {
  name: 'labyrinth-writer',
  open() {
    return new Promise((resolve, reject) => {
      const request = indexedDB.open(this.name, 1);
      request.onupgradeneeded = () => request.result.createObjectStore('files');
      request.onsuccess = () => resolve(request.result);
      request.onerror = () => reject(request.error);
    });
  },
  // Whether files are kept, from a mark beside them that is read at once:
  // a page with nothing to restore does not wait for the browser to open
  // (on a first visit: to create) the database.
  marked() {
    try {
      return localStorage.getItem(this.name) === 'files';
    } catch {
      return true;  // no such storage here: the database itself will say
    }
  },
  mark(kept) {
    try {
      if (kept) localStorage.setItem(this.name, 'files');
      else localStorage.removeItem(this.name);
    } catch {
      // The mark only saves time; the files themselves are in the database.
    }
  },
  async run(mode, work) {
    const db = await this.open();
    try {
      return await new Promise((resolve, reject) => {
        const transaction = db.transaction('files', mode);
        const answer = work(transaction.objectStore('files'));
        transaction.oncomplete = () => resolve(answer.result);
        transaction.onerror = () => reject(transaction.error);
      });
    } finally {
      db.close();
    }
  },
  save(key, file, bytes) {
    return this.run('readwrite', (files) => files.put({ name: file.name, type: file.type, bytes }, key));
  },
  load(key) { return this.run('readonly', (files) => files.get(key)); },
  clear() { return this.run('readwrite', (files) => files.clear()); },
};

function showRemembered(names) {
  remembered.hidden = !names.length;
  forget.hidden = !names.length;
  remembered.textContent = names.length ? `Remembered in this browser: ${names.join(', ')}.` : '';
}

// One save at a time, so that the last change is the one kept and shown.
let saving = Promise.resolve();
function rememberFiles() {
  saving = saving.catch(() => {}).then(saveFiles);
  return saving;
}

async function saveFiles() {
  if (!remember.checked) return;
  const names = [];
  try {
    for (const [key, input, slot] of [['rom', romInput, 'image'], ['text', textInput, 'text']]) {
      const file = chosen(input);
      const read = file && labyrinth ? await readFile(file, slot) : { ok: false };
      if (!read.ok) continue;
      await store.save(key, file, read.bytes);
      store.mark(true);
      names.push(file.name);
    }
    showRemembered(names);
  } catch (error) {
    remembered.hidden = false;
    remembered.textContent = `This browser cannot keep files: ${error.message || error}.`;
  }
}

async function forgetFiles() {
  remember.checked = false;
  await saving;
  try {
    await store.clear();
  } catch {
    // Nothing was kept.
  }
  store.mark(false);
  showRemembered([]);
  remembered.hidden = false;
  remembered.textContent = 'This browser no longer keeps your files.';
}

async function restoreFiles() {
  try {
    if (!store.marked()) return;
    const names = [];
    for (const [key, input] of [['rom', romInput], ['text', textInput]]) {
      const kept = await store.load(key);
      if (!kept || chosen(input)) continue;  // a file chosen meanwhile wins
      setFile(input, new File([kept.bytes], kept.name, { type: kept.type }));
      names.push(kept.name);
    }
    if (names.length) remember.checked = true;
    showRemembered(names);
    showFilesUsed();
  } catch {
    // No storage in this browser (a private window, say): nothing to restore.
  }
}

// ---- the permalink --------------------------------------------------------

// "#r=1&seed=N" fills the seed field; "#seed=N" alone is a link of
// revision 1, as every link was before links named their revision. A link
// of another revision is refused with both revisions named: its seed goes
// into the field with its revision, which a write refuses in turn, so that
// it never becomes another labyrinth.
function seedFromAddress() {
  const link = new URLSearchParams(window.location.hash.slice(1));
  if (!link.has('seed') || !labyrinth) return;
  const revision = link.get('r') ?? '1';
  const problem = labyrinth.linkProblem(revision);
  const before = seedInput.value;
  seedInput.value = problem ? `${revision}:${link.get('seed')}` : link.get('seed');
  if (seedInput.value !== before) {
    seedIsFine();
    inputsChanged();
  }
  if (problem) {
    seedInput.setAttribute('aria-invalid', 'true');
    setStatus(sentence(problem), 'error');
  }
}

// Today's labyrinth, by UTC: the seed of the date, filled in and written.
function writeDaily() {
  if (!labyrinth) return setStatus('The page is still loading; try again in a moment.', 'error');
  const date = new Date().toISOString().slice(0, 10);
  const daily = labyrinth.dailySeed(date);
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

// ---- offline --------------------------------------------------------------

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

// ---- start ----------------------------------------------------------------

form.addEventListener('submit', (event) => {
  event.preventDefault();
  write();
});
$('daily').addEventListener('click', writeDaily);
$('write-layout').addEventListener('click', writeFromLayout);
for (const input of [romInput, textInput]) input.addEventListener('change', () => picked(input));
seedInput.addEventListener('input', () => {
  seedIsFine();
  inputsChanged();
});
remember.addEventListener('change', () => (remember.checked ? rememberFiles() : forgetFiles()));
forget.addEventListener('click', forgetFiles);
$('copy-link').addEventListener('click', copyLink);
$('spoiler-toggle').addEventListener('click', toggleMaps);
$('copy-seed').addEventListener('click', copySeed);
const lookAgain = () => look().catch((error) => {
  lookResult.textContent = `Something went wrong in the page: ${error.message || error}.`;
});
lookInput.addEventListener('change', lookAgain);
lookSeed.addEventListener('change', lookAgain);
window.addEventListener('hashchange', seedFromAddress);

// Files dropped on a file input go to it, as usual; on the Look section, to
// Look; anywhere else on the page, to the slots they belong in.
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

showFilesUsed();
mapChoice.now = mapChoice.shown();
const moduleReady = loadModule();
// Remembered files come back while the module loads.
const restoring = restoreFiles();
try {
  await moduleReady;
  await restoring;
  writeButton.disabled = false;
  setUpTracker();
  $('version').textContent = about.version;
  $('revision').textContent = String(about.revision);
  $('about').hidden = false;
  setStatus('Ready.');
  seedFromAddress();  // once the module can tell whether a link's revision is this page's
  document.documentElement.dataset.ready = 'true';
  performance.mark('labyrinth-ready');
  keepForOffline();
} catch (error) {
  setStatus(`The page could not load its WebAssembly module: ${error.message || error}.`, 'error');
}
