// Small helpers of the page's views, with no state and no elements of
// their own: SVG elements, the status line, file inputs, frames, and what
// the style sheet says of the screen.

/// The namespace of SVG elements made by script.
export const svgNamespace = 'http://www.w3.org/2000/svg';

/// An SVG element of `tag` with `attributes` ({ name: value }).
export function svgElement(tag, attributes = {}) {
  const element = document.createElementNS(svgNamespace, tag);
  for (const [name, value] of Object.entries(attributes)) element.setAttribute(name, String(value));
  return element;
}

/// The status line in `element`: `say(text, kind)`, kind "", "ok" or "error".
export function statusLine(element) {
  return (text, kind = '') => {
    element.textContent = text;
    element.className = kind;
  };
}

/// Puts `text` into `element` when it holds other text: a text that stays
/// as it was is not written again, so the browser has nothing to redo.
export const showText = (element, text) => element.textContent !== text && (element.textContent = text);

/// The file chosen in a file input, or null.
export const chosenFile = (input) => input.files[0] || null;

/// Puts a file into a file input, as if chosen there (null empties it).
export function putFile(input, file) {
  const transfer = new DataTransfer();
  if (file) transfer.items.add(file);
  input.files = transfer.files;
}

/// Whether the page is laid out for a narrow screen: the style sheet's
/// --layout, set where its media query for a phone applies, which is
/// written there alone.
export const narrowScreen = () =>
  getComputedStyle(document.documentElement).getPropertyValue('--layout').trim() === 'narrow';

/// A length the style sheet gives `element` as the custom property `name`, in CSS pixels.
export const cssPixels = (element, name) => parseFloat(getComputedStyle(element).getPropertyValue(name));

/// Runs `then` once the browser has nothing more urgent to do (within half
/// a second at most): after the frame it is drawing, and what follows it.
/// Returns what cancelIdle takes to call it off.
export const whenIdle = (then) => ('requestIdleCallback' in window ? requestIdleCallback(() => then(), { timeout: 500 })
  : setTimeout(then, 50));
export const cancelIdle = (waiting) => ('cancelIdleCallback' in window ? cancelIdleCallback(waiting)
  : clearTimeout(waiting));

/// After the next frame is drawn, once the browser has nothing more urgent
/// to do: for work that must not hold up the frame that shows the new
/// labyrinth, nor what the browser does right after it (within half a
/// second at most).
export const afterNextFrame = () => new Promise((resolve) => requestAnimationFrame(() => {
  if ('requestIdleCallback' in window) requestIdleCallback(() => resolve(), { timeout: 500 });
  else setTimeout(resolve);
}));
