// Keeps the page's folder after the first visit, so that it opens and
// calculates with no network. The cache is named after the content of
// every file the page serves, as the build found it: a page rebuilt with
// any change gets a new cache, an identical one the same.
'use strict';

const cacheName = '@CACHE_NAME@';
const files = [@PAGE_FILES@];

// Straight from the host: the browser's HTTP cache may hold the files of
// the version before for as long as the host's max-age allows.
async function fetchFresh(file) {
  const response = await fetch(file, { cache: 'reload', credentials: 'same-origin' });
  if (!response.ok) throw new Error(`${file}: ${response.status}`);
  if (!response.redirected) return response;
  // Hosts with "pretty" addresses redirect index.html to the folder; a
  // redirected response given for a navigation is a network error to the
  // browser, so a plain copy is kept.
  return new Response(await response.blob(), {
    status: response.status, statusText: response.statusText, headers: response.headers,
  });
}

// Everything is fetched before anything is kept: a failed install leaves
// no half-filled cache, and the version before goes on working.
self.addEventListener('install', (event) => {
  event.waitUntil(Promise.all(files.map(fetchFresh))
    .then(async (responses) => {
      const cache = await caches.open(cacheName);
      await Promise.all(files.map((file, i) => cache.put(file, responses[i])));
    })
    .catch(async (error) => {
      await caches.delete(cacheName);
      throw error;
    })
    .then(() => self.skipWaiting()));
});

// The new cache is whole by now: the older ones can go.
self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names
      .filter((name) => name.startsWith('teklo-') && name !== cacheName)
      .map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

// The file of the folder that a request asks for, if it is one of the
// page's; the folder itself, index.html and index all mean the page.
function pageFile(request) {
  const url = new URL(request.url);
  const scope = new URL(self.registration.scope);
  if (url.origin !== scope.origin || !url.pathname.startsWith(scope.pathname)) return null;
  const name = url.pathname.slice(scope.pathname.length);
  if (request.mode === 'navigate' && ['', 'index.html', 'index'].includes(name)) return 'index.html';
  return files.includes(name) ? name : null;
}

self.addEventListener('fetch', (event) => {
  const file = event.request.method === 'GET' && pageFile(event.request);
  if (!file) return;
  event.respondWith(caches.open(cacheName)
    .then((cache) => cache.match(file))
    .then((kept) => kept || fetch(event.request)));
});
