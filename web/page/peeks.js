// Which labyrinths the player has asked to see the map of, by seed code: a
// peek holds for that labyrinth only, in this page and on later visits, and
// every other labyrinth starts hidden, so that one look at a map never
// spoils the next seed. `storage` is the browser's localStorage (null where
// the browser gives the page none: a peek then holds for this page only).

import { storageKey } from './storage_keys.js';

/// The peeks kept in `storage`, and those of this page.
export function mapPeeks(storage) {
  const key = (seedCode) => storageKey('map-shown', seedCode);
  const here = new Set();  // for this page, where the browser keeps nothing
  return {
    shown(seedCode) {
      if (here.has(seedCode)) return true;
      try {
        return storage.getItem(key(seedCode)) === 'shown';
      } catch {
        return false;  // no storage here: the map stays hidden until asked
      }
    },
    set(seedCode, shown) {
      if (shown) here.add(seedCode);
      else here.delete(seedCode);
      try {
        if (shown) storage.setItem(key(seedCode), 'shown');
        else storage.removeItem(key(seedCode));
      } catch {
        // Not kept, but the choice holds for this page.
      }
    },
  };
}

/// Forgets the one choice for every map that earlier versions of the page
/// kept, which would show every new labyrinth's map at once.
export function forgetOldMapChoice(storage) {
  try {
    storage.removeItem(storageKey('show-map'));
  } catch {
    // Nothing kept.
  }
}
