// The player's two files kept in the browser's database (IndexedDB) for the
// next visit, and what the page accepts back from it. `storage` holds a
// mark that files are kept (the browser's localStorage; null where there
// is none), read at once, so that a page with nothing to restore does not
// wait for the browser to open (on a first visit: to create) the database.

import { storageKey } from './storage_keys.js';

/// The longest name a kept file may have, in bytes of UTF-8: as long as a
/// file system lets a file's name be. A longer one is no file the player
/// picked, and a download named after it would never start.
export const longestName = 255;

/// Why what the database holds as the player's `called` ("image", "text
/// file") cannot be taken back as that file, or "" when it can: a file as
/// the page keeps one has a name, a type and bytes; anything else (another
/// program's record, a damaged one) must never reach a slot.
export function keptFileProblem(kept, called) {
  const looksLikeFile = kept !== null && typeof kept === 'object' && typeof kept.name === 'string'
    && kept.name !== '' && typeof kept.type === 'string'
    && (kept.bytes instanceof Uint8Array || kept.bytes instanceof ArrayBuffer);
  if (!looksLikeFile) {
    return `What this browser kept as your ${called} was not a file, so it was forgotten; choose the ${called} again.`;
  }
  const bytes = new TextEncoder().encode(kept.name).length;
  if (bytes > longestName) {
    return `What this browser kept as your ${called} had a name of ${bytes.toLocaleString('en-US')} bytes, longer `
      + `than the ${longestName} a file's name may have, so it was forgotten; choose the ${called} again.`;
  }
  return '';
}

/// The database of kept files, with its mark in `storage`.
export function fileStore(storage) {
  const name = storageKey();
  const open = () => new Promise((resolve, reject) => {
    const request = indexedDB.open(name, 1);
    request.onupgradeneeded = () => request.result.createObjectStore('files');
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error);
  });
  const run = async (mode, work) => {
    const db = await open();
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
  };
  return {
    /// Whether files are kept, by the mark.
    marked() {
      try {
        return storage.getItem(name) === 'files';
      } catch {
        return true;  // no such storage here: the database itself will say
      }
    },
    mark(kept) {
      try {
        if (kept) storage.setItem(name, 'files');
        else storage.removeItem(name);
      } catch {
        // The mark only saves time; the files themselves are in the database.
      }
    },
    save: (key, file, bytes) => run('readwrite', (files) => files.put({ name: file.name, type: file.type, bytes }, key)),
    load: (key) => run('readonly', (files) => files.get(key)),
    remove: (key) => run('readwrite', (files) => files.delete(key)),
    clear: () => run('readwrite', (files) => files.clear()),
  };
}
