// The player's own marks on the run: a short note or a pin on the room the
// player is in, kept by a form below the map, and the areas marked done,
// ticked off beside the splits. Each is a step of the run, which Undo
// takes back; this only shows what the steps add up to: the note and pin
// of the player's room (in the form, and in the name of the pad, so that a
// screen reader says them with the room), and the list of every room noted
// or pinned, as the map marks them (tracker_marks.js).

import { showText } from './dom.js';

/// The form `trackerNoteForm` with its field `trackerNote`, the room's name
/// `trackerNoteRoom` and the button `trackerPin`; what the pad says of the
/// player's room `trackerHereMarks`; the list `roomMarks` with
/// `roomMarksNone`, and the fieldset `areasDone`. `step(kind, args, told)`
/// takes a step of the run on show (note, pin, unpin, areaDone,
/// areaUndone), told first in the status; there are `areaCount` areas.
/// Returns { show }.
export function setUpNotes({ trackerNoteForm, trackerNote, trackerNoteRoom, trackerPin, trackerHereMarks, roomMarks,
  roomMarksNone, areasDone }, { step, areaCount }) {
  let here = null;     // the player's room, as last shown: { room, name, note, pinned }
  let listed = '';     // the notes and pins the list shows

  // What a room carries, in words: 'pinned, note "key here"'.
  const marksOf = (note, pinned) => [pinned ? 'pinned' : '', note ? `note "${note}"` : ''].filter(Boolean).join(', ');

  const boxes = Array.from({ length: areaCount }, (_, area) => {
    const box = Object.assign(document.createElement('input'), { type: 'checkbox', id: `area-done-${area}` });
    box.dataset.area = String(area);
    const label = Object.assign(document.createElement('label'), { htmlFor: box.id, textContent: `Area ${area}` });
    const entry = Object.assign(document.createElement('span'), { className: 'area-done' });
    entry.append(box, label);
    areasDone.append(entry);
    return box;
  });

  trackerNoteForm.addEventListener('submit', (event) => {
    event.preventDefault();
    const text = trackerNote.value.trim();
    if (!here || text === here.note) return;
    step('note', { room: here.room, text },
      text ? `Noted in ${here.name}: "${text}". ` : `${here.name} no longer carries a note. `);
  });
  trackerPin.addEventListener('click', () => {
    if (!here) return;
    if (here.pinned) step('unpin', { room: here.room }, `${here.name} is no longer pinned. `);
    else step('pin', { room: here.room }, `Pinned ${here.name}. `);
  });
  areasDone.addEventListener('change', (event) => {
    const area = Number(event.target.dataset.area);
    if (event.target.checked) step('areaDone', { area }, `Area ${area} is done. `);
    else step('areaUndone', { area }, `Area ${area} is no longer done. `);
  });

  return {
    /// Shows the marks of the run on show as its `view` (the module's) says.
    show({ here: room, hereName: name, notes, pins, done }) {
      const note = notes.find((noted) => noted.room === room)?.text ?? '';
      const pinned = pins.some((pin) => pin.room === room);
      // The field shows the note of the player's room whenever that room or
      // its note changes; in between, what the player types stays.
      if (here?.room !== room || here.note !== note) trackerNote.value = note;
      here = { room, name, note, pinned };
      showText(trackerNoteRoom, name);
      showText(trackerHereMarks, pinned || note ? ` (${marksOf(note, pinned)})` : '');
      if (trackerPin.getAttribute('aria-pressed') !== String(pinned)) trackerPin.setAttribute('aria-pressed', String(pinned));
      const rooms = new Map(notes.map(({ room: noted, name: noteName, text }) => [noted, { name: noteName, note: text }]));
      for (const pin of pins) rooms.set(pin.room, { ...rooms.get(pin.room) ?? { name: pin.name, note: '' }, pinned: true });
      const drawn = JSON.stringify([...rooms]);
      if (drawn !== listed) {
        listed = drawn;
        roomMarks.replaceChildren(...[...rooms.values()].map((marked) => Object.assign(document.createElement('li'),
          { textContent: `${marked.name}: ${marksOf(marked.note, marked.pinned)}` })));
        roomMarksNone.hidden = rooms.size > 0;
      }
      const areas = new Set(done);
      for (const box of boxes) if (box.checked !== areas.has(Number(box.dataset.area))) box.checked = !box.checked;
    },
  };
}
