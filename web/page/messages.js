// How the page speaks: the status line under the Write button, and the
// module's messages turned into sentences.

export const $ = (id) => document.getElementById(id);

const status = $('status');

export function setStatus(text, kind = '') {
  status.textContent = text;
  status.className = kind;
}

// A message as a sentence: a capital letter first (unless it starts with a
// file's own name, which keeps its spelling) and a full stop at the end.
export function sentence(text, names = []) {
  let out = String(text).trim();
  const byName = names.some((name) => name && out.startsWith(`${name}:`));
  if (!byName && /^[a-z]/.test(out)) out = out[0].toUpperCase() + out.slice(1);
  if (!/[.!?]$/.test(out)) out += '.';
  return out;
}

// "1 room", "2 rooms".
export const count = (n, one, many) => `${n} ${n === 1 ? one : many}`;

// After the next frame is drawn, once the browser has nothing more urgent to
// do: for work that must not hold up the frame that shows the new labyrinth,
// nor what the browser does right after it (within half a second at most).
export const afterNextFrame = () => new Promise((resolve) => requestAnimationFrame(() => {
  if ('requestIdleCallback' in window) requestIdleCallback(() => resolve(), { timeout: 500 });
  else setTimeout(resolve);
}));
