// The tracker's run in one labyrinth, apart from any page: the steps the
// player took, the room they are in, and the run's clock (a timer, a split
// at the first room revealed of each area, and the item rooms ticked off).
// The tracker keeps one run, asks the module to draw what it reveals, and
// tells the run what the module made of it (the rooms shown, the room the
// player is in); the run store keeps it in the browser. Times come from the
// `now` it is given, in milliseconds.

/// The longest time a kept clock may hold, in milliseconds: a year, far
/// beyond any run, even one whose timer was left running for months. A time
/// beyond it, below zero or no number at all is a damaged clock.
export const longestRunTime = 365 * 24 * 60 * 60 * 1000;

// A room as the module names it, "x,y": the one form of a cell the page
// checks by itself, for the rooms ticked off in a kept clock.
const roomForm = /^\d+,\d+$/;

const freshClock = () => ({ elapsed: 0, startedAt: null, splits: [], ticks: [] });

/// A run's clock as kept, or null for anything that is not a clock the page
/// keeps (damaged, or kept by something else): its times within
/// longestRunTime (a running clock started no further from `now`), a split
/// for each of the `areaCount` areas at most once, each item room ticked at
/// most once.
export function clockFrom(kept, areaCount, now) {
  const time = (ms) => Number.isFinite(ms) && ms >= 0 && ms <= longestRunTime;
  const distinct = (list) => new Set(list).size === list.length;
  const fine = kept !== null && typeof kept === 'object'
    && time(kept.elapsed)
    && (kept.startedAt === null || (Number.isFinite(kept.startedAt) && time(Math.abs(now - kept.startedAt))))
    && Array.isArray(kept.splits) && distinct(kept.splits.map((s) => s?.area))
    && kept.splits.every((s) => Number.isInteger(s?.area) && s.area >= 0 && s.area < areaCount && time(s.at))
    && Array.isArray(kept.ticks) && distinct(kept.ticks)
    && kept.ticks.every((room) => typeof room === 'string' && roomForm.test(room));
  if (!fine) return null;
  return { elapsed: kept.elapsed, startedAt: kept.startedAt,
    splits: kept.splits.map(({ area, at }) => ({ area, at })), ticks: [...kept.ticks] };
}

/// 0:04:09, from milliseconds.
export function timeText(ms) {
  const seconds = Math.floor(ms / 1000);
  const two = (n) => String(n).padStart(2, '0');
  return `${Math.floor(seconds / 3600)}:${two(Math.floor(seconds / 60) % 60)}:${two(seconds % 60)}`;
}

class Run {
  #steps;  // each a list of rooms revealed together, or "reset", after which only the start room shows
  #here;   // the room the player is in, when they said so or a step revealed one
  #clock;  // { elapsed, startedAt, splits: [{ area, at }], ticks: [room] }
  #shown = new Set();  // the rooms the module last showed of the run
  #now;

  constructor(steps, here, clock, now) {
    this.#steps = steps;
    this.#here = here;
    this.#clock = clock;
    this.#now = now;
  }

  /// The rooms the steps reveal, the start room aside; with `next`, as a
  /// step that reveals it would leave them.
  revealed(next = null) {
    const revealed = new Set();
    for (const step of next === null ? this.#steps : [...this.#steps, [next]]) {
      if (step === 'reset') revealed.clear();
      else step.forEach((cell) => revealed.add(cell));
    }
    return [...revealed];
  }

  /// The room the player is in, or null for the start room.
  get here() { return this.#here; }

  /// What the module made of the run: the rooms it shows and the room the
  /// player is in (the start room, when theirs is not shown).
  drawnAs(shown, here) {
    this.#shown = new Set(shown);
    this.#here = here;
  }

  /// A step of those of `cells` not shown yet; the player is in the room
  /// when it is one. Returns the rooms the step reveals: none, no step.
  reveal(cells) {
    const fresh = cells.filter((cell) => !this.#shown.has(cell));
    if (!fresh.length) return fresh;
    this.#steps.push(fresh);
    if (fresh.length === 1) [this.#here] = fresh;
    return fresh;
  }

  /// The player is in the shown room `cell` now; false when that changes nothing.
  walk(cell) {
    if (!this.#shown.has(cell) || cell === this.#here) return false;
    this.#here = cell;
    return true;
  }

  /// Only the start room shows again, until the reset is undone.
  reset() { this.#steps.push('reset'); }

  /// Takes the last step back: returns it ("reset" or its rooms), or null when there is none.
  undo() { return this.#steps.pop() ?? null; }

  get canUndo() { return this.#steps.length > 0; }

  /// The time on the clock, in milliseconds.
  time() {
    const { elapsed, startedAt } = this.#clock;
    return elapsed + (startedAt === null ? 0 : Math.max(0, this.#now() - startedAt));
  }

  get running() { return this.#clock.startedAt !== null; }

  startOrPause() {
    if (this.#clock.startedAt === null) this.#clock.startedAt = this.#now();
    else Object.assign(this.#clock, { elapsed: this.time(), startedAt: null });
  }

  /// The timer at zero and no splits; the ticks stay.
  resetClock() { Object.assign(this.#clock, { elapsed: 0, startedAt: null, splits: [] }); }

  /// [{ area, at }], in the order the run reached them.
  get splits() { return this.#clock.splits.map((split) => ({ ...split })); }

  /// After a step revealed rooms of `areas` (the start room's aside): a split
  /// at the time on the clock for each area reached for the first time.
  /// Returns whether there was one.
  reached(areas) {
    const split = new Set(this.#clock.splits.map((s) => s.area));
    const fresh = [...new Set(areas)].filter((area) => !split.has(area)).sort((a, b) => a - b);
    const at = this.time();
    for (const area of fresh) this.#clock.splits.push({ area, at });
    return fresh.length > 0;
  }

  /// The item rooms ticked off, in the order they were ticked.
  get ticks() { return [...this.#clock.ticks]; }

  tick(room, ticked) {
    this.#clock.ticks = this.#clock.ticks.filter((other) => other !== room);
    if (ticked) this.#clock.ticks.push(room);
  }

  /// The run's times and items as text, for a race's chat or notes: after
  /// `heading`, of the item rooms shown ({ room, name }) and their `total`.
  asText(heading, { shown, total }) {
    const ticked = new Set(this.#clock.ticks);
    return [heading, `Time: ${timeText(this.time())}`,
      ...this.#clock.splits.map(({ area, at }) => `Area ${area}: ${timeText(at)}`),
      `Items: ${this.#clock.ticks.length} of ${total}`,
      ...shown.filter(({ room }) => ticked.has(room)).map(({ name }) => `Item room ${name}`)].join('\n');
  }

  /// Nothing revealed, timed or ticked: a run with nothing to keep.
  get untouched() {
    const { elapsed, startedAt, ticks } = this.#clock;
    return !this.#steps.length && elapsed === 0 && startedAt === null && !ticks.length;
  }

  /// The run as it is kept: { steps, here, clock }, plain data.
  kept() {
    const clock = this.#clock;
    return { steps: this.#steps.map((step) => (step === 'reset' ? step : [...step])), here: this.#here,
      clock: { ...clock, splits: this.splits, ticks: this.ticks } };
  }
}

/// A run as kept (kept() of a run, or whatever else was stored), ready to go
/// on, in a labyrinth of `areaCount` areas: { run, clockForgotten }. Steps
/// that are neither "reset" nor lists of strings are left out. A damaged
/// clock gives way to a fresh one, and `clockForgotten` says so, while the
/// steps go on; a run kept before runs were timed has a fresh clock.
export function runFrom(kept, { areaCount, now = Date.now }) {
  const { steps, here, clock } = kept !== null && typeof kept === 'object' ? kept : {};
  const step = (s) => s === 'reset' || (Array.isArray(s) && s.every((cell) => typeof cell === 'string'));
  const keptClock = clock === undefined ? freshClock() : clockFrom(clock, areaCount, now());
  const run = new Run(Array.isArray(steps) ? steps.filter(step) : [], typeof here === 'string' ? here : null,
    keptClock ?? freshClock(), now);
  return { run, clockForgotten: !keptClock };
}
