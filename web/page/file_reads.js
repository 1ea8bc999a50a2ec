// The player's files read for the module: each file's bytes for the slot
// it is read for, which slot its content says it belongs in, and where the
// files of a drop go. Refusals are worded by the module.

import { core, facts } from './core.js';

/// Reads files for their slots ("image", "text"). An image larger than the
/// page reads is refused before a byte is read; of a text file only the
/// bytes a write uses are read, as the command line does. Each file is read
/// once, as soon as it is chosen, so that a click does not wait for the disk.
export function fileReader() {
  const reads = { image: new WeakMap(), text: new WeakMap() };
  /// Resolves to { ok: true, bytes } or { ok: false, message }.
  return function read(file, slot) {
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
  };
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

/// Where dropped files go: each to the slot its content says it is for,
/// each slot filled at most once; a file that fits no slot, or whose slot
/// an earlier file of the drop took, is named and used nowhere. Resolves to
/// { image, text, said, refused }: the files placed (or null), what to say
/// of the drop, and whether it placed none.
export async function placeDrop(files) {
  const placed = { image: null, text: null };
  const unused = [];
  for (const file of files) {
    const kind = await kindOf(file);
    if (kind === 'unknown') unused.push(`${core().unusedFileMessage(file.name)}.`);
    else if (placed[kind]) unused.push(`${file.name} was not used: ${placed[kind].name} is the ${kind === 'image'
      ? 'image' : 'text file'} of this drop.`);
    else placed[kind] = file;
  }
  const went = [];
  if (placed.image) went.push(`${placed.image.name} is now the image`);
  if (placed.text) went.push(`${placed.text.name} the text file`);
  const said = [...(went.length ? [`${went.join(' and ')}.`] : []), ...unused].join(' ');
  return { ...placed, said, refused: Boolean(unused.length && !went.length) };
}
