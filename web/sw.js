// Keeps the page's folder after the first visit, so that it opens and
// calculates with no network. The cache is named after the content of
// every file the page serves, as the build found it: a page rebuilt with
// any change gets a new cache, an identical one the same.
'use strict';

// Caches are shared by every page of the origin: another copy of teklo in
// another folder keeps its own, named after its folder too.
const folder = self.registration.scope;
const cacheName = `${folder} @CACHE_NAME@`;
// Each file with the SHA-256 of its content, as the build wrote it.
const sums = {
  @PAGE_FILES@,
};
const files = Object.keys(sums);

const hex = (bytes) => [...new Uint8Array(bytes)].map((b) => b.toString(16).padStart(2, '0')).join('');

// From the browser's HTTP cache first: on a first visit it holds the
// files the page has just loaded, each of which the host then sends once.
// It may also hold the version before, for as long as the host's max-age
// (or, with none, the browser's own guess from a file's age) allows: a
// file that is not the build's is asked of the host again past that
// cache, a conditional request that costs a 304 if the host still has the
// same file. A file still not the build's (a host caught half-way through
// an upload) fails the install, which the next visit tries again; kept,
// it would stay under this version's name for good.
async function fetchChecked(file, address) {
  let wrong;
  for (const [url, cache] of [[address, 'default'], [file, 'no-cache']]) {
    const response = await fetch(url, { cache });
    const body = response.ok && await response.arrayBuffer();
    wrong = !response.ok ? response.status : "not this version's";
    if (body && hex(await crypto.subtle.digest('SHA-256', body)) === sums[file]) {
      // Always a plain copy: hosts with "pretty" addresses redirect
      // index.html to the folder, and a redirected response given for a
      // navigation is a network error to the browser.
      return new Response(body, { headers: response.headers });
    }
  }
  throw new Error(`${file}: ${wrong}`);
}

// Everything is fetched before anything is kept: a failed install leaves
// no half-filled cache, and the version before goes on working.
self.addEventListener('install', (event) => {
  event.waitUntil(self.clients.matchAll({ type: 'window', includeUncontrolled: true })
    .then((pages) => {
      // A page opened at the folder's address is in the HTTP cache under
      // that address, not under index.html.
      const opened = pages.find((page) => pageFile({ url: page.url, mode: 'navigate' }) === 'index.html')?.url;
      return Promise.all(files.map((file) => fetchChecked(file, file === 'index.html' ? opened ?? file : file)));
    })
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

// The new cache is whole by now: the older ones of this folder can go.
self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names
      .filter((name) => name !== cacheName && name.startsWith(`${folder} teklo-`))
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
