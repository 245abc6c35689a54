// The browser checks of tests/web/web_test.sh, which prepares WORK (argv[2]):
// WORK/site, the web folder with the test ROMs beside it; WORK/desktop-*.png,
// the desktop window's views of views.ch8; WORK/desktop-missing.txt, its
// messages for a missing ROM; WORK/views.html, the single file
// with views.ch8 baked in; the ROMs empty.ch8, long.ch8 and zero.ch8.
//
// Every state is waited for, with a deadline of seconds; nothing sleeps a
// fixed time and then looks once.
"use strict";
const { execFileSync } = require("child_process");
const fs = require("fs");
const http = require("http");
const path = require("path");
const { withChromium } = require("./chromium");
const pageChecks = require("./page_checks");

const work = process.argv[2];
const site = path.join(work, "site");
const DEADLINE_MS = Number(process.env.E2E_DEADLINE || 30) * 1000;
// The share of pixels that must equal the desktop window's in every view.
const MIN_EQUAL_SHARE = 0.98;
const CANVAS_PIXELS = 320 * 160;

// --- A static server for the web folder, on the loopback only ---------------

const TYPES = { ".html": "text/html", ".js": "text/javascript", ".css": "text/css",
  ".wasm": "application/wasm" };
function serve(folder) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, "http://x").pathname).replace(/^\/+/, "");
    const file = path.join(folder, name || "index.html");
    if (!file.startsWith(folder + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, { "Content-Type": TYPES[path.extname(file)] || "application/octet-stream" });
    response.end(fs.readFileSync(file));
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

// --- Waiting, pages and pixels -----------------------------------------------

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

const errors = [];
let browser;

// A page of its own for each case; its console errors and uncaught errors
// are all kept. expectedMissing names a file the case asks for knowing it is
// not there: the browser's own report of that one answer is no error.
async function open(url, expectedMissing) {
  const page = await browser.newPage();
  const label = url.replace(/^.*\//, "");
  page.on("console", (message) => {
    if (message.type() !== "error") return;
    const where = (message.location() && message.location().url) || "";
    if (expectedMissing && where.endsWith("/" + expectedMissing) && /404/.test(message.text())) return;
    errors.push(`${label}: console error: ${message.text()} ${where}`);
  });
  page.on("pageerror", (error) => errors.push(`${label}: uncaught: ${error.message}`));
  await page.goto(url);
  return page;
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

// The canvas as a PNG's data URL, and whether every pixel of it is opaque.
function picture(page) {
  return page.evaluate(() => {
    const canvas = document.getElementById("screen");
    const data = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
    let opaque = true;
    for (let i = 3; i < data.length; i += 4) if (data[i] !== 255) { opaque = false; break; }
    return { url: canvas.toDataURL("image/png"), opaque };
  });
}

// A check for waitFor: true once the canvas shows a picture other than the
// one it showed when last looked at (the first look is the first picture).
function moves(page) {
  let before = null;
  return async () => {
    const now = (await picture(page)).url;
    if (before !== null && now !== before) return true;
    before = now;
    return "two pictures in a row are the same";
  };
}

async function savePicture(page, name) {
  const shot = await picture(page);
  const file = path.join(work, `${name}.png`);
  fs.writeFileSync(file, Buffer.from(shot.url.split(",")[1], "base64"));
  if (!shot.opaque) throw new Error(`${name}: the canvas is not opaque everywhere`);
  return file;
}

// The share of pixels equal in two pictures of the window's size.
function equalShare(a, b) {
  let differing;
  try {
    differing = execFileSync("compare", ["-metric", "AE", a, b, "null:"], { stdio: ["ignore", "pipe", "pipe"] });
  } catch (e) {
    differing = e.stderr; // compare exits with 1 when the pictures differ
  }
  return 1 - Number(String(differing).trim().split(/\s/)[0]) / CANVAS_PIXELS;
}

// Holds a key of the keyboard until the check holds.
async function holdKey(page, key, what, check) {
  await page.keyboard.down(key);
  await waitFor(what, check);
  await page.keyboard.up(key);
}

// Presses the on-screen button with text label (the pointer down on it), and
// keeps it down until the check holds; then lets it go.
async function holdButton(page, label, what, check) {
  const button = await page.waitForSelector(`button[data-key="${label}"]`);
  const box = await button.boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.down();
  await waitFor(what, check);
  await page.mouse.up();
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
  return page.$eval("#screen", (canvas) => getComputedStyle(canvas).cursor);
}

function messages(page) {
  return page.$eval("#messages", (element) => element.textContent);
}

function ok(text) {
  console.log(`ok: ${text}`);
}

// --- The cases ---------------------------------------------------------------

// The page with an empty ?rom=, which plays PONG2 as an empty command line
// does on the desktop (the single file's case below has no ?rom= at all).
async function pong(base) {
  const page = await open(`${base}/index.html?rom=`);
  await waitFor("PONG2's framed view", shows(page, 2, 2, "999999", 317, 157, "999999"));
  await waitFor("the ball to move", moves(page));
  if ((await cursor(page)) !== "none") throw new Error(`the cursor over the running program: ${await cursor(page)}`);
  ok("PONG2 starts framed with an empty ?rom=, the ball moves, no cursor over it");
  // Keypad 1 (the key 3) moves the left paddle up to row 0, keypad D (the
  // key Y) the right one down to row 31; each is held until its paddle shows
  // there, as a point scored on the way puts the paddles back.
  await holdKey(page, "3", "the key 3 to move the left paddle up", shows(page, 37, 17, "FFFFFF"));
  await holdButton(page, "D", "keypad D on the page to move the right paddle down",
    shows(page, 281, 141, "FFFFFF"));
  ok("the key 3 and the on-screen D move the paddles");
  return page;
}

async function keypadRelease(base) {
  const page = await open(`${base}/index.html?rom=held.ch8`);
  await waitFor("held.ch8's framed view", shows(page, 2, 2, "999999", 37, 17, "000000"));
  await holdButton(page, "D", "the on-screen D to be seen held", shows(page, 37, 17, "FFFFFF"));
  await waitFor("the on-screen D to be seen released", shows(page, 37, 17, "000000"));
  ok("the on-screen keypad's press and release reach the program");
  await page.close();
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

// presses.ch8 takes keypad 0 (the key V) in row 0 and keypad F (the key N)
// in row 15. Its loop is four instructions, one a frame: three turns after
// a dot shows, it waits at FX0A again, and a press given then is taken.
async function keyPresses(base) {
  const page = await open(`${base}/index.html?rom=presses.ch8`);
  await waitFor("presses.ch8's framed view", shows(page, 2, 2, "999999"));
  await countTurns(page);

  // A key held down: the browser repeats its keydown, which must not reach
  // the program as more presses. N, pressed after it, shows when every
  // event of V has been taken.
  const devtools = await page.target().createCDPSession();
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
  ok("a held key is one press, whatever the browser repeats");

  // Presses released in the same task as they are pressed, before any poll,
  // as the page's own keypad or a switch device can send them.
  await turnsPass(page, 3);
  for (let count = 2; count <= 6; count++) {
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
  ok("a press released before the program polls is still one press (5 of 5)");
  await page.close();
}

async function views(base) {
  const page = await open(`${base}/index.html?rom=views.ch8`);
  // Whether the browser's own use of F1 was stopped: seen after the page's
  // own listeners, by one added last.
  await page.evaluate(() => {
    window.f1Stopped = null;
    window.addEventListener("keydown", (event) => {
      if (event.keyCode === 112) window.f1Stopped = event.defaultPrevented;
    });
  });
  const shares = {};
  await waitFor("views.ch8 framed", shows(page, 2, 2, "999999", 57, 29, "FFFFFF"));
  const framed = (await picture(page)).url;
  shares.F2 = equalShare(path.join(work, "desktop-framed.png"), await savePicture(page, "web-framed"));
  await holdKey(page, "F1", "F1's full view", shows(page, 2, 2, "000000", 31, 16, "FFFFFF"));
  shares.F1 = equalShare(path.join(work, "desktop-full.png"), await savePicture(page, "web-full"));
  await holdKey(page, "F3", "F3's debug view", shows(page, 150, 2, "777777", 109, 54, "FFFFFF"));
  shares.F3 = equalShare(path.join(work, "desktop-debug.png"), await savePicture(page, "web-debug"));
  await holdKey(page, "F2", "F2's framed view again", shows(page, 2, 2, "999999", 57, 29, "FFFFFF"));
  const again = equalShare(path.join(work, "desktop-framed.png"), await savePicture(page, "web-framed-again"));
  shares.F2 = Math.min(shares.F2, again);
  const stopped = await page.evaluate(() => window.f1Stopped);
  if (stopped !== true) throw new Error(`the browser's own use of F1 was not stopped (${stopped})`);
  for (const [key, share] of Object.entries(shares)) {
    console.log(`${key}: ${(share * 100).toFixed(2)} % of the pixels equal to the desktop window's`);
    if (!(share >= MIN_EQUAL_SHARE)) {
      throw new Error(`${key}'s view: only ${(share * 100).toFixed(2)} % of the pixels equal the desktop's ` +
        `(pictures in ${work}: desktop-*.png, web-*.png)`);
    }
  }
  ok("F1, F2 and F3 give the desktop window's pictures; F1's browser default is stopped");
  return { page, framed };
}

async function romsGiven(page) {
  // A ROM dropped on the page starts the program again with it: zero.ch8's
  // glyph 0 at (0, 0) in place of views.ch8's 8 at (5, 3).
  const bytes = [...fs.readFileSync(path.join(work, "zero.ch8"))];
  await page.evaluate((content) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([new Uint8Array(content)], "zero.ch8"));
    document.dispatchEvent(new DragEvent("drop", { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, bytes);
  await waitFor("the dropped ROM's picture", shows(page, 2, 2, "999999", 37, 17, "FFFFFF", 57, 29, "000000"));
  ok("a dropped ROM runs");

  // Picked with the file picker: an empty file runs on a blank display with
  // no message, one far over the machine's memory runs its first 3584 bytes
  // and says so, as on the desktop.
  const input = await page.$("#rom-file");
  await input.uploadFile(path.join(work, "empty.ch8"));
  await waitFor("the empty ROM's blank framed view", shows(page, 2, 2, "999999", 57, 29, "000000"));
  if ((await messages(page)) !== "") throw new Error(`the empty ROM: message ${JSON.stringify(await messages(page))}`);
  await input.uploadFile(path.join(work, "long.ch8"));
  const cut = "Rom trop longue : seuls ses 3584 premiers octets ont été chargés\n";
  await waitFor("the long ROM's message", async () => (await messages(page)) === cut ||
    `messages: ${JSON.stringify(await messages(page))}`);
  await waitFor("the long ROM's framed view", shows(page, 2, 2, "999999", 57, 29, "000000"));
  ok("an empty ROM and one over 64 KiB, picked, behave as on the desktop");
  await page.close();
}

async function missingRom(base) {
  const page = await open(`${base}/index.html?rom=nothere.ch8`, "nothere.ch8");
  await waitFor("the dialog", shows(page, 150, 35, "666666", 2, 2, "777777"));
  if ((await cursor(page)) === "none") throw new Error("no cursor over the dialog's OK button");
  const desktop = fs.readFileSync(path.join(work, "desktop-missing.txt"), "utf8");
  await waitFor("the desktop's messages", async () => (await messages(page)) === desktop ||
    `messages: ${JSON.stringify(await messages(page))}, the desktop's: ${JSON.stringify(desktop)}`);
  // Its OK button, clicked on the canvas (scaled up by the page), ends the
  // run as on the desktop, and the canvas goes black like a closed window.
  const box = await (await page.$("#screen")).boundingBox();
  await page.mouse.click(box.x + (160 * box.width) / 320, box.y + (111 * box.height) / 160);
  await waitFor("the run to end after OK", shows(page, 150, 35, "000000", 2, 2, "000000"));
  ok("a missing ?rom= shows the dialog and the desktop's messages; OK ends the run");
  await page.close();
}

async function singleFiles(framed) {
  const page = await open(`file://${site}/vostrelina.html`);
  await waitFor("the single file's framed view", shows(page, 2, 2, "999999"));
  await waitFor("the ball to move in the single file", moves(page));
  await page.close();
  const baked = await open(`file://${work}/views.html`);
  await waitFor("the baked ROM's picture", async () => ((await picture(baked)).url === framed) || "not yet");
  await baked.close();
  ok("the single file plays from file://, and --rom bakes a ROM in");
}

async function main() {
  const server = await serve(site);
  const base = `http://127.0.0.1:${server.address().port}`;
  try {
    await withChromium(async (launched) => {
      browser = launched;
      const pongPage = await pong(base);
      await pongPage.close();
      await keypadRelease(base);
      await keyPresses(base);
      const { page, framed } = await views(base);
      await romsGiven(page);
      await missingRom(base);
      await singleFiles(framed);
      await pageChecks.chromiumChecks(browser, base, site);
    });
    if (errors.length > 0) throw new Error("errors in the pages (below)");
    ok("no console error or uncaught error in any page");
  } finally {
    server.close();
  }
}

main().catch((error) => {
  console.error(`FAIL: ${error.message}`);
  if (errors.length > 0) console.error(`  and errors in the pages:\n  ${errors.join("\n  ")}`);
  process.exit(1);
});
