// Puts a picture the module drew into the page by changing only what
// changed since the last one: a tap in the tracker reveals a room or two,
// and a browser that took in the whole picture again would style, lay out
// and paint every room for it, which a phone cannot do within a frame.
//
// The module writes an element per line (a link's badge spans two), and
// each opening tag of a group alone on its line. The lines are the keys: a
// line kept from the last picture keeps its element, a new line of the same
// kind as one gone changes that element in place (the title), any other new
// line makes new elements, a line gone takes its elements away. What to
// change can be worked out ahead of time, while the page is idle; text in
// any other form is put in whole.

/// The namespace of SVG elements made by script.
export const svgNamespace = 'http://www.w3.org/2000/svg';

// The count of groups a line opens and does not close.
const groupBalance = (line) => (line.match(/<g[\s>]/g)?.length ?? 0) - (line.match(/<\/g>/g)?.length ?? 0);
const openingGroup = /^<g[\s>][^<]*$/;

// The pieces between the root's opening and closing tags, as a tree of
// groups ({ key, pieces }) and other pieces ({ key }); null for text this
// does not know how to take apart.
function piecesOf(lines) {
  const root = { pieces: [] };
  const groups = [root];
  let pending = null;
  let depth = 0;
  for (const line of lines) {
    if (!line) continue;
    if (pending !== null) {
      pending += `\n${line}`;
      depth += groupBalance(line);
      if (depth === 0) {
        groups.at(-1).pieces.push({ key: pending });
        pending = null;
      }
    } else if (openingGroup.test(line)) {
      const group = { key: line, pieces: [] };
      groups.at(-1).pieces.push(group);
      groups.push(group);
    } else if (line === '</g>') {
      if (groups.length === 1) return null;
      groups.pop();
    } else {
      depth = groupBalance(line);
      if (depth === 0) groups.at(-1).pieces.push({ key: line });
      else if (depth > 0) pending = line;
      else return null;
    }
  }
  return groups.length === 1 && pending === null ? root.pieces : null;
}

// A piece that is one element with its attributes and text alone:
// { tag, attributes: [[name, value]], text }; null for any other.
const oneElement = /^<([a-z]+)((?:\s[\w:-]+="[^"<>]*")*)\s*(?:\/>|>([^<]*)<\/\1>)$/;
const entities = { amp: '&', lt: '<', gt: '>', quot: '"' };
const unescaped = (text) => text.replace(/&(amp|lt|gt|quot);/g, (_, name) => entities[name]);
function elementOf(key) {
  const [, tag, attributes, text] = oneElement.exec(key) ?? [];
  if (!tag) return null;
  return { tag, text: unescaped(text ?? ''),
    attributes: [...attributes.matchAll(/\s([\w:-]+)="([^"]*)"/g)].map(([, name, value]) => [name, unescaped(value)]) };
}
// What an element is, for an element that changed: its tag and class.
const kindOf = (key) => /^<([a-z]+)(?:\s+class="([^"]*)")?/.exec(key)?.slice(1, 3).join('.') ?? '';

// Makes `node`, the element of an old piece, the element `element` (from
// elementOf) in place: the title changes at every step, and changing what
// changed costs the browser less than parsing it anew.
function patch(node, element) {
  const names = new Set(element.attributes.map(([name]) => name));
  for (const name of node.getAttributeNames()) if (!names.has(name)) node.removeAttribute(name);
  for (const [name, value] of element.attributes) if (node.getAttribute(name) !== value) node.setAttribute(name, value);
  if (node.textContent !== element.text) node.textContent = element.text;
}

// The elements of each piece's text, made in one parse: a comment between
// two pieces tells where one ends.
function make(pieces) {
  const scratch = document.createElementNS(svgNamespace, 'svg');
  scratch.innerHTML = pieces.map((piece) => (piece.pieces ? `${piece.key}</g>` : piece.key)).join('<!---->');
  const made = [[]];
  for (const node of [...scratch.childNodes]) {
    if (node.nodeType === Node.COMMENT_NODE) made.push([]);
    else if (node.nodeType === Node.ELEMENT_NODE) made.at(-1).push(node);
  }
  return made;
}

// How to make an element's children those of `pieces`, from the pieces in
// `old` that it shows: which elements stay, which change in place, which
// are new (made here, not yet placed) and which go. Nothing on the page
// changes, so this can be worked out ahead of time.
function plan(old, pieces) {
  const unused = new Map();
  for (const piece of old) {
    if (!unused.has(piece.key)) unused.set(piece.key, []);
    unused.get(piece.key).push(piece);
  }
  const entries = pieces.map((piece) => ({ piece, same: unused.get(piece.key)?.shift() }));
  // A new piece of one element takes the element of a piece gone of its kind.
  const gone = new Map();
  for (const list of unused.values()) {
    for (const piece of list) {
      if (piece.pieces || piece.nodes.length !== 1 || piece.nodes[0].firstElementChild) continue;
      const kind = kindOf(piece.key);
      if (!gone.has(kind)) gone.set(kind, []);
      gone.get(kind).push(piece);
    }
  }
  for (const entry of entries) {
    if (entry.same || entry.piece.pieces) continue;
    const candidates = gone.get(kindOf(entry.piece.key));
    const element = candidates?.length && elementOf(entry.piece.key);
    if (!element || candidates[0].nodes[0].localName !== element.tag) continue;
    entry.same = candidates.shift();
    const list = unused.get(entry.same.key);
    list.splice(list.indexOf(entry.same), 1);
    entry.patch = element;
  }
  const fresh = entries.filter(({ same }) => !same);
  const made = fresh.length ? make(fresh.map(({ piece }) => piece)) : [];
  fresh.forEach((entry, i) => { entry.nodes = made[i]; });
  for (const entry of entries) {
    if (entry.same) entry.nodes = entry.same.nodes;
    if (entry.piece.pieces) entry.inside = plan(entry.same?.pieces ?? [], entry.piece.pieces);
  }
  return { entries, gone: [...unused.values()].flat() };
}

// Carries out a plan on `parent`; returns its pieces, each with its
// elements (and its own pieces, for a group).
function apply(parent, { entries, gone }) {
  for (const piece of gone) piece.nodes.forEach((node) => node.remove());
  let next = parent.firstChild;
  return entries.map(({ piece, nodes, patch: element, inside }) => {
    if (element) patch(nodes[0], element);
    for (const node of nodes) {
      if (node === next) next = next.nextSibling;
      else parent.insertBefore(node, next);
    }
    const result = { key: piece.key, nodes };
    if (inside) result.pieces = apply(nodes[0], inside);
    return result;
  });
}

/// The SVG document `text` (from its `<svg` on) taken apart for showSvg,
/// which can be done ahead of time.
export function parseSvg(text) {
  const lines = text.split('\n');
  const pieces = lines.at(-1) === '' && lines.at(-2) === '</svg>' ? piecesOf(lines.slice(1, -2)) : null;
  return { text, open: lines[0], pieces };
}

/// The pictures shown in `container`, whose other children stay: `plan`
/// works out ahead of time how `show` would change what it shows into the
/// document `parsed` (from parseSvg), which holds as long as nothing else is
/// shown there first; `show` shows a document from parseSvg or `plan` and
/// returns its root element.
export function svgSync(container) {
  let last = null;  // { open, root, pieces } of the picture on show
  return {
    plan(parsed) {
      const fits = parsed.pieces && last && last.open === parsed.open;
      return { ...parsed, plan: fits ? { base: last, steps: plan(last.pieces, parsed.pieces) } : null };
    },
    show(shown) {
      const { text, open, pieces } = shown;
      if (!pieces || !last || last.open !== open || !last.root.isConnected || last.root.parentNode !== container) {
        last?.root.remove();
        // Text this cannot take apart is shown whole, and taken in whole next time.
        const [[root]] = make([{ key: pieces ? `${open}</svg>` : text.slice(0, text.lastIndexOf('</svg>') + 6) }]);
        container.prepend(root);
        last = { open: pieces ? open : null, root, pieces: pieces ? apply(root, plan([], pieces)) : [] };
        return root;
      }
      const steps = shown.plan?.base === last ? shown.plan.steps : plan(last.pieces, pieces);
      last = { open, root: last.root, pieces: apply(last.root, steps) };
      return last.root;
    },
  };
}
