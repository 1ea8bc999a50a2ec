// The WebAssembly module: the same driver as the window and labyrinth-cli.
// What the core knows (file names, messages, the link's form, room names)
// the page asks it for; nothing here restates it.

import createLabyrinthModule from '../labyrinth.js';

// Marks of how far a load has come, which make bench-web reads: this script
// running, the module compiled, and (in app.js) the page ready.
performance.mark('labyrinth-script');

let labyrinth = null;  // the module, once loaded
let about = null;      // its facts: version, revision, status texts, read sizes
let loading = null;    // the load under way or done
const reloaded = [];   // what to do when a fresh module has replaced a broken one

// The module's code is fetched and compiled once, as soon as this script
// runs, and kept: a fresh module after a failure is made from it without
// fetching anything again. A host that serves the .wasm file under another
// type than application/wasm gets the slower way, from its bytes.
const wasmCode = WebAssembly.compileStreaming(fetch('labyrinth.wasm')).catch(
  () => fetch('labyrinth.wasm').then((response) => response.arrayBuffer()).then((bytes) => WebAssembly.compile(bytes)));

async function load() {
  const code = await wasmCode;
  performance.mark('labyrinth-compiled');
  labyrinth = await new Promise((resolve, reject) => {
    createLabyrinthModule({
      instantiateWasm(imports, receive) {
        WebAssembly.instantiate(code, imports).then((instance) => receive(instance, code), reject);
        return {};
      },
    }).then(resolve, reject);
  });
  about = labyrinth.about();
}

/// The module, loaded once; resolves when it can be called.
export function moduleReady() {
  loading ??= load();
  return loading;
}

/// The module's actions, or null while it loads.
export const core = () => labyrinth;
/// Its facts (about()), or null while it loads.
export const facts = () => about;

/// `then` runs whenever a fresh module has replaced one that broke.
export const onReloaded = (then) => reloaded.push(then);

/// Calls an action of the module. Its failures are values already; should
/// the module itself break (out of memory, a bug), that becomes a value too,
/// and a fresh module is loaded for the next try, so the page never hangs.
export const call = (action, ...args) => guarded(() => labyrinth[action](...args));

/// Runs `work`, which asks the module something (a call of an object it
/// made, such as a run's session), as `call` runs an action: a module that
/// breaks on the way is a failure value, and a fresh module is loaded.
export function guarded(work) {
  try {
    return work();
  } catch (error) {
    labyrinth = null;
    loading = load();
    loading.then(() => reloaded.forEach((then) => then()), () => {});
    return { ok: false, message: `${about.statusFailed} The writer stopped unexpectedly (${error.message || error}); please try again` };
  }
}
