// The module's SVG text made into elements: the parts of a picture cut out
// by their group, and the few pieces of a step (a room's square, walls,
// marker, number and links) made element by element, which costs a phone
// less than the browser's parser for so few.

import { svgNamespace } from './dom.js';

/// `svg` without its group of class `name` (groups nest), and that group.
export function cutGroup(svg, name) {
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

// The form of the pieces as the module writes them: each element with its
// attributes in double quotes and at most a text of its own, groups of
// such elements, and lines between them.
const pieceForm = /<(\/?)([a-z]+)((?:\s+[a-z][\w-]*="[^"<>]*")*)\s*(\/?)>|([^<>]+)/gy;
const attributeForm = /([a-z][\w-]*)="([^"]*)"/g;
const entities = { amp: '&', lt: '<', gt: '>', quot: '"' };
const unescaped = (text) => (text.includes('&') ? text.replace(/&(amp|lt|gt|quot);/g, (_, name) => entities[name]) : text);

/// The elements of the pieces' text `text` made one by one, in a fragment;
/// null for text in any other form, which is left to the parser.
export function piecesMade(text) {
  const fragment = document.createDocumentFragment();
  const open = [fragment];
  let read = 0;
  for (const [whole, closing, tag, attributes, empty, words] of text.matchAll(pieceForm)) {
    read += whole.length;
    if (words !== undefined) {
      if (open.length > 1) open.at(-1).append(unescaped(words));
      else if (words.trim()) return null;
    } else if (closing) {
      if (open.length === 1 || open.pop().localName !== tag) return null;
    } else {
      const element = document.createElementNS(svgNamespace, tag);
      for (const [, name, value] of attributes.matchAll(attributeForm)) element.setAttribute(name, unescaped(value));
      open.at(-1).append(element);
      if (!empty) open.push(element);
    }
  }
  return read === text.length && open.length === 1 ? fragment : null;
}
