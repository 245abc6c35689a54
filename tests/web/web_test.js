// The browser checks of tests/web/web_test.sh, which prepares WORK (argv[2]):
// WORK/site, the web folder with the test ROMs beside it; WORK/desktop-*.png,
// the desktop window's views of views.ch8; WORK/desktop-missing.txt, its
// messages for a missing ROM; WORK/views.html, the single file
// with views.ch8 baked in; the ROMs empty.ch8, long.ch8 and zero.ch8.
// argv[3], if given, names the engines to run, comma-separated (all three by
// default: chromium, firefox, webkit).
//
// One table of checks (CHECKS below, then workbench_page.js's, and
// page_checks.js's when it is there),
// each written once against the engines' common page (engines.js) and run in
// every engine; a check that needs what an engine lacks is reported as
// SKIP with the reason. Every state is waited for, with a deadline of
// seconds; nothing sleeps a fixed time and then looks once.
"use strict";
const { execFileSync } = require("child_process");
const fs = require("fs");
const http = require("http");
const path = require("path");
const { ENGINES, withRecorder } = require("./engines");
const { DEADLINE_MS, waitFor, pixel, shows, picture, moves } = require("./canvas");

const work = process.argv[2];
const engineNames = (process.argv[3] || "chromium,firefox,webkit").split(",");
const site = path.join(work, "site");
// The share of pixels that must equal the desktop window's in every view.
const MIN_EQUAL_SHARE = 0.98;
const CANVAS_PIXELS = 320 * 160;

// --- A static server for the web folder, on the loopback only ---------------

const TYPES = { ".html": "text/html", ".js": "text/javascript", ".css": "text/css",
  ".wasm": "application/wasm" };
// With recorder, every page served has engines.js's error recorder first in
// its head (for WebKit, whose driver reports no console message).
function serve(folder, recorder) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, "http://x").pathname).replace(/^\/+/, "");
    const file = path.join(folder, name || "index.html");
    if (!file.startsWith(folder + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, { "Content-Type": TYPES[path.extname(file)] || "application/octet-stream" });
    const body = fs.readFileSync(file);
    response.end(recorder && file.endsWith(".html") ? withRecorder(String(body)) : body);
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

// --- Waiting, pages and pixels -----------------------------------------------






async function savePicture(page, name) {
  const shot = await picture(page);
  const file = path.join(work, `${name}.png`);
  fs.writeFileSync(file, Buffer.from(shot.url.split(",")[1], "base64"));
  if (!shot.opaque) throw new Error(`${name}: the canvas is not opaque everywhere`);
  return file;
}

// The share of pixels equal in two pictures of the window's size; with
// fuzz, of those within that colour distance of each other.
function equalShare(a, b, fuzz = "0%") {
  let differing;
  try {
    differing = execFileSync("compare", ["-metric", "AE", "-fuzz", fuzz, a, b, "null:"],
      { stdio: ["ignore", "pipe", "pipe"] });
  } catch (e) {
    differing = e.stderr; // compare exits with 1 when the pictures differ
  }
  return 1 - Number(String(differing).trim().split(/\s/)[0]) / CANVAS_PIXELS;
}

// The page blends its texts as the classic SDL 1.2 does; sdl12-compat's
// window (Debian 13's) blits them through SDL 2, up to two steps darker at
// the glyphs' edges, so against that window the texts' edges are counted as
// equal within two steps (0.8 % of the range), as the check across the two
// libraries counts them. Both shares are printed; on the classic library the
// exact one is 100 %.
const TEXT_ROUNDING = "0.8%";

// Holds a key of the keyboard until the check holds.
async function holdKey(page, key, what, check) {
  await page.keyDown(key);
  await waitFor(what, check);
  await page.keyUp(key);
}

// The centre of an element, scrolled into view first, in the viewport's
// pixels; (fx, fy) is the point's share of its width and height.
function pointIn(page, selector, fx = 0.5, fy = 0.5) {
  return page.evaluate((sel, px, py) => {
    const element = document.querySelector(sel);
    if (!element) return null;
    element.scrollIntoView({ block: "center", inline: "center" });
    const box = element.getBoundingClientRect();
    return { x: box.left + px * box.width, y: box.top + py * box.height };
  }, selector, fx, fy);
}

// Presses the on-screen button with text label (the pointer down on it), and
// keeps it down until the check holds; then lets it go.
async function holdButton(page, label, what, check) {
  const selector = `button[data-key="${label}"]`;
  let at = null;
  await waitFor(`the on-screen ${label}`, async () => ((at = await pointIn(page, selector)) !== null) || "not there");
  await page.pointerDown(at.x, at.y);
  await waitFor(what, check);
  await page.pointerUp();
}

// The dots presses.ch8 has drawn in display row y (one each two columns),
// read from the framed view, where display cell (x, y) is 4 pixels square
// from (32 + 4x, 16 + 4y).
function dots(page, y) {
  return page.evaluate((row) => {
    const data = document.getElementById("screen").getContext("2d").getImageData(0, 16 + 4 * row + 1, 320, 1).data;
    let count = 0;
    for (let x = 0; x < 64; x += 2) if (data[4 * (32 + 4 * x + 1)] === 255) count++;
    return count;
  }, y);
}

// A check for waitFor: display row y holds count dots.
function dotsAre(page, y, count) {
  return async () => {
    const got = await dots(page, y);
    return got === count || `${got} dots in row ${y}, expected ${count}`;
  };
}

// The mouse cursor's look over the canvas.
function cursor(page) {
  return page.evaluate(() => getComputedStyle(document.getElementById("screen")).cursor);
}

function messages(page) {
  return page.evaluate(() => document.getElementById("messages").textContent);
}

// Counts the turns the program gives the browser, each after one frame at
// least (web/main.cpp tells the page of each through Module.keysTaken).
function countTurns(page) {
  return page.evaluate(() => {
    const keysTaken = Module.keysTaken;
    window.turns = 0;
    Module.keysTaken = () => {
      window.turns++;
      keysTaken();
    };
  });
}

// Waits for n more turns of the program, and so for n frames at least.
async function turnsPass(page, n) {
  const turns = () => page.evaluate(() => window.turns);
  const start = await turns();
  await waitFor(`${n} turns of the program`, async () => (await turns()) >= start + n || "not yet");
}

function percent(share) {
  return `${(share * 100).toFixed(2)} %`;
}

// --- The checks, each run in every engine ------------------------------------
//
// A check is { name, needs, run(ctx) }: needs names the engine's
// capabilities it cannot do without (engines.js: true, or why the engine
// lacks it, which the skip says); run gets ctx.engine,
// ctx.open(url, expectedMissing) for a page, ctx.base (the served web
// folder's address), ctx.site and ctx.work (file:// folders), ctx.state
// (what a check leaves for a later one) and ctx.say(line) for a figure.

// The page with an empty ?rom=, which plays PONG2 as an empty command line
// does on the desktop (the single file's case below has no ?rom= at all).
async function pong(ctx) {
  const page = await ctx.open(`${ctx.base}/index.html?rom=`);
  await waitFor("PONG2's framed view", shows(page, 2, 2, "999999", 317, 157, "999999"));
  await waitFor("the ball to move", moves(page));
  if ((await cursor(page)) !== "none") throw new Error(`the cursor over the running program: ${await cursor(page)}`);
  // Keypad 1 (the key 3) moves the left paddle up to row 0, keypad D (the
  // key Y) the right one down to row 31; each is held until its paddle shows
  // there, as a point scored on the way puts the paddles back.
  await holdKey(page, "3", "the key 3 to move the left paddle up", shows(page, 37, 17, "FFFFFF"));
  await holdButton(page, "D", "keypad D on the page to move the right paddle down",
    shows(page, 281, 141, "FFFFFF"));
  await page.close();
  return "PONG2 starts framed with an empty ?rom=, the ball moves, no cursor over it; " +
    "the key 3 and the on-screen D move the paddles";
}

async function keypadRelease(ctx) {
  const page = await ctx.open(`${ctx.base}/index.html?rom=held.ch8`);
  await waitFor("held.ch8's framed view", shows(page, 2, 2, "999999", 37, 17, "000000"));
  await holdButton(page, "D", "the on-screen D to be seen held", shows(page, 37, 17, "FFFFFF"));
  await waitFor("the on-screen D to be seen released", shows(page, 37, 17, "000000"));
  await page.close();
  return "the on-screen keypad's press and release reach the program";
}

// presses.ch8 takes keypad 0 (the key V) in row 0 and keypad F (the key N)
// in row 15. Its loop is four instructions, one a frame: three turns after
// a dot shows, it waits at FX0A again, and a press given then is taken.
//
// A key held down: the browser repeats its keydown, which must not reach the
// program as more presses. N, pressed after it, shows when every event of V
// has been taken. DevTools marks a keydown as repeated; the page stops such
// a keydown before any listener added later sees it, so whether another
// driver's second keydown is marked cannot be seen from here.
async function heldKey(ctx) {
  const page = await ctx.open(`${ctx.base}/index.html?rom=presses.ch8`);
  await waitFor("presses.ch8's framed view", shows(page, 2, 2, "999999"));
  await countTurns(page);
  const devtools = await page.devtools();
  const v = { key: "v", code: "KeyV", windowsVirtualKeyCode: 86, nativeVirtualKeyCode: 86 };
  await devtools.send("Input.dispatchKeyEvent", { type: "keyDown", text: "v", ...v });
  await waitFor("V's first dot", dotsAre(page, 0, 1));
  for (let i = 0; i < 10; i++) {
    await devtools.send("Input.dispatchKeyEvent", { type: "keyDown", text: "v", autoRepeat: true, ...v });
    await turnsPass(page, 1);
  }
  await devtools.send("Input.dispatchKeyEvent", { type: "keyUp", ...v });
  await turnsPass(page, 3);
  await holdKey(page, "n", "N's dot", dotsAre(page, 15, 1));
  if ((await dots(page, 0)) !== 1) throw new Error(`V held with 10 repeated keydowns: ${await dots(page, 0)} dots`);
  await page.close();
  return "a held key is one press, whatever the browser repeats";
}

// The on-screen keypad under a finger: held.ch8's flag shows while D is
// touched, and goes once the finger is lifted.
async function keypadTouch(ctx) {
  const page = await ctx.open(`${ctx.base}/index.html?rom=held.ch8`);
  await waitFor("held.ch8's framed view", shows(page, 2, 2, "999999", 37, 17, "000000"));
  const at = await pointIn(page, 'button[data-key="D"]');
  await page.touchDown(at.x, at.y);
  await waitFor("the touched D to be seen held", shows(page, 37, 17, "FFFFFF"));
  await page.touchUp();
  await waitFor("the touched D to be seen released", shows(page, 37, 17, "000000"));
  await page.close();
  return "a finger on the on-screen keypad presses and releases its key";
}

// Presses released in the same task as they are pressed, before any poll,
// as the page's own keypad or a switch device can send them.
async function quickPresses(ctx) {
  const page = await ctx.open(`${ctx.base}/index.html?rom=presses.ch8`);
  await waitFor("presses.ch8's framed view", shows(page, 2, 2, "999999"));
  await countTurns(page);
  for (let count = 1; count <= 5; count++) {
    await page.evaluate(() => {
      for (const type of ["keydown", "keyup"]) {
        const event = new KeyboardEvent(type, { bubbles: true, cancelable: true });
        Object.defineProperty(event, "keyCode", { value: 86 });
        Object.defineProperty(event, "which", { value: 86 });
        document.dispatchEvent(event);
      }
    });
    await waitFor(`V's dot ${count}, pressed and released at once`, dotsAre(page, 0, count));
    await turnsPass(page, 3);
  }
  await page.close();
  return "a press released before the program polls is still one press (5 of 5)";
}

async function views(ctx) {
  const page = await ctx.open(`${ctx.base}/index.html?rom=views.ch8`);
  // Whether the browser's own use of F1 was stopped: seen after the page's
  // own listeners, by one added last.
  await page.evaluate(() => {
    window.f1Stopped = null;
    window.addEventListener("keydown", (event) => {
      if (event.keyCode === 112) window.f1Stopped = event.defaultPrevented;
    });
  });
  const name = ctx.engine.name;
  const shares = {};
  await waitFor("views.ch8 framed", shows(page, 2, 2, "999999", 57, 29, "FFFFFF"));
  ctx.state.framed = (await picture(page)).digest;
  const exact = {};
  const compareView = async (key, desktop, shot) => {
    const pagePicture = await savePicture(page, shot);
    const desktopPicture = path.join(work, desktop);
    exact[key] = Math.min(exact[key] ?? 1, equalShare(desktopPicture, pagePicture));
    shares[key] = Math.min(shares[key] ?? 1, equalShare(desktopPicture, pagePicture, TEXT_ROUNDING));
  };
  await compareView("F2", "desktop-framed.png", `${name}-framed`);
  await holdKey(page, "F1", "F1's full view", shows(page, 2, 2, "000000", 31, 16, "FFFFFF"));
  await compareView("F1", "desktop-full.png", `${name}-full`);
  await holdKey(page, "F3", "F3's debug view", shows(page, 150, 2, "777777", 109, 54, "FFFFFF"));
  await compareView("F3", "desktop-debug.png", `${name}-debug`);
  await holdKey(page, "F2", "F2's framed view again", shows(page, 2, 2, "999999", 57, 29, "FFFFFF"));
  await compareView("F2", "desktop-framed.png", `${name}-framed-again`);
  const stopped = await page.evaluate(() => window.f1Stopped);
  if (stopped !== true) throw new Error(`the browser's own use of F1 was not stopped (${stopped})`);
  for (const [key, share] of Object.entries(shares)) {
    ctx.say(`${key}: ${percent(exact[key])} of the pixels equal to the desktop window's, ` +
      `${percent(share)} within the texts' rounding`);
    if (!(share >= MIN_EQUAL_SHARE)) {
      throw new Error(`${key}'s view: only ${percent(share)} of the pixels equal the desktop's ` +
        `(pictures in ${work}: desktop-*.png, ${name}-*.png)`);
    }
  }
  ctx.state.views = page;
  return "F1, F2 and F3 give the desktop window's pictures; F1's browser default is stopped";
}

// The page views leaves open, for the check after it only: closed before
// another page opens, as WebDriver's one window would lose what it recorded.
async function closeViews(ctx) {
  const page = ctx.state.views;
  ctx.state.views = null;
  if (page) await page.close();
}

// A ROM dropped on the page that shows views.ch8 starts the program again
// with it: zero.ch8's glyph 0 at (0, 0) in place of views.ch8's 8 at (5, 3).
async function dropped(ctx) {
  const page = ctx.state.views;
  if (!page) throw new Error("no page of views.ch8 (its check failed)");
  const bytes = [...fs.readFileSync(path.join(work, "zero.ch8"))];
  await page.evaluate((content) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([new Uint8Array(content)], "zero.ch8"));
    document.dispatchEvent(new DragEvent("drop", { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, bytes);
  await waitFor("the dropped ROM's picture", shows(page, 2, 2, "999999", 37, 17, "FFFFFF", 57, 29, "000000"));
  return "a dropped ROM runs";
}

// Picked with the file picker: an empty file runs on a blank display with
// no message, one far over the machine's memory runs its first 3584 bytes
// and says so, as on the desktop.
async function picked(ctx) {
  const page = await ctx.open(`${ctx.base}/index.html?rom=views.ch8`);
  await waitFor("views.ch8 framed", shows(page, 2, 2, "999999", 57, 29, "FFFFFF"));
  await page.upload("#rom-file", path.join(work, "empty.ch8"));
  await waitFor("the empty ROM's blank framed view", shows(page, 2, 2, "999999", 57, 29, "000000"));
  if ((await messages(page)) !== "") throw new Error(`the empty ROM: message ${JSON.stringify(await messages(page))}`);
  await page.upload("#rom-file", path.join(work, "long.ch8"));
  const cut = "Rom trop longue : seuls ses 3584 premiers octets ont été chargés\n";
  await waitFor("the long ROM's message", async () => (await messages(page)) === cut ||
    `messages: ${JSON.stringify(await messages(page))}`);
  await waitFor("the long ROM's framed view", shows(page, 2, 2, "999999", 57, 29, "000000"));
  await page.close();
  return "an empty ROM and one over 64 KiB, picked, behave as on the desktop";
}

async function missingRom(ctx) {
  const page = await ctx.open(`${ctx.base}/index.html?rom=nothere.ch8`, "nothere.ch8");
  await waitFor("the dialog", shows(page, 150, 35, "666666", 2, 2, "777777"));
  if ((await cursor(page)) === "none") throw new Error("no cursor over the dialog's OK button");
  const desktop = fs.readFileSync(path.join(work, "desktop-missing.txt"), "utf8");
  await waitFor("the desktop's messages", async () => (await messages(page)) === desktop ||
    `messages: ${JSON.stringify(await messages(page))}, the desktop's: ${JSON.stringify(desktop)}`);
  // Its OK button, clicked on the canvas (scaled up by the page), ends the
  // run as on the desktop, and the canvas goes black like a closed window.
  const ok = await pointIn(page, "#screen", 160 / 320, 111 / 160);
  await page.pointerDown(ok.x, ok.y);
  await page.pointerUp();
  await waitFor("the run to end after OK", shows(page, 150, 35, "000000", 2, 2, "000000"));
  await page.close();
  return "a missing ?rom= shows the dialog and the desktop's messages; OK ends the run";
}

async function singleFiles(ctx) {
  const page = await ctx.open(`file://${ctx.site}/vostrelina.html`);
  await waitFor("the single file's framed view", shows(page, 2, 2, "999999"));
  await waitFor("the ball to move in the single file", moves(page));
  await page.close();
  if (!ctx.state.framed) throw new Error("no picture of views.ch8 to compare with (its check failed)");
  const baked = await ctx.open(`file://${ctx.work}/views.html`);
  await waitFor("the baked ROM's picture", async () => ((await picture(baked)).digest === ctx.state.framed) || "not yet");
  await baked.close();
  return "the single file plays from file://, and --rom bakes a ROM in";
}

const CHECKS = [
  { name: "PONG2 plays", run: pong },
  { name: "keypad release", run: keypadRelease },
  { name: "held key", needs: ["devtools"], run: heldKey },
  { name: "keypad touch", needs: ["touch"], run: keypadTouch },
  { name: "quick presses", run: quickPresses },
  { name: "views", run: views },
  { name: "dropped ROM", run: dropped },
  { name: "picked ROMs", needs: ["upload"], run: picked },
  { name: "missing ROM", run: missingRom },
  { name: "single file", run: singleFiles },
];

// The workbench's checks (workbench_page.js) follow, and page_checks.js's,
// where it is, come last (see there). WEB_CHECKS, a regular expression,
// keeps only the checks whose names it matches, for a quicker run while
// working on some.
function allChecks() {
  const more = path.join(__dirname, "page_checks.js");
  const all = [...CHECKS, ...require("./workbench_page").CHECKS, ...(fs.existsSync(more) ? require(more).CHECKS : [])];
  const only = process.env.WEB_CHECKS && new RegExp(process.env.WEB_CHECKS);
  return only ? all.filter((check) => only.test(check.name)) : all;
}

// --- Running the table in each engine ----------------------------------------

// The single files for an engine whose pages need the error recorder:
// copies with it, in a folder of that engine's own.
function singleFilesFor(engine) {
  if (!engine.can.recorder) return { site, work };
  const folder = path.join(work, engine.name);
  fs.mkdirSync(folder, { recursive: true });
  for (const file of [path.join(site, "vostrelina.html"), path.join(work, "views.html")]) {
    fs.writeFileSync(path.join(folder, path.basename(file)), withRecorder(fs.readFileSync(file, "utf8")));
  }
  return { site: folder, work: folder };
}

async function runEngine(engine, bases) {
  const tally = { passed: 0, failed: 0, skipped: 0 };
  const ctx = { engine, base: bases[engine.can.recorder ? 1 : 0], ...singleFilesFor(engine), state: {},
    open: (url, missing) => engine.open(url, missing),
    say: (line) => console.log(`  ${engine.name}: ${line}`) };
  for (const check of allChecks()) {
    const lacking = (check.needs || []).filter((need) => engine.can[need] !== true);
    if (lacking.length > 0) {
      console.log(`SKIP: ${engine.name}: ${check.name}: ${lacking.map((need) => engine.can[need]).join("; ")}`);
      tally.skipped++;
      continue;
    }
    try {
      console.log(`ok: ${engine.name}: ${await check.run(ctx)}`);
      tally.passed++;
    } catch (error) {
      console.log(`FAIL: ${engine.name}: ${check.name}: ${error.message}`);
      tally.failed++;
    }
    if (check.run !== views) await closeViews(ctx);
  }
  if (engine.errors.length > 0) {
    console.log(`FAIL: ${engine.name}: errors in the pages:\n  ${engine.errors.join("\n  ")}`);
    tally.failed++;
  } else {
    console.log(`ok: ${engine.name}: no console error or uncaught error in any page`);
    tally.passed++;
  }
  return tally;
}

async function main() {
  const servers = [await serve(site, false), await serve(site, true)];
  const bases = servers.map((server) => `http://127.0.0.1:${server.address().port}`);
  const total = { passed: 0, failed: 0, skipped: 0 };
  try {
    for (const name of engineNames) {
      if (!ENGINES[name]) throw new Error(`no engine ${name} (${Object.keys(ENGINES).join(", ")})`);
      const started = Date.now();
      let tally;
      try {
        tally = await ENGINES[name]((engine) => runEngine(engine, bases));
      } catch (error) {
        console.log(`FAIL: ${name}: ${error.message}`);
        tally = { passed: 0, failed: 1, skipped: 0 };
      }
      for (const key of Object.keys(total)) total[key] += tally[key];
      console.log(`${name}: ${tally.passed} passed, ${tally.failed} failed, ${tally.skipped} skipped ` +
        `in ${((Date.now() - started) / 1000).toFixed(0)} s`);
    }
  } finally {
    for (const server of servers) server.close();
  }
  console.log(`browser: ${total.passed} passed, ${total.failed} failed, ${total.skipped} skipped`);
  if (total.failed > 0) process.exit(1);
}

main().catch((error) => {
  console.error(`FAIL: ${error.message}`);
  process.exit(1);
});
