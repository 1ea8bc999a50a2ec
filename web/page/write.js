// The write: the labyrinth of the seed in the field (or of a spoiler file)
// written into a copy of the chosen image, and the result on show, with
// its downloads, its link, what a player copies to share it, and its map
// on request.

import { call, core, facts } from './core.js';
import { afterNextFrame, chosenFile, narrowScreen } from './dom.js';
import { readLayout } from './file_reads.js';
import { copyAddress, copyText, labyrinthAddress, readAddress, todaysLabyrinth } from './links.js';
import { messages, sentence } from './messages.js';

/// The write's form and its result, by their elements; `say` is the status
/// line, `files` the chosen files (setUpFiles), `downloads` the offers
/// (setUpDownloads), and `shown` (labyrinthsOnShow) hears of each labyrinth
/// written. Returns { inputsChanged, seedFromAddress }.
export function setUpWrite(elements, { say, files, downloads, shown }) {
  const { writeForm: form, seed: seedInput, result, stale, download, seedUsed, seedCode, dailyDate, dailyTerm,
    linkLine, permalink, copied, layout: layoutInput, look: lookInput } = elements;

  let written = null;   // what the result on show was written from: { image, text, seed, layout }
  let dailyOf = null;   // the daily labyrinth last asked for: { seed, date }
  let refusedLink = '';  // why the link in the address was refused, until the seed field is typed in
  let writing = false;  // a write is under way; the button stays enabled, and keeps the focus

  function seedIsWrong(message) {
    seedInput.setAttribute('aria-invalid', 'true');
    seedInput.setAttribute('aria-describedby', 'status');
    say(sentence(message), 'error');
    seedInput.focus();
  }

  function seedIsFine() {
    seedInput.removeAttribute('aria-invalid');
    seedInput.removeAttribute('aria-describedby');
  }

  // On a phone the result comes into view and takes the focus, so that the
  // next step is where the eye and the keyboard are. On a wider screen the
  // focus stays on the button, for the next write, and the page scrolls only
  // when the download is out of view.
  function bringResultIntoView() {
    if (narrowScreen()) {
      result.scrollIntoView({ block: 'start' });
      result.focus({ preventScroll: true });
      return;
    }
    const box = download.getBoundingClientRect();
    if (box.top < 0 || box.bottom > window.innerHeight) download.scrollIntoView({ block: 'nearest' });
  }

  // The result on show no longer matches the inputs: "Done." goes, and the
  // result says which files and seed it was written from.
  function inputsChanged() {
    if (!written || result.hidden || !stale.hidden) return;
    const seed = written.seed === '' ? 'a random seed' : `seed ${written.seed}`;
    stale.textContent = `This labyrinth was written from ${written.image} and ${written.text} with ${seed}, before `
      + `your change. Press ${facts().saveCaption} for one from what is chosen now.`;
    stale.hidden = false;
    say('Ready.');
  }

  // The result of a write that worked, in the frame after the click: "Done.",
  // as the window says it when its click returns, with the download in its
  // place, the facts and (when the player wants it) the map.
  function showWritten(done, request) {
    say(facts().statusDone, 'ok');
    performance.clearMarks('labyrinth-done');  // one mark, however many writes
    performance.mark('labyrinth-done');
    downloads.offerAfterWrite(done.downloads, true);
    // A layout has no seed, so no link: the spoiler file is what to share.
    const fromLayout = Boolean(done.layoutName);
    seedUsed.textContent = fromLayout ? `none: the labyrinth of ${done.layoutName}` : done.seed;
    seedCode.textContent = done.seedCode;
    const day = !fromLayout && dailyOf && dailyOf.seed === done.seed ? dailyOf.date : '';
    dailyDate.textContent = day;
    dailyTerm.hidden = dailyDate.hidden = !day;
    linkLine.hidden = fromLayout;
    if (!fromLayout) permalink.href = labyrinthAddress(window.location.href, { seed: done.seed, daily: day });
    copied.textContent = '';
    written = { image: request.imageName, text: request.textName, seed: request.seed, layout: done.layoutName };
    stale.hidden = true;
    result.hidden = false;
    const image = done.downloads.find((d) => d.kind === 'image');
    shown.show('write', { bytes: image.bytes, name: image.name, seedCode: done.seedCode,
      seed: fromLayout ? '' : done.seed });
    return image;
  }

  // Writes the labyrinth of the seed in the field, or with `layoutFile` the
  // labyrinth that a spoiler file describes.
  async function write(layoutFile = null) {
    if (!core()) return say(messages.stillLoading, 'error');
    const seed = layoutFile ? '' : seedInput.value.trim();
    const seedProblem = core().seedProblem(seed);
    if (seedProblem) return seedIsWrong(seedProblem);
    // Whatever the field holds, a refused link writes nothing until the player
    // types a seed of their own.
    if (refusedLink && !layoutFile) return seedIsWrong(refusedLink);
    seedIsFine();
    if (writing) return;
    writing = true;
    downloads.withdraw('write');
    result.hidden = true;
    // The click takes about a millisecond, so the work starts at once rather
    // than after a frame that would show "Creating..." for no longer.
    say(facts().statusCreating);
    form.setAttribute('aria-busy', 'true');
    let showing = false;  // the write's result is on show, downloads and all
    try {
      const names = [files.chosen('image'), files.chosen('text'), chosenFile(lookInput), layoutFile].filter(Boolean)
        .map((f) => f.name);
      const chosen = await files.readChosen();
      if (!chosen.ok) return say(sentence(chosen.message, names), 'error');
      // The daily labyrinth is written by its date, which names its image.
      const daily = !layoutFile && dailyOf && dailyOf.seed === seed ? dailyOf.date : '';
      const request = { seed, daily, image: chosen.image?.bytes, imageName: chosen.image?.name, text: chosen.text?.bytes,
        textName: chosen.text?.name };
      if (layoutFile) {
        const layout = await readLayout(layoutFile);
        if (!layout.ok) return say(sentence(layout.message, names), 'error');
        Object.assign(request, { layout: layout.bytes, layoutName: layoutFile.name });
      }
      const done = call('writeLabyrinth', request);
      if (!done.ok) return say(sentence(done.message, names), 'error');
      const image = showWritten(done, request);
      showing = true;

      // Once that frame is drawn: the new image to download, the result in
      // view (looked for once, with the map laid out in that frame), the
      // address bar (a new address has the browser look at the page's icon
      // again), then the patch and the spoiler (read back out of the new
      // image, as `labyrinth-cli show --json` reads it).
      await afterNextFrame();
      downloads.offerAfterWrite([image]);
      bringResultIntoView();
      if (!done.layoutName) history.replaceState(history.state, '', permalink.href);
      const patched = call('patchOfWrite',
        { image: request.image, imageName: request.imageName, written: image.bytes, seed: done.seed,
          seedCode: done.seedCode, layoutName: done.layoutName, daily });
      if (patched.ok) downloads.offerAfterWrite(patched.downloads);
      const spoiled = call('spoilerOfImage', { image: image.bytes, imageName: image.name });
      if (spoiled.ok) downloads.offerAfterWrite(spoiled.downloads);
    } catch (error) {
      // Whatever went wrong, the status line says so instead of "Creating...".
      if (!showing) {
        downloads.withdraw('write');
        result.hidden = true;
      }
      say(messages.pageBroke(error), 'error');
    } finally {
      writing = false;
      form.removeAttribute('aria-busy');
    }
  }

  // A link fills the seed field (a daily link, with its date's seed); a link
  // that cannot be followed is refused at once, in the status line: one of
  // another revision with both revisions named, its seed going into the field
  // in a form that a write refuses in turn, so that it never becomes another
  // labyrinth; one with a part this page does not read, a repeated key, no
  // seed or date, a bad seed or a bad date likewise. Returns what the
  // address asks for.
  function seedFromAddress() {
    const link = readAddress(window.location.hash);
    refusedLink = link.problem;
    if (!link.names) return link;
    const before = seedInput.value;
    seedInput.value = link.seed;
    if (seedInput.value !== before) {
      seedIsFine();
      inputsChanged();
    }
    if (link.problem) {
      seedInput.setAttribute('aria-invalid', 'true');
      seedInput.setAttribute('aria-describedby', 'status');
      say(sentence(link.problem), 'error');
    } else if (link.daily) {
      dailyOf = { seed: link.seed, date: link.daily };
    }
    return link;
  }

  // Today's labyrinth, by UTC: the seed of the date, filled in and written.
  function writeDaily() {
    refusedLink = '';  // the player asked for the daily labyrinth, whatever the address said
    if (!core()) return say(messages.stillLoading, 'error');
    const daily = todaysLabyrinth();
    if (!daily.ok) return say(sentence(daily.message), 'error');
    dailyOf = { seed: daily.seed, date: daily.date };
    if (seedInput.value !== daily.seed) {
      seedInput.value = daily.seed;
      inputsChanged();
    }
    return write();
  }

  function writeFromLayout() {
    const file = chosenFile(layoutInput);
    if (!file) {
      say('Choose a spoiler file first: the spoiler download of a write, or what labyrinth-cli show --json '
        + 'prints.', 'error');
      return layoutInput.focus();
    }
    return write(file);
  }

  // What a player copies to share the labyrinth on show: its link, or the
  // seed line ("Seed: N  Code: w w w w") of every front end.
  const copyLink = async () => { copied.textContent = await copyAddress(permalink.href); };
  const copySeed = async () => {
    copied.textContent = await copyText(core().seedLine(seedUsed.textContent, seedCode.textContent),
      'Seed and code copied.', messages.shownAbove);
  };

  form.addEventListener('submit', (event) => {
    event.preventDefault();
    write();
  });
  elements.daily.addEventListener('click', writeDaily);
  elements.writeLayout.addEventListener('click', writeFromLayout);
  seedInput.addEventListener('input', () => {
    refusedLink = '';
    seedIsFine();
    inputsChanged();
  });
  elements.copyLink.addEventListener('click', copyLink);
  elements.copySeed.addEventListener('click', copySeed);

  return { inputsChanged, seedFromAddress };
}
