// "Look at an image": what `show` and `verify` say of an image that holds a
// labyrinth, its spoiler, its map on request, and the tracker on it.

import { call, core, moduleReady } from './core.js';
import { chosenFile, putFile } from './dom.js';
import { kindOf } from './file_reads.js';
import { messages, sentence } from './messages.js';

/// The input `look`, the seed it should hold `lookSeed` and the place of
/// what is said, `lookResult`; `read` reads a file for its slot (a
/// fileReader), `downloads` offers the spoiler (setUpDownloads), `maps`
/// takes the map's place (setUpMaps), and `shown` (labyrinthsOnShow) hears
/// of the labyrinth looked at. Returns { droppedOnLook }.
export function setUpLook({ look: lookInput, lookSeed, lookResult }, { read, downloads, maps, shown }) {
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
    paragraph('').append(toggle);
    const figure = Object.assign(document.createElement('figure'), { id: 'look-map-figure', hidden: true });
    const box = Object.assign(document.createElement('div'), { id: 'look-map', className: 'map' });
    // Scrolls sideways on a narrow screen: the keyboard reaches it by its name.
    Object.assign(box, { tabIndex: 0 });
    box.setAttribute('role', 'region');
    box.setAttribute('aria-label', `Map of ${file.name}`);
    // The route to an area, as on the write's map.
    const routeLine = document.createElement('p');
    const label = Object.assign(document.createElement('label'), { htmlFor: 'look-route-area', textContent: 'Route on the map' });
    const route = Object.assign(document.createElement('select'), { id: 'look-route-area' });
    route.add(new Option('None', ''));
    const said = Object.assign(document.createElement('span'), { id: 'look-route-said', className: 'hint' });
    said.setAttribute('aria-live', 'polite');
    routeLine.append(label, ' ', route, ' ', said);
    figure.append(routeLine, box);
    lookResult.append(figure);
    maps.placeLook({ toggle, figure, box, route, said });
  }

  async function look() {
    downloads.withdraw('look');
    lookResult.replaceChildren();
    shown.show('look', null);
    const file = chosenFile(lookInput);
    if (!file) return;
    if (!core()) {
      lookResult.textContent = 'The page is still loading; choose the image again in a moment.';
      return;
    }
    const seed = lookSeed.value.trim();
    const seedProblem = core().seedProblem(seed);
    lookSeed.toggleAttribute('aria-invalid', Boolean(seedProblem));
    if (seedProblem) return paragraph(sentence(seedProblem), 'error');
    const bytes = await read(file, 'image');
    const looked = bytes.ok ? call('lookAtImage', { image: bytes.bytes, imageName: file.name, seed }) : bytes;
    if (!looked.ok) return paragraph(sentence(looked.message, [file.name]), 'error');

    paragraph(core().seedCodeLine(looked.seedCode));
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
      downloads.offer('look', download, link);
    }
    // The map, as after a write, only when the player wants to see it.
    addMapPlace(file);
    shown.show('look', { bytes: bytes.bytes, name: file.name, seedCode: looked.seedCode, svg: looked.map });
  }

  const lookAgain = () => look().catch((error) => {
    lookResult.textContent = messages.pageBroke(error);
  });
  lookInput.addEventListener('change', lookAgain);
  lookSeed.addEventListener('change', lookAgain);

  return {
    /// A drop on the Look section: the first image dropped is looked at.
    async droppedOnLook(files) {
      await moduleReady();
      let image = null;
      for (const file of files) if (!image && await kindOf(file) === 'image') image = file;
      const file = image || files[0];
      putFile(lookInput, file);
      await look();
      const others = [...files].filter((other) => other !== file).map((other) => other.name);
      if (others.length) {
        const note = document.createElement('p');
        note.className = 'hint';
        note.textContent = `Not looked at: ${others.join(', ')} (one image at a time).`;
        lookResult.append(note);
      }
    },
  };
}
