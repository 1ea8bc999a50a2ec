// The player's own marks on the tracker's map: a room that carries a note
// shows a white sheet with two lines of writing in its top left corner, a
// pinned room a pin's dark head in its top right one, in the corners,
// clear of the room's marker, number and doors, and drawn over the
// corner of a link's badge, so that a mark shows in any room. The module's
// picture leaves them out: they are drawn here, in a group of their own
// over the rooms, from the notes and pins the run's view lists, and only
// a room whose marks changed is drawn again.

import { svgElement } from './dom.js';

/// The marks of a map whose cells are `cell` units wide. Returns { draw }.
export function roomMarks(cell) {
  let layer = null;       // the group they are drawn in
  let drawn = new Map();  // room -> { marks, element }: "note", "pin" or "note pin"

  // The marks `marks` of the room whose square is `square`.
  function marksOf(room, marks, square) {
    const x = Number(square.getAttribute('x'));
    const y = Number(square.getAttribute('y'));
    const edge = cell / 20;
    const group = svgElement('g', { class: 'room-mark', 'data-marked': room });
    if (marks.includes('note')) {
      const side = cell * 0.34;
      const at = { x: x + cell * 0.04, y: y + cell * 0.04 };
      group.append(svgElement('rect', { class: 'note-mark', x: at.x, y: at.y, width: side, height: side, rx: edge,
        'stroke-width': edge }));
      for (const line of [0.36, 0.64]) {
        group.append(svgElement('line', { class: 'note-line', x1: at.x + side * 0.22, x2: at.x + side * 0.78,
          y1: at.y + side * line, y2: at.y + side * line, 'stroke-width': edge }));
      }
    }
    if (marks.includes('pin')) {
      const centre = { cx: x + cell * 0.8, cy: y + cell * 0.2 };
      group.append(svgElement('circle', { class: 'pin-mark', ...centre, r: cell * 0.16, 'stroke-width': edge }));
      group.append(svgElement('circle', { class: 'pin-shine', ...centre, r: cell * 0.05 }));
    }
    return group;
  }

  return {
    /// Draws into `into` (a group of the picture) the marks of `notes` and
    /// `pins` (as the run's view lists them) on the shown rooms, whose
    /// squares `squareOf(room)` gives (null for a room in fog, which shows
    /// no mark). A group other than the last one drawn into is drawn anew.
    draw(into, squareOf, notes, pins) {
      if (into !== layer) {
        layer = into;
        drawn = new Map();
      }
      const wanted = new Map(notes.map(({ room }) => [room, 'note']));
      for (const { room } of pins) wanted.set(room, wanted.has(room) ? 'note pin' : 'pin');
      for (const [room, { marks, element }] of drawn) {
        if (wanted.get(room) === marks && squareOf(room)) continue;
        element.remove();
        drawn.delete(room);
      }
      if (!layer) return;
      for (const [room, marks] of wanted) {
        const square = squareOf(room);
        if (!square || drawn.has(room)) continue;
        drawn.set(room, { marks, element: layer.appendChild(marksOf(room, marks, square)) });
      }
    },
  };
}
