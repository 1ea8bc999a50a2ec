// Writes the page as it is served: index.html with its style sheet and its
// script written into it, the script being the module's glue (labyrinth.js)
// followed by the page's own ES modules, app.js and those it imports. A
// cold load then waits for the page alone, not for a dozen more files,
// before it lays the page out and runs the script, while the module's code
// (labyrinth.wasm, preloaded) arrives.
//
// The page's Content-Security-Policy lets exactly these two blocks run, by
// their SHA-256 digests: no other inline script or style is allowed.
//
// What the page shows of the module's facts before any script runs (and
// with none: the name of the text file, how much of it a write reads, the
// button's caption) is written into the page from the module itself: each
// {{name}} in INDEX becomes about().name, which the module (GLUE, with
// labyrinth.wasm beside it) tells when it is loaded here, under Node.
//   node bundle_page.mjs INDEX STYLE GLUE APP OUT
//
// The page's modules are joined as they would run: each imported module
// once, before those that import it, in the order of the imports. Each
// becomes a function whose result is a frozen object of its exports, and
// each import a `const` taken from it, so a module's own names stay its
// own. The forms the page uses are the only ones taken: `import { a, b as
// c } from './x.js';` and `export` before a function, class or `const`; a
// module that exports a `let` or `var` (state that another module could see
// change) or uses any other form stops the build.

import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const [indexFile, styleFile, glueFile, appFile, outFile] = process.argv.slice(2);
if (!outFile) {
  console.error('usage: node bundle_page.mjs INDEX STYLE GLUE APP OUT');
  process.exit(2);
}
const read = (file) => fs.readFileSync(file, 'utf8');

// `text` with `what` replaced once by `by`: a page or a glue that no longer
// holds `what` exactly once stops the build instead of giving a page that
// quietly loads the wrong thing.
function replaceOnce(text, what, by, file) {
  const at = text.indexOf(what);
  if (at < 0 || text.indexOf(what, at + 1) >= 0)
    throw new Error(`${file}: expected ${JSON.stringify(what)} exactly once`);
  return text.slice(0, at) + by + text.slice(at + what.length);
}

// What goes inside an element must not end it early.
function refuseEnd(text, tag, file) {
  if (text.toLowerCase().includes(`</${tag}`)) throw new Error(`${file} holds "</${tag}", which would end the page's <${tag}>`);
  return text;
}

// The module glue's import, which the glue itself answers in the bundle.
const glueImport = /^import createLabyrinthModule from '[./]*labyrinth\.js';\n/m;
const importForm = /^import\s*\{([^}]*)\}\s*from\s*'(\.{1,2}\/[^']+\.js)';[ \t]*\n/gm;
const exportForm = /^export\s+(?:async\s+)?(?:function\*?|class|const)\s+([A-Za-z_$][\w$]*)/gm;

// The script of the page's modules, from `entry`.
function bundleModules(entry) {
  const done = new Map();  // file -> the name its exports go by
  const visiting = new Set();
  const parts = [];
  let glueImported = false;
  const visit = (file, isEntry) => {
    if (done.has(file)) return done.get(file);
    if (visiting.has(file)) throw new Error(`${file}: its imports lead back to it`);
    visiting.add(file);
    let text = read(file);
    if (glueImport.test(text)) {
      text = text.replace(glueImport, '');
      glueImported = true;
    }
    text = text.replace(importForm, (whole, names, from) => {
      const source = visit(path.resolve(path.dirname(file), from), false);
      const bindings = names.split(',').map((name) => name.trim()).filter(Boolean).map((name) => {
        const [imported, local] = name.split(/\s+as\s+/);
        return local ? `${imported}: ${local}` : imported;
      });
      return `const { ${bindings.join(', ')} } = ${source};\n`;
    });
    const exported = [...text.matchAll(exportForm)].map((match) => match[1]);
    text = text.replace(exportForm, (whole) => whole.replace(/^export\s+/, ''));
    const stray = /^(?:import|export)\b.*$/m.exec(text);
    if (stray) {
      throw new Error(`${file}: the bundle does not take ${JSON.stringify(stray[0])}`
        + ' (a module exports functions, classes and constants; its state changes only through its functions)');
    }
    visiting.delete(file);
    if (isEntry) {
      if (exported.length) throw new Error(`${file}: the page's entry exports nothing`);
      parts.push(text);
      return null;
    }
    const name = `module$${path.basename(file, '.js').replace(/\W/g, '_')}$${done.size}`;
    parts.push(`const ${name} = (() => {\n${text}return Object.freeze({ ${exported.join(', ')} });\n})();\n`);
    done.set(file, name);
    return name;
  };
  visit(path.resolve(entry), true);
  if (!glueImported) throw new Error(`${entry}: none of the page's modules imports the module's glue`);
  return parts.join('\n');
}

// The module's facts, as the page reads them with about().
async function moduleFacts(glue) {
  const { default: createLabyrinthModule } = await import(pathToFileURL(path.resolve(glue)).href);
  const wasmBinary = fs.readFileSync(path.join(path.dirname(glue), 'labyrinth.wasm'));
  return (await createLabyrinthModule({ wasmBinary })).about();
}

// `page` with each {{name}} replaced by the fact of that name, as HTML
// text; a name the module does not know stops the build.
function fillFacts(page, facts, file) {
  const escaped = (text) => text.replace(/[&<>"]/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' })[c]);
  return page.replace(/\{\{(\w*)\}\}/g, (whole, name) => {
    const fact = facts[name];
    if (typeof fact !== 'string' && typeof fact !== 'number') throw new Error(`${file}: the module has no fact ${whole}`);
    return escaped(String(fact));
  }).replace(/\{\{.*$/m, (stray) => {
    throw new Error(`${file}: ${JSON.stringify(stray)} names no fact as {{name}} does`);
  });
}

const digest = (text) => `'sha256-${crypto.createHash('sha256').update(text, 'utf8').digest('base64')}'`;

try {
  const style = refuseEnd(read(styleFile), 'style', styleFile);
  // The glue's export and the page's import of it become one module.
  const glue = replaceOnce(read(glueFile), 'export default createLabyrinthModule;', '', glueFile);
  const app = bundleModules(appFile);
  const script = refuseEnd(`${glue}\n${app}\n//# sourceURL=labyrinth-page.js\n`, 'script', appFile);

  // The facts and the policy first, while the page holds nothing but its own markup.
  let page = fillFacts(read(indexFile), await moduleFacts(glueFile), indexFile);
  page = replaceOnce(page, "script-src 'self'", `script-src 'self' ${digest(script)}`, indexFile);
  page = replaceOnce(page, "style-src 'self'", `style-src 'self' ${digest(style)}`, indexFile);
  page = replaceOnce(page, '<link rel="modulepreload" href="labyrinth.js">\n', '', indexFile);
  page = replaceOnce(page, '<link rel="stylesheet" href="style.css">', `<style>${style}</style>`, indexFile);
  page = replaceOnce(page, '<script type="module" src="app.js" blocking="render"></script>',
    `<script type="module" blocking="render">${script}</script>`, indexFile);
  fs.writeFileSync(outFile, page);
} catch (error) {
  console.error(`bundle_page: ${error.message}`);
  process.exit(1);
}
