// "Look at an image": what `show` and `verify` say of an image that holds a
// labyrinth, its spoiler, its map on request, and the tracker on it.

import { call, core, moduleReady } from './core.js';
import { offer, withdrawDownloads } from './downloads.js';
import { chosen, kindOf, readFile, setFile } from './files.js';
import { offerRoutes, showImage, toggleMap } from './maps.js';
import { $, sentence } from './messages.js';
import { offerTracking } from './tracker.js';

const lookInput = $('look');
const lookSeed = $('look-seed');
const lookResult = $('look-result');

function paragraph(text, className = '') {
  const p = document.createElement('p');
  p.textContent = text;
  if (className) p.className = className;
  lookResult.append(p);
  return p;
}

// The toggle and the figure of the looked-at image's map, hidden until asked.
function addMapPlace(file) {
  const toggle = Object.assign(document.createElement('button'),
    { id: 'look-spoiler-toggle', type: 'button', className: 'plain' });
  toggle.setAttribute('aria-controls', 'look-map-figure');
  toggle.addEventListener('click', () => toggleMap('look'));
  paragraph('').append(toggle);
  const figure = Object.assign(document.createElement('figure'), { id: 'look-map-figure', hidden: true });
  const map = Object.assign(document.createElement('div'), { id: 'look-map', className: 'map' });
  // Scrolls sideways on a narrow screen: the keyboard reaches it by its name.
  Object.assign(map, { tabIndex: 0 });
  map.setAttribute('role', 'region');
  map.setAttribute('aria-label', `Map of ${file.name}`);
  // The route to an area, as on the write's map.
  const routeLine = document.createElement('p');
  const label = Object.assign(document.createElement('label'), { htmlFor: 'look-route-area', textContent: 'Route on the map' });
  const select = Object.assign(document.createElement('select'), { id: 'look-route-area' });
  select.add(new Option('None', ''));
  offerRoutes(select, 'look');
  const said = Object.assign(document.createElement('span'), { id: 'look-route-said', className: 'hint' });
  said.setAttribute('aria-live', 'polite');
  routeLine.append(label, ' ', select, ' ', said);
  figure.append(routeLine, map);
  lookResult.append(figure);
}

async function look() {
  withdrawDownloads('look');
  lookResult.replaceChildren();
  showImage('look', null);
  const file = chosen(lookInput);
  if (!file) return;
  if (!core()) {
    lookResult.textContent = 'The page is still loading; choose the image again in a moment.';
    return;
  }
  const seed = lookSeed.value.trim();
  const seedProblem = core().seedProblem(seed);
  lookSeed.toggleAttribute('aria-invalid', Boolean(seedProblem));
  if (seedProblem) return paragraph(sentence(seedProblem), 'error');
  const read = await readFile(file, 'image');
  const looked = read.ok ? call('lookAtImage', { image: read.bytes, imageName: file.name, seed }) : read;
  if (!looked.ok) return paragraph(sentence(looked.message, [file.name]), 'error');

  paragraph(`Seed code: ${looked.seedCode}`);
  paragraph(sentence(looked.verdict, [file.name]), looked.complete ? 'ok' : 'error');
  if (looked.problems.length) {
    const list = document.createElement('ul');
    list.className = 'problems';
    for (const problem of looked.problems) list.append(Object.assign(document.createElement('li'), { textContent: problem }));
    lookResult.append(list);
  }
  for (const download of looked.downloads) {
    const link = document.createElement('a');
    link.textContent = `Spoiler (JSON): ${download.name}`;
    paragraph('').append(link);
    offer('look', download, link);
  }
  // The map, as after a write, only when the player wants to see it.
  addMapPlace(file);
  const image = { bytes: read.bytes, name: file.name, seedCode: looked.seedCode, svg: looked.map };
  showImage('look', image);
  offerTracking(image);
}

// A drop on the Look section: the first image dropped is looked at.
export async function droppedOnLook(files) {
  await moduleReady();
  let image = null;
  for (const file of files) if (!image && await kindOf(file) === 'image') image = file;
  const file = image || files[0];
  setFile(lookInput, file);
  await look();
  const others = [...files].filter((other) => other !== file).map((other) => other.name);
  if (others.length) {
    const note = document.createElement('p');
    note.className = 'hint';
    note.textContent = `Not looked at: ${others.join(', ')} (one image at a time).`;
    lookResult.append(note);
  }
}

export function watchLooking() {
  const lookAgain = () => look().catch((error) => {
    lookResult.textContent = `Something went wrong in the page: ${error.message || error}.`;
  });
  lookInput.addEventListener('change', lookAgain);
  lookSeed.addEventListener('change', lookAgain);
}
