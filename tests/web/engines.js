// The three browser engines the browser checks run in, each Debian's own
// build, none downloaded: chromium through DevTools and firefox-esr through
// WebDriver BiDi (both puppeteer-core), WebKitGTK through WebKitWebDriver
// (selenium-webdriver, whose four small dependencies are all it brings; the
// driver is ours, started here, so its own driver finder never runs).
//
// Each engine is opened as a session: open(url) gives a page with the same
// few calls whatever drives it (evaluate, keys, the pointer, a file picked,
// close), and the session keeps every console error and uncaught error of
// its pages. What an engine cannot do is in its capabilities (can: true, or
// why not), which the checks ask before they start, so that a check it
// cannot run is reported as skipped, with the reason, never as passed.
"use strict";
const { spawn } = require("child_process");
const fs = require("fs");
const http = require("http");
const net = require("net");
const os = require("os");
const path = require("path");
const puppeteer = require("puppeteer-core");
const { withChromium } = require("./chromium");

const DEADLINE_MS = Number(process.env.E2E_DEADLINE || 30) * 1000;

// Why an engine other than chromium skips a check that needs DevTools.
const NO_DEVTOOLS = "only chromium's DevTools marks a keydown as repeated, emulates a phone's screen and touch, tells installability and offline, or chooses where downloads go";

// --- puppeteer's engines: chromium and firefox-esr ----------------------------

// A new tab. Chromium's DevTools now and then answers the tab's creation
// with "Session with given id not found" while a closed tab's service worker
// is being let go (seen under load, after the pages' service workers): that is the protocol's
// race, not the page's, so the tab is asked for again, a few times at most.
async function newPage(browser) {
  for (let attempt = 1; ; attempt++) {
    try {
      return await browser.newPage();
    } catch (error) {
      if (attempt >= 3 || !/Session with given id not found/.test(error.message)) throw error;
    }
  }
}

// A page driven by puppeteer-core, in either protocol. expectedMissing names
// a file the page asks for knowing it is not there: the browser's own report
// of that one answer is no error.
async function puppeteerPage(browser, errors, url, expectedMissing) {
  const page = await newPage(browser);
  const label = url.replace(/^.*\//, "");
  page.on("console", (message) => {
    if (message.type() !== "error") return;
    const where = (message.location() && message.location().url) || "";
    if (expectedMissing && where.endsWith("/" + expectedMissing) && /404/.test(message.text())) return;
    errors.push(`${label}: console error: ${message.text()} ${where}`);
  });
  page.on("pageerror", (error) => errors.push(`${label}: uncaught: ${error.message}`));
  await page.goto(url);
  return {
    evaluate: (fn, ...args) => page.evaluate(fn, ...args),
    keyDown: (key) => page.keyboard.down(key),
    keyUp: (key) => page.keyboard.up(key),
    pointerDown: async (x, y) => {
      await page.mouse.move(x, y);
      await page.mouse.down();
    },
    pointerUp: () => page.mouse.up(),
    touchDown: (x, y) => page.touchscreen.touchStart(x, y),
    touchUp: () => page.touchscreen.touchEnd(),
    upload: async (selector, file) => (await page.$(selector)).uploadFile(file),
    devtools: () => page.target().createCDPSession(),
    close: () => page.close(),
  };
}

async function chromium(use) {
  return withChromium((browser) => {
    const errors = [];
    return use({
      name: "chromium", errors, browser,
      can: { devtools: true, upload: true, touch: true },
      open: (url, expectedMissing) => puppeteerPage(browser, errors, url, expectedMissing),
    });
  });
}

async function firefox(use) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "vostrelina-firefox-"));
  const browser = await puppeteer.launch({
    browser: "firefox", protocol: "webDriverBiDi", headless: true, userDataDir: profile,
    executablePath: process.env.FIREFOX || "/usr/bin/firefox-esr",
    // No first-run traffic, as chromium's flags ask of it.
    extraPrefsFirefox: { "app.update.enabled": false, "browser.shell.checkDefaultBrowser": false,
      "datareporting.policy.dataSubmissionEnabled": false, "toolkit.telemetry.enabled": false },
  });
  try {
    const errors = [];
    return await use({
      name: "firefox", errors,
      can: { devtools: NO_DEVTOOLS, upload: true,
        touch: "firefox-esr's WebDriver BiDi refuses a touch when headless (NS_ERROR_ILLEGAL_VALUE)" },
      open: (url, expectedMissing) => puppeteerPage(browser, errors, url, expectedMissing),
    });
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

// --- WebKitGTK through WebKitWebDriver -------------------------------------

// WebDriver's codes for the keys the checks press that are not characters.
const WEBDRIVER_KEYS = { F1: "\uE031", F2: "\uE032", F3: "\uE033" };

// Classic WebDriver reports no console message: the page's errors are kept
// by this recorder, put first in the page's head (by the test's server, or in
// a copy of a single file), and read before the page goes.
const RECORDER = "<script>window.recordedErrors=[];" +
  "addEventListener('error',function(e){recordedErrors.push('uncaught: '+(e.message||(e.target&&e.target.src)))},true);" +
  "addEventListener('unhandledrejection',function(e){recordedErrors.push('uncaught: '+e.reason)});" +
  "(function(f){console.error=function(){recordedErrors.push('console error: '+[].join.call(arguments,' '));" +
  "return f.apply(console,arguments)}})(console.error);</script>";

function withRecorder(html) {
  return html.replace(/<head[^>]*>/i, (head) => head + RECORDER);
}

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.on("error", reject);
    server.listen(0, "127.0.0.1", () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// True once the driver answers its status request.
function driverReady(port) {
  return new Promise((resolve) => {
    http.get({ host: "127.0.0.1", port, path: "/status", timeout: 1000 }, (response) => {
      response.resume();
      resolve(response.statusCode === 200);
    }).on("error", () => resolve(false));
  });
}

async function webkit(use) {
  const { Builder, By, Capabilities } = require("selenium-webdriver");
  const input = require("selenium-webdriver/lib/input");
  const finger = new input.Pointer("finger", input.Pointer.Type.TOUCH);
  const port = await freePort();
  const driverLog = [];
  // Xvfb has no GPU: WebKitGTK's GL compositing and canvas on software GL
  // make each putImageData a round trip, and the page draws a tenth of its
  // frames; its CPU paths are the ones for a machine without GPU. (The
  // driver's environment is MiniBrowser's.)
  const env = { ...process.env, WEBKIT_DISABLE_COMPOSITING_MODE: "1", WEBKIT_SKIA_ENABLE_CPU_RENDERING: "1" };
  const driver = spawn(process.env.WEBKIT_DRIVER || "/usr/bin/WebKitWebDriver", [`--port=${port}`],
    { stdio: ["ignore", "pipe", "pipe"], env });
  driver.stdout.on("data", (d) => driverLog.push(String(d)));
  driver.stderr.on("data", (d) => driverLog.push(String(d)));
  let session;
  try {
    const end = Date.now() + DEADLINE_MS;
    while (!(await driverReady(port))) {
      if (driver.exitCode !== null || Date.now() > end) {
        throw new Error(`WebKitWebDriver did not answer on port ${port}: ${driverLog.join("")}`);
      }
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
    session = await new Builder().usingServer(`http://127.0.0.1:${port}`).withCapabilities(new Capabilities({
      browserName: "MiniBrowser",
      "webkitgtk:browserOptions": {
        binary: process.env.WEBKIT_BROWSER || "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser",
        args: ["--automation"],
      },
    })).build();
    await session.manage().window().setRect({ x: 0, y: 0, width: 900, height: 900 });
    const errors = [];
    // WebDriver drives one window: a page is that window at a new address.
    const open = async (url) => {
      const label = url.replace(/^.*\//, "");
      await session.get(url);
      const run = (fn, ...args) => session.executeScript(
        `return (${fn}).apply(null, arguments)`, ...args);
      const actions = (build) => build(session.actions({ async: true })).perform();
      return {
        evaluate: run,
        keyDown: (key) => actions((a) => a.keyDown(WEBDRIVER_KEYS[key] || key)),
        keyUp: (key) => actions((a) => a.keyUp(WEBDRIVER_KEYS[key] || key)),
        pointerDown: (x, y) => actions((a) => a.move({ x: Math.round(x), y: Math.round(y) }).press()),
        pointerUp: () => actions((a) => a.release()),
        touchDown: (x, y) => actions((a) => a.insert(finger, finger.move({ x: Math.round(x), y: Math.round(y) }), finger.press())),
        touchUp: () => actions((a) => a.insert(finger, finger.release())),
        upload: async (selector, file) => (await session.findElement(By.css(selector))).sendKeys(file),
        close: async () => {
          const recorded = await run(() => window.recordedErrors);
          if (!Array.isArray(recorded)) errors.push(`${label}: no error recorder in the page`);
          else for (const error of recorded) errors.push(`${label}: ${error}`);
          await session.get("about:blank");
        },
      };
    };
    return await use({ name: "webkit", errors, open,
      can: { devtools: NO_DEVTOOLS, upload: true, touch: true, recorder: true } });
  } finally {
    if (session) await session.quit().catch(() => {});
    driver.kill();
  }
}

const ENGINES = { chromium, firefox, webkit };

module.exports = { ENGINES, withRecorder, newPage };
