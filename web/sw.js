// The page's service worker: it keeps the page's files at the first visit,
// so that the page starts again with no network, and serves them from that
// copy first. web/build.sh fills in the cache's name, which holds the
// project's version and a hash of the files, and the files' list: a new
// build is a new worker, which takes the new files and drops the old copy.
"use strict";
const CACHE = "vostrelina-@VERSION@";
const FILES = [@FILES@];

self.addEventListener("install", (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener("activate", (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((name) => name.startsWith("vostrelina-") && name !== CACHE)
      .map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

// The page itself whatever its ?rom=; anything not kept (a ROM named by
// ?rom=) from the network, as without a worker.
self.addEventListener("fetch", (event) => {
  if (event.request.method !== "GET") return;
  const navigation = event.request.mode === "navigate";
  event.respondWith(caches.open(CACHE)
    .then((cache) => cache.match(event.request, { ignoreSearch: navigation }))
    .then((kept) => kept || fetch(event.request)));
});
