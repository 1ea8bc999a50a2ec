// Links to a labyrinth, and copying what a player shares: the link, or the
// seed line that every front end prints. The link's form and its reading
// are the module's; the page only puts them into an address.

import { core } from './core.js';
import { $ } from './messages.js';

/// The address of the labyrinth of `seed` (decimal) on this page; with
/// `track`, one that opens the tracker on it; with `daily` (YYYY-MM-DD),
/// the address names that day's labyrinth by its date instead.
export function permalinkFor(seed, track = false, daily = '') {
  const url = new URL(window.location.href);
  url.hash = daily ? core().dailyLinkFragment(daily, track) : core().linkFragment(seed, track);
  return url.href;
}

/// What the page's address asks for: { names, seed, daily, track, problem }.
export const readAddress = () => core().readLink(window.location.hash.slice(1));

/// Copies `text`, then says `done` in `said` (an element), or, where the
/// browser does not let the page copy, where to find it: `instead`.
export async function copy(text, said, done, instead) {
  try {
    await navigator.clipboard.writeText(text);
    said.textContent = done;
  } catch {
    said.textContent = `This browser did not let the page copy; ${instead}`;
  }
}

// The permalink of the write on show, or the seed line ("Seed: N  Code: w w
// w w"), for a friend or a race.
const copyLink = () => copy($('permalink').href, $('copied'), 'Link copied.', 'the address bar shows the link.');
const copySeed = () => copy(core().seedLine($('seed-used').textContent, $('seed-code').textContent), $('copied'),
  'Seed and code copied.', 'they are shown above.');

export function watchCopying() {
  $('copy-link').addEventListener('click', copyLink);
  $('copy-seed').addEventListener('click', copySeed);
}
