// The tracker's run in one labyrinth, apart from any page: the module's
// RunSession, which keeps the run as one history of steps (reveals, walks,
// areas, ticks, the clock's start, pause and reset, Reset) and derives
// from the steps in effect everything the tracker shows: the rooms, where
// the player is, the splits, the ticks and the clock. Undo and Redo take
// back and give again any step. Here only what the page adds to it: the
// page's clock, the time as the timer shows it, the run as text to copy,
// the name of its splits file, and which run a link opens where the
// browser keeps one too.

import { sentence } from './messages.js';

/// 0:04:09, from milliseconds.
export function timeText(ms) {
  const seconds = Math.floor(ms / 1000);
  const two = (n) => String(n).padStart(2, '0');
  return `${Math.floor(seconds / 3600)}:${two(Math.floor(seconds / 60) % 60)}:${two(seconds % 60)}`;
}

/// The time on a run's clock (as the module gives it: { elapsed,
/// runningSince }) at `now`, in milliseconds.
export const clockTime = ({ elapsed, runningSince }, now) =>
  elapsed + (runningSince === null ? 0 : Math.max(0, now - runningSince));

/// How a run's splits file names the labyrinth `tracked` (as the tracker
/// has it: with `seed`, and `daily` for a day's labyrinth, or its
/// `seedCode` alone): the category a racer's timer shows, the same for
/// every racer of that labyrinth, and the file's name.
export function splitsNaming({ seed = '', daily = '', seedCode = '' }) {
  if (daily) return { category: `Daily labyrinth ${daily}`, name: `labyrinth-daily-${daily}.lss` };
  if (seed) return { category: `Labyrinth seed ${seed}`, name: `labyrinth-${seed}.lss` };
  return { category: `Labyrinth ${seedCode}`, name: `labyrinth-${seedCode.trim().split(/\s+/).join('-')}.lss` };
}

class Run {
  #session;
  #guard;
  #now;
  #view;

  constructor(session, guard, now, view) {
    this.#session = session;
    this.#guard = guard;
    this.#now = now;
    this.#view = view;
  }

  // An answer of the session; a view in it becomes the run's.
  #answer(work) {
    const answer = this.#guard(() => work(this.#session));
    if (answer.ok) this.#view = answer;
    return answer;
  }

  /// What the steps in effect add up to, as the module last said: here,
  /// hereName, hereDoors, items, itemRooms, splits, ticks, notes ({ room,
  /// name, text }), pins, done (the areas marked done), clock, canUndo,
  /// canRedo, title and kept (the run as the browser keeps it).
  get view() { return this.#view; }

  /// Takes a step of `kind` (reveal, walk, revealArea, revealAll, tick,
  /// untick, start, pause, resetClock, resetRooms, note, pin, unpin,
  /// areaDone, areaUndone), of `room` ("x,y") or `area` where it has one,
  /// with a note's `text` ("" takes the note away), now. Answers with the
  /// view and what changed in the picture (`changes`, or `redrawn` with the
  /// whole `map` and `doors`), or { ok: false, message } for a step that
  /// cannot be taken.
  step(kind, { room = '', area = 0, text = '' } = {}) {
    return this.#answer((session) => session.step({ kind, room, area, text, now: this.#now() }));
  }

  /// Takes the last step back, or gives the last one undone again: as step.
  undo() { return this.#answer((session) => session.undo()); }
  redo() { return this.#answer((session) => session.redo()); }

  /// The whole picture anew, from which the next changes start.
  picture() { return this.#guard(() => this.#session.picture()); }
  /// The legend's group of the picture as the run stands.
  legend() { return this.#guard(() => this.#session.legend()); }
  /// The steps in effect, as a link carries them.
  stepsText() { return this.#guard(() => this.#session.stepsText()); }
  /// The splits as a LiveSplit file (.lss text), under `category`.
  liveSplits(category) { return this.#guard(() => this.#session.liveSplits(category)); }

  /// The time on the clock now, in milliseconds, and whether it runs.
  time() { return clockTime(this.#view.clock, this.#now()); }
  get running() { return this.#view.clock.runningSince !== null; }

  /// The run's times and items as text, for a race's chat or notes, after `heading`.
  asText(heading) {
    const { splits, ticks, items, itemRooms } = this.#view;
    const ticked = new Set(ticks);
    return [heading, `Time: ${timeText(this.time())}`,
      ...splits.map(({ area, at }) => `Area ${area}: ${timeText(at)}`),
      `Items: ${ticks.length} of ${itemRooms}`,
      ...items.filter(({ room }) => ticked.has(room)).map(({ name }) => `Item room ${name}`)].join('\n');
  }

  /// Lets the module's session go: the run is not asked anything more.
  close() {
    try {
      this.#session.delete();
    } catch {
      // A session of a module that broke is gone with it.
    }
  }
}

// A run kept by the page before runs were histories names the room the
// player was in, also where its steps leave them there already (the last
// room revealed on its own since the last Reset, or the start room); the
// module would take that as a walk to where the player is, which it
// refuses, and say that a step of the kept run was left out. Such a room
// is left out of the text the module reads.
function withoutStandingWalk(kept, labyrinth) {
  let run = null;
  try {
    run = JSON.parse(kept);
  } catch {
    return kept;
  }
  if (run === null || typeof run !== 'object' || 'version' in run || !Array.isArray(run.steps)) return kept;
  const start = labyrinth.about().start;
  let here = start;
  for (const step of run.steps) {
    if (step === 'reset') here = start;
    else if (Array.isArray(step) && step.length === 1) [here] = step;
  }
  if (run.here !== here) return kept;
  delete run.here;
  return JSON.stringify(run);
}

/// Opens the run of the labyrinth in `image` (bytes, named `imageName`), or
/// of the one a sealed race's link carries (`lab`, with its seed `code`), in
/// `labyrinth` (the module), going on from `kept` (what the browser kept of
/// it, "" for none). With `steps` (a link's), the run the link carries,
/// unless the run kept is that run gone further: a link opened again on the
/// device that made it loses no step taken since. `guard(work)` runs a call
/// of the module and turns a module that broke into a failure value;
/// `now()` is the page's clock, in milliseconds.
///
/// Resolves to { ok: true, run, opened, said } (opened: the module's first
/// answer, with the whole `map` and its `doors`; said: what the page tells
/// of it, "" or sentences) or { ok: false, message }.
export function openRun(labyrinth, { image = null, imageName = '', lab = '', code = '', kept = '', steps = null,
  now = Date.now, guard = (work) => work() }) {
  const session = guard(() => new labyrinth.RunSession());
  if (session.ok === false) return session;
  const tracked = lab ? { lab, code } : { image, imageName };
  const said = [];
  let opened = guard(() => session.open({ ...tracked, kept: withoutStandingWalk(kept, labyrinth), now: now() }));
  if (opened.ok && steps !== null) {
    const keptSteps = guard(() => session.stepsText());
    if (typeof keptSteps !== 'string') {
      opened = keptSteps;
    } else if (keptSteps !== steps && !keptSteps.startsWith(steps)) {
      const replaced = JSON.parse(opened.kept).steps !== '';
      opened = guard(() => session.openSteps({ ...tracked, steps, now: now() }));
      if (replaced) said.push('This is the run of the link, in place of the run this browser kept for this labyrinth.');
    } else if (keptSteps !== steps) {
      said.push('The run this browser kept for this labyrinth goes on from the link\'s, and is shown.');
    }
  }
  if (!opened.ok) {
    guard(() => session.delete());
    return opened;
  }
  if (opened.keptProblem) said.unshift(sentence(opened.keptProblem));
  return { ok: true, run: new Run(session, guard, now, opened), opened, said: said.join(' ') };
}
