#!/usr/bin/env node
// Serves the built page on 127.0.0.1, for `make web-serve` and the browser
// tests: static files from one folder, nothing else, no network beyond this
// machine, with the headers a plain static host sends.
//   node scripts/serve-web.mjs [--isolated] [FOLDER]
//     (default build/web; PORT=N for a fixed port)
//
// --isolated makes the page cross-origin isolated, for make bench-web's
// clicks: its clock then runs at full precision (5 microseconds, not 100).
// Nothing of the page needs it, and a host rarely sends it: it costs a cold
// load about 35 ms here, as the browser starts a process of its own for an
// isolated page, so the loads are timed without it.

import fs from 'node:fs/promises';
import http from 'node:http';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm',
  '.svg': 'image/svg+xml',
  '.png': 'image/png',
  '.json': 'application/json',
  '.webmanifest': 'application/manifest+json',
};

// Starts serving `root`; resolves to the server and its address once it
// listens. Port 0 takes a free one.
export function servePage(root, { port = 0, host = '127.0.0.1', isolated = false } = {}) {
  const folder = path.resolve(root);
  const server = http.createServer(async (request, response) => {
    const answer = (code, text) => {
      response.writeHead(code, { 'content-type': 'text/plain; charset=utf-8' });
      response.end(request.method === 'HEAD' ? undefined : text);
    };
    if (request.method !== 'GET' && request.method !== 'HEAD') return answer(405, 'Only GET and HEAD\n');
    let name;
    try {
      name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    } catch {
      return answer(400, 'Bad address\n');
    }
    if (name.endsWith('/')) name += 'index.html';
    const file = path.join(folder, path.normalize(name));
    if (!file.startsWith(folder + path.sep)) return answer(404, 'Not found\n');
    try {
      const body = await fs.readFile(file);
      response.writeHead(200, {
        'content-type': types[path.extname(file)] || 'application/octet-stream',
        'content-length': body.length,
        'cache-control': 'no-cache',
        ...(isolated && { 'cross-origin-opener-policy': 'same-origin', 'cross-origin-embedder-policy': 'require-corp' }),
      });
      response.end(request.method === 'HEAD' ? undefined : body);
    } catch {
      answer(404, 'Not found\n');
    }
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, host, () => resolve({ server, url: `http://${host}:${server.address().port}/` }));
  });
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const options = process.argv.slice(2);
  const isolated = options.includes('--isolated');
  const root = options.find((option) => option !== '--isolated') || 'build/web';
  try {
    await fs.access(path.join(root, 'index.html'));
  } catch {
    console.error(`serve-web: ${root}/index.html is missing; build the page first (make web)`);
    process.exit(2);
  }
  const { url } = await servePage(root, { port: Number(process.env.PORT || 0), isolated });
  console.log(`Serving ${root} at ${url}  (Ctrl+C stops)`);
}
