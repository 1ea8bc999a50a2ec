// The tracker's runs kept in the browser, one per labyrinth under its seed
// code, so that a run survives a reload and every labyrinth keeps a run of
// its own. What is kept is the run as the module gives it (its `kept`: the
// steps, those undone too, and how many are in effect), with the time it
// was saved; the module also reads the form that runs were kept in before
// they were histories. `storage` is the browser's localStorage (or anything
// with its methods; null where the browser gives the page none, and then
// nothing is kept); `now` gives the time in milliseconds.

import { storageKey } from './storage_keys.js';

/// The runs kept in `storage`.
export function runStore(storage, { now = Date.now } = {}) {
  const key = (seedCode) => storageKey('run', seedCode);

  // Forgets the run saved longest ago but the one of `kept` (a run saved
  // before runs kept the time counts as oldest; what is no run's form
  // comes first); returns the characters freed, 0 when there is none.
  // Whatever else the page or another keeps stays.
  function forgetOldest(kept) {
    let oldest = null;
    let oldestAt = Infinity;
    for (let i = 0; i < storage.length; ++i) {
      const other = storage.key(i);
      if (other === kept || !other?.startsWith(key(''))) continue;
      let at = 0;
      try {
        at = Number(JSON.parse(storage.getItem(other)).savedAt) || 0;
      } catch {
        // Not a run's form: forgotten first.
      }
      if (at < oldestAt) [oldest, oldestAt] = [other, at];
    }
    if (oldest === null) return 0;
    const freed = oldest.length + storage.getItem(oldest).length;
    storage.removeItem(oldest);
    return freed;
  }

  return {
    /// The name the run of `seedCode` is kept under: a storage event of
    /// another page that names it changed that run.
    keyOf: key,

    /// The run kept for `seedCode`, as text for the module (RunSession's
    /// `kept`), or "" for none.
    load(seedCode) {
      try {
        return storage.getItem(key(seedCode)) ?? '';
      } catch {
        return '';  // no storage here: a run from the start
      }
    },

    /// Keeps `kept` (a run's `kept`, JSON text) for `seedCode`; false when
    /// the browser does not. A run that has taken no step is forgotten.
    /// Each run keeps when it was saved, so that a full storage gives up
    /// the runs left longest ago, one by one, before it gives up this one:
    /// a racer who tracks the daily labyrinth every day would otherwise
    /// fill it within a few years, and from then on keep no run at all.
    /// Once as much as this run takes has been freed, a save that still
    /// fails is refused for another reason than room, and no more runs are
    /// given up for it.
    save(seedCode, kept) {
      const name = key(seedCode);
      try {
        const run = JSON.parse(kept);
        if (!run.steps) {
          storage.removeItem(name);
          return true;
        }
        const text = JSON.stringify({ ...run, savedAt: now() });
        for (let freed = 0; ;) {
          try {
            storage.setItem(name, text);
            return true;
          } catch (error) {
            const more = freed < name.length + text.length && forgetOldest(name);
            if (!more) throw error;
            freed += more;
          }
        }
      } catch {
        return false;
      }
    },
  };
}
