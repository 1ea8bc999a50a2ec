// "Remember my files": the chosen image and text file kept in the browser's
// database (IndexedDB) for the next visit, until the player forgets them.

import { core } from './core.js';
import { chosen, readFile, romInput, setFile, showFilesUsed, textInput } from './files.js';
import { $ } from './messages.js';

const remember = $('remember');
const remembered = $('remembered');
const forget = $('forget');

// The two slots as they are kept: the database key, the input, the slot's
// name for reading and for sentences.
const slots = [
  { key: 'rom', input: romInput, slot: 'image', called: 'image' },
  { key: 'text', input: textInput, slot: 'text', called: 'text file' },
];

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
  remove(key) { return this.run('readwrite', (files) => files.delete(key)); },
  clear() { return this.run('readwrite', (files) => files.clear()); },
};

// Whether what the database holds under a key is a file as the page keeps
// one: a name, a type and bytes. Anything else (another program's record,
// a damaged one) is no file, and must never reach a slot.
const looksLikeFile = (kept) => kept !== null && typeof kept === 'object' && typeof kept.name === 'string'
  && kept.name !== '' && typeof kept.type === 'string'
  && (kept.bytes instanceof Uint8Array || kept.bytes instanceof ArrayBuffer);

// The longest name a kept file may have, in bytes of UTF-8: as long as a
// file system lets a file's name be. A longer one is no file the player
// picked, and a download named after it would never start.
const longestName = 255;
const nameBytes = (name) => new TextEncoder().encode(name).length;

function showRemembered(names, notes = []) {
  const said = [...(names.length ? [`Remembered in this browser: ${names.join(', ')}.`] : []), ...notes];
  remembered.hidden = !said.length;
  forget.hidden = !names.length;
  remembered.textContent = said.join(' ');
}

// One save at a time, so that the last change is the one kept and shown.
let saving = Promise.resolve();
export function rememberFiles() {
  saving = saving.catch(() => {}).then(saveFiles);
  return saving;
}

async function saveFiles() {
  if (!remember.checked) return;
  const names = [];
  try {
    for (const { key, input, slot } of slots) {
      const file = chosen(input);
      const read = file && core() ? await readFile(file, slot) : { ok: false };
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

/// Puts the remembered files back into their slots, unless a file was
/// chosen there meanwhile. A record that is not a file, or whose name is
/// longer than a file's can be, is forgotten, and said so.
export async function restoreFiles() {
  try {
    if (!store.marked()) return;
    const names = [];
    const notes = [];
    for (const { key, input, called } of slots) {
      const kept = await store.load(key);
      if (kept === undefined || chosen(input)) continue;  // a file chosen meanwhile wins
      if (!looksLikeFile(kept)) {
        await store.remove(key);
        notes.push(`What this browser kept as your ${called} was not a file, so it was forgotten; choose the `
          + `${called} again.`);
        continue;
      }
      const bytes = nameBytes(kept.name);
      if (bytes > longestName) {
        await store.remove(key);
        notes.push(`What this browser kept as your ${called} had a name of ${bytes.toLocaleString('en-US')} bytes, `
          + `longer than the ${longestName} a file's name may have, so it was forgotten; choose the ${called} again.`);
        continue;
      }
      setFile(input, new File([kept.bytes], kept.name, { type: kept.type }));
      names.push(kept.name);
    }
    if (names.length) remember.checked = true;
    showRemembered(names, notes);
    showFilesUsed();
  } catch {
    // No storage in this browser (a private window, say): nothing to restore.
  }
}

export function watchRemembering() {
  remember.addEventListener('change', () => (remember.checked ? rememberFiles() : forgetFiles()));
  forget.addEventListener('click', forgetFiles);
}
