// The pad below the tracker's map (beside it on a wide screen): the four
// sides of the room the player is in, as buttons large enough for a thumb.
// A side with a door into the fog reveals the room behind it; a side with a
// passage into a shown room walks there; a side with no door is off. The
// arrow keys press them.

import { showText } from './dom.js';

const sides = ['north', 'west', 'east', 'south'];
const keys = { ArrowUp: 'north', ArrowLeft: 'west', ArrowRight: 'east', ArrowDown: 'south' };

/// The pad `trackerPad` (its buttons by their data-side), the name of the
/// room `trackerHere`, and the map's box `trackerMap`, which takes the
/// keyboard when no side can; `reveal(door)` for a door into the fog,
/// `walk(door)` for a passage. Returns { show, focus }.
export function setUpPad({ trackerPad: pad, trackerHere, trackerMap }, { reveal, walk }) {
  const buttons = new Map(sides.map((side) => [side, pad.querySelector(`[data-side="${side}"]`)]));
  const targets = new Map([...buttons].map(([side, button]) => [side, button.querySelector('.to')]));
  let doorsBySide = new Map();  // side -> { door, fog } of the room on show

  const press = (side) => {
    const way = doorsBySide.get(side);
    if (way) (way.fog ? reveal : walk)(way.door);
  };
  for (const [side, button] of buttons) button.addEventListener('click', () => press(side));
  pad.addEventListener('keydown', (event) => {
    if (!keys[event.key] || event.altKey || event.ctrlKey || event.metaKey) return;
    event.preventDefault();
    press(keys[event.key]);
    if (!buttons.get(keys[event.key]).disabled) buttons.get(keys[event.key]).focus();
  });

  return {
    /// Shows the sides of the room `hereName`, with its `doors` into rooms in
    /// fog or shown, as the module gives them.
    show(hereName, doors) {
      showText(trackerHere, hereName);
      doorsBySide = new Map(doors.map((door) => [door.side, { door, fog: door.intoFog }]));
      const focused = [...buttons.values()].includes(document.activeElement);
      for (const [side, button] of buttons) {
        const way = doorsBySide.get(side);
        if (button.disabled !== !way) button.disabled = !way;
        if (button.classList.contains('fog') !== Boolean(way?.fog)) button.classList.toggle('fog');
        showText(targets.get(side), !way ? 'no door' : `${way.fog ? 'reveal' : 'to'} ${way.door.toName}`);
      }
      // A button that went off gives the keyboard to one that is on.
      if (focused && document.activeElement?.disabled !== false) this.focus();
    },

    /// Gives the keyboard to the first side that is on, or to the map when none is.
    focus() {
      ([...buttons.values()].find((button) => !button.disabled) ?? trackerMap).focus();
    },
  };
}
