// What a tap on the tracker's whole map means, worked out from where it
// landed in the module's picture, with no page: there the doors into the
// fog are marks too small for a finger or a mouse in a streaming program's
// browser source, so a door is also taken by a tap on the room in fog
// behind it, a whole cell wide.

/// The step that a tap at `point` ({ x, y }, in the picture's units) asks
/// for on the map of `geometry` ({ gridX, gridY, count }, cells of `cell`
/// units): { kind: 'reveal', room } on a door's mark (within `cell` / 4 of
/// it) or on a room in fog that a door of `doors` (the doors into the fog,
/// as the module gives them) leads to; { kind: 'walk', room } on a shown
/// room other than `here` (`isShown(room)` says which are); else null.
export function tapOnMap({ x, y }, { gridX, gridY, count }, cell, { doors, isShown, here }) {
  const reach = cell / 4;
  const onMark = doors.find((door) => Math.hypot(door.x - x, door.y - y) <= reach);
  if (onMark) return { kind: 'reveal', room: onMark.to };
  const column = Math.floor((x - gridX) / cell);
  const row = Math.floor((y - gridY) / cell);
  if (column < 0 || row < 0 || column >= count || row >= count) return null;
  const room = `${column},${row}`;
  if (isShown(room)) return room === here ? null : { kind: 'walk', room };
  return doors.some((door) => door.to === room) ? { kind: 'reveal', room } : null;
}
