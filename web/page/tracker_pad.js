// The pad below the tracker's map (beside it on a wide screen): the four
// sides of the room the player is in, as buttons large enough for a thumb.
// A side with a door into the fog reveals the room behind it; a side with a
// passage into a shown room walks there; a side with no door is off. The
// arrow keys press them.

import { $ } from './messages.js';

const pad = $('tracker-pad');
const sides = ['north', 'west', 'east', 'south'];
const buttons = new Map(sides.map((side) => [side, pad.querySelector(`[data-side="${side}"]`)]));
const keys = { ArrowUp: 'north', ArrowLeft: 'west', ArrowRight: 'east', ArrowDown: 'south' };
let doorsBySide = new Map();  // side -> { door, fog } of the room on show

/// Shows the sides of the room `hereName`, with its `doors` into rooms in
/// fog or shown, as the module gives them.
export function showPad(hereName, doors) {
  const say = (element, text) => element.textContent !== text && (element.textContent = text);
  say($('tracker-here'), hereName);
  doorsBySide = new Map(doors.map((door) => [door.side, { door, fog: door.intoFog }]));
  const focused = [...buttons.values()].includes(document.activeElement);
  for (const [side, button] of buttons) {
    const way = doorsBySide.get(side);
    button.disabled = !way;
    button.classList.toggle('fog', Boolean(way?.fog));
    say(button.querySelector('.to'), !way ? 'no door' : `${way.fog ? 'reveal' : 'to'} ${way.door.toName}`);
  }
  // A button that went off gives the keyboard to one that is on.
  if (focused && document.activeElement?.disabled !== false) {
    ([...buttons.values()].find((button) => !button.disabled) ?? $('tracker-map')).focus();
  }
}

/// `reveal(door)` for a door into the fog, `walk(door)` for a passage.
export function setUpPad({ reveal, walk }) {
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
}
