// The map of a labyrinth, only on request: after a write and after a look,
// each drawn from the image it belongs to when the player asks for it.

import { call } from './core.js';
import { $, sentence } from './messages.js';

// Whether the player wants to see maps: off until asked, and then kept in
// the browser for the next writes and visits. One choice for the map after
// a write and the map of an image looked at.
const mapChoice = {
  key: 'labyrinth-writer-show-map',
  shown() {
    try {
      return localStorage.getItem(this.key) === 'shown';
    } catch {
      return false;  // no storage here: the map stays hidden until asked, each time
    }
  },
  set(shown) {
    try {
      if (shown) localStorage.setItem(this.key, 'shown');
      else localStorage.removeItem(this.key);
    } catch {
      // Not kept, but the choice holds for this page.
    }
    this.now = shown;
  },
  now: false,
};

// The map of one section: its toggle, the figure it shows or hides, the box
// the map goes into; and the image it is drawn from, { bytes, name,
// seedCode, svg }, svg being the map when it came with the image.
const mapViews = {
  write: () => ({ toggle: $('spoiler-toggle'), figure: $('map-figure'), box: $('map') }),
  look: () => ({ toggle: $('look-spoiler-toggle'), figure: $('look-map-figure'), box: $('look-map') }),
};
const shownImages = { write: null, look: null };

/// Puts an SVG document's picture into `container`, named by its title.
export function showMap(container, svg) {
  container.innerHTML = svg.slice(svg.indexOf('<svg'));
  const picture = container.querySelector('svg');
  if (picture) picture.setAttribute('aria-label', picture.querySelector('title')?.textContent || 'Labyrinth map');
}

// Draws the map of a section's image into its box, unless it is there
// already: the SVG of the map's one layout, from the module.
function drawMap(section) {
  const { box } = mapViews[section]();
  const image = shownImages[section];
  if (!box || !image || box.dataset.drawn === image.seedCode) return;
  const mapped = image.svg ? { ok: true, map: image.svg } : call('mapOfImage', { image: image.bytes, imageName: image.name });
  if (mapped.ok) showMap(box, mapped.map);
  else box.textContent = sentence(mapped.message, [image.name]);
  box.dataset.drawn = image.seedCode;
}

/// Shows or hides a section's map as the choice says.
export function applyMapChoice(section) {
  const { toggle, figure, box } = mapViews[section]();
  if (!toggle) return;
  const shown = mapChoice.now;
  toggle.textContent = shown ? 'Hide the map' : 'Show the map (spoiler)';
  toggle.setAttribute('aria-expanded', String(shown));
  if (shown) drawMap(section);
  figure.hidden = !shown || !box.firstChild;
}

/// The labyrinth a section now shows (null for none), its map hidden or
/// shown as the choice says.
export function showImage(section, image) {
  shownImages[section] = image;
  if (section === 'write') {
    const { box, figure } = mapViews.write();
    box.replaceChildren();
    delete box.dataset.drawn;
    figure.hidden = true;
  }
  if (image) applyMapChoice(section);
}

export function toggleMaps() {
  mapChoice.set(!mapChoice.now);
  for (const section of Object.keys(mapViews)) applyMapChoice(section);
}

export function readMapChoice() {
  mapChoice.now = mapChoice.shown();
}
