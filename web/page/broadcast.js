// The broadcast view (a link's view=broadcast): the tracker's map alone in
// a box of fixed size, for a streaming program's browser source or a
// window capture, with the player's room, the time and the latest splits
// in a strip of one line below it. No controls, nothing that scrolls, no text
// that moves the rest; the page is transparent around the map, or the
// chroma-key colour the link gives. The map is the tracker's own, so taps
// on it step the run there too, and the run follows what another page of
// this browser keeps of it (tracker.js).

import { showText } from './dom.js';
import { timeText } from './run.js';

/// Whether the address's `hash` may ask for the broadcast view, before the
/// module has read the link: the page shows nothing until it knows, rather
/// than the whole page for a moment in a stream.
export const mayBroadcast = (hash) => /(?:^#|&)view=broadcast(?:&|$)/.test(hash);

/// The page's root `root` and the strip `broadcastStrip` with its parts
/// `broadcastHere`, `broadcastTime` and `broadcastSplits`; `run()` is the
/// run on show (run.js). Returns { use, show }.
export function setUpBroadcast({ root, broadcastStrip, broadcastHere, broadcastTime, broadcastSplits }, { run }) {
  let on = false;
  let ticking = 0;       // the interval that shows the running time
  let splitsShown = '';  // the splits the strip shows

  const showTime = () => showText(broadcastTime, timeText(run().time()));

  return {
    /// Shows the page as the broadcast view of `link` (as readLink reads it:
    /// its width, height and background), or as itself when it is null.
    use(link) {
      on = Boolean(link);
      root.classList.toggle('broadcast', on);
      broadcastStrip.hidden = !on;
      for (const [name, value] of [['--broadcast-width', link && `${link.width}px`],
        ['--broadcast-height', link && `${link.height}px`], ['--broadcast-background', link?.background]]) {
        if (value) root.style.setProperty(name, value);
        else root.style.removeProperty(name);
      }
      if (!on) clearInterval(ticking);
      if (!on) ticking = 0;
    },

    /// Shows the run's `view` (the module's) in the strip: the player's
    /// room, the time (going on while the clock runs) and the splits, the
    /// latest first, with a tick for an area marked done.
    show({ hereName, splits, done, clock }) {
      if (!on) return;
      showText(broadcastHere, hereName);
      const running = clock.runningSince !== null;
      if (running !== (ticking !== 0)) {
        clearInterval(ticking);
        ticking = running ? setInterval(showTime, 250) : 0;
      }
      showTime();
      const finished = new Set(done);
      const drawn = JSON.stringify([splits, done]);
      if (drawn === splitsShown) return;
      splitsShown = drawn;
      broadcastSplits.replaceChildren(...[...splits].reverse().map(({ area, at }) =>
        Object.assign(document.createElement('span'),
          { textContent: `Area ${area} ${timeText(at)}${finished.has(area) ? ' ✓' : ''}` })));
    },
  };
}
