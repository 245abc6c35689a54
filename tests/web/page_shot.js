// The README's pictures of the page (scripts/screenshots.sh): the single
// file opened from disk in headless chromium, taken by the layout check of
// the screens that name a picture (page_checks.js), each once PONG2 shows its
// framed view. OUT is the desktop's (web-page.png); the phone's, held upright
// and sideways, go straight into docs/ (web-phone.png, web-phone-sideways.png).
//
// Usage: node page_shot.js FILE.html OUT.png
"use strict";
const { execFileSync } = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");
const { withChromium } = require("./chromium");
const { SCREENS, screens } = require("./page_checks");

async function main() {
  const [page_file, out] = process.argv.slice(2);
  const docs = path.join(__dirname, "..", "..", "docs");
  const shots = fs.mkdtempSync(path.join(os.tmpdir(), "vostrelina-shots-"));
  try {
    await withChromium((browser) => screens(browser, `file://${path.resolve(page_file)}`, shots),
      ["--hide-scrollbars"]);
    for (const { shot } of SCREENS.filter((screen) => screen.shot)) {
      const taken = path.join(shots, `${shot}.png`);
      if (shot === "web-page") {
        fs.copyFileSync(taken, out);
        continue;
      }
      execFileSync("convert", [taken, "-strip", "-define", "png:compression-level=9", path.join(docs, `${shot}.png`)]);
      console.log(`docs/${shot}.png`);
    }
  } finally {
    fs.rmSync(shots, { recursive: true, force: true });
  }
}

main().catch((error) => {
  console.error(`FAIL: ${error.message}`);
  process.exit(1);
});
