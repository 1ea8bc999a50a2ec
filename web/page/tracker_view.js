// How the tracker's map sits on a screen: at its own size, where every
// door is a target of 24 CSS pixels, or ("Whole map") the whole grid fitted
// to the width, where a tap comes closer around the tapped point; with the row and column numbers held at the edges of the box while
// it scrolls, and the legend folded away below it. The map's geometry is
// read from the picture the module drew, never restated here.

import { $ } from './messages.js';

const box = $('tracker-map');
const board = $('tracker-board');
const legend = $('tracker-legend');
const zoomButton = $('tracker-zoom');
let whole = false;      // the whole grid fitted to the width, doors hidden
let geometry = null;    // of the map on show: { width, height, gridX, gridY, gridSize, cell, count }
let onZoom = () => {};  // what the tracker does when the view changes (brings "you are here" into view)

let legendText = '';    // the legend's group of the map on show, drawn only while unfolded

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

/// Puts the module's picture of the run into the board, hidden from
/// assistive technology (the status and the doors say what it shows). Its
/// row and column numbers give way to the view's own, and its legend is
/// kept aside for the fold: a tap then parses and paints only the grid.
export function showPicture(svg) {
  const [withoutNumbers] = cutGroup(svg.slice(svg.indexOf('<svg')), 'coordinates');
  const [grid, legendGroup] = cutGroup(withoutNumbers, 'legend');
  legendText = legendGroup;
  board.innerHTML = grid;
  board.querySelector('svg')?.setAttribute('aria-hidden', 'true');
}
// The width of the map's part that is shown: the row numbers' margin, the
// grid, and a sliver beyond it (the legend begins a half margin further).
const shownWidth = ({ gridX, gridSize }) => gridX + gridSize + gridX / 4;

// The picture's size, and where its grid of cells lies in it.
function measure(svg) {
  const grid = svg.querySelector('rect.grid');
  const room = svg.querySelector('rect.room');
  const [, , width, height] = svg.getAttribute('viewBox').split(/\s+/).map(Number);
  const cell = number(room, 'width');
  return { width, height, gridX: number(grid, 'x'), gridY: number(grid, 'y'), gridSize: number(grid, 'width'),
    cell, count: Math.round(number(grid, 'width') / cell) };
}

/// Pixels on screen per pixel of the map.
export const zoom = () => (whole && geometry ? box.clientWidth / shownWidth(geometry) : 1);

// The numbers of the rows and columns as strips that stay at the box's top
// and left edges while it scrolls.
function addNumbers() {
  const { gridX, gridY, cell, count } = geometry;
  const scale = zoom();
  const strip = (className) => Object.assign(document.createElement('div'), { className: `numbers ${className}` });
  const columns = strip('columns');
  const rows = strip('rows');
  columns.style.height = `${gridY * scale}px`;
  rows.style.width = `${gridX * scale}px`;
  for (let i = 0; i < count; ++i) {
    const column = Object.assign(document.createElement('span'), { textContent: String(i) });
    column.style.left = `${(gridX + (i + 0.5) * cell) * scale}px`;
    columns.append(column);
    const row = Object.assign(document.createElement('span'), { textContent: String(i) });
    row.style.top = `${(gridY + (i + 0.5) * cell) * scale}px`;
    rows.append(row);
  }
  // The corner where the strips meet hides whatever number scrolls under it.
  const corner = strip('corner');
  Object.assign(corner.style, { width: rows.style.width, height: columns.style.height });
  board.append(columns, rows, corner);
  holdNumbers();
}

// Where the box is scrolled to, as its last scroll event said: reading it
// from the box while a new map waits to be laid out would lay it out then,
// and again for each later read, within one tap.
const scrolled = { left: 0, top: 0 };

/// Scrolls the box by `dx`, `dy` pixels; the number strips follow at once,
/// not a frame later with the scroll event.
export function scrollBy(dx, dy) {
  box.scrollLeft += dx;
  box.scrollTop += dy;
  Object.assign(scrolled, { left: box.scrollLeft, top: box.scrollTop });
  holdNumbers();
}

function holdNumbers() {
  const columns = board.querySelector('.numbers.columns');
  const rows = board.querySelector('.numbers.rows');
  if (columns) columns.style.transform = `translateY(${scrolled.top}px)`;
  if (rows) rows.style.transform = `translateX(${scrolled.left}px)`;
  const corner = board.querySelector('.numbers.corner');
  if (corner) corner.style.transform = `translate(${scrolled.left}px, ${scrolled.top}px)`;
}

// The legend: the picture's own, the part right of the grid, shown only
// while the player has it unfolded.
function drawLegend() {
  const svg = board.querySelector('svg');
  const place = $('tracker-legend-map');
  if (!legend.open || !svg || !geometry) return place.replaceChildren();
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
  place.replaceChildren(copy);
}

/// Frames the picture the module just drew into the board: the grid alone,
/// at the zoom of the view; then places `doors` ({ x, y } in the map's
/// pixels, each with its button) on it.
export function frame(doors) {
  const svg = board.querySelector('svg');
  if (!svg) return;
  geometry = measure(svg);
  const width = shownWidth(geometry);
  const scale = zoom();
  svg.setAttribute('viewBox', `0 0 ${width} ${geometry.height}`);
  svg.setAttribute('width', String(width * scale));
  svg.setAttribute('height', String(geometry.height * scale));
  for (const { x, y, button } of doors) {
    button.style.left = `${x * scale}px`;
    button.style.top = `${y * scale}px`;
  }
  board.classList.toggle('whole', whole);
  addNumbers();
  drawLegend();
}

/// Sets up the view's controls: `zoomed` runs after every change of zoom;
/// `redraw` draws the map again.
export function setUpView({ zoomed, redraw }) {
  onZoom = zoomed;
  box.addEventListener('scroll', () => {
    Object.assign(scrolled, { left: box.scrollLeft, top: box.scrollTop });
    holdNumbers();
  }, { passive: true });
  legend.addEventListener('toggle', drawLegend);
  // The legend is folded on a phone, where it would push the map away.
  legend.open = !window.matchMedia('(max-width: 40rem)').matches;
  zoomButton.addEventListener('click', () => {
    whole = !whole;
    zoomButton.setAttribute('aria-pressed', String(whole));
    redraw();
    onZoom();
  });
}

/// In the whole map a tap on the map comes closer, around the tapped point.
export function tapWhole(event) {
  if (!whole || !geometry) return false;
  const at = board.getBoundingClientRect();
  const scale = zoom();
  const [x, y] = [(event.clientX - at.left) / scale, (event.clientY - at.top) / scale];
  zoomButton.click();
  scrollBy(x - box.clientWidth / 2 - box.scrollLeft, y - box.clientHeight / 2 - box.scrollTop);
  return true;
}
