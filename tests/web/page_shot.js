// The README's picture of the page (scripts/screenshots.sh): the single file
// opened from disk in headless chromium, taken once PONG2 shows its framed
// view with both scores drawn.
//
// Usage: node page_shot.js FILE.html OUT.png
"use strict";
const path = require("path");
const { withChromium } = require("./chromium");

async function main() {
  const [page_file, out] = process.argv.slice(2);
  await withChromium(async (browser) => {
    const page = await browser.newPage();
    await page.setViewport({ width: 680, height: 640 });
    await page.goto(`file://${path.resolve(page_file)}`);
    await page.waitForFunction(() => {
      const d = document.getElementById("screen").getContext("2d").getImageData(2, 2, 1, 1).data;
      return d[0] === 0x99 && d[3] === 255;
    }, { timeout: 30000 });
    await page.evaluate(() => document.fonts.ready);
    await page.screenshot({ path: out, fullPage: true });
  }, ["--hide-scrollbars"]);
}

main().catch((error) => {
  console.error(`FAIL: ${error.message}`);
  process.exit(1);
});
