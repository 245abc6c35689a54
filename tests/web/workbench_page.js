// The workbench page's checks (dist/workbench.html), one table run by
// web_test.js in every engine as its own checks are, with ctx as there. The
// native tools of the desktop build (BUILD_DIR, which web_test.sh exports)
// give what the page must answer: vostrelina-dbg's batch output,
// vostrelina-dis's source, vostrelina-run's screen for a key script.
//
// keep.js, which the page's bundle holds, is also served as it is, beside a
// bare page of ours (keep.html), so that its storage, share link and
// one-file game are checked without going through the page's buttons.
"use strict";
const { execFileSync } = require("child_process");
const fs = require("fs");
const path = require("path");
const { withRecorder } = require("./engines");
const { waitFor, shows } = require("./canvas");
const { batches, native, firstDifference } = require("./workbench_test");

const top = path.resolve(__dirname, "../..");
// The served web folder, web_test.js's WORK/site (ctx.site is, for an
// engine with the error recorder, a folder of copies for file://).
const served = path.join(process.argv[2], "site");
const build = process.env.BUILD_DIR || path.join(top, "build-dev");
const tools = path.join(build, "tools");

// Our ROMs, as source: the page assembles them as an author's would be,
// vostrelina-asm for the native tools.
// glyphs.asm draws the glyphs 0 and 1 at (0, 0) and (8, 0), then parks:
// a picture that shows once Run has run it.
const GLYPHS = [
  "start:",
  "    LD V0, 0",
  "    LD V1, 8",
  "    LD V2, 0",
  "    LD F, V2",
  "    DRW V0, V2, 5",
  "    LD V2, 1",
  "    LD F, V2",
  "    DRW V1, V0, 5",
  "park:",
  "    JP park",
  "",
].join("\n");

// Writes source as a ROM of the desktop's assembler into the work folder.
function assembled(work, name, source) {
  const asm = path.join(work, `${name}.asm`);
  const rom = path.join(work, `${name}.ch8`);
  fs.writeFileSync(asm, source);
  execFileSync(path.join(tools, "vostrelina-asm"), [asm, rom]);
  return rom;
}

// vostrelina-run's final screen of rom, as text.
function nativeScreen(rom) {
  return execFileSync(path.join(tools, "vostrelina-run"), [rom, "--screen", "-"],
    { encoding: "utf8", stdio: ["ignore", "pipe", "pipe"] });
}

// --- keep.js beside a bare page ------------------------------------------------

// keep.js and keep.html, which imports it, put in the served folder; the
// page opened.
function keepPage(ctx) {
  fs.copyFileSync(path.join(top, "web/workbench/keep.js"), path.join(served, "keep.js"));
  fs.writeFileSync(path.join(served, "keep.html"), '<!DOCTYPE html>\n<html lang="fr">\n<head>\n' +
    '<meta charset="utf-8">\n<title>keep.js</title>\n<link rel="icon" href="data:,">\n</head>\n' +
    '<body>\n<script type="module">import * as keep from "./keep.js"; window.keep = keep;</script>\n</body>\n</html>\n');
  return ctx.open(`${ctx.base}/keep.html`);
}

async function keepReady(page) {
  await waitFor("keep.js loaded", async () => (await page.evaluate(() => !!window.keep)) || "not yet");
}

// Storage refused (as private browsing and some pages from disk refuse it)
// and storage full: saving and loading go on without an exception, and say
// so once, as a warning (an error would fail every check of the page).
async function storageRefused(ctx) {
  const page = await keepPage(ctx);
  await keepReady(page);
  const seen = await page.evaluate(() => {
    const warnings = [];
    const thrown = [];
    console.warn = (...words) => warnings.push(words.join(" "));
    const attempt = (what, fn) => {
      try {
        return fn();
      } catch (error) {
        thrown.push(`${what}: ${error.name}`);
        return undefined;
      }
    };
    const setItem = Storage.prototype.setItem;
    Storage.prototype.setItem = () => {
      throw new DOMException("full", "QuotaExceededError");
    };
    attempt("save, full", () => window.keep.saveSource("full"));
    Storage.prototype.setItem = setItem;
    Object.defineProperty(window, "localStorage", { configurable: true,
      get: () => { throw new DOMException("refused", "SecurityError"); } });
    attempt("save, refused", () => window.keep.saveSource("refused"));
    const loaded = attempt("load, refused", () => window.keep.loadSource());
    return { warnings, thrown, loaded };
  });
  await page.close();
  if (seen.thrown.length) throw new Error(`storage refused or full threw into the page: ${seen.thrown.join(", ")}`);
  if (seen.loaded !== null) throw new Error(`loadSource with storage refused gave ${JSON.stringify(seen.loaded)}`);
  if (seen.warnings.length !== 1) throw new Error(`${seen.warnings.length} warnings for storage refused and full, not 1`);
  return "storage full or refused: the source is not kept, with one warning and no exception";
}

// A share link's fragment carries the source (accents and all) back; a
// link cut short is refused with a message in French; an address without
// one has none. The workbench opened at that link holds the source, and
// Run shows its picture; opened at the cut one, it says why.
async function shareLink(ctx) {
  const keep = await keepPage(ctx);
  await keepReady(keep);
  const source = `; Les glyphes 0 et 1, puis l'arrêt — partagé\n${GLYPHS}`;
  const answer = await keep.evaluate(async (text) => {
    const fragment = await window.keep.shareFragment(text);
    const cut = await window.keep.readShareFragment(fragment.slice(0, -4)).then(
      (got) => `read ${JSON.stringify(got)}`, (error) => error.message);
    return { fragment, back: await window.keep.readShareFragment(fragment), cut,
      none: await window.keep.readShareFragment(""), other: await window.keep.readShareFragment("#top") };
  }, source);
  await keep.close();
  if (!/^#src=[A-Za-z0-9_-]+$/.test(answer.fragment)) throw new Error(`the fragment ${answer.fragment}`);
  if (answer.back !== source) throw new Error(`the fragment read back: ${JSON.stringify(answer.back)}`);
  if (!/^Le lien partagé est abîmé/.test(answer.cut)) throw new Error(`a cut fragment: ${answer.cut}`);
  if (answer.none !== null || answer.other !== null) throw new Error("an address without a source is read as one");

  const page = await ctx.open(`${ctx.base}/workbench.html${answer.fragment}`);
  await workbenchReady(page);
  await waitFor("the shared source in the editor", async () =>
    (await page.evaluate(() => window.vostrelina.source())) === source || "not yet");
  await run(page);
  await waitFor("the shared program's picture", showsScreen(page, nativeScreen(assembled(ctx.work, "shared", source))));
  await page.close();
  const cut = await ctx.open(`${ctx.base}/workbench.html${answer.fragment.slice(0, -4)}`);
  await workbenchReady(cut);
  await waitFor("the cut link's message", async () => {
    const said = await cut.evaluate(() => document.getElementById("console").textContent);
    return said.includes(answer.cut) || `the console says ${JSON.stringify(said)}`;
  });
  await cut.close();
  return `a share link (${answer.fragment.length} characters) opens the workbench on its source, ready to run; a cut one is refused`;
}

// The one-file game made in the page is web/single_file.sh's file byte for
// byte (PONG2's, which web/build.sh made), and with a ROM of ours it plays
// from disk.
async function oneFileGame(ctx) {
  const page = await keepPage(ctx);
  await keepReady(page);
  const rom = fs.readFileSync(assembled(ctx.work, "glyphs", GLYPHS));
  const made = await page.evaluate(async (pong2, ours) => {
    const pong2Game = await window.keep.singleFileGame(new Uint8Array(pong2), "PONG2");
    const game = await window.keep.singleFileGame(new Uint8Array(ours), "glyphs.ch8");
    return { pong2: await pong2Game.text(), game: await game.text(), type: game.type };
  }, [...fs.readFileSync(path.join(served, "PONG2"))], [...rom]);
  await page.close();
  // The server gives an engine with the error recorder every page with it,
  // index.html too, and so the game made from it.
  const script = fs.readFileSync(path.join(served, "vostrelina.html"), "utf8");
  const want = ctx.engine.can.recorder ? withRecorder(script) : script;
  if (made.pong2 !== want) {
    throw new Error(`PONG2's one-file game differs from web/single_file.sh's at ${
      firstDifference(want, made.pong2).replace(/:.*/s, "")}`);
  }
  if (made.type !== "text/html") throw new Error(`the one-file game's type: ${made.type}`);
  const file = path.join(ctx.work, `${ctx.engine.name}-glyphs.html`);
  fs.writeFileSync(file, made.game);
  const game = await ctx.open(`file://${file}`);
  await waitFor("the one-file game's framed view", shows(game, 2, 2, "999999"));
  await waitFor("the one-file game's picture", showsScreen(game, nativeScreen(path.join(ctx.work, "glyphs.ch8")), true));
  await game.close();
  return "the one-file game made in the page is web/single_file.sh's, and plays our ROM from disk";
}

// --- The workbench page --------------------------------------------------------

async function workbenchReady(page) {
  await waitFor("the workbench ready", async () =>
    (await page.evaluate(() => !!(window.vostrelina && window.vostrelina.ready))) || "no window.vostrelina");
  await page.evaluate(() => window.vostrelina.ready);
}

async function run(page) {
  await page.evaluate(() => document.getElementById("run").click());
}

// The display's 64 x 32 cells as vostrelina-run's text screen, read at the
// centre of each cell: lit where brighter than the middle of the darkest and
// the brightest. The workbench's #display is the display alone; the
// player's framed view (framed true) has it 4 pixels a cell from (32, 16)
// on its #screen.
function screenOf(page, framed = false) {
  return page.evaluate((inFrame) => {
    const canvas = document.getElementById(inFrame ? "screen" : "display");
    const data = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
    const box = inFrame ? { x: 32, y: 16, cell: 4 } : { x: 0, y: 0, cell: canvas.width / 64 };
    const light = [];
    for (let y = 0; y < 32; y++) {
      for (let x = 0; x < 64; x++) {
        const i = 4 * (Math.floor(box.y + (y + 0.5) * box.cell) * canvas.width + Math.floor(box.x + (x + 0.5) * box.cell));
        light.push(data[i] + data[i + 1] + data[i + 2]);
      }
    }
    const middle = (Math.min(...light) + Math.max(...light)) / 2;
    let text = "";
    for (let y = 0; y < 32; y++) {
      for (let x = 0; x < 64; x++) text += light[64 * y + x] > middle ? "#" : ".";
      text += "\n";
    }
    return text;
  }, framed);
}

// A check for waitFor: the canvas shows the text screen.
function showsScreen(page, screen, framed = false) {
  return async () => {
    const got = await screenOf(page, framed);
    return got === screen || `the canvas shows, ${firstDifference(screen, got, ["vostrelina-run", "the page"])}`;
  };
}

// The lines (1 up) of the editor's error marks, as CodeMirror's lint draws
// them in the text.
function markedLines(page) {
  return page.evaluate(() => {
    const lines = [...document.querySelectorAll("#editor .cm-content > .cm-line")];
    return [...document.querySelectorAll("#editor .cm-lintRange-error, #editor .cm-lintPoint-error")]
      .map((mark) => lines.indexOf(mark.closest(".cm-line")) + 1);
  });
}

function marksAre(page, wanted) {
  return async () => {
    const got = (await markedLines(page)).join(" ");
    return got === wanted || `error marks on lines "${got}", expected "${wanted}"`;
  };
}

// Presses a key of the keyboard and lets it go.
async function press(page, key) {
  await page.keyDown(key);
  await page.keyUp(key);
}

// Typing a program with a fault marks the error at its line, fixing it
// clears the mark, and Run shows the program's picture.
async function editAndRun(ctx) {
  const page = await ctx.open(`${ctx.base}/workbench.html`);
  await workbenchReady(page);
  await page.evaluate((text) => window.vostrelina.setSource(text), GLYPHS);
  await waitFor("no error mark in a program without fault", marksAre(page, ""));
  // "LD V1, 8" (line 3) typed on to "LD V1, 800", a byte out of range.
  const line = 3;
  const end = await page.evaluate((n) => {
    const box = document.querySelectorAll("#editor .cm-content > .cm-line")[n - 1].getBoundingClientRect();
    return { x: box.right - 2, y: box.top + box.height / 2 };
  }, line);
  await page.pointerDown(end.x, end.y);
  await page.pointerUp();
  await press(page, "0");
  await press(page, "0");
  await waitFor(`the error marked at line ${line}`, marksAre(page, String(line)));
  const backspace = ctx.engine.name === "webkit" ? "\uE003" : "Backspace";
  await press(page, backspace);
  await press(page, backspace);
  await waitFor("the mark cleared once fixed", marksAre(page, ""));
  const source = await page.evaluate(() => window.vostrelina.source());
  if (source !== GLYPHS) throw new Error(`the source typed back: ${JSON.stringify(source)}`);
  await run(page);
  await waitFor("Run's picture", showsScreen(page, nativeScreen(assembled(ctx.work, "glyphs", GLYPHS))));
  await page.close();
  return `a fault typed is marked at its line (${line}), the fix clears it, and Run shows the picture`;
}

// The debug command batches of workbench_test.js through window.vostrelina,
// answered as vostrelina-dbg's batch mode answers them, line for line: on
// PONG2, and on dots.asm (random numbers, the delay timer, keys).
async function debugBatches(ctx) {
  const dots = assembled(ctx.work, "dots", fs.readFileSync(path.join(top, "tests/tools/dots.asm"), "utf8"));
  const page = await ctx.open(`${ctx.base}/workbench.html`);
  await workbenchReady(page);
  const table = batches(dots, path.join(build, "PONG2"));
  let lines = 0;
  for (const [i, batch] of table.entries()) {
    const want = native(tools, batch);
    const options = {};
    for (const key of ["seed", "fps", "keys"]) if (batch[key]) options[key] = batch[key];
    const got = await page.evaluate(async (bytes, settings, commands) => {
      const problem = await window.vostrelina.open(new Uint8Array(bytes), settings);
      if (problem) return `open: ${problem}\n`;
      let text = "";
      for (const command of commands) {
        if (command === "quit" || command === "q") break;
        const answer = await window.vostrelina.debug(command);
        if (answer !== "") text += answer + "\n";
      }
      return text;
    }, [...fs.readFileSync(batch.rom)], options, batch.commands);
    const difference = firstDifference(want, got);
    if (difference) throw new Error(`batch ${i + 1} (${path.basename(batch.rom)}): ${difference}`);
    lines += want.split("\n").length - 1;
  }
  await page.close();
  return `${table.length} debug batches (${lines} lines) answered in the page as vostrelina-dbg answers them`;
}

// keys.asm draws a dot for each press of keypad 5, in the column its loop's
// count has reached (a press a step later may move it), one row each, and
// parks after three.
const KEYS = [
  "    LD V5, 5",
  "    LD I, dot",
  "loop:",
  "    ADD V1, 1",
  "    SKP V5",
  "    JP loop",
  "    LD V3, V1",
  "    LD V4, 0x3F",
  "    AND V3, V4",
  "    DRW V3, V2, 1",
  "    ADD V2, 2",
  "held:",
  "    SKNP V5",
  "    JP held",
  "    SE V2, 6",
  "    JP loop",
  "park:",
  "    JP park",
  "dot:",
  "    db 0x80",
  "",
].join("\n");

// The keyboard's key over keypad key k, as the program's own table has it.
function keyboardKeyOf(k) {
  const header = fs.readFileSync(path.join(top, "input/keypad_layout.h"), "utf8");
  return header.match(/KEYPAD_LAYOUT\[\] = "([^"]{16})"/)[1][k];
}

// Keys pressed in the page while the program runs are recorded as a key
// script; vostrelina-run with that script ends on the page's screen.
async function recordedKeys(ctx) {
  const page = await ctx.open(`${ctx.base}/workbench.html`);
  await workbenchReady(page);
  await page.evaluate((text) => window.vostrelina.setSource(text), KEYS);
  await run(page);
  const dots = async () => (await screenOf(page)).split("#").length - 1;
  const key = keyboardKeyOf(5);
  for (let count = 1; count <= 3; count++) {
    await page.keyDown(key);
    await waitFor(`dot ${count}`, async () => (await dots()) >= count || `${await dots()} dots`);
    await page.keyUp(key);
    // Pressed again before the program has run a step, the key would never
    // have been up for it.
    await waitFor(`release ${count} taken`, () => page.evaluate(() => {
      const last = window.vostrelina.keyScript().trim().split(/\s+/).pop();
      return (/:-/.test(last) && window.vostrelina.state().step > parseInt(last, 10)) || `last key event ${last}`;
    }));
  }
  const script = await page.evaluate(() => window.vostrelina.keyScript());
  const screen = await screenOf(page);
  await page.close();
  const scriptFile = path.join(ctx.work, `${ctx.engine.name}-keys.txt`);
  const screenFile = path.join(ctx.work, `${ctx.engine.name}-keys-screen.txt`);
  fs.writeFileSync(scriptFile, script);
  fs.writeFileSync(screenFile, screen);
  try {
    execFileSync(path.join(tools, "vostrelina-run"), [assembled(ctx.work, "keys", KEYS), "--keys", scriptFile,
      "--expect", screenFile], { stdio: ["ignore", "pipe", "pipe"] });
  } catch (error) {
    throw new Error(`vostrelina-run --keys ${scriptFile} --expect ${screenFile}: ${String(error.stderr).trim()}`);
  }
  return `a key script recorded in the page (${script.trim().split(/\s+/).length} events) ends on the page's screen in vostrelina-run`;
}

// A ROM picked opens in the editor as vostrelina-dis's source, and the
// page says it assembles back to the same bytes.
async function romAsSource(ctx) {
  const rom = path.join(build, "PONG2");
  const want = execFileSync(path.join(tools, "vostrelina-dis"), [rom], { encoding: "utf8" });
  const page = await ctx.open(`${ctx.base}/workbench.html`);
  await workbenchReady(page);
  await page.upload("#rom-file", rom);
  await waitFor("PONG2's source in the editor", async () =>
    (await page.evaluate(() => window.vostrelina.source())) === want || "another source");
  const said = `PONG2 : la source réassemblée redonne ses ${fs.statSync(rom).size} octets.`;
  await waitFor("the page to say the same bytes", async () => {
    const status = await page.evaluate(() => document.getElementById("rom-status").textContent);
    return status === said || `it says ${JSON.stringify(status)}`;
  });
  await page.close();
  return "PONG2 picked opens as vostrelina-dis's source, said to assemble back to its bytes";
}

// The page's downloads, as vostrelina-asm and vostrelina-run would write
// them: the source, the ROM, and the screen of a run, which --expect takes.
// Only chromium's DevTools lets a check choose where downloads go.
async function downloads(ctx) {
  const folder = path.join(ctx.work, `${ctx.engine.name}-downloads`);
  fs.rmSync(folder, { recursive: true, force: true });
  fs.mkdirSync(folder);
  const page = await ctx.open(`${ctx.base}/workbench.html`);
  await workbenchReady(page);
  const devtools = await page.devtools();
  await devtools.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: folder });
  await page.evaluate((text) => window.vostrelina.setSource(text), GLYPHS);
  await run(page);
  const rom = assembled(ctx.work, "glyphs", GLYPHS);
  const screen = nativeScreen(rom);
  await waitFor("Run's picture", showsScreen(page, screen));
  const wanted = { "programme.asm": Buffer.from(GLYPHS), "programme.ch8": fs.readFileSync(rom),
    "programme.screen": Buffer.from(screen) };
  for (const button of ["save-source", "save-rom", "save-screen"]) {
    await page.evaluate((id) => document.getElementById(id).click(), button);
  }
  await waitFor("the three files downloaded", async () => {
    const wrong = Object.entries(wanted).filter(([name, bytes]) => {
      const file = path.join(folder, name);
      return !fs.existsSync(file) || !fs.readFileSync(file).equals(bytes);
    }).map(([name]) => name);
    return wrong.length === 0 || `not yet as they should be: ${wrong.join(", ")} (in ${folder}: ${fs.readdirSync(folder).join(", ")})`;
  });
  await page.close();
  return "the source, the ROM and the screen downloaded are vostrelina-asm's and vostrelina-run's";
}

// The source opened again (a reload) is the one last edited.
async function reloadKeeps(ctx) {
  const key = fs.readFileSync(path.join(top, "web/workbench/keep.js"), "utf8").match(/STORAGE_KEY = "([^"]+)"/)[1];
  const text = `; gardé au rechargement\n${GLYPHS}`;
  let page = await ctx.open(`${ctx.base}/workbench.html`);
  await workbenchReady(page);
  await page.evaluate((source) => window.vostrelina.setSource(source), text);
  await waitFor("the source kept", async () =>
    (await page.evaluate((name) => localStorage.getItem(name), key)) === text || "not yet");
  await page.close();
  page = await ctx.open(`${ctx.base}/workbench.html`);
  await workbenchReady(page);
  await waitFor("the edited source after a reload", async () =>
    (await page.evaluate(() => window.vostrelina.source())) === text || "another source");
  await page.close();
  return "a reload keeps the edited source";
}

// A click on a line's number sets a breakpoint at that line's address: Run
// stops there, with PC the address the assembler gave the line and the line
// marked in the editor as PC's.
async function breakAtLine(ctx) {
  const page = await ctx.open(`${ctx.base}/workbench.html`);
  await workbenchReady(page);
  await page.evaluate((text) => window.vostrelina.setSource(text), GLYPHS);
  const line = GLYPHS.split("\n").indexOf("    DRW V1, V0, 5") + 1;
  const pc = `0x${(0x200 + 2 * (line - 2)).toString(16).toUpperCase()}`;  // an instruction a line from line 2
  const number = await page.evaluate((n) => {
    const box = [...document.querySelectorAll("#editor .cm-lineNumbers .cm-gutterElement")]
      .find((element) => element.textContent === String(n)).getBoundingClientRect();
    return { x: box.left + box.width / 2, y: box.top + box.height / 2 };
  }, line);
  await page.pointerDown(number.x, number.y);
  await page.pointerUp();
  await run(page);
  await waitFor(`a stop at line ${line}, marked`, async () => {
    const [mode, marked] = await page.evaluate(() => {
      const lines = [...document.querySelectorAll("#editor .cm-content > .cm-line")];
      return [window.vostrelina.mode(), lines.findIndex((element) => element.classList.contains("cm-pc-line")) + 1];
    });
    return (mode === "paused" && marked === line) || `${mode}, line ${marked} marked`;
  });
  const at = await page.evaluate(() => window.vostrelina.debug("print PC"));
  if (at !== `PC = ${pc}`) throw new Error(`stopped with ${at}, expected PC = ${pc}`);
  await page.close();
  return `a click on line ${line}'s number stops Run at ${pc}, the line marked`;
}

const CHECKS = [
  { name: "workbench: storage refused", run: storageRefused },
  { name: "workbench: share link", run: shareLink },
  { name: "workbench: one-file game", run: oneFileGame },
  { name: "workbench: edit and run", run: editAndRun },
  { name: "workbench: debug batches", run: debugBatches },
  { name: "workbench: recorded keys", run: recordedKeys },
  { name: "workbench: ROM as source", needs: ["upload"], run: romAsSource },
  { name: "workbench: downloads", needs: ["devtools"], run: downloads },
  { name: "workbench: reload", run: reloadKeeps },
  { name: "workbench: break at a line", run: breakAtLine },
];

module.exports = { CHECKS };
