// The ways to track a labyrinth with no files: by its seed (typed, or from
// a link), today's labyrinth, or its spoiler file. The module makes the
// labyrinth a write would make, on a blank image in memory.

import { call } from './core.js';
import { readLayout } from './file_reads.js';
import { todaysLabyrinth } from './links.js';
import { messages, sentence } from './messages.js';

/// The form `trackForm` with the field `trackSeed`, the buttons
/// `trackDaily` and the file input `trackLayout`, and what it says,
/// `trackFormStatus`; `open(image, options)` opens the tracker on a
/// labyrinth made, with the options of trackSeed. Returns { trackSeed }.
export function setUpTrackForms({ trackForm, trackSeed: seedInput, trackFormStatus, trackDaily, trackLayout },
  { open }) {
  // A labyrinth made by the module without the player's files, tracked; a
  // refusal goes to the form, on `field` when it is about what was typed.
  function trackMade(made, name, field = null, daily = '', options = {}) {
    seedInput.removeAttribute('aria-invalid');
    if (!made.ok) {
      trackFormStatus.textContent = sentence(made.message);
      field?.setAttribute('aria-invalid', 'true');
      return false;
    }
    trackFormStatus.textContent = '';
    open({ bytes: made.image, name, seedCode: made.seedCode, seed: made.seed, daily }, options);
    return true;
  }

  // Tracks the labyrinth that a write of `seed` makes (as typed: decimal, or
  // REVISION:SEED); with `daily` (YYYY-MM-DD), as that day's labyrinth,
  // which its link names by the date. `options` go to `open` (a link's
  // steps, say).
  function trackSeed(seed, daily = '', options = {}) {
    seedInput.value = seed;
    const name = daily ? `the daily labyrinth of ${daily}` : `the labyrinth of seed ${seed}`;
    return trackMade(call('labyrinthToTrack', { seed }), name, seedInput, daily, options);
  }

  async function trackLayoutFile() {
    const file = trackLayout.files[0];
    if (!file) return;
    const read = await readLayout(file);
    const made = read.ok ? call('labyrinthToTrack', { layout: read.bytes, layoutName: file.name }) : read;
    trackMade(made, `the labyrinth of ${file.name}`);
  }

  trackForm.addEventListener('submit', (event) => {
    event.preventDefault();
    trackSeed(seedInput.value.trim());
  });
  trackDaily.addEventListener('click', () => {
    const today = todaysLabyrinth();
    if (!today.ok) trackFormStatus.textContent = sentence(today.message);
    else trackSeed(today.seed, today.date);
  });
  trackLayout.addEventListener('change', () => trackLayoutFile().catch((error) => {
    trackFormStatus.textContent = messages.pageBroke(error);
  }));

  return { trackSeed };
}
