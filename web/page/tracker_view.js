// How the tracker's map sits on a screen: the whole grid fitted to the
// box's width, where the doors into the fog are marks and the pad below the
// map is how to go through them; or, zoomed in, larger than the module
// draws it, where every door into the fog is a target on the map itself
// and no two overlap. The row and column numbers stay at the box's edges
// while it scrolls, and the legend folds away below it. The map's geometry
// is read from the picture the module drew and from its scale, never
// restated here; where things are on screen is worked out from it, so that
// a tap never waits for the browser to lay the page out to be asked.

import { cssPixels, narrowScreen } from './dom.js';
import { parseSvg, svgNamespace, svgSync } from './svg_sync.js';

const number = (element, name) => Number(element.getAttribute(name));

// `svg` without its group of class `name` (groups nest), and that group.
function cutGroup(svg, name) {
  const start = svg.indexOf(`<g class="${name}"`);
  if (start < 0) return [svg, ''];
  const tags = /<g[\s>]|<\/g>/g;
  tags.lastIndex = start;
  for (let depth = 0, tag; (tag = tags.exec(svg));) {
    depth += tag[0] === '</g>' ? -1 : 1;
    if (depth === 0) return [svg.slice(0, start) + svg.slice(tags.lastIndex), svg.slice(start, tags.lastIndex)];
  }
  return [svg, ''];
}

/// The module's picture of a run made ready to show, which can be done
/// ahead of time and needs no page: its row and column numbers give way to
/// the view's own, and its legend is kept aside for the fold.
export function preparePicture(svg) {
  const [withoutNumbers] = cutGroup(svg.slice(svg.indexOf('<svg')), 'coordinates');
  const [grid, legend] = cutGroup(withoutNumbers, 'legend');
  return { grid: parseSvg(grid), legend, box: /viewBox="([^"]*)"/.exec(grid.slice(0, grid.indexOf('>')))?.[1] ?? '' };
}

// The width of the map's part that is shown: the row numbers' margin, the
// grid, and a sliver beyond it (the legend begins a half margin further).
const shownWidth = ({ gridX, gridSize }) => gridX + gridSize + gridX / 4;

/// The map's box `trackerMap` and the board in it `trackerBoard`, the
/// legend's fold `trackerLegend` and place `trackerLegendMap`, and the
/// button `trackerZoom`; `scale` is the pixels of a cell in the module's
/// picture (about().trackerScale), and `redraw` draws the map again, at the
/// new zoom, and brings the player's room into view.
export function setUpTrackerView({ trackerMap: box, trackerBoard: board, trackerLegend: legend, trackerLegendMap,
  trackerZoom: zoomButton }, { scale: cell, redraw }) {
  const pictures = svgSync(board);
  let closer = false;     // zoomed in
  let geometry = null;    // of the map on show: { width, height, gridX, gridY, gridSize, count }
  let framed = '';        // the geometry and scale the picture and the numbers were last framed at
  let boxSize = null;     // the box's inner size, as it last said: { width, height }
  let doorsOnMap = new Map();  // key -> element, the doors placed on the map
  let legendText = '';    // the legend's group of the map on show, drawn only while unfolded
  let pictureBox = '';    // the viewBox of the picture the module drew, which framing changes
  // Where the box is scrolled to, as its last scroll event said: reading it
  // from the box while a new map waits to be laid out would lay it out then.
  const scrolled = { left: 0, top: 0 };

  // The map's element of the shown room `cell`; its rooms are a group of
  // their own, which is quicker to look through than the whole map.
  const roomOf = (cell) => board.querySelector(`.rooms > [data-room="${cell}"]`);

  // The picture's size, and where its grid of cells lies in it.
  function measure(svg) {
    const grid = svg.querySelector('rect.grid');
    const [, , width, height] = pictureBox.split(/\s+/).map(Number);
    return { width, height, gridX: number(grid, 'x'), gridY: number(grid, 'y'), gridSize: number(grid, 'width'),
      count: Math.round(number(grid, 'width') / cell) };
  }

  // The box's inner size: as it last said, or, before it has said or while it
  // was hidden, as it is; and the most it may grow to.
  function measureBox() {
    if (!boxSize?.width) boxSize = { width: box.clientWidth, height: box.clientHeight };
    boxSize.most ??= parseFloat(getComputedStyle(box).maxHeight) || Infinity;
    return boxSize;
  }

  // Pixels on screen per pixel of the map: zoomed in, a cell of the style
  // sheet's --zoomed-cell (read once: the style sheet does not change);
  // else the whole map in the box's width and its tallest height.
  const zoomedCell = cssPixels(box, '--zoomed-cell');
  function zoom() {
    if (!geometry) return 1;
    const { width, most } = measureBox();
    return closer ? zoomedCell / cell : Math.min(1, width / shownWidth(geometry), most / geometry.height);
  }

  function holdNumbers() {
    const columns = board.querySelector('.numbers.columns');
    const rows = board.querySelector('.numbers.rows');
    if (columns) columns.style.transform = `translateY(${scrolled.top}px)`;
    if (rows) rows.style.transform = `translateX(${scrolled.left}px)`;
    const corner = board.querySelector('.numbers.corner');
    if (corner) corner.style.transform = `translate(${scrolled.left}px, ${scrolled.top}px)`;
  }

  // The numbers of the rows and columns as strips that stay at the box's top
  // and left edges while it scrolls.
  function addNumbers(zoomed) {
    board.querySelectorAll('.numbers').forEach((strip) => strip.remove());
    const { gridX, gridY, count } = geometry;
    const strip = (className) => Object.assign(document.createElement('div'), { className: `numbers ${className}` });
    const columns = strip('columns');
    const rows = strip('rows');
    columns.style.height = `${gridY * zoomed}px`;
    rows.style.width = `${gridX * zoomed}px`;
    for (let i = 0; i < count; ++i) {
      const column = Object.assign(document.createElement('span'), { textContent: String(i) });
      column.style.left = `${(gridX + (i + 0.5) * cell) * zoomed}px`;
      columns.append(column);
      const row = Object.assign(document.createElement('span'), { textContent: String(i) });
      row.style.top = `${(gridY + (i + 0.5) * cell) * zoomed}px`;
      rows.append(row);
    }
    // The corner where the strips meet hides whatever number scrolls under it.
    const corner = strip('corner');
    Object.assign(corner.style, { width: rows.style.width, height: columns.style.height });
    board.append(columns, rows, corner);
    holdNumbers();
  }

  // Scrolls the box by `dx`, `dy` pixels; the number strips follow at once,
  // not a frame later with the scroll event.
  function scrollBy(dx, dy) {
    box.scrollLeft += dx;
    box.scrollTop += dy;
    Object.assign(scrolled, { left: box.scrollLeft, top: box.scrollTop });
    holdNumbers();
  }

  // The legend: the picture's own, the part right of the grid, shown only
  // while the player has it unfolded.
  function drawLegend() {
    const svg = board.querySelector('svg');
    if (!legend.open || !svg || !geometry) return trackerLegendMap.replaceChildren();
    const copy = svg.cloneNode(false);
    const left = shownWidth(geometry);
    // As tall as its lowest line, and a margin's half below it.
    const lowest = Math.max(0, ...[...legendText.matchAll(/\by="([\d.]+)"(?:[^>]*\bheight="([\d.]+)")?/g)]
      .map(([, y, height]) => Number(y) + Number(height || 0)));
    const height = Math.min(geometry.height, lowest + geometry.gridY / 2);
    copy.setAttribute('viewBox', `${left} 0 ${geometry.width - left} ${height}`);
    copy.setAttribute('width', String(geometry.width - left));
    copy.setAttribute('height', String(height));
    copy.removeAttribute('aria-hidden');
    copy.setAttribute('role', 'img');
    copy.setAttribute('aria-label', 'Legend of the map');
    copy.innerHTML = legendText;
    return trackerLegendMap.replaceChildren(copy);
  }

  // The door's element on the map: zoomed in, a button that reveals the room
  // behind it, over the picture; in the whole map, a mark in the picture
  // itself (coloured by the style sheet), which costs a tap far less to
  // change than an element over it.
  function doorElement(door) {
    if (!closer) {
      const mark = document.createElementNS(svgNamespace, 'circle');
      for (const [name, value] of [['class', 'door-mark'], ['cx', door.x], ['cy', door.y], ['r', cell / 5],
        ['stroke-width', cell / 20]]) mark.setAttribute(name, String(value));
      Object.assign(mark.dataset, { door: door.to, from: door.from });
      return mark;
    }
    const button = Object.assign(document.createElement('button'), { type: 'button', className: 'door', title: door.name });
    Object.assign(button.dataset, { door: door.to, from: door.from, toName: door.toName });
    button.setAttribute('aria-label', door.name);
    if (door.link) button.classList.add('link');
    return button;
  }

  box.addEventListener('scroll', () => {
    Object.assign(scrolled, { left: box.scrollLeft, top: box.scrollTop });
    holdNumbers();
  }, { passive: true });
  // The box's size, as it changes (a phone turned, a window resized): the
  // whole map fits the width again.
  new ResizeObserver(([entry]) => {
    const { width, height } = entry.contentRect;
    const changed = !boxSize || boxSize.width !== width;
    boxSize = { width, height };
    if (changed && geometry && !closer && !box.closest('[hidden]')) redraw();
  }).observe(box);
  legend.addEventListener('toggle', drawLegend);
  // The legend is folded on a phone, where it would push the map away.
  legend.open = !narrowScreen();
  zoomButton.addEventListener('click', () => {
    closer = !closer;
    zoomButton.setAttribute('aria-pressed', String(closer));
    redraw();
  });

  return {
    /// A picture from preparePicture with the changes to the board that show
    /// it worked out, ahead of time: they hold while the board shows what it
    /// shows now.
    planPicture: (picture) => ({ ...picture, grid: pictures.plan(picture.grid) }),

    /// Puts a picture from preparePicture or planPicture into the board, hidden from
    /// assistive technology (the status, the pad and the doors say what it
    /// shows); of the grid, only what changed since the last picture is put in.
    showPicture({ grid, legend: legendGroup, box: viewBox }) {
      legendText = legendGroup;
      pictureBox = viewBox;
      pictures.show(grid).setAttribute('aria-hidden', 'true');
    },

    /// Takes the map away, when there is none to show.
    clearPicture() {
      board.replaceChildren();
      doorsOnMap = new Map();
      framed = '';
    },

    /// Frames the picture the module just drew into the board: the grid
    /// alone, at the zoom of the view; then places `doors` (as the module
    /// gives them) on it. Only what changed is touched.
    frame(doors) {
      const svg = board.querySelector('svg');
      if (!svg) return;
      geometry = measure(svg);
      const zoomed = zoom();
      const width = shownWidth(geometry);
      const now = `${width} ${geometry.height} ${zoomed}`;
      const rescaled = now !== framed;
      if (rescaled) {
        framed = now;
        svg.setAttribute('viewBox', `0 0 ${width} ${geometry.height}`);
        svg.setAttribute('width', String(width * zoomed));
        svg.setAttribute('height', String(geometry.height * zoomed));
        board.classList.toggle('whole', !closer);
        addNumbers(zoomed);
        drawLegend();
      }
      // The marks' group goes last in the picture, over the rooms; a picture
      // drawn anew has none, and then every door is placed again.
      let marks = svg.querySelector(':scope > g.door-marks');
      if (!marks) {
        marks = document.createElementNS(svgNamespace, 'g');
        marks.setAttribute('class', 'door-marks');
        svg.append(marks);
      }
      const placed = new Map();
      const lost = [...doorsOnMap.values()].some((element) => !element.isConnected);
      // A link's door has its number on the map already: it gets no mark.
      for (const door of closer ? doors : doors.filter(({ link }) => !link)) {
        const key = `${door.from}>${door.to}${door.link ? ' link' : ''}`;
        let element = rescaled || lost ? null : doorsOnMap.get(key);
        if (element) doorsOnMap.delete(key);
        else {
          element = doorElement(door);
          if (closer) {
            element.style.left = `${door.x * zoomed}px`;
            element.style.top = `${door.y * zoomed}px`;
            board.append(element);
          } else marks.append(element);
        }
        placed.set(key, element);
      }
      doorsOnMap.forEach((element) => element.remove());
      doorsOnMap = placed;
    },

    /// Whether the doors on the map are targets (zoomed in) or marks.
    doorsAreTargets: () => closer,

    /// The shown room under a point of the screen, as the module names it,
    /// or null where none is.
    roomAt(clientX, clientY) {
      if (!geometry) return null;
      const at = board.getBoundingClientRect();
      const zoomed = zoom();
      const x = (clientX - at.left) / zoomed;
      const y = (clientY - at.top) / zoomed;
      const room = [...board.querySelectorAll('.rooms > [data-room]')].find((r) => x >= number(r, 'x')
        && x < number(r, 'x') + number(r, 'width') && y >= number(r, 'y') && y < number(r, 'y') + number(r, 'height'));
      return room?.dataset.room ?? null;
    },

    /// The area of the shown room `cell`, as the module's picture says, or NaN.
    areaOf: (cell) => Number(roomOf(cell)?.dataset.area),

    /// "You are here": the room `cell` carries aria-current="location".
    markHere(cell) {
      board.querySelector('.rooms > [aria-current]')?.removeAttribute('aria-current');
      roomOf(cell)?.setAttribute('aria-current', 'location');
    },

    /// Scrolls the box so that the shown room `cell` is in view, when it is
    /// not, or with `centre` into the middle of what the numbers leave.
    bringIntoView(cell, centre = false) {
      const room = geometry && cell ? roomOf(cell) : null;
      if (!room) return;
      const zoomed = zoom();
      const { width, height } = measureBox();
      const size = number(room, 'width') * zoomed;
      const left = number(room, 'x') * zoomed;
      const top = number(room, 'y') * zoomed;
      // What the number strips at the top and the left leave of the box.
      const shown = { left: scrolled.left + geometry.gridX * zoomed, top: scrolled.top + geometry.gridY * zoomed,
        right: scrolled.left + width, bottom: scrolled.top + height };
      const across = centre || left < shown.left || left + size > shown.right;
      const down = centre || top < shown.top || top + size > shown.bottom;
      if (across || down) {
        scrollBy(across ? left - shown.left - (shown.right - shown.left - size) / 2 : 0,
          down ? top - shown.top - (shown.bottom - shown.top - size) / 2 : 0);
      }
    },
  };
}
