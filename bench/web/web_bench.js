// The page's side of bench/web/web_bench.sh, in each engine the browser
// checks drive (tests/web/engines.js): frames a second in each view and the
// ball's moves a second in the framed view, counted as flip_probe.c counts
// them on the desktop (which says how): every frame finished (the program's
// own count, as the canvas gets only the last frame before each of the
// browser's turns), and each new place the ball is seen at, looked for no
// more than every 2 ms (ball_probe.js).
//
// Usage: node web_bench.js PONG2_URL COUNTS_URL FAST_URL SECONDS [ENGINES [SEED]]
// (ENGINES chromium,firefox,webkit by default; SEED 1). PONG2 is started
// again on SEED, as the desktop's flip_probe.c seeds its program, so that
// both play the same game. COUNTS_URL is the page with
// the benchmark's counting ROM, whose dot moves every ten counts of the
// delay timer, so its moves a second are the timer's pace in seconds;
// FAST_URL the same ROM moving its dot every two counts, as fast as PONG2's
// ball after a paddle's hit, so its moves a second say how many of such a
// game's moves the page shows: all of them only while its pictures come
// more often than every two counts (22 ms).
// Prints, for each engine, one line each:
//   ENGINE framed FRAMES_PER_SECOND BALL_MOVES_PER_SECOND
//   ENGINE full FRAMES_PER_SECOND
//   ENGINE debug FRAMES_PER_SECOND
//   ENGINE turns TURNS_PER_SECOND MEDIAN_MS P90_MS SHARE_OF_TIME
//   ENGINE counting DOT_MOVES_PER_SECOND
//   ENGINE fast DOT_MOVES_PER_SECOND
// and in chromium, with the CPU slowed four times (a phone's stand-in):
//   chromium slowed FRAMES_PER_SECOND BALL_MOVES_PER_SECOND
// The ball and the dot are counted over three times SECONDS; the turns are
// the browser's, between the program's slices of frames (web/main.cpp's
// hand_to_browser), timed in the framed view.
"use strict";
const { ENGINES } = require("../../tests/web/engines");
const { ballProbe } = require("./ball_probe");

const [pongUrl, countsUrl, fastUrl] = [process.argv[2], process.argv[3], process.argv[4]];
const seconds = Number(process.argv[5] || 10);
const engineNames = (process.argv[6] || "chromium,firefox,webkit").split(",");
const seed = Number(process.argv[7] || 1);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, Math.max(0, ms)));

async function counts(page) {
  return page.evaluate(() => ({ frames: Module._frames_presented(), changes: window.ballProbe.changes,
    at: performance.now() }));
}

async function measure(page, length = seconds) {
  const a = await counts(page);
  await sleep(length * 1000);
  const b = await counts(page);
  const span = (b.at - a.at) / 1000;
  return { frames: (b.frames - a.frames) / span, moves: (b.changes - a.changes) / span };
}

// Starts the page's program again with rom, through the page's own way of
// taking a new ROM (Module.takeNewRom, asked at every one of the browser's
// turns). The program seeds its random numbers with the time in seconds as
// it starts, so the page's clock is set to seed's second as it takes the
// ROM, and the probe starts counting afresh: the program starts again at
// once, before any other picture.
function seededRestart(rom, seed) {
  const take = Module.takeNewRom;
  Module.takeNewRom = () => {
    Module.takeNewRom = take;
    const real = Date.now.bind(Date);
    const shift = seed * 1000 + 500 - real();
    Date.now = () => real() + shift;
    window.ballProbe.restart();
    return rom;
  };
}

// PONG2 started again on the seed, then its frames a second over length
// seconds, and its ball's moves a second over the length seconds from the
// ball's first sighting (the first serve), as the desktop's are measured.
async function measureGame(page, length) {
  await page.evaluate(seededRestart, "PONG2", seed);
  const end = Date.now() + 30000;
  let first;
  while ((first = await page.evaluate(() => window.ballProbe.firstAt)) === null) {
    if (Date.now() > end) throw new Error("no ball seen in 30 s after PONG2 started again");
    await sleep(10);
  }
  const a = await counts(page);
  await sleep(length * 1000 - (a.at - first));
  const b = await counts(page);
  return { frames: (1000 * (b.frames - a.frames)) / (b.at - a.at), moves: (1000 * (b.changes - 1)) / (b.at - first) };
}

// Times each of the browser's turns the program hands over: the program
// posts a message to a channel of its own (Module.turnChannel, made at its
// first turn) and waits for it, so the turn lasts from the post to the
// message's arrival.
function turnTimer() {
  const turns = (window.browserTurns = { lengths: [], since: performance.now() });
  const channel = Module.turnChannel;
  const post = channel.port2.postMessage.bind(channel.port2);
  let posted = 0;
  channel.port2.postMessage = (message) => {
    posted = performance.now();
    post(message);
  };
  channel.port1.addEventListener("message", () => turns.lengths.push(performance.now() - posted));
}

async function turnFigures(page) {
  const { lengths, since } = await page.evaluate(() => window.browserTurns);
  const sorted = [...lengths].sort((a, b) => a - b);
  const at = (share) => sorted[Math.min(sorted.length - 1, Math.floor(share * sorted.length))] || 0;
  const span = (await page.evaluate(() => performance.now())) - since;
  const share = sorted.reduce((sum, length) => sum + length, 0) / span;
  return `${((1000 * sorted.length) / span).toFixed(0)} ${at(0.5).toFixed(1)} ${at(0.9).toFixed(1)} ${share.toFixed(3)}`;
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

// A page in its framed view, with the probe in it.
async function framedPage(engine, url) {
  const page = await engine.open(url);
  await until(page, 2, 2, 0x999999);
  await page.evaluate(ballProbe, 2);
  return page;
}

async function bench(engine) {
  const page = await framedPage(engine, pongUrl);
  await page.evaluate(turnTimer);
  const framed = await measureGame(page, 3 * seconds);
  const turns = await turnFigures(page);
  await view(page, "F1", 2, 2, 0x000000);
  const full = await measure(page);
  await view(page, "F3", 150, 2, 0x777777);
  const debug = await measure(page);
  await page.close();
  console.log(`${engine.name} framed ${framed.frames.toFixed(0)} ${framed.moves.toFixed(2)}`);
  console.log(`${engine.name} full ${full.frames.toFixed(0)}`);
  console.log(`${engine.name} debug ${debug.frames.toFixed(0)}`);
  console.log(`${engine.name} turns ${turns}`);

  for (const [label, url] of [["counting", countsUrl], ["fast", fastUrl]]) {
    const dots = await framedPage(engine, url);
    console.log(`${engine.name} ${label} ${(await measure(dots, 3 * seconds)).moves.toFixed(3)}`);
    await dots.close();
  }

  if (engine.can.devtools !== true) return;
  const slowed = await engine.open(pongUrl);
  await (await slowed.devtools()).send("Emulation.setCPUThrottlingRate", { rate: 4 });
  await until(slowed, 2, 2, 0x999999);
  await slowed.evaluate(ballProbe, 2);
  const figures = await measureGame(slowed, 3 * seconds);
  console.log(`${engine.name} slowed ${figures.frames.toFixed(0)} ${figures.moves.toFixed(2)}`);
  await slowed.close();
}

async function main() {
  for (const name of engineNames) await ENGINES[name](bench);
}

main().catch((error) => {
  console.error(`FAIL: ${error.message}`);
  process.exit(1);
});
