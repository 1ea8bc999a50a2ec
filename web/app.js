// The page: reads the two files, hands them to the WebAssembly module (the
// same driver as the window and labyrinth-cli), and shows what comes back.
// No labyrinth logic lives here; every message about the files comes from
// the module, worded as the command line words it.

import createLabyrinthModule from './labyrinth.js';

const $ = (id) => document.getElementById(id);
const form = $('write-form');
const romInput = $('rom');
const textInput = $('text');
const seedInput = $('seed');
const writeButton = $('write');
const status = $('status');
const remember = $('remember');
const remembered = $('remembered');
const forget = $('forget');
const result = $('result');
const lookInput = $('look');
const lookResult = $('look-result');

let labyrinth = null;                    // the module, once loaded
const offered = { write: [], look: [] };  // object URLs of the downloads on show, by section

// ---- the module -----------------------------------------------------------

async function loadModule() {
  labyrinth = await createLabyrinthModule();
}

// Calls an action of the module. Its failures are values already; should
// the module itself break (out of memory, a bug), that becomes a value too,
// and a fresh module is loaded for the next try, so the page never hangs.
function call(action, request) {
  try {
    return labyrinth[action](request);
  } catch (error) {
    labyrinth = null;
    loadModule().then(() => { writeButton.disabled = false; }, () => {});
    return { ok: false, message: `The writer stopped unexpectedly (${error.message || error}); please try again.` };
  }
}

// A file's bytes, or a refusal worded by the module. Large files are refused
// before a byte is read. Each chosen file is read once, as soon as it is
// chosen, so that a click does not wait for the disk.
const reads = new WeakMap();

function readFile(file) {
  if (!reads.has(file)) {
    const refusal = labyrinth.refuseLargeFile(file.name, file.size);
    reads.set(file, refusal ? Promise.resolve({ ok: false, message: refusal })
      : file.arrayBuffer().then((buffer) => ({ ok: true, bytes: new Uint8Array(buffer) }),
        (error) => ({ ok: false, message: `${file.name}: cannot be read: ${error.message || error}` })));
  }
  return reads.get(file);
}

function readChosen(event) {
  const file = event.target.files[0];
  if (file && labyrinth) readFile(file);
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
}

// After a write each download goes to the link made for its kind: #download
// for the image, #patch for the patch, #spoiler for the description.
const linkForKind = { image: 'download', patch: 'patch', spoiler: 'spoiler' };

function offerAfterWrite(downloads) {
  for (const download of downloads) {
    const link = $(linkForKind[download.kind]);
    if (!link) continue;
    offer('write', download, link);
    if (download.kind === 'image') link.textContent = `Download ${download.name}`;
    if (download.kind === 'patch') link.textContent = `Patch to share it (BPS): ${download.name}`;
  }
}

function showMap(container, svg) {
  container.innerHTML = svg.slice(svg.indexOf('<svg'));
  const picture = container.querySelector('svg');
  if (picture) picture.setAttribute('aria-label', picture.querySelector('title')?.textContent || 'Labyrinth map');
}

function permalinkFor(seed) {
  const url = new URL(window.location.href);
  url.hash = `seed=${seed}`;
  return url.href;
}

// ---- writing --------------------------------------------------------------

async function write() {
  if (!labyrinth) return setStatus('The page is still loading; try again in a moment.', 'error');
  writeButton.disabled = true;
  withdrawDownloads('write');
  result.hidden = true;
  // The click takes about a millisecond, so the work starts at once rather
  // than after a frame that would show "Creating..." for no longer.
  setStatus('Creating...');
  let shown = false;  // the write's result is on show, downloads and all
  try {
    const request = { seed: seedInput.value.trim() };
    for (const [input, bytesKey, nameKey] of [[romInput, 'image', 'imageName'], [textInput, 'text', 'textName']]) {
      const file = input.files[0];
      if (!file) continue;
      const read = await readFile(file);
      if (!read.ok) return setStatus(read.message, 'error');
      request[bytesKey] = read.bytes;
      request[nameKey] = file.name;
    }
    const written = call('writeLabyrinth', request);
    if (!written.ok) return setStatus(written.message, 'error');

    // The labyrinth is written (in memory): "Done.", as the window says it
    // when its click returns. The downloads and facts are put up in the same
    // task, so the page shows them together with it.
    setStatus('Done.', 'ok');
    offerAfterWrite(written.downloads);
    $('seed-used').textContent = written.seed;
    $('seed-code').textContent = written.seedCode;
    $('permalink').href = permalinkFor(written.seed);
    result.hidden = false;
    shown = true;

    // The patch, the map and the spoiler come once "Done." and the download
    // are on screen: the map and the spoiler read back out of the new image,
    // as `labyrinth-cli show` would read them.
    $('map').replaceChildren();
    await new Promise((resolve) => setTimeout(resolve));
    const image = written.downloads.find((d) => d.kind === 'image');
    const patched = call('patchOfWrite',
      { image: request.image, imageName: request.imageName, written: image.bytes, seed: written.seed,
        seedCode: written.seedCode });
    if (patched.ok) offerAfterWrite(patched.downloads);
    const looked = call('lookAtImage', { image: image.bytes, imageName: image.name });
    if (!looked.ok) {
      $('map').textContent = looked.message;
      return;
    }
    offerAfterWrite(looked.downloads);
    showMap($('map'), looked.map);
  } catch (error) {
    // Whatever went wrong, the status line says so instead of "Creating...".
    if (!shown) {
      withdrawDownloads('write');
      result.hidden = true;
    }
    setStatus(`Something went wrong in the page: ${error.message || error}`, 'error');
  } finally {
    writeButton.disabled = !labyrinth;
  }
}

// ---- looking at an image --------------------------------------------------

async function look() {
  withdrawDownloads('look');
  lookResult.replaceChildren();
  const file = lookInput.files[0];
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
  const read = await readFile(file);
  const looked = read.ok ? call('lookAtImage', { image: read.bytes, imageName: file.name }) : read;
  if (!looked.ok) return paragraph(looked.message, 'error');

  paragraph(`Seed code: ${looked.seedCode}`);
  paragraph(looked.verdict, looked.complete ? 'ok' : 'error');
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
  const map = document.createElement('div');
  map.className = 'map';
  showMap(map, looked.map);
  lookResult.append(map);
}

// ---- files: dropped, remembered -------------------------------------------

// Puts a file into a file input, as if chosen there; `announce` tells the
// page, so that a remembered file is kept up to date.
function setFile(input, file, announce = true) {
  const transfer = new DataTransfer();
  transfer.items.add(file);
  input.files = transfer.files;
  if (announce) input.dispatchEvent(new Event('change', { bubbles: true }));
}

// Dropped files go to the input their extension names; any other file fills
// the first empty one.
function takeDropped(files) {
  for (const file of files) {
    const name = file.name.toLowerCase();
    if (name.endsWith('.nes')) setFile(romInput, file);
    else if (name.endsWith('.tgl')) setFile(textInput, file);
    else setFile(!romInput.files.length ? romInput : textInput, file);
  }
}

const store = {
  open() {
    return new Promise((resolve, reject) => {
      const request = indexedDB.open('labyrinth-writer', 1);
      request.onupgradeneeded = () => request.result.createObjectStore('files');
      request.onsuccess = () => resolve(request.result);
      request.onerror = () => reject(request.error);
    });
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
  remembered.textContent = names.length ? `Remembered in this browser: ${names.join(', ')}` : '';
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
    for (const [key, input] of [['rom', romInput], ['text', textInput]]) {
      const file = input.files[0];
      const read = file && labyrinth ? await readFile(file) : { ok: false };
      if (!read.ok) continue;
      await store.save(key, file, read.bytes);
      names.push(file.name);
    }
    showRemembered(names);
  } catch (error) {
    remembered.hidden = false;
    remembered.textContent = `This browser cannot keep files: ${error.message || error}`;
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
  showRemembered([]);
  remembered.hidden = false;
  remembered.textContent = 'This browser no longer keeps your files.';
}

async function restoreFiles() {
  try {
    const names = [];
    for (const [key, input] of [['rom', romInput], ['text', textInput]]) {
      const kept = await store.load(key);
      if (!kept || input.files.length) continue;  // a file chosen meanwhile wins
      setFile(input, new File([kept.bytes], kept.name, { type: kept.type }), false);
      names.push(kept.name);
    }
    if (names.length) remember.checked = true;
    showRemembered(names);
  } catch {
    // No storage in this browser (a private window, say): nothing to restore.
  }
}

// ---- the permalink --------------------------------------------------------

function seedFromAddress() {
  const match = /^#seed=(.*)$/.exec(window.location.hash);
  if (!match) return;
  try {
    seedInput.value = decodeURIComponent(match[1]);
  } catch {
    seedInput.value = match[1];  // not percent-encoded text: taken as it stands, and checked on writing
  }
}

// ---- start ----------------------------------------------------------------

form.addEventListener('submit', (event) => {
  event.preventDefault();
  write();
});
for (const input of [romInput, textInput]) {
  input.addEventListener('change', readChosen);
  input.addEventListener('change', rememberFiles);
}
remember.addEventListener('change', () => (remember.checked ? rememberFiles() : forgetFiles()));
forget.addEventListener('click', forgetFiles);
lookInput.addEventListener('change', () => look().catch((error) => {
  lookResult.textContent = `Something went wrong in the page: ${error.message || error}`;
}));
window.addEventListener('hashchange', seedFromAddress);
// Files dropped on a file input go to it, as usual; anywhere else on the
// page, to the input they belong in.
const onFileInput = (event) => event.target instanceof HTMLInputElement && event.target.type === 'file';
document.addEventListener('dragover', (event) => {
  if (onFileInput(event)) return;
  event.preventDefault();
  document.body.classList.add('dropping');
});
document.addEventListener('dragleave', (event) => {
  if (!event.relatedTarget) document.body.classList.remove('dropping');
});
document.addEventListener('drop', (event) => {
  document.body.classList.remove('dropping');
  if (onFileInput(event)) return;
  event.preventDefault();
  takeDropped(event.dataTransfer.files);
});

seedFromAddress();
try {
  // Remembered files come back while the module loads.
  await Promise.all([loadModule(), restoreFiles()]);
  writeButton.disabled = false;
  setStatus('Ready.');
  document.documentElement.dataset.ready = 'true';
  performance.mark('labyrinth-ready');
} catch (error) {
  setStatus(`The page could not load its WebAssembly module: ${error.message || error}`, 'error');
}
