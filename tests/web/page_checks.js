// The page's checks that need Chromium's DevTools protocol: the layout on
// phone and desktop screens (device emulation, touch), the app (installability,
// a start with no network through the service worker), touch as players use
// it, pause and fullscreen, and the words. web_test.js runs them all with
// chromiumChecks; page_shot.js takes the README's pictures through screens.
//
// Every state is waited for, with a deadline of seconds.
"use strict";
const fs = require("fs");
const path = require("path");

const { waitFor, shows, moves } = require("./canvas");
const { newPage } = require("./engines");
const CANVAS = { width: 320, height: 160 };

// The screens: phones held upright and sideways with touch, desktops with a
// mouse; shot names the README's picture of that size.
const SCREENS = [
  { width: 360, height: 640, deviceScaleFactor: 3, isMobile: true, hasTouch: true },
  { width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true, shot: "web-phone" },
  { width: 844, height: 390, deviceScaleFactor: 3, isMobile: true, hasTouch: true, shot: "web-phone-sideways" },
  { width: 640, height: 360, deviceScaleFactor: 1, isMobile: false, hasTouch: false },
  { width: 1280, height: 800, deviceScaleFactor: 1, isMobile: false, hasTouch: false, shot: "web-page" },
  { width: 1920, height: 1080, deviceScaleFactor: 1, isMobile: false, hasTouch: false },
];


const errors = [];

// A page of its own for each case, its console and uncaught errors kept;
// screen (one of SCREENS) emulated before the page loads.
async function open(browser, url, screen) {
  const page = await newPage(browser);
  page.on("console", (message) => {
    if (message.type() === "error") errors.push(`${url}: console error: ${message.text()}`);
  });
  page.on("pageerror", (error) => errors.push(`${url}: uncaught: ${error.message}`));
  if (screen) await page.setViewport(screen);
  await page.goto(url);
  return page;
}



const canvasPicture = (page) => page.evaluate(() => document.getElementById("screen").toDataURL());


const pongFramed = (page) => waitFor("PONG2's framed view", shows(page, 2, 2, "999999", 317, 157, "999999"));

function ok(text) {
  console.log(`ok: ${text}`);
}

// --- Every screen ------------------------------------------------------------

// Where the canvas, the 16 keys and the display's room are, and whether the
// page scrolls, the drop hint shows.
function layout(page) {
  return page.evaluate(() => {
    const box = (element) => {
      const r = element.getBoundingClientRect();
      return { left: r.left, top: r.top, right: r.right, bottom: r.bottom, width: r.width, height: r.height };
    };
    const display = document.getElementById("display");
    const scroller = document.scrollingElement;
    return {
      ratio: window.devicePixelRatio,
      viewport: { width: innerWidth, height: innerHeight },
      scrolls: scroller.scrollWidth > innerWidth || scroller.scrollHeight > innerHeight,
      canvas: box(document.getElementById("screen")),
      room: { width: display.clientWidth, height: display.clientHeight },
      keys: [...document.querySelectorAll("#keypad button")].map((b) => ({ key: b.dataset.key, ...box(b) })),
      dropHint: getComputedStyle(document.getElementById("drop-hint")).display !== "none",
      mouse: matchMedia("(hover: hover) and (pointer: fine)").matches,
    };
  });
}

// What is wrong with a layout at a screen, or "" when nothing is.
function layoutFaults(l, screen) {
  const faults = [];
  const inside = (b) => b.left >= 0 && b.top >= 0 && b.right <= l.viewport.width + 0.01 &&
    b.bottom <= l.viewport.height + 0.01;
  if (l.scrolls) faults.push("the page scrolls");
  if (!inside(l.canvas)) faults.push(`the canvas (${JSON.stringify(l.canvas)}) is not all in view`);
  const out = l.keys.filter((k) => !inside(k)).map((k) => k.key);
  if (l.keys.length !== 16 || out.length > 0) faults.push(`keys out of view: ${out.join(" ")}`);
  // Device pixels per canvas pixel: whole where there is room for one or
  // more, and the largest whole number the room allows.
  const scale = (l.canvas.width * l.ratio) / CANVAS.width;
  const room = Math.min(l.room.width / CANVAS.width, l.room.height / CANVAS.height) * l.ratio;
  if (Math.abs(l.canvas.height * 2 - l.canvas.width) > 0.01) faults.push("the canvas is not 2:1");
  if (room >= 1 && (Math.abs(scale - Math.round(scale)) > 0.01 || Math.round(scale) !== Math.floor(room))) {
    faults.push(`scale ${scale.toFixed(3)} where the room allows ${room.toFixed(3)}`);
  }
  const keypadTop = Math.min(...l.keys.map((k) => k.top));
  const keypadLeft = Math.min(...l.keys.map((k) => k.left));
  const upright = l.viewport.height > l.viewport.width;
  if (upright && keypadTop < l.canvas.bottom) faults.push("held upright, the keypad is not below the display");
  if (!upright && keypadLeft < l.canvas.right) faults.push("held sideways, the keypad is not beside the display");
  // Headless, the desktop has no pointer at all: the hint is checked to
  // follow the pointer the browser reports, and to be hidden under touch.
  if (l.dropHint !== l.mouse || (screen.hasTouch && l.dropHint)) {
    faults.push(`the drop hint is ${l.dropHint ? "shown" : "hidden"} with ${l.mouse ? "a" : "no"} mouse`);
  }
  return faults.join("; ");
}

// The page at every screen of SCREENS: the canvas and all 16 keys in view
// with no scrolling, the display at the largest whole scale that fits, the
// keypad below or beside it, the drop hint only with a pointer that drags. With shots, a
// folder, the screens that name a picture are taken into it.
async function screens(browser, url, shots) {
  for (const screen of SCREENS) {
    const page = await open(browser, url, screen);
    await pongFramed(page);
    const size = `${screen.width} x ${screen.height}`;
    await waitFor(`the page at ${size}`, async () => layoutFaults(await layout(page), screen) || true);
    const l = await layout(page);
    ok(`${size}: canvas ${l.canvas.width} x ${l.canvas.height}, ${((l.canvas.width * l.ratio) / CANVAS.width).toFixed(2)} ` +
      "device pixels a canvas pixel, the 16 keys in view, no scrolling");
    if (shots && screen.shot) {
      await page.evaluate(() => document.fonts.ready);
      await page.screenshot({ path: path.join(shots, `${screen.shot}.png`) });
    }
    await page.close();
  }
}

// --- Touch -------------------------------------------------------------------

// touch.ch8 shows glyph 0 (top row 0x60) at cell (0, 0) while keypad 1 is
// held and at cell (8, 0) while keypad 4 is: framed, their lit cells (1, 0)
// and (9, 0) at canvas pixels (37, 17) and (69, 17).
const TOUCH_ROM = [0x6A, 0x01, 0x6B, 0x04, 0x68, 0x08, 0xF9, 0x29,
  0x65, 0x00, 0xEA, 0xA1, 0x65, 0x01, 0x95, 0x30, 0x12, 0x16, 0xD7, 0x95, 0x83, 0x50,
  0x65, 0x00, 0xEB, 0xA1, 0x65, 0x01, 0x95, 0x40, 0x12, 0x08, 0xD8, 0x95, 0x84, 0x50, 0x12, 0x08];
const held = (page, one, four) => shows(page, 37, 17, one ? "FFFFFF" : "000000", 69, 17, four ? "FFFFFF" : "000000");

async function centre(page, key) {
  const box = await (await page.$(`button[data-key="${key}"]`)).boundingBox();
  return { x: box.x + box.width / 2, y: box.y + box.height / 2 };
}

// A thumb slides from 1 to 4: 1 is let go and 4 pressed. Two fingers hold 1
// and 4 at once. Nothing on the page selects or zooms.
async function touch(browser, base, site) {
  fs.writeFileSync(path.join(site, "touch.ch8"), Buffer.from(TOUCH_ROM));
  const page = await open(browser, `${base}/index.html?rom=touch.ch8`, SCREENS[1]);
  await waitFor("touch.ch8's framed view", async () => (await shows(page, 2, 2, "999999")()) === true &&
    held(page, false, false)());
  const one = await centre(page, "1");
  const four = await centre(page, "4");
  const devtools = await page.target().createCDPSession();
  const fingers = (type, ...points) => devtools.send("Input.dispatchTouchEvent",
    { type, touchPoints: points.map((p, id) => ({ x: p.x, y: p.y, id: p.id === undefined ? id : p.id })) });

  await fingers("touchStart", one);
  await waitFor("a finger on 1 holds 1", held(page, true, false));
  for (let step = 1; step <= 4; step++) {
    await fingers("touchMove", { x: one.x, y: one.y + ((four.y - one.y) * step) / 4 });
  }
  await waitFor("the finger slid onto 4: 1 let go, 4 held", held(page, false, true));
  await fingers("touchEnd");
  await waitFor("the finger lifted: nothing held", held(page, false, false));
  ok("a finger sliding from 1 to 4 lets 1 go and presses 4");

  await fingers("touchStart", one, four);
  await waitFor("two fingers hold 1 and 4", held(page, true, true));
  // A touchEnd with points lifts those points only.
  await fingers("touchEnd", one);
  await waitFor("the first finger lifted: 4 still held", held(page, false, true));
  await fingers("touchEnd");
  await waitFor("both lifted: nothing held", held(page, false, false));
  ok("two fingers hold two keys");

  const style = await page.evaluate(() => {
    const s = getComputedStyle(document.documentElement);
    return `${s.userSelect || s.webkitUserSelect} ${s.touchAction}`;
  });
  if (style !== "none manipulation") throw new Error(`the page's selection and touch action: ${style}`);
  ok("no text selection or double-tap zoom on the page");
  await page.close();
}

// --- The app -----------------------------------------------------------------

// No installability error; loaded once, then with no network and reloaded,
// PONG2 plays from the service worker's copy.
async function app(browser, base) {
  const page = await open(browser, `${base}/index.html`);
  await pongFramed(page);
  await waitFor("the service worker in control", async () =>
    (await page.evaluate(() => !!navigator.serviceWorker.controller)) || "no controller");
  const devtools = await page.target().createCDPSession();
  await waitFor("no installability error", async () => {
    const { installabilityErrors } = await devtools.send("Page.getInstallabilityErrors");
    return installabilityErrors.length === 0 || installabilityErrors.map((e) => e.errorId).join(", ");
  });
  ok("the page is installable (no installability error)");
  await devtools.send("Network.enable");
  await devtools.send("Network.emulateNetworkConditions",
    { offline: true, latency: 0, downloadThroughput: -1, uploadThroughput: -1 });
  await page.reload();
  await pongFramed(page);
  await waitFor("the ball to move offline", moves(page));
  await devtools.send("Network.emulateNetworkConditions",
    { offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: -1 });
  ok("reloaded with no network, PONG2 plays from the service worker's copy");
  await page.close();
}

// --- Pause and fullscreen ----------------------------------------------------

// Pauses and resumes with pause(), and checks that the program is then
// parked in its wait with the picture still, and runs again after.
async function pausesAndResumes(page, how, pause, resume) {
  await pause();
  await waitFor(`the program parked (${how})`, async () =>
    (await page.evaluate(() => window.parked === true)) || "running");
  const still = await canvasPicture(page);
  const turns = await page.evaluate(() => window.turns);
  // Parked, it runs no frame: the picture and the turn count hold for a
  // while, not only at one look.
  for (const end = Date.now() + 500; Date.now() < end;) {
    if ((await canvasPicture(page)) !== still || (await page.evaluate(() => window.turns)) !== turns) {
      throw new Error(`paused (${how}), the program still ran frames`);
    }
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  await resume();
  await waitFor(`the ball to move again (${how})`, moves(page));
  if (await page.evaluate(() => window.parked)) throw new Error(`still parked after ${how}`);
}

async function pauseAndFullscreen(browser, base) {
  const page = await open(browser, `${base}/index.html`);
  await pongFramed(page);
  await waitFor("the ball to move", moves(page));
  await page.evaluate(() => {
    window.parked = false;
    window.turns = 0;
    const untilResumed = Module.untilResumed;
    Module.untilResumed = async () => {
      window.parked = true;
      await untilResumed();
      window.parked = false;
    };
    const keysTaken = Module.keysTaken;
    Module.keysTaken = () => {
      window.turns++;
      keysTaken();
    };
  });
  await pausesAndResumes(page, "the pause button", () => page.click("#pause"), () => page.click("#pause"));
  await pausesAndResumes(page, "the key P", () => page.keyboard.press("p"), () => page.keyboard.press("p"));
  const hidden = (value) => page.evaluate((h) => {
    Object.defineProperty(document, "hidden", { configurable: true, get: () => h });
    Object.defineProperty(document, "visibilityState", { configurable: true, get: () => (h ? "hidden" : "visible") });
    document.dispatchEvent(new Event("visibilitychange"));
  }, value);
  await pausesAndResumes(page, "the page hidden", () => hidden(true), () => hidden(false));
  ok("the pause button, P and a hidden page stop the frames; the program goes on after");

  if (await page.$eval("#fullscreen", (b) => b.hidden)) throw new Error("no fullscreen button in Chromium");
  await page.click("#fullscreen");
  await waitFor("the page in full screen", async () =>
    (await page.evaluate(() => document.fullscreenElement === document.documentElement)) || "not yet");
  await page.click("#fullscreen");
  await waitFor("the page out of full screen", async () =>
    (await page.evaluate(() => document.fullscreenElement === null)) || "not yet");
  await page.close();
  // A browser without the Fullscreen API, as iPhone Safari: no button.
  const bare = await newPage(browser);
  await bare.evaluateOnNewDocument(() => {
    delete Element.prototype.requestFullscreen;
    delete Element.prototype.webkitRequestFullscreen;
    delete Document.prototype.fullscreenEnabled;
    delete Document.prototype.webkitFullscreenEnabled;
  });
  await bare.goto(`${base}/index.html`);
  await pongFramed(bare);
  if (!(await bare.$eval("#fullscreen", (b) => b.hidden && getComputedStyle(b).display === "none"))) {
    throw new Error("a fullscreen button where the browser has no Fullscreen API");
  }
  await bare.close();
  ok("the fullscreen button puts the page in full screen, and is hidden with no Fullscreen API");
}

// --- The words ---------------------------------------------------------------

// The names a screen reader gives: the keypad a group, the view keys by
// their view, the file button in French; the keyboard's keys shown.
async function words(browser, base) {
  const page = await open(browser, `${base}/index.html`);
  await pongFramed(page);
  const tree = await page.accessibility.snapshot({ interestingOnly: false });
  const names = [];
  (function walk(node) {
    names.push(`${node.role}: ${node.name}`);
    for (const child of node.children || []) walk(child);
  })(tree);
  for (const wanted of ["group: Clavier CHIP-8", "button: vue complète (F1)", "button: vue encadrée (F2)",
    "button: vue de débogage (F3)", "button: Pause", "button: Ouvrir une rom"]) {
    if (!names.includes(wanted)) throw new Error(`no "${wanted}" in the accessibility tree: ${names.join(" | ")}`);
  }
  const fileButton = await page.$eval("#open", (label) => label.textContent.trim());
  const keyboard = await page.$$eval("#keyboard span", (keys) => keys.map((k) => k.textContent).join(""));
  if (fileButton !== "Ouvrir une rom") throw new Error(`the file button reads ${JSON.stringify(fileButton)}`);
  if (keyboard !== "3456ERTYDFGHCVBN") throw new Error(`the keyboard's block reads ${keyboard}`);
  ok("the keypad a labelled group, the view keys named, the file button in French, the keyboard's block shown");
  await page.close();
}

// All of the above, on the web folder served at base (its folder on disk is
// site), in Chromium; run last, as the service worker then keeps the site.
async function chromiumChecks(browser, base, site) {
  await screens(browser, `${base}/index.html`);
  await touch(browser, base, site);
  await pauseAndFullscreen(browser, base);
  await words(browser, base);
  await app(browser, base);
  if (errors.length > 0) throw new Error(`errors in the page checks' pages:\n  ${errors.join("\n  ")}`);
}

// The browser test's table (web_test.js) runs these in the engines with
// DevTools: the screens, touch, pause, the words and the app, in one entry,
// last, since the service worker then stays on the test's site.
const CHECKS = [
  { name: "the page on every screen, touch, pause, words, an app", needs: ["devtools"],
    run: async (ctx) => {
      await chromiumChecks(ctx.engine.browser, ctx.base, ctx.site);
      return "the page on every screen, by touch, paused, in words, as an app";
    } },
];

module.exports = { SCREENS, screens, touch, app, pauseAndFullscreen, words, chromiumChecks, CHECKS };
