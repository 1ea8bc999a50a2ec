// The run one step on, drawn while the page is idle: through each door into
// the fog of the room the player is in. The step the player takes next is
// most often one of those, and then shows at once. What is drawn ahead
// holds until the run is drawn again. `whenIdle(then)` schedules work for
// a moment the page is idle and returns what `stopIdle` takes to cancel it.

/// A cache of steps drawn ahead, empty until it starts.
export function drawAhead({ whenIdle, stopIdle }) {
  const steps = new Map();  // room -> the run drawn one step on, revealing it
  let waiting = null;       // the idle work scheduled

  const stop = () => {
    if (waiting !== null) stopIdle(waiting);
    waiting = null;
    steps.clear();
  };

  return {
    /// Draws, one at a time while the page is idle, `drawStep(room)` for
    /// each of `rooms`, forgetting what was drawn for the run before; a
    /// step that cannot be drawn (null) is left out.
    start(rooms, drawStep) {
      stop();
      const next = [...rooms];
      const one = () => {
        waiting = null;
        if (!next.length) return;
        const room = next.shift();
        const drawn = drawStep(room);
        if (drawn) steps.set(room, drawn);
        waiting = whenIdle(one);
      };
      waiting = whenIdle(one);
    },
    /// Forgets what was drawn ahead: the run changed in a way it did not foresee.
    stop,
    /// The step that reveals `room`, when it was drawn ahead of the run as it is.
    take: (room) => steps.get(room),
  };
}
