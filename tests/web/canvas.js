// What every browser check asks of the program's canvas, and the one way
// they wait: for a state, with a deadline of seconds, never a fixed sleep
// and one look. A page here is anything with puppeteer's evaluate (a
// puppeteer page, or an engine's adapter in engines.js).
"use strict";

const DEADLINE_MS = Number(process.env.E2E_DEADLINE || 30) * 1000;

async function waitFor(what, check) {
  const end = Date.now() + DEADLINE_MS;
  let why = "";
  for (;;) {
    const answer = await check();
    if (answer === true) return;
    why = answer || why;
    if (Date.now() > end) throw new Error(`${what}: not within ${DEADLINE_MS / 1000} s${why ? ` (${why})` : ""}`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}


// Pixel (x, y) of the program's canvas as RRGGBB, or RRGGBB/AA when it is
// not opaque.
function pixel(page, x, y) {
  return page.evaluate((px, py) => {
    const d = document.getElementById("screen").getContext("2d").getImageData(px, py, 1, 1).data;
    const hex = (v) => v.toString(16).padStart(2, "0").toUpperCase();
    return hex(d[0]) + hex(d[1]) + hex(d[2]) + (d[3] === 255 ? "" : "/" + hex(d[3]));
  }, x, y);
}


// A check for waitFor: every (x, y, RRGGBB) triple holds.
function shows(page, ...triples) {
  return async () => {
    for (let i = 0; i < triples.length; i += 3) {
      const got = await pixel(page, triples[i], triples[i + 1]);
      if (got !== triples[i + 2]) return `(${triples[i]}, ${triples[i + 1]}) is ${got}, expected ${triples[i + 2]}`;
    }
    return true;
  };
}


// The canvas as a PNG's data URL, a digest of its pixels (FNV-1a: two pages
// of one engine may encode the same pixels differently, as firefox does a
// page from file:// and one served) and whether every pixel is opaque.
function picture(page) {
  return page.evaluate(() => {
    const canvas = document.getElementById("screen");
    const data = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
    let opaque = true;
    let digest = 0x811c9dc5;
    for (let i = 0; i < data.length; i++) {
      if ((i & 3) === 3 && data[i] !== 255) opaque = false;
      digest = Math.imul(digest ^ data[i], 0x01000193);
    }
    return { url: canvas.toDataURL("image/png"), digest: `${canvas.width}x${canvas.height}:${digest >>> 0}`, opaque };
  });
}


// A check for waitFor: true once the canvas shows a picture other than the
// one it showed when last looked at (the first look is the first picture).
function moves(page) {
  let before = null;
  return async () => {
    const now = (await picture(page)).digest;
    if (before !== null && now !== before) return true;
    before = now;
    return "two pictures in a row are the same";
  };
}


module.exports = { DEADLINE_MS, waitFor, pixel, shows, picture, moves };
