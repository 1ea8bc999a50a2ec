// How the tracker's map sits on a screen: the whole grid fitted to the
// box's width, where the doors into the fog are marks and the pad below the
// map is how to go through them; or, zoomed in, larger than the module
// draws it, where every door into the fog is a target on the map itself
// and no two overlap; or, in the broadcast view, filling a box of fixed
// size. The row and column numbers stay at the box's edges while it
// scrolls (tracker_numbers.js); the legend (tracker_legend.js) folds away
// below it.
//
// The picture is the module's, put in whole when a run opens and after a
// step that changed many rooms; any other step changes it by the pieces
// the module says it changed: each room's square, walls, marker, area
// number and links go into their groups (in the order of the rooms, as a
// picture drawn whole has them) or leave them, found by the room they
// carry in data-room, and the doors into the fog come and go by the rooms
// they join. A tap then costs the browser only the elements it changed.
// The map's geometry is read from the picture and from the module's scale,
// never restated here; where things are on screen, and what a tap asks
// for (map_points.js), is worked out from it, so that a tap never waits
// for the browser to lay the page out. The player's notes and pins are
// marks over the rooms (tracker_marks.js).

import { cssPixels, svgElement } from './dom.js';
import { tapOnMap } from './map_points.js';
import { cutGroup, piecesMade } from './svg_pieces.js';
import { setUpLegend } from './tracker_legend.js';
import { roomMarks } from './tracker_marks.js';
import { numberStrips } from './tracker_numbers.js';

const number = (element, name) => Number(element.getAttribute(name));

// A room's place in the order of the picture (row by row), from its "x,y": [row, column].
function roomOrder(key) {
  const comma = key.indexOf(',');
  return [Number(key.slice(comma + 1)), Number(key.slice(0, comma))];
}

// The door's key, as the module names a door that closes: "x,y>x,y".
const doorKey = (door) => `${door.from}>${door.to}`;

// The width of the map's part that is shown: the row numbers' margin, the
// grid, and a sliver beyond it (the legend begins a half margin further).
const shownWidth = ({ gridX, gridSize }) => gridX + gridSize + gridX / 4;

/// The map's box `trackerMap` and the board in it `trackerBoard`, the
/// legend's fold `trackerLegend` and place `trackerLegendMap`, and the
/// button `trackerZoom`; `scale` is the pixels of a cell in the module's
/// picture (about().trackerScale), and `legendOf()` gives the legend's
/// group of the picture as the run stands, for a fold that is open.
export function setUpTrackerView({ trackerMap: box, trackerBoard: board, trackerLegend, trackerLegendMap,
  trackerZoom: zoomButton }, { scale: cell, legendOf }) {
  let svg = null;         // the picture on show
  let title = null;       // its title
  let groups = null;      // its groups that rooms go into, by the name of the pieces: square, walls, ...
  let marks = null;       // its group of the doors' marks, on the whole map
  let roomLayer = null;   // its group of the rooms' notes and pins
  let closer = false;     // zoomed in
  let filling = false;    // the whole map fills the box, both ways (the broadcast view)
  let geometry = null;    // of the map on show: { width, height, gridX, gridY, gridSize, count }
  let framed = '';        // the size and zoom the numbers were last framed at
  let boxSize = null;     // the box's inner size, as it last said: { width, height }
  let doors = new Map();  // door key -> { door, element }: the doors into the fog, as placed on the map
  let here = null;        // the room the player is in
  let marked = null;      // the square that says so
  // Each shown room's pieces in the picture, by its "x,y": its square first.
  let pieces = new Map();
  let cellKeys = [];      // every cell's "x,y", in the rooms' order
  // Where the box is scrolled to, as its last scroll event said: reading it
  // from the box while a new map waits to be laid out would lay it out then.
  const scrolled = { left: 0, top: 0 };
  // Where pieces that are not made one by one are parsed: as if inside an SVG group.
  const scratch = document.createRange();
  scratch.selectNodeContents(svgElement('g'));
  // The elements of the pieces' text `text`, in a fragment.
  const made = (text) => piecesMade(text) ?? scratch.createContextualFragment(text);

  // The square of the shown room `cell` in the picture, or null.
  const roomOf = (room) => pieces.get(room)?.[0] ?? null;
  const roomMarker = roomMarks(cell);
  const numbers = numberStrips(board, cell);
  const legend = setUpLegend({ trackerLegend, trackerLegendMap },
    { picture: () => (svg && geometry ? { svg, geometry, left: shownWidth(geometry) } : null), legendOf });

  // The box's inner size: as it last said, or, before it has said or while it
  // was hidden, as it is; and the most it may grow to.
  function measureBox() {
    if (!boxSize?.width) boxSize = { width: box.clientWidth, height: box.clientHeight };
    boxSize.most ??= parseFloat(getComputedStyle(box).maxHeight) || Infinity;
    return boxSize;
  }

  // Pixels on screen per pixel of the map: zoomed in, a cell of the style
  // sheet's --zoomed-cell (read once: the style sheet does not change);
  // else the whole map in the box's width and its tallest height, or,
  // filling it, in the box as it is.
  const zoomedCell = cssPixels(box, '--zoomed-cell');
  function zoom() {
    if (!geometry) return 1;
    const { width, height, most } = measureBox();
    if (closer) return zoomedCell / cell;
    if (filling) return Math.min(width / shownWidth(geometry), height / geometry.height);
    return Math.min(1, width / shownWidth(geometry), most / geometry.height);
  }

  // Scrolls the box by `dx`, `dy` pixels; the number strips follow at once,
  // not a frame later with the scroll event.
  function scrollBy(dx, dy) {
    box.scrollLeft += dx;
    box.scrollTop += dy;
    Object.assign(scrolled, { left: box.scrollLeft, top: box.scrollTop });
    numbers.hold(scrolled);
  }

  // A door's mark on the whole map, where it is aside.
  const doorMark = svgElement('circle', { class: 'door-mark', r: cell / 5, 'stroke-width': cell / 20 });

  // The door's element on the map: zoomed in, a button that reveals the room
  // behind it, over the picture; in the whole map, a mark in the picture
  // itself (coloured by the style sheet), which costs a tap far less to
  // change than an element over it. A door with a link's number on the
  // map has that already: on the whole map it gets no mark.
  function doorElement(door, zoomed) {
    if (!closer) {
      if (door.link) return null;
      const mark = doorMark.cloneNode(false);
      mark.setAttribute('cx', String(door.x));
      mark.setAttribute('cy', String(door.y));
      Object.assign(mark.dataset, { door: door.to, from: door.from });
      return marks.appendChild(mark);
    }
    const button = Object.assign(document.createElement('button'), { type: 'button', className: 'door', title: door.name });
    Object.assign(button.dataset, { door: door.to, from: door.from, toName: door.toName });
    button.setAttribute('aria-label', door.name);
    if (door.link) button.classList.add('link');
    button.style.left = `${door.x * zoomed}px`;
    button.style.top = `${door.y * zoomed}px`;
    return board.appendChild(button);
  }

  function placeDoor(door, zoomed = zoom()) {
    doors.set(doorKey(door), { door, element: doorElement(door, zoomed) });
  }

  function removeDoor(key) {
    doors.get(key)?.element?.remove();
    doors.delete(key);
  }

  // Frames the picture on show into the board: the grid alone, at the zoom
  // of the view, with its doors; and its numbers, when the zoom or the
  // picture's size changed since they were last framed.
  function frame() {
    if (!svg) return;
    const zoomed = zoom();
    const width = shownWidth(geometry);
    svg.setAttribute('viewBox', `0 0 ${width} ${geometry.height}`);
    svg.setAttribute('width', String(width * zoomed));
    svg.setAttribute('height', String(geometry.height * zoomed));
    const now = `${width} ${geometry.height} ${zoomed}`;
    if (now !== framed) {
      framed = now;
      board.classList.toggle('whole', !closer);
      numbers.add(geometry, zoomed, scrolled);
    }
    const placed = [...doors.values()].map(({ door }) => door);
    for (const { element } of doors.values()) element?.remove();
    doors = new Map();
    for (const door of placed) placeDoor(door, zoomed);
  }

  // The first piece in `group` of a shown room after `room` in the rooms'
  // order, or null: found by the rooms, since a group's children, changed
  // at every insertion, are slow to look through by index.
  function nextPiece(group, room) {
    const [y, x] = roomOrder(room);
    for (let i = y * geometry.count + x + 1; i < cellKeys.length; ++i) {
      const shown = pieces.get(cellKeys[i]);
      if (shown) for (const piece of shown) if (piece.parentNode === group) return piece;
    }
    return null;
  }

  // The pieces of `added` rooms (as the module gives them) into their
  // groups, each in the order of the rooms. They are made in one parse, a
  // group of the pieces of each part of the picture.
  function addRooms(added) {
    Object.entries(groups).forEach(([part, group]) => {
      const batch = made(added.map((room) => room[part]).join(''));
      // The markers' group ends with the area numbers' group, which stays last.
      const end = part === 'marker' ? groups.areaNumber : null;
      while (batch.firstElementChild) {
        const room = batch.firstElementChild.dataset.room;
        const next = nextPiece(group, room) ?? end;
        if (!pieces.has(room)) pieces.set(room, []);
        while (batch.firstElementChild?.dataset.room === room) {
          pieces.get(room).push(group.insertBefore(batch.firstElementChild, next));
        }
      }
    });
  }

  /// Scrolls the box so that the shown room `cell` is in view, when it is
  /// not, or with `centre` into the middle of what the numbers leave.
  function bringIntoView(room, centre = false) {
    const square = geometry && room ? roomOf(room) : null;
    if (!square) return;
    const zoomed = zoom();
    const { width, height } = measureBox();
    const size = number(square, 'width') * zoomed;
    const left = number(square, 'x') * zoomed;
    const top = number(square, 'y') * zoomed;
    // What the number strips at the top and the left leave of the box.
    const shown = { left: scrolled.left + geometry.gridX * zoomed, top: scrolled.top + geometry.gridY * zoomed,
      right: scrolled.left + width, bottom: scrolled.top + height };
    const across = centre || left < shown.left || left + size > shown.right;
    const down = centre || top < shown.top || top + size > shown.bottom;
    if (across || down) {
      scrollBy(across ? left - shown.left - (shown.right - shown.left - size) / 2 : 0,
        down ? top - shown.top - (shown.bottom - shown.top - size) / 2 : 0);
    }
  }

  box.addEventListener('scroll', () => {
    Object.assign(scrolled, { left: box.scrollLeft, top: box.scrollTop });
    numbers.hold(scrolled);
  }, { passive: true });
  // The box's size, as it changes (a phone turned, a window resized): the
  // whole map fits the width again.
  new ResizeObserver(([entry]) => {
    const { width, height } = entry.contentRect;
    const changed = !boxSize || boxSize.width !== width || (filling && boxSize.height !== height);
    boxSize = { width, height, most: boxSize?.most };
    if (changed && geometry && !closer && !box.closest('[hidden]')) frame();
  }).observe(box);
  // Zoomed in or out, the map is framed anew around the player's room.
  zoomButton.addEventListener('click', () => {
    closer = !closer;
    zoomButton.setAttribute('aria-pressed', String(closer));
    frame();
    bringIntoView(here, true);
  });

  return {
    /// Puts the module's whole picture `map` (an SVG document) into the
    /// board, hidden from assistive technology (the status, the pad and the
    /// doors say what it shows), with `doors` into the fog (as the module
    /// gives them) on it.
    show(map, doorsIntoFog) {
      const [withoutNumbers] = cutGroup(map.slice(map.indexOf('<svg')), 'coordinates');
      const [grid, legendText] = cutGroup(withoutNumbers, 'legend');
      const holder = document.createElement('div');
      holder.innerHTML = grid;
      const picture = holder.firstElementChild;
      picture.setAttribute('aria-hidden', 'true');
      // The groups of the marks go last in the picture, over the rooms.
      roomLayer = picture.appendChild(svgElement('g'));
      roomLayer.setAttribute('class', 'room-marks');
      marks = picture.appendChild(svgElement('g'));
      marks.setAttribute('class', 'door-marks');
      const group = (name) => picture.querySelector(`g.${name}`);
      groups = { square: group('rooms'), walls: group('walls'), marker: group('markers'),
        areaNumber: group('area-numbers'), links: group('links') };
      const grid0 = picture.querySelector('rect.grid');
      const [, , width, height] = picture.getAttribute('viewBox').split(/\s+/).map(Number);
      geometry = { width, height, gridX: number(grid0, 'x'), gridY: number(grid0, 'y'), gridSize: number(grid0, 'width'),
        count: Math.round(number(grid0, 'width') / cell) };
      const { count } = geometry;
      if (cellKeys.length !== count * count) {
        cellKeys = Array.from({ length: count * count }, (_, i) => `${i % count},${Math.floor(i / count)}`);
      }
      if (svg) svg.replaceWith(picture);
      else board.prepend(picture);
      svg = picture;
      title = svg.querySelector(':scope > title');
      pieces = new Map();
      for (const piece of picture.querySelectorAll('[data-room]')) {
        const room = piece.getAttribute('data-room');
        if (!pieces.has(room)) pieces.set(room, []);
        pieces.get(room).push(piece);
      }
      marked = null;
      for (const { element } of doors.values()) element?.remove();
      doors = new Map(doorsIntoFog.map((door) => [doorKey(door), { door, element: null }]));
      frame();
      legend.draw(legendText);
    },

    /// Changes the picture on show by what a step changed (the module's
    /// `changes`), its title to `heading`.
    change({ added, gone, doorsOpened, doorsClosed }, heading) {
      for (const room of gone) {
        pieces.get(room)?.forEach((piece) => piece.remove());
        pieces.delete(room);
      }
      if (added.length) addRooms(added);
      for (const key of doorsClosed) removeDoor(key);
      if (doorsOpened.length) {
        const zoomed = zoom();
        for (const door of doorsOpened) placeDoor(door, zoomed);
      }
      if (title && title.textContent !== heading) title.textContent = heading;
      if (added.length || gone.length) legend.changed();
    },

    /// Takes the map away, when there is none to show.
    clear() {
      board.replaceChildren();
      svg = title = groups = marks = roomLayer = geometry = marked = null;
      framed = '';
      pieces = new Map();
      doors = new Map();
      legend.draw();
    },

    /// How many rooms the picture shows, and how many doors lead into the fog.
    roomCount: () => pieces.size,
    doorCount: () => doors.size,

    /// Whether the doors on the map are targets (zoomed in) or marks.
    doorsAreTargets: () => closer,

    /// Zoomed in, the target of a door of the room `cell` into the fog, or null.
    doorOf(room) {
      if (!closer) return null;
      for (const { door, element } of doors.values()) if (door.from === room) return element;
      return null;
    },

    /// What a tap at a point of the screen asks for, as tapOnMap says:
    /// { kind, room } of a step, or null.
    tapAt(clientX, clientY) {
      if (!geometry) return null;
      const at = board.getBoundingClientRect();
      const zoomed = zoom();
      return tapOnMap({ x: (clientX - at.left) / zoomed, y: (clientY - at.top) / zoomed }, geometry, cell,
        { doors: [...doors.values()].map(({ door }) => door), isShown: (room) => pieces.has(room), here });
    },

    /// Marks the shown rooms of the run's `notes` and `pins` (its view's).
    markRooms(notes, pins) {
      roomMarker.draw(roomLayer, roomOf, notes, pins);
    },

    /// With `fill`, the whole map fills the box from now on, which has a
    /// size of its own (the broadcast view's), and the legend is folded;
    /// without, the map fits the box's width again.
    fillBox(fill) {
      filling = fill;
      if (fill) {
        closer = false;
        zoomButton.setAttribute('aria-pressed', 'false');
        legend.fold();
      }
      boxSize = null;
      frame();
    },

    /// "You are here": the room `cell` carries aria-current="location".
    markHere(room) {
      here = room;
      const square = roomOf(room);
      if (marked === square) return;
      marked?.removeAttribute('aria-current');
      square?.setAttribute('aria-current', 'location');
      marked = square;
    },

    /// Scrolls the box so that the shown room `cell` is in view, when it is
    /// not, or with `centre` into the middle of what the numbers leave.
    bringIntoView,
  };
}
