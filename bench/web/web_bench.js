// The page's side of bench/web/web_bench.sh: PONG2 in headless chromium,
// frames a second in each view and the ball's moves a second in the framed
// view, counted as flip_probe.c counts them on the desktop (which says how):
// every flip (one putImageData of the whole canvas), and each new place the
// ball is seen at.
//
// Usage: node web_bench.js URL SECONDS (the framed view three times as long)
// Prints: framed FRAMES_PER_SECOND MOVES_PER_SECOND, full F, debug F.
"use strict";
const { withChromium } = require("../../tests/web/chromium");

const [url, seconds] = [process.argv[2], Number(process.argv[3] || 10)];

function probe() {
  window.probe = { flips: 0, changes: 0 };
  let last = 0;
  let seen = -1;
  const ball = (data) => {
    for (let c = 3; c <= 60; c++) {
      if (c === 31) continue;
      for (let r = 0; r < 32; r++) {
        if (r <= 6 && c >= 20 && c <= 44) continue;
        const i = ((16 + 4 * r + 1) * 320 + 32 + 4 * c + 1) * 4;
        if (data[i] | data[i + 1] | data[i + 2]) return c * 32 + r;
      }
    }
    return -1;
  };
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (image, ...rest) {
    window.probe.flips++;
    const t = performance.now();
    if (t - last >= 2 && image.width === 320 && image.height === 160) {
      last = t;
      const place = ball(image.data);
      if (place >= 0 && place !== seen) {
        window.probe.changes++;
        seen = place;
      }
    }
    return put.call(this, image, ...rest);
  };
}

async function counts(page) {
  return page.evaluate(() => ({ ...window.probe, at: performance.now() }));
}

async function measure(page, length = seconds) {
  const a = await counts(page);
  await new Promise((resolve) => setTimeout(resolve, length * 1000));
  const b = await counts(page);
  const span = (b.at - a.at) / 1000;
  return { frames: (b.flips - a.flips) / span, moves: (b.changes - a.changes) / span };
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

async function main() {
  await withChromium(async (browser) => {
    const page = await browser.newPage();
    await page.evaluateOnNewDocument(probe);
    await page.goto(url);
    await until(page, 2, 2, 0x999999);
    const framed = await measure(page, 3 * seconds);
    await page.keyboard.down("F1");
    await until(page, 2, 2, 0x000000);
    await page.keyboard.up("F1");
    const full = await measure(page);
    await page.keyboard.down("F3");
    await until(page, 150, 2, 0x777777);
    await page.keyboard.up("F3");
    const debug = await measure(page);
    console.log(`framed ${framed.frames.toFixed(0)} ${framed.moves.toFixed(2)}`);
    console.log(`full ${full.frames.toFixed(0)}`);
    console.log(`debug ${debug.frames.toFixed(0)}`);
  });
}

main().catch((error) => {
  console.error(`FAIL: ${error.message}`);
  process.exit(1);
});
