// Writes the page as it is served: index.html with its style sheet and its
// script written into it, the script being the module's glue (labyrinth.js)
// followed by the page's own app.js. A cold load then waits for the page
// alone, not for three more files, before it lays the page out and runs the
// script, while the module's code (labyrinth.wasm, preloaded) arrives.
//
// The page's Content-Security-Policy lets exactly these two blocks run, by
// their SHA-256 digests: no other inline script or style is allowed.
//   node bundle_page.mjs INDEX STYLE GLUE APP OUT

import crypto from 'node:crypto';
import fs from 'node:fs';

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

const digest = (text) => `'sha256-${crypto.createHash('sha256').update(text, 'utf8').digest('base64')}'`;

try {
  const style = refuseEnd(read(styleFile), 'style', styleFile);
  // The glue's export and the page's import of it become one module.
  const glue = replaceOnce(read(glueFile), 'export default createLabyrinthModule;', '', glueFile);
  const app = replaceOnce(read(appFile), "import createLabyrinthModule from './labyrinth.js';", '', appFile);
  const script = refuseEnd(`${glue}\n${app}\n//# sourceURL=labyrinth-page.js\n`, 'script', appFile);

  // The policy first, while the page holds nothing but its own markup.
  let page = read(indexFile);
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
