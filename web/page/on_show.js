// The labyrinths on show: the one the write's result shows, the one "Look
// at an image" shows, and of those the last shown, which "Track my run"
// opens. Each is { bytes, name, seedCode }, with `seed` (and `daily`) when
// it has one and `svg` when its map came with it. The write and the look
// say what they show; the maps and the tracker follow.

/// An owner of the labyrinths on show, with none yet.
export function labyrinthsOnShow() {
  const shown = { write: null, look: null };
  let latest = null;
  const followers = [];
  return {
    /// The labyrinth `section` ("write" or "look") shows now, null for none;
    /// every follower hears of it, in the order they began to follow.
    show(section, image) {
      shown[section] = image;
      if (image) latest = image;
      followers.forEach((then) => then(section, image));
    },
    /// The labyrinth a section shows, or null.
    of: (section) => shown[section],
    /// The labyrinth last shown in either section, or null.
    latest: () => latest,
    /// `then(section, image)` runs after each show.
    follow: (then) => { followers.push(then); },
  };
}
