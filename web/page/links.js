// Links to a labyrinth, today's labyrinth, and copying what a player
// shares. The link's form and its reading, and the seed of a day, are the
// module's; the page only puts them into an address.

import { core } from './core.js';
import { messages } from './messages.js';

/// The address, on the page at `page`, of the labyrinth of `seed`
/// (decimal), or with `daily` (YYYY-MM-DD) of that day's labyrinth by its
/// date, or with `code` (a seed code, in words) of a sealed race's
/// labyrinth, whose image the page then asks for, unless the link carries
/// its rooms (`lab`, as a race's link gives them); with `track`, one that
/// opens the tracker on it, and with `steps` (a run's, as RunSession's
/// stepsText gives them) on that run.
export function labyrinthAddress(page, { seed = '', daily = '', code = '', lab = '', track = false, steps = '' }) {
  const url = new URL(page);
  const labyrinth = code ? `${core().codeLinkFragment(code, false)}${lab ? `&lab=${lab}` : ''}${track ? '&track' : ''}`
    : daily ? core().dailyLinkFragment(daily, track) : core().linkFragment(seed, track);
  url.hash = track && steps ? `${labyrinth}&run=${steps}` : labyrinth;
  return url.href;
}

/// What an address's `hash` ("#..." or "") asks for: { names, seed, daily, code, lab, run, track, problem }.
export const readAddress = (hash) => core().readLink(hash.slice(1));

/// Today's labyrinth by UTC, the same for every player: { ok: true, seed,
/// date } (the seed of `labyrinth-cli write --daily`), or { ok: false, message }.
export function todaysLabyrinth(now = new Date()) {
  const date = now.toISOString().slice(0, 10);
  const daily = core().dailySeed(date);
  return daily.ok ? { ok: true, seed: daily.seed, date } : daily;
}

/// Copies `text`, then resolves to `done`; where the browser does not let
/// the page copy, to a sentence that says where to find it: `instead`.
export async function copyText(text, done, instead) {
  try {
    await navigator.clipboard.writeText(text);
    return done;
  } catch {
    return messages.copyRefused(instead);
  }
}

/// Copies a labyrinth's address, as copyText.
export const copyAddress = (address) => copyText(address, messages.linkCopied, messages.linkInAddressBar);
