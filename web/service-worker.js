// The page's service worker: after one visit the page loads and writes with
// no network. It keeps the page's files in one cache named after the build
// (the build writes a digest of the files below in place of the marker), so
// that a new build brings a new worker with a cache of its own. The new
// worker waits until a page that is open has loaded all its files and tells
// it to take over; it then removes every older cache of the page. So a page
// is never served files of two builds.

const build = '@PAGE_BUILD@';
// The prefix of everything the page keeps (page/storage_keys.js), written in by the build.
const cachePrefix = '@PAGE_STORAGE_PREFIX@-';
const cacheName = cachePrefix + build;
// Relative to this file, which sits beside index.html.
const pageFiles = [@PAGE_FILES@];

self.addEventListener('install', (event) => {
  // `no-cache`: checked with the server, never taken unasked from the
  // browser's HTTP cache, so that the cache holds this build's files.
  event.waitUntil(caches.open(cacheName).then((cache) =>
    cache.addAll(pageFiles.map((file) => new Request(file, { cache: 'no-cache' })))));
});

self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    for (const name of await caches.keys())
      if (name.startsWith(cachePrefix) && name !== cacheName) await caches.delete(name);
    await self.clients.claim();
  })());
});

// The page posts this once it has loaded, when a new build waits.
self.addEventListener('message', (event) => {
  if (event.data === 'take-over') self.skipWaiting();
});

// The page's own files from the cache, the rest from the network. A
// navigation to the page's folder or its index.html, with any query, is the
// page itself.
const pagePaths = [new URL('./', self.location).pathname, new URL('index.html', self.location).pathname];

self.addEventListener('fetch', (event) => {
  const { request } = event;
  if (request.method !== 'GET') return;
  const page = request.mode === 'navigate' && pagePaths.includes(new URL(request.url).pathname);
  event.respondWith((async () => {
    const cache = await caches.open(cacheName);
    const kept = await cache.match(page ? './' : request, { ignoreSearch: page });
    return kept || fetch(request);
  })());
});
