// "Remember my files": the chosen image and text file kept in the browser
// for the next visit, until the player forgets them; and, with the same
// leave, the image of a sealed race the tracker follows, whose seed is told
// nowhere, so that its run comes back after a reload with no file to choose.

import { core } from './core.js';
import { keptFileProblem } from './kept_files.js';

// The two slots as they are kept: the database key, the slot, its name in sentences.
const slots = [
  { key: 'rom', slot: 'image', called: 'image' },
  { key: 'text', slot: 'text', called: 'text file' },
];

// The key of the race's image in the store, and its name in sentences.
const tracked = { key: 'tracked', called: 'image of the race you track' };

/// The box `remember`, the line `remembered` and the button `forget`; the
/// slots of `files` (setUpFiles), `read` (a fileReader), and `store` (a fileStore).
/// Returns { save, restore, keepTracked, trackedImage }.
export function setUpRemembering({ remember, remembered, forget }, { files, read, store }) {
  let race = null;  // the image of the sealed race tracked: { name, bytes }, or null

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
      if (race) {
        await store.save(tracked.key, { name: race.name, type: '' }, race.bytes);
        store.mark(true);
      }
      const image = race ?? await trackedImage();
      if (image) names.push(`${image.name} (the ${tracked.called})`);
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
      const image = await trackedImage(notes);
      if (image) names.push(`${image.name} (the ${tracked.called})`);
      if (names.length) remember.checked = true;
      showRemembered(names, notes);
      files.showFilesUsed();
    } catch {
      // No storage in this browser (a private window, say): nothing to restore.
    }
  }

  /// The image of the sealed race kept in this browser: { name, bytes }, or
  /// null. A record that is not a file is forgotten, and `notes` gets why.
  async function trackedImage(notes = []) {
    try {
      if (!store.marked()) return null;
      const kept = await store.load(tracked.key);
      if (kept === undefined) return null;
      const problem = keptFileProblem(kept, tracked.called);
      if (!problem) return { name: kept.name, bytes: new Uint8Array(kept.bytes) };
      await store.remove(tracked.key);
      notes.push(problem);
    } catch {
      // No storage in this browser: nothing kept.
    }
    return null;
  }

  remember.addEventListener('change', () => (remember.checked ? save() : forgetFiles()));
  forget.addEventListener('click', forgetFiles);
  return {
    save,
    restore,
    /// The tracker follows the sealed race of `image` ({ name, bytes }), or
    /// none (null): its image is kept with the files while they are.
    keepTracked(image) {
      race = image;
      return race ? save() : saving;
    },
    trackedImage,
  };
}
