// The map of a labyrinth, only on request: after a write and after a look,
// each drawn from the image it belongs to when the player asks for it.

import { call, facts } from './core.js';
import { $, count, sentence } from './messages.js';
import { svgNamespace } from './svg_sync.js';

// Which labyrinths the player has asked to see the map of, by seed code:
// a peek holds for that labyrinth only, in this page and on later visits,
// and every other labyrinth starts hidden, so that one look at a map never
// spoils the next seed.
const peeks = {
  key: (seedCode) => `labyrinth-writer-map-shown ${seedCode}`,
  here: new Set(),  // for this page, where the browser keeps nothing
  shown(seedCode) {
    if (this.here.has(seedCode)) return true;
    try {
      return localStorage.getItem(this.key(seedCode)) === 'shown';
    } catch {
      return false;  // no storage here: the map stays hidden until asked
    }
  },
  set(seedCode, shown) {
    if (shown) this.here.add(seedCode);
    else this.here.delete(seedCode);
    try {
      if (shown) localStorage.setItem(this.key(seedCode), 'shown');
      else localStorage.removeItem(this.key(seedCode));
    } catch {
      // Not kept, but the choice holds for this page.
    }
  },
};

// The map of one section: its toggle, the figure it shows or hides, the box
// the map goes into, the choice of a route on it and what is said of that;
// and the image it is drawn from, { bytes, name, seedCode, svg }, svg being
// the map when it came with the image.
const mapViews = {
  write: () => ({ toggle: $('spoiler-toggle'), figure: $('map-figure'), box: $('map'), route: $('route-area'),
    said: $('route-said') }),
  look: () => ({ toggle: $('look-spoiler-toggle'), figure: $('look-map-figure'), box: $('look-map'),
    route: $('look-route-area'), said: $('look-route-said') }),
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
  drawRoute(section);
}

// The route on a section's map, on request: from the start room to the
// numbered room of the area chosen, the route of the spoiler, drawn where
// the module's layout puts the rooms.
function drawRoute(section) {
  const { box, route: choice, said } = mapViews[section]();
  const image = shownImages[section];
  if (!box || !choice) return;
  box.querySelector('path.route')?.remove();
  said.textContent = '';
  const area = choice.value;
  const picture = box.querySelector('svg');
  if (!image || area === '' || !picture) return;
  const route = call('routeOnMap', { image: image.bytes, imageName: image.name, area: Number(area) });
  if (!route.ok) {
    said.textContent = sentence(route.message, [image.name]);
    return;
  }
  const line = document.createElementNS(svgNamespace, 'path');
  line.setAttribute('class', 'route');
  line.setAttribute('d', route.path);
  picture.append(line);
  said.textContent = `The route to area ${area}: ${count(route.rooms.length - 1, 'door', 'doors')} from the start `
    + 'room to its numbered room.';
}

/// Fills a choice of the area whose route a section's map shows, and draws
/// the route on that map when it changes.
export function offerRoutes(select, section) {
  for (let area = 0; area < facts().areaCount; ++area) select.add(new Option(`To area ${area}`, String(area)));
  select.addEventListener('change', () => drawRoute(section));
}

/// Lets the player choose an area whose route the write's map shows.
export const watchRoutes = () => offerRoutes($('route-area'), 'write');

// Shows or hides a section's map as the player chose for its labyrinth.
function applyMapChoice(section) {
  const { toggle, figure, box } = mapViews[section]();
  const image = shownImages[section];
  if (!toggle || !image) return;
  const shown = peeks.shown(image.seedCode);
  toggle.textContent = shown ? 'Hide the map' : 'Show the map (spoiler)';
  toggle.setAttribute('aria-expanded', String(shown));
  if (shown) drawMap(section);
  figure.hidden = !shown || !box.firstChild;
}

/// The labyrinth a section now shows (null for none), its map hidden unless
/// the player asked to see this labyrinth's.
export function showImage(section, image) {
  shownImages[section] = image;
  if (section === 'write') {
    const { box, figure } = mapViews.write();
    box.replaceChildren();
    delete box.dataset.drawn;
    figure.hidden = true;
    $('route-area').value = '';
    $('route-said').textContent = '';
  }
  if (image) applyMapChoice(section);
}

/// Shows the map of a section's labyrinth, or hides it again; the other
/// section follows when it shows the same labyrinth.
export function toggleMap(section) {
  const image = shownImages[section];
  if (!image) return;
  peeks.set(image.seedCode, !peeks.shown(image.seedCode));
  for (const each of Object.keys(mapViews)) applyMapChoice(each);
}

/// Forgets the one choice for every map that earlier versions of the page
/// kept, which would show every new labyrinth's map at once.
export function forgetOldMapChoice() {
  try {
    localStorage.removeItem('labyrinth-writer-show-map');
  } catch {
    // Nothing kept.
  }
}
