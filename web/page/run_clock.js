// The run's clock beside the tracker, as the run's history has it: its
// timer with Start, Pause and Reset the timer, the splits (the time when
// the run first entered each area while the timer had run), and the item
// rooms shown, to tick off. Each button and tick is a step of the run,
// which Undo takes back; this only shows what the steps add up to, and
// ticks the timer's display on while it runs. All of it can be copied as
// text, and the splits saved as a LiveSplit file for a racer's timer.

import { showText } from './dom.js';
import { copyText } from './links.js';
import { count, messages, sentence } from './messages.js';
import { timeText } from './run.js';

/// The clock's elements: the time `runTimer`, its buttons `runTimerStart`
/// and `runTimerReset`, the lists `splits` and `items` with `splitsNone` and
/// `itemsCount`, and `runCopy` and `runSaveSplits` with `runCopied`.
/// `step(kind, { room })` takes a step of the run on show (start, pause,
/// resetClock, tick, untick); `run()` is that run (run.js), `heading()` the
/// text that heads a copy, `naming()` the splits file's { category, name }
/// (splitsNaming), and `save(download)` hands a file to the browser.
/// Returns { show }.
export function setUpClock({ runTimer, runTimerStart, runTimerReset, splits: splitList, splitsNone, items: itemList,
  itemsCount, runCopy, runSaveSplits, runCopied }, { step, run, heading, naming, save }) {
  let ticking = 0;        // the interval that shows the running time
  let splitsShown = '';   // the splits the list shows
  let itemsShown = '';    // the item rooms the list shows, and how many there are
  let ticksShown = '';    // and which of them are ticked

  const showTime = () => showText(runTimer, timeText(run().time()));

  function showRunning(running) {
    showText(runTimerStart, running ? 'Pause' : run().time() > 0 ? 'Go on' : 'Start');
    if (running !== (ticking !== 0)) {
      clearInterval(ticking);
      ticking = running ? setInterval(showTime, 250) : 0;
    }
    showTime();
  }

  function showSplits(splits) {
    const drawn = JSON.stringify(splits);
    if (drawn === splitsShown) return;
    splitsShown = drawn;
    splitList.replaceChildren(...splits.map(({ area, at }) =>
      Object.assign(document.createElement('li'), { textContent: `Area ${area}: ${timeText(at)}` })));
    splitsNone.hidden = splits.length > 0;
  }

  // The list is made anew when other item rooms show; a tick only ticks its
  // box, which keeps the focus.
  function showItems({ items, itemRooms, ticks }) {
    const drawn = JSON.stringify([items, itemRooms]);
    if (drawn !== itemsShown) {
      itemsShown = drawn;
      ticksShown = '';
      itemList.replaceChildren(...items.map(({ room, name }, index) => {
        const box = Object.assign(document.createElement('input'), { type: 'checkbox', id: `item-room-${index}` });
        box.dataset.item = room;
        const label = Object.assign(document.createElement('label'), { htmlFor: box.id, textContent: `Item room ${name}` });
        const entry = document.createElement('li');
        entry.append(box, label);
        return entry;
      }));
    }
    const ticked = JSON.stringify(ticks);
    if (ticked === ticksShown) return;
    ticksShown = ticked;
    const set = new Set(ticks);
    for (const box of itemList.querySelectorAll('input')) box.checked = set.has(box.dataset.item);
    itemsCount.textContent = `${count(ticks.length, 'item room', 'item rooms')} of ${itemRooms} ticked off; `
      + `${items.length} shown.`;
  }

  runTimerStart.addEventListener('click', () => step(run().running ? 'pause' : 'start'));
  runTimerReset.addEventListener('click', () => step('resetClock'));
  itemList.addEventListener('change', (event) => {
    const box = event.target;
    // The box shows what the run says, whether or not the step was taken.
    ticksShown = '';
    step(box.checked ? 'tick' : 'untick', { room: box.dataset.item });
  });
  runCopy.addEventListener('click', async () => {
    runCopied.textContent = await copyText(run().asText(heading()), 'Times and items copied.', messages.shownAbove);
  });
  runSaveSplits.addEventListener('click', () => {
    const { category, name } = naming();
    const file = run().liveSplits(category);
    if (typeof file !== 'string') {
      runCopied.textContent = sentence(file.message);
      return;
    }
    save({ bytes: new TextEncoder().encode(file), type: 'application/xml', name });
    runCopied.textContent = `The splits are saved as ${name}.`;
  });

  return {
    /// Shows the clock of the run on show as its `view` (the module's) says.
    show(view) {
      showRunning(view.clock.runningSince !== null);
      showSplits(view.splits);
      showItems(view);
    },
  };
}
