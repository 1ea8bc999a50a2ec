// The run's clock beside the tracker, as the run (run.js) holds it: its
// timer with Start, Pause and Reset, a split at the first reveal of each
// area, and the item rooms shown, to tick off. All of it can be copied as
// text.

import { copyText } from './links.js';
import { count, messages } from './messages.js';
import { timeText } from './run.js';

/// The clock's elements: the time `runTimer`, its buttons `runTimerStart`
/// and `runTimerReset`, the lists `splits` and `items` with `splitsNone` and
/// `itemsCount`, and `runCopy` with `runCopied`; `heading()` is the text
/// that heads a copy. Returns { show, showItemRooms, showSplits }.
export function setUpClock({ runTimer, runTimerStart, runTimerReset, splits: splitList, splitsNone, items: itemList,
  itemsCount, runCopy, runCopied }, { heading }) {
  let run = null;        // the run on show
  let keep = () => {};   // keeps the run, after every change of its clock
  let ticking = 0;       // the interval that shows the running time
  let items = { shown: [], total: 0 };  // the item rooms shown ({ room, name }), and how many there are
  let itemsShown = '';   // the items and ticks the list shows

  const showTime = () => { runTimer.textContent = timeText(run.time()); };

  function showRunning() {
    runTimerStart.textContent = run.running ? 'Pause' : run.time() > 0 ? 'Go on' : 'Start';
    clearInterval(ticking);
    if (run.running) ticking = setInterval(showTime, 250);
    showTime();
  }

  function showSplits() {
    const splits = run.splits;
    splitList.replaceChildren(...splits.map(({ area, at }) =>
      Object.assign(document.createElement('li'), { textContent: `Area ${area}: ${timeText(at)}` })));
    splitsNone.hidden = splits.length > 0;
  }

  function showItems() {
    const ticks = run.ticks;
    const drawn = JSON.stringify([items, ticks]);
    if (drawn === itemsShown) return;
    itemsShown = drawn;
    const ticked = new Set(ticks);
    itemList.replaceChildren(...items.shown.map(({ room, name }, index) => {
      const box = Object.assign(document.createElement('input'), { type: 'checkbox', checked: ticked.has(room),
        id: `item-room-${index}` });
      box.dataset.item = room;
      const label = Object.assign(document.createElement('label'), { htmlFor: box.id, textContent: `Item room ${name}` });
      const entry = document.createElement('li');
      entry.append(box, label);
      return entry;
    }));
    itemsCount.textContent = `${count(ticks.length, 'item room', 'item rooms')} of ${items.total} ticked off; `
      + `${items.shown.length} shown.`;
  }

  runTimerStart.addEventListener('click', () => {
    run.startOrPause();
    showRunning();
    keep();
  });
  runTimerReset.addEventListener('click', () => {
    run.resetClock();
    showRunning();
    showSplits();
    keep();
  });
  itemList.addEventListener('change', (event) => {
    run.tick(event.target.dataset.item, event.target.checked);
    showItems();
    keep();
  });
  runCopy.addEventListener('click', async () => {
    runCopied.textContent = await copyText(run.asText(heading(), items), 'Times and items copied.', messages.shownAbove);
  });

  return {
    /// Shows the clock of `shown`, a run; `then` keeps it after each change.
    show(shown, then) {
      run = shown;
      keep = then;
      showRunning();
      showSplits();
    },
    /// The item rooms shown ({ room, name }), to tick off, and how many the
    /// labyrinth has.
    showItemRooms(shown, total) {
      items = { shown, total };
      showItems();
    },
    /// The splits again, after a step reached a new area.
    showSplits,
  };
}
