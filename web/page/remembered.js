// "Remember my files": the chosen image and text file kept in the browser
// for the next visit, until the player forgets them.

import { core } from './core.js';
import { keptFileProblem } from './kept_files.js';

// The two slots as they are kept: the database key, the slot, its name in sentences.
const slots = [
  { key: 'rom', slot: 'image', called: 'image' },
  { key: 'text', slot: 'text', called: 'text file' },
];

/// The box `remember`, the line `remembered` and the button `forget`; the
/// slots of `files` (setUpFiles), `read` (a fileReader), and `store` (a fileStore).
/// Returns { save, restore }.
export function setUpRemembering({ remember, remembered, forget }, { files, read, store }) {
  function showRemembered(names, notes = []) {
    const said = [...(names.length ? [`Remembered in this browser: ${names.join(', ')}.`] : []), ...notes];
    remembered.hidden = !said.length;
    forget.hidden = !names.length;
    remembered.textContent = said.join(' ');
  }

  async function saveFiles() {
    if (!remember.checked) return;
    const names = [];
    try {
      for (const { key, slot } of slots) {
        const file = files.chosen(slot);
        const bytes = file && core() ? await read(file, slot) : { ok: false };
        if (!bytes.ok) continue;
        await store.save(key, file, bytes.bytes);
        store.mark(true);
        names.push(file.name);
      }
      showRemembered(names);
    } catch (error) {
      remembered.hidden = false;
      remembered.textContent = `This browser cannot keep files: ${error.message || error}.`;
    }
  }

  // One save at a time, so that the last change is the one kept and shown.
  let saving = Promise.resolve();
  function save() {
    saving = saving.catch(() => {}).then(saveFiles);
    return saving;
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

  /// Puts the remembered files back into their slots, unless a file was
  /// chosen there meanwhile. A record that is not a file, or whose name is
  /// longer than a file's can be, is forgotten, and said so.
  async function restore() {
    try {
      if (!store.marked()) return;
      const names = [];
      const notes = [];
      for (const { key, slot, called } of slots) {
        const kept = await store.load(key);
        if (kept === undefined || files.chosen(slot)) continue;  // a file chosen meanwhile wins
        const problem = keptFileProblem(kept, called);
        if (problem) {
          await store.remove(key);
          notes.push(problem);
          continue;
        }
        files.put(slot, new File([kept.bytes], kept.name, { type: kept.type }));
        names.push(kept.name);
      }
      if (names.length) remember.checked = true;
      showRemembered(names, notes);
      files.showFilesUsed();
    } catch {
      // No storage in this browser (a private window, say): nothing to restore.
    }
  }

  remember.addEventListener('change', () => (remember.checked ? save() : forgetFiles()));
  forget.addEventListener('click', forgetFiles);
  return { save, restore };
}
