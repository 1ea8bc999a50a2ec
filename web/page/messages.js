// How the page speaks: the module's messages turned into sentences, counts
// in words, and the page's own sentences that more than one part of it
// says. Nothing here touches the page; the views put the words in place.

/// A message as a sentence: a capital letter first (unless it starts with a
/// file's own name, one of `names`, which keeps its spelling) and a full
/// stop at the end.
export function sentence(text, names = []) {
  let out = String(text).trim();
  const byName = names.some((name) => name && out.startsWith(`${name}:`));
  if (!byName && /^[a-z]/.test(out)) out = out[0].toUpperCase() + out.slice(1);
  if (!/[.!?]$/.test(out)) out += '.';
  return out;
}

/// "1 room", "2 rooms".
export const count = (n, one, many) => `${n} ${n === 1 ? one : many}`;

/// The page's own sentences that more than one of its parts says.
export const messages = Object.freeze({
  /// A fault of the page's own script, never of the module, which reports its own failures as values.
  pageBroke: (error) => `Something went wrong in the page: ${error?.message || error}.`,
  stillLoading: 'The page is still loading; try again in a moment.',
  linkCopied: 'Link copied.',
  linkInAddressBar: 'the address bar shows the link.',
  shownAbove: 'they are shown above.',
  /// Where the browser does not let the page copy: where to find it `instead`.
  copyRefused: (instead) => `This browser did not let the page copy; ${instead}`,
});
