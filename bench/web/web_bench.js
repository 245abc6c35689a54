// The page's side of bench/web/web_bench.sh: PONG2 in each engine the browser
// checks drive (tests/web/engines.js), frames a second in each view and the
// ball's moves a second in the framed view, counted as flip_probe.c counts
// them on the desktop (which says how): every flip (one putImageData of the
// whole canvas), and each new place the ball is seen at, looked for no more
// than every 2 ms (tests/web/ball_probe.js).
//
// Usage: node web_bench.js URL SECONDS [ENGINES] (the framed view three
// times as long; ENGINES chromium,firefox,webkit by default)
// Prints, for each engine: ENGINE framed FRAMES_PER_SECOND MOVES_PER_SECOND
// COUNTS_PER_SECOND (the delay timer's, by its rule on the page's frames;
// the desktop's frames make 1000 / 11 = 90.9), ENGINE full F, ENGINE debug F.
"use strict";
const { ENGINES } = require("../../tests/web/engines");
const { ballProbe, DELAY_TICK_MS } = require("../../tests/web/ball_probe");

const [url, seconds] = [process.argv[2], Number(process.argv[3] || 10)];
const engineNames = (process.argv[4] || "chromium,firefox,webkit").split(",");

async function counts(page) {
  return page.evaluate(() => ({ flips: window.ballProbe.flips, changes: window.ballProbe.changes,
    counts: window.ballProbe.counts, at: performance.now() }));
}

async function measure(page, length = seconds) {
  const a = await counts(page);
  await new Promise((resolve) => setTimeout(resolve, length * 1000));
  const b = await counts(page);
  const span = (b.at - a.at) / 1000;
  return { frames: (b.flips - a.flips) / span, moves: (b.changes - a.changes) / span,
    counts: (b.counts - a.counts) / span };
}

async function pixelIs(page, x, y, rgb) {
  return page.evaluate((px, py, want) => {
    const d = document.getElementById("screen").getContext("2d").getImageData(px, py, 1, 1).data;
    return (d[0] << 16 | d[1] << 8 | d[2]) === want;
  }, x, y, rgb);
}

async function until(page, x, y, rgb) {
  const end = Date.now() + 30000;
  while (!(await pixelIs(page, x, y, rgb))) {
    if (Date.now() > end) throw new Error(`(${x}, ${y}) never became ${rgb.toString(16)}`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

// Presses a key until the pixel shows the view it asks for.
async function view(page, key, x, y, rgb) {
  await page.keyDown(key);
  await until(page, x, y, rgb);
  await page.keyUp(key);
}

async function bench(engine) {
  const page = await engine.open(url);
  await until(page, 2, 2, 0x999999);
  await page.evaluate(ballProbe, 2, DELAY_TICK_MS);
  const framed = await measure(page, 3 * seconds);
  await view(page, "F1", 2, 2, 0x000000);
  const full = await measure(page);
  await view(page, "F3", 150, 2, 0x777777);
  const debug = await measure(page);
  console.log(`${engine.name} framed ${framed.frames.toFixed(0)} ${framed.moves.toFixed(2)} ${framed.counts.toFixed(1)}`);
  console.log(`${engine.name} full ${full.frames.toFixed(0)}`);
  console.log(`${engine.name} debug ${debug.frames.toFixed(0)}`);
}

async function main() {
  for (const name of engineNames) await ENGINES[name](bench);
}

main().catch((error) => {
  console.error(`FAIL: ${error.message}`);
  process.exit(1);
});
