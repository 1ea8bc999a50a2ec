// The map of a labyrinth, only on request: after a write and after a look,
// each drawn from the labyrinth its section shows when the player asks for
// it, with the route to an area on request.

import { call, facts } from './core.js';
import { svgNamespace } from './dom.js';
import { count, sentence } from './messages.js';

/// Puts an SVG document's picture into `container`, named by its title.
export function showMap(container, svg) {
  container.innerHTML = svg.slice(svg.indexOf('<svg'));
  const picture = container.querySelector('svg');
  if (picture) picture.setAttribute('aria-label', picture.querySelector('title')?.textContent || 'Labyrinth map');
}

/// The maps of the sections. `write` holds the elements of the write's map:
/// its `toggle`, the `figure` it shows or hides, the `box` the map goes
/// into, the choice of a `route` and what is `said` of it; the look's are
/// made with each look, and placed then. The labyrinths come from `shown`
/// (labyrinthsOnShow), the player's choices from `peeks` (mapPeeks).
export function setUpMaps({ write }, { shown, peeks }) {
  const places = { write, look: null };

  // Draws the map of a section's labyrinth into its box, unless it is there
  // already: the SVG of the map's one layout, from the module.
  function drawMap(section) {
    const { box } = places[section];
    const image = shown.of(section);
    if (!image || box.dataset.drawn === image.seedCode) return;
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
    if (!places[section]) return;
    const { box, route: choice, said } = places[section];
    const image = shown.of(section);
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
      + `room to its numbered room${route.through ? `, ${route.through}` : ''}.`;
  }

  // Shows or hides a section's map as the player chose for its labyrinth.
  function applyMapChoice(section) {
    const image = shown.of(section);
    if (!places[section] || !image) return;
    const { toggle, figure, box } = places[section];
    const isShown = peeks.shown(image.seedCode);
    toggle.textContent = isShown ? 'Hide the map' : 'Show the map (spoiler)';
    toggle.setAttribute('aria-expanded', String(isShown));
    if (isShown) drawMap(section);
    figure.hidden = !isShown || !box.firstChild;
  }

  // Shows the map of a section's labyrinth, or hides it again; the other
  // section follows when it shows the same labyrinth.
  function toggleMap(section) {
    const image = shown.of(section);
    if (!image) return;
    peeks.set(image.seedCode, !peeks.shown(image.seedCode));
    for (const each of Object.keys(places)) applyMapChoice(each);
  }

  // Fills a choice of the area whose route a section's map shows.
  function offerRoutes(section) {
    const { route } = places[section];
    for (let area = 0; area < facts().areaCount; ++area) route.add(new Option(`To area ${area}`, String(area)));
    route.addEventListener('change', () => drawRoute(section));
  }

  // A section's labyrinth changed (null for none): its map hidden unless the
  // player asked to see this labyrinth's. The look's place goes with its
  // labyrinth.
  shown.follow((section, image) => {
    if (section === 'write') {
      write.box.replaceChildren();
      delete write.box.dataset.drawn;
      write.figure.hidden = true;
      write.route.value = '';
      write.said.textContent = '';
    } else if (!image) places.look = null;
    if (image) applyMapChoice(section);
  });
  write.toggle.addEventListener('click', () => toggleMap('write'));

  return {
    /// Offers the routes on the write's map, once the module is ready to say
    /// how many areas there are.
    offerRoutes: () => offerRoutes('write'),
    /// The elements of the look's map, made for the labyrinth it is about to show.
    placeLook(elements) {
      places.look = elements;
      elements.toggle.addEventListener('click', () => toggleMap('look'));
      offerRoutes('look');
    },
  };
}
