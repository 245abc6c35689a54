// The authors' guide's picture of the workbench (docs/workbench.png): a
// program of ours paused at a breakpoint, with its line marked in the editor,
// the registers, and the sprite at I. The page is served from the built
// folder to headless chromium; the picture is taken once the page says it is
// paused there, waited for with a deadline, never after a fixed sleep.
//
// Usage: node workbench_shot.js DIST OUT.png   (DIST: build-web/dist)
"use strict";
const { execFileSync } = require("child_process");
const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");
const { withChromium } = require("./chromium");

// A face crossing the screen, one column a tick; the breakpoint is on the
// line that erases it, once it has gone some way.
const SOURCE = `; Un visage qui traverse l'écran, une colonne par tic.
x       equ V0
y       equ V1
start:
    CLS
    LD x, 0
    LD y, 12
    LD I, face
move:
    DRW x, y, 6        ; le dessine
    LD V2, 3
    LD DT, V2
tick:
    LD V3, DT          ; attend trois tics
    SE V3, 0
    JP tick
    DRW x, y, 6        ; l'efface
    ADD x, 1
    JP move
face:
    db 0b00111100, 0b01000010, 0b10100101
    db 0b10000001, 0b10111101, 0b01000010
`;
const BREAK_LINE = SOURCE.split("\n").findIndex((line) => line.includes("; l'efface")) + 1;
const DEADLINE_MS = 10000;

const TYPES = { ".html": "text/html", ".js": "text/javascript", ".css": "text/css", ".wasm": "application/wasm" };
function serve(dist) {
  return http.createServer((request, response) => {
    const name = path.join(dist, path.basename(decodeURIComponent(request.url.replace(/[?#].*$/, ""))) || "index.html");
    fs.readFile(name, (error, data) => {
      if (error) {
        response.writeHead(404);
        response.end();
        return;
      }
      response.writeHead(200, { "Content-Type": TYPES[path.extname(name)] || "application/octet-stream" });
      response.end(data);
    });
  }).listen(0, "127.0.0.1");
}

async function until(page, what, test, ...args) {
  const end = Date.now() + DEADLINE_MS;
  for (;;) {
    if (await page.evaluate(test, ...args)) return;
    if (Date.now() > end) throw new Error(`no ${what} within ${DEADLINE_MS / 1000} s`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

async function main() {
  const [dist, out] = process.argv.slice(2);
  const server = serve(path.resolve(dist));
  await new Promise((resolve) => server.once("listening", resolve));
  const taken = path.join(fs.mkdtempSync(path.join(os.tmpdir(), "vostrelina-shot-")), "workbench.png");
  try {
    await withChromium(async (browser) => {
      const page = await browser.newPage();
      await page.setViewport({ width: 1100, height: 760 });
      await page.goto(`http://127.0.0.1:${server.address().port}/workbench.html`);
      await page.evaluate(() => window.vostrelina.ready);
      await page.evaluate((text) => window.vostrelina.setSource(text), SOURCE);
      await page.evaluate(() => window.vostrelina.run());
      await until(page, "run past a third of the screen", () => (window.vostrelina.state() || { v: [0] }).v[0] >= 24);
      await page.evaluate((line) => window.vostrelina.toggleBreakLine(line), BREAK_LINE);
      await until(page, "pause at the breakpoint", (line) => window.vostrelina.mode() === "paused" &&
        window.vostrelina.markedLine() === line, BREAK_LINE);
      await page.screenshot({ path: taken });
    }, ["--hide-scrollbars"]);
    // Sixty-four colours keep the text and the cells as they are, at half the size.
    execFileSync("convert", [taken, "-strip", "-colors", "64", "-define", "png:compression-level=9", `PNG8:${out}`]);
    console.log(out);
  } finally {
    server.close();
    fs.rmSync(path.dirname(taken), { recursive: true, force: true });
  }
}

main().catch((error) => {
  console.error(`FAIL: ${error.message}`);
  process.exit(1);
});
