// The files the page offers for download, by section ("write", "look"):
// each offer holds an object URL, released when the section takes it back;
// and files saved at once, at a click on a button.

/// The offers, with the links of the write's result for each kind of file:
/// `image` (#download), `patch` and `spoiler`.
export function setUpDownloads({ image, patch, spoiler }) {
  const offered = { write: [], look: [] };
  const linkForKind = { image, patch, spoiler };
  let saved = null;  // the object URL of the file last saved at once, released at the next

  function offer(section, download, link) {
    const url = URL.createObjectURL(new Blob([download.bytes], { type: download.type }));
    offered[section].push(url);
    link.href = url;
    link.download = download.name;
    link.hidden = false;
    link.classList.remove('pending');
  }

  return {
    /// Takes back what a section offered: no download stays on show after a
    /// failure. The links go at once; their memory is released after the click.
    withdraw(section) {
      const urls = offered[section];
      offered[section] = [];
      setTimeout(() => urls.forEach((url) => URL.revokeObjectURL(url)));
      if (section === 'write') {
        for (const link of Object.values(linkForKind)) {
          link.hidden = true;
          link.removeAttribute('href');
        }
      }
    },

    /// Offers `download` ({ bytes, type, name }) by `link`, for `section`.
    offer,

    /// Hands the browser `download` ({ bytes, type, name }) to save now, as
    /// a click on a link to it would.
    save({ bytes, type, name }) {
      if (saved) URL.revokeObjectURL(saved);
      saved = URL.createObjectURL(new Blob([bytes], { type }));
      Object.assign(document.createElement('a'), { href: saved, download: name }).click();
    },

    /// Offers the downloads of a write by their links. With `placeOnly`, a
    /// link takes its place and name but no file yet (it stays invisible):
    /// handing the browser the file's bytes takes a good millisecond, which
    /// the frame that says "Done." need not wait for.
    offerAfterWrite(downloads, placeOnly = false) {
      for (const download of downloads) {
        const link = linkForKind[download.kind];
        if (!link) continue;
        if (placeOnly) Object.assign(link, { download: download.name, hidden: false }).classList.add('pending');
        else offer('write', download, link);
        if (download.kind === 'image') link.textContent = `Download ${download.name}`;
        if (download.kind === 'patch') link.textContent = `Patch to share it (BPS): ${download.name}`;
      }
    },
  };
}
