// The two files a write uses, in their inputs: which are chosen, the line
// above the button that names them, and the slot each belongs in, whether
// picked in a field or dropped on the page. A file picked in the wrong
// slot, and a drop, are said in the page's own words.

import { core, facts, moduleReady } from './core.js';
import { chosenFile, putFile } from './dom.js';
import { placeDrop, kindOf } from './file_reads.js';

/// The inputs `rom` and `text` and the line `filesUsed`; `read` reads a file
/// for its slot (a fileReader), `say` is the status line.
export function setUpFiles({ rom, text, filesUsed }, { read, say }) {
  const inputs = { image: rom, text };
  const changed = [];  // what else follows a change of the chosen files

  const chosen = (slot) => chosenFile(inputs[slot]);

  function showFilesUsed() {
    const image = chosen('image');
    const textFile = chosen('text');
    const code = (name) => Object.assign(document.createElement('code'), { textContent: name });
    // Before the module has loaded, the page's own words stand.
    if (!facts()) return;
    const { textFileName } = facts();
    if (image && textFile) {
      filesUsed.replaceChildren('The write uses ', code(image.name), ' as the image and ', code(textFile.name),
        ' as the text file.');
    } else if (image) {
      filesUsed.replaceChildren('The image is ', code(image.name), '; choose the text file ', code(textFileName), '.');
    } else if (textFile) {
      filesUsed.replaceChildren('The text file is ', code(textFile.name), '; choose your cartridge image.');
    } else {
      filesUsed.replaceChildren('Choose your cartridge image and ', code(textFileName), '.');
    }
  }

  function filesChanged() {
    showFilesUsed();
    for (const slot of ['image', 'text']) if (chosen(slot) && core()) read(chosen(slot), slot);
    changed.forEach((then) => then());
  }

  // A file picked in one slot whose content says it belongs in the other goes
  // there: an image picked as the text file, or a .tgl picked as the image.
  async function picked(slot) {
    const file = chosen(slot);
    let moved = '';
    if (file) {
      await moduleReady();
      const kind = await kindOf(file);
      if (slot === 'text' && kind === 'image') {
        putFile(rom, file);
        putFile(text, null);
        moved = `${file.name} is a cartridge image, so it is now the image; choose ${facts().textFileName} as the text file.`;
      } else if (slot === 'image' && kind === 'text') {
        putFile(text, file);
        putFile(rom, null);
        moved = `${file.name} is a text file, so it is now the text file; choose your cartridge image.`;
      }
    }
    filesChanged();
    if (moved) say(moved);
  }

  for (const [slot, input] of Object.entries(inputs)) input.addEventListener('change', () => picked(slot));

  return {
    /// The file chosen for "image" or "text", or null.
    chosen,
    /// Puts a file into a slot, as if chosen there, with nothing else following.
    put: (slot, file) => putFile(inputs[slot], file),
    showFilesUsed,
    /// `then` runs after every change of the chosen files.
    onChanged: (then) => { changed.push(then); },

    /// The image and the text file of the write, each { bytes, name }, or the
    /// refusal of the first that cannot be read; a slot left empty is left out.
    async readChosen() {
      const files = {};
      for (const slot of ['image', 'text']) {
        const file = chosen(slot);
        if (!file) continue;
        const bytes = await read(file, slot);
        if (!bytes.ok) return bytes;
        files[slot] = { bytes: bytes.bytes, name: file.name };
      }
      return { ok: true, ...files };
    },

    /// Dropped files, each to the slot its content says it is for, and said so.
    async dropped(files) {
      await moduleReady();
      const drop = await placeDrop(files);
      if (drop.image) putFile(rom, drop.image);
      if (drop.text) putFile(text, drop.text);
      if (drop.image || drop.text) filesChanged();
      say(drop.said, drop.refused ? 'error' : '');
    },
  };
}
