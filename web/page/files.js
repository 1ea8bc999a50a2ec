// The two files a write uses: which are chosen, their bytes, and the slot
// each belongs in, whether picked in a field or dropped on the page.

import { core, facts, moduleReady } from './core.js';
import { $, setStatus } from './messages.js';

export const romInput = $('rom');
export const textInput = $('text');
const filesUsed = $('files-used');
const changed = [];  // what else follows a change of the chosen files

export const chosen = (input) => input.files[0] || null;
export const chosenImage = () => chosen(romInput);
export const chosenText = () => chosen(textInput);

/// `then` runs after every change of the chosen files.
export const onFilesChanged = (then) => changed.push(then);

// A file's bytes for a slot, or a refusal worded by the module. An image
// larger than the page reads is refused before a byte is read; of a text
// file only the bytes a write uses are read, as the command line does. Each
// file is read once, as soon as it is chosen, so that a click does not wait
// for the disk.
const reads = { image: new WeakMap(), text: new WeakMap() };

export function readFile(file, slot) {
  const kept = reads[slot];
  if (!kept.has(file)) {
    let reading;
    if (slot === 'image') {
      const refusal = core().refuseLargeFile(file.name, file.size);
      reading = refusal ? Promise.resolve({ ok: false, message: refusal }) : file.arrayBuffer();
    } else {
      reading = file.slice(0, facts().textBytesRead).arrayBuffer();
    }
    kept.set(file, Promise.resolve(reading).then(
      (read) => (read instanceof ArrayBuffer ? { ok: true, bytes: new Uint8Array(read) } : read),
      (error) => ({ ok: false, message: `${file.name}: cannot be read: ${error.message || error}` })));
  }
  return kept.get(file);
}

/// The bytes of a spoiler file, or the module's refusal of one too large.
export async function readLayout(file) {
  const refusal = core().refuseLargeLayout(file.name, file.size);
  if (refusal) return { ok: false, message: refusal };
  return { ok: true, bytes: new Uint8Array(await file.arrayBuffer()) };
}

/// Which slot a file's content says it is for: "image", "text" or "unknown".
export async function kindOf(file) {
  const head = new Uint8Array(await file.slice(0, facts().fileKindBytes).arrayBuffer());
  return core().kindOfFile(file.name, head);
}

/// The image and the text file of the write, each { bytes, name }, or the
/// refusal of the first that cannot be read; a slot left empty is left out.
export async function readChosen() {
  const files = {};
  for (const [input, slot] of [[romInput, 'image'], [textInput, 'text']]) {
    const file = chosen(input);
    if (!file) continue;
    const read = await readFile(file, slot);
    if (!read.ok) return read;
    files[slot] = { bytes: read.bytes, name: file.name };
  }
  return { ok: true, ...files };
}

export function showFilesUsed() {
  const image = chosen(romInput);
  const text = chosen(textInput);
  const code = (name) => Object.assign(document.createElement('code'), { textContent: name });
  // Before the module has loaded, the page's own words stand.
  if (!facts()) return;
  const { textFileName } = facts();
  if (image && text) {
    filesUsed.replaceChildren('The write uses ', code(image.name), ' as the image and ', code(text.name),
      ' as the text file.');
  } else if (image) {
    filesUsed.replaceChildren('The image is ', code(image.name), '; choose the text file ', code(textFileName), '.');
  } else if (text) {
    filesUsed.replaceChildren('The text file is ', code(text.name), '; choose your cartridge image.');
  } else {
    filesUsed.replaceChildren('Choose your cartridge image and ', code(textFileName), '.');
  }
}

export function filesChanged() {
  showFilesUsed();
  for (const [input, slot] of [[romInput, 'image'], [textInput, 'text']])
    if (chosen(input) && core()) readFile(chosen(input), slot);
  changed.forEach((then) => then());
}

/// Puts a file into a file input, as if chosen there (null empties it).
export function setFile(input, file) {
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
    await moduleReady();
    const kind = await kindOf(file);
    if (input === textInput && kind === 'image') {
      setFile(romInput, file);
      setFile(textInput, null);
      moved = `${file.name} is a cartridge image, so it is now the image; choose ${facts().textFileName} as the text file.`;
    } else if (input === romInput && kind === 'text') {
      setFile(textInput, file);
      setFile(romInput, null);
      moved = `${file.name} is a text file, so it is now the text file; choose your cartridge image.`;
    }
  }
  filesChanged();
  if (moved) setStatus(moved);
}

/// Dropped files: each to the slot its content says it is for, each slot
/// filled at most once; a file that fits no slot, or whose slot is taken by
/// an earlier file of the same drop, is named and used nowhere.
export async function dropped(files) {
  await moduleReady();
  const placed = { image: null, text: null };
  const unused = [];
  for (const file of files) {
    const kind = await kindOf(file);
    if (kind === 'unknown') unused.push(`${core().unusedFileMessage(file.name)}.`);
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

export function watchFileInputs() {
  for (const input of [romInput, textInput]) input.addEventListener('change', () => picked(input));
}
