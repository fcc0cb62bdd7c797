// Keeps the page working offline after one visit: every file of the page is cached on install,
// and served from the cache first. The build writes the list and a version made from the files'
// contents, so a new build installs a new cache and drops the old one.
const VERSION = '@VERSION@';
const FILES = ['@FILES@'];
const CACHE = `zendrik-${VERSION}`;

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    for (const key of await caches.keys()) {
      if (key.startsWith('zendrik-') && key !== CACHE) await caches.delete(key);
    }
    await self.clients.claim();
  })());
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith((async () => {
    const cache = await caches.open(CACHE);
    // The page's address may carry a query (?model=2): the page itself is the same file.
    const hit = await cache.match(request, { ignoreSearch: request.mode === 'navigate' });
    if (hit) return hit;
    return fetch(request);
  })());
});
