// The workbench page: the editor, the run of the program on a debugging
// session of the module (vostrelina-workbench.js, workbench.cpp), the
// debugger's panel and command line, and the keeping and sharing of the
// source (keep.js). Bundled with CodeMirror by web/build.sh into
// workbench.bundle.js.
import { createEditor } from "./editor.js";
import { saveSource, loadSource, shareFragment, readShareFragment, downloadFile, singleFileGame } from "./keep.js";

// Shown when there is no source kept nor shared: the digit of the key
// pressed, in the middle of the screen.
const EXAMPLE = `; Un exemple : le chiffre de la touche pressée, au milieu de l'écran.
digit   equ V2
start:
    CLS
    LD V0, 30          ; x
    LD V1, 13          ; y
    LD digit, 0
loop:
    LD F, digit        ; I sur le chiffre
    DRW V0, V1, 5
    LD V3, K           ; attend une touche
    DRW V0, V1, 5      ; efface l'ancien chiffre
    LD digit, V3
    JP loop
`;

const $ = (id) => document.getElementById(id);
const elements = {
  run: $("run"), pause: $("pause"), step: $("step"), back: $("back"), backCount: $("back-count"), fps: $("fps"),
  display: $("display"), screenBox: $("screen-box"), registers: $("registers"), code: $("code"),
  bytes: $("bytes"), sprite: $("sprite"), spriteRows: $("sprite-rows"), command: $("command"),
  console: $("console"), runState: $("run-state"), asmStatus: $("asm-status"), romStatus: $("rom-status"),
  shareLink: $("share-link"),
};

let wb = null;       // the module, once loaded
let editor = null;
let lastDiagnostics = [];
let lastAssembleMs = 0;

// --- The session the page runs ---------------------------------------------

// mode: "idle" (no session), "running" (stepped each animation frame) or
// "paused". run: what the session was opened on, for the downloads and the
// line marks: its source (null for bytes given to open), bytes, settings,
// and the address of each source line.
let mode = "idle";
let run = null;
let lastFrame = null;
let stepCarry = 0;
const MAX_FRAME_MS = 100;  // a frame after a long stall runs no more than this

function assembleText(text) {
  const start = performance.now();
  const result = JSON.parse(wb.assemble(text));
  lastAssembleMs = performance.now() - start;
  return result;
}

function say(text) {
  elements.console.textContent += text.endsWith("\n") ? text : text + "\n";
  elements.console.scrollTop = elements.console.scrollHeight;
}

function hex(value, digits) { return value.toString(16).toUpperCase().padStart(digits, "0"); }

// Opens a session as vostrelina-dbg ROM --seed S --fps F --keys SCRIPT does:
// "" or what vostrelina-dbg says is wrong. Bytes assembled from the editor
// come with their source and the assembler's symbols, which name the code.
function openSession(bytes, { seed = "", fps = "", keys = "" } = {}, source = null, symbols = "") {
  const problem = wb.open(bytes, String(seed), String(fps), String(keys));
  if (problem) return problem;
  run = { source, bytes, seed: String(seed || 1), fps: String(fps || 1000), addresses: [] };
  if (source !== null) {
    run.addresses = JSON.parse(wb.lineAddresses(source));
    wb.useSymbols(symbols);
  }
  stepCarry = 0;
  return "";
}

// The source line of the statement at address, in the run's source: the
// line where it starts and the next line's address moves on from it.
function lineOfAddress(address) {
  if (!run || run.source === null || editor.text() !== run.source) return null;
  const a = run.addresses;
  const end = 0x200 + run.bytes.length;
  for (let i = 0; i < a.length; i++) {
    const next = i + 1 < a.length ? a[i + 1] : end;
    if (a[i] === address && next !== address) return i + 1;
  }
  return null;
}

// The address a click on a line means: its statement's, or the next one's.
function addressOfLine(line) {
  if (!run || run.source === null || editor.text() !== run.source) return null;
  const address = run.addresses[line - 1];
  return address !== undefined && address < 0x200 + run.bytes.length ? address : null;
}

function setMode(newMode, why = "") {
  mode = newMode;
  elements.pause.disabled = mode === "idle";
  elements.step.disabled = mode === "idle";
  $("next").disabled = mode === "idle";
  elements.back.disabled = mode === "idle";
  elements.pause.setAttribute("aria-pressed", String(mode === "paused"));
  elements.pause.textContent = mode === "paused" ? "Reprendre" : "Pause";
  elements.display.classList.toggle("paused", mode === "paused");
  elements.runState.textContent = { idle: "à l'arrêt", running: "en marche", paused: "en pause" }[mode] +
    (why ? ` : ${why}` : "");
  if (mode === "running") {
    lastFrame = null;
    requestAnimationFrame(frame);
  } else {
    showState();
  }
}

// Each frame runs the steps of the time since the last at the chosen frame
// rate, on the runner's simulated clock: the run is the same however fast
// the browser draws, and can be stepped back.
function frame(now) {
  if (mode !== "running") return;
  const elapsed = lastFrame === null ? 0 : Math.min(now - lastFrame, MAX_FRAME_MS);
  lastFrame = now;
  const exact = (elapsed * Number(run.fps)) / 1000 + stepCarry;
  const steps = Math.floor(exact);
  stepCarry = exact - steps;
  const why = steps > 0 ? wb.advance(steps) : "";
  drawScreen();
  if (why) {
    say(why);
    setMode("paused", why === "breakpoint" ? "point d'arrêt" : why);
    return;
  }
  requestAnimationFrame(frame);
}

function startRun() {
  const source = editor.text();
  const result = assembledSource(source);
  if (result.errors.length > 0) return result.errors[0].message;
  const fps = Number(elements.fps.value) >= 1 ? String(Math.floor(Number(elements.fps.value))) : "";
  const problem = openSession(new Uint8Array(result.bytes), { fps }, source, result.symbols);
  if (problem) {
    say(problem);
    return problem;
  }
  elements.console.textContent = "";
  for (const line of editor.breakLines()) {
    const address = addressOfLine(line);
    if (address !== null) say(wb.debug(`break 0x${hex(address, 3)}`));
  }
  editor.markLine(null);
  setMode("running");
  elements.display.focus();
  return "";
}

// A command of the debugger, as vostrelina-dbg's batch mode answers it.
// One that moves the run pauses the page's run first.
const MOVES = /^\s*(s|step|n|next|c|continue|back)\b/i;
function command(line) {
  if (mode === "idle") return "no session: open a ROM first";
  if (mode === "running" && MOVES.test(line)) setMode("paused");
  const answer = wb.debug(line);
  if (mode !== "idle") showState();
  return answer;
}

// --- The display -------------------------------------------------------------

// The player's full and framed views of the display: their grids (cell
// size, left, top) are app/views.h's GRID_PLACEMENTS, the framed view's
// ground views.cpp's light grey, both written in by web/build.sh. The grid
// is centred in the window, which it fills in the full view. Here every
// cell is a whole number of device pixels.
/* global PLAYER_GRIDS, FRAMED_GREY */
function playerView([cell, left, top], ground) {
  return { width: 64 * cell + 2 * left, height: 32 * cell + 2 * top, cell, left, top, ground };
}
const VIEWS = { full: playerView(PLAYER_GRIDS[0], "#000"), framed: playerView(PLAYER_GRIDS[1], FRAMED_GREY) };
let view = "full";
let lastScreen = "";

function fitDisplay() {
  const v = VIEWS[view];
  const ratio = window.devicePixelRatio || 1;
  const room = Math.max(1, (elements.screenBox.clientWidth || v.width) * ratio);
  const scale = Math.max(1, Math.floor(room / v.width));
  elements.display.width = v.width * scale;
  elements.display.height = v.height * scale;
  elements.display.style.width = `${elements.display.width / ratio}px`;
  elements.display.style.height = `${elements.display.height / ratio}px`;
  drawScreen(true);
}

function drawScreen(force = false) {
  const text = mode === "idle" ? "" : wb.screen();
  if (!force && text === lastScreen) return;
  lastScreen = text;
  const v = VIEWS[view];
  const canvas = elements.display;
  const scale = canvas.width / v.width;
  const context = canvas.getContext("2d");
  context.fillStyle = v.ground;
  context.fillRect(0, 0, canvas.width, canvas.height);
  const cell = v.cell * scale;
  context.fillStyle = "#000";
  context.fillRect(v.left * scale, v.top * scale, 64 * cell, 32 * cell);
  context.fillStyle = "#fff";
  const rows = text.split("\n");
  for (let y = 0; y < 32 && y < rows.length; y++) {
    for (let x = 0; x < 64; x++) {
      if (rows[y][x] === "#") context.fillRect(v.left * scale + x * cell, v.top * scale + y * cell, cell, cell);
    }
  }
}

for (const button of document.querySelectorAll("#views > button")) {
  button.addEventListener("click", () => {
    view = button.dataset.view;
    for (const b of document.querySelectorAll("#views > button")) b.setAttribute("aria-pressed", String(b === button));
    fitDisplay();
  });
}

// --- The panel while paused --------------------------------------------------

function showState() {
  drawScreen();
  if (mode === "idle") return;
  const s = JSON.parse(wb.state());
  const cells = s.v.map((value, r) => `<span>V${hex(r, 1)} ${hex(value, 2)}</span>`);
  cells.push(`<span>I ${hex(s.i, 3)}</span>`, `<span>PC ${hex(s.pc, 3)}</span>`, `<span>SP ${s.sp}</span>`,
    `<span>DT ${hex(s.dt, 2)}</span>`, `<span>ST ${hex(s.st, 2)}</span>`, `<span>pas ${s.step}</span>`);
  cells.push(`<span style="grid-column: 1 / -1">pile ${s.stack.map((a) => hex(a, 3)).join(" ") || "vide"}</span>`);
  elements.registers.innerHTML = cells.join("");
  elements.code.textContent = "";
  for (const entry of s.listing) {
    const line = document.createElement("div");
    line.textContent = (entry.label ? `${entry.label}:\n` : "") + entry.text;
    if (entry.address === s.pc) line.className = "pc";
    elements.code.appendChild(line);
  }
  // The sprite at I: as many rows as the author asks, else those of the
  // DXYN at PC, else 8.
  const word = s.listing.find((entry) => entry.address === s.pc);
  const opcode = word ? parseInt(word.text.split(/\s+/)[1], 16) : 0;
  const asked = Number(elements.spriteRows.value);
  const rows = asked >= 1 && asked <= 15 ? Math.floor(asked)
    : (opcode & 0xF000) === 0xD000 && (opcode & 0xF) > 0 ? opcode & 0xF : 8;
  const bytes = s.atI.slice(0, rows);
  elements.bytes.textContent = `[I] ${hex(s.i, 3)}:\n` + bytes.map((b) => `${hex(b, 2)}  ${b.toString(2).padStart(8, "0")
    .replace(/0/g, ".").replace(/1/g, "#")}`).join("\n");
  const sprite = elements.sprite;
  const scale = 8;
  sprite.width = 8 * scale;
  sprite.height = rows * scale;
  const context = sprite.getContext("2d");
  context.fillStyle = "#000";
  context.fillRect(0, 0, sprite.width, sprite.height);
  context.fillStyle = "#fff";
  bytes.forEach((b, y) => {
    for (let x = 0; x < 8; x++) if (b & (0x80 >> x)) context.fillRect(x * scale, y * scale, scale, scale);
  });
  editor.markLine(mode === "paused" ? lineOfAddress(s.pc) : null);
}

// --- Buttons, command line, gutter -------------------------------------------

elements.run.addEventListener("click", () => startRun());
elements.pause.addEventListener("click", () => {
  if (mode === "running") setMode("paused");
  else if (mode === "paused") setMode("running");
});
elements.step.addEventListener("click", () => say(command("step")));
$("next").addEventListener("click", () => say(command("next")));
elements.back.addEventListener("click", () => {
  const count = Math.max(1, Math.floor(Number(elements.backCount.value) || 1));
  say(command(`back ${count}`));
});
elements.spriteRows.addEventListener("input", () => showState());
elements.command.addEventListener("keydown", (event) => {
  if (event.key !== "Enter") return;
  const line = elements.command.value;
  elements.command.value = "";
  say(`> ${line}`);
  const answer = command(line);
  if (answer) say(answer);
});

function gutterClick(line) {
  editor.toggleBreakLine(line);
  if (mode === "idle") return;
  const address = addressOfLine(line);
  if (address === null) {
    say("la source a changé depuis le lancement : le point d'arrêt sera posé au prochain");
    return;
  }
  const set = editor.breakLines().includes(line);
  say(wb.debug(`${set ? "break" : "delete"} 0x${hex(address, 3)}`));
}

// --- Keys --------------------------------------------------------------------

// The keyboard's keys over the keypad, from the module (input/keypad_layout.h):
// keypad key k on the k-th, matched by place (the key's code), as the digit
// row is in the player.
let KEYPAD_LAYOUT = "";
const KEYPAD_ORDER = "123C456D789EA0BF";
function keypadKeyOf(event) {
  const code = /^(?:Key([A-Z])|Digit([0-9]))$/.exec(event.code || "");
  if (!code) return -1;
  return KEYPAD_LAYOUT.indexOf((code[1] || code[2]).toLowerCase());
}
function press(key, down) {
  if (mode === "idle" || key < 0) return;
  wb.press(key, down);
}
const typing = (target) => target.closest && target.closest("#editor, input, textarea");
for (const type of ["keydown", "keyup"]) {
  window.addEventListener(type, (event) => {
    if (typing(event.target) || event.ctrlKey || event.metaKey || event.altKey) return;
    const key = keypadKeyOf(event);
    if (key < 0) return;
    event.preventDefault();
    if (!event.repeat) press(key, type === "keydown");
  });
}
window.addEventListener("keydown", (event) => {
  if (event.key === "Enter" && (event.ctrlKey || event.metaKey) && !typing(event.target)) {
    event.preventDefault();
    startRun();
  }
});
const held = new Map();  // pointer id -> the button it holds
document.addEventListener("pointerdown", (event) => {
  const button = event.target.closest && event.target.closest("#keypad button[data-key]");
  if (!button) return;
  event.preventDefault();
  held.set(event.pointerId, button);
  button.classList.add("held");
  press(parseInt(button.dataset.key, 16), true);
});
for (const type of ["pointerup", "pointercancel"]) {
  document.addEventListener(type, (event) => {
    const button = held.get(event.pointerId);
    if (!button) return;
    held.delete(event.pointerId);
    button.classList.remove("held");
    press(parseInt(button.dataset.key, 16), false);
  });
}

function showKeyboardHint() {
  const hint = $("keyboard");
  for (const key of [...KEYPAD_ORDER].reverse()) {
    const span = document.createElement("span");
    span.textContent = KEYPAD_LAYOUT[parseInt(key, 16)].toUpperCase();
    hint.prepend(span);
  }
}

// --- Opening a ROM as source ------------------------------------------------

const ROM_BYTES_READ = 1 << 20;
let programName = "programme";

// The ROM's source, through the disassembler, in the editor; and whether it
// assembles back to the same bytes.
function openRom(bytes, name) {
  programName = name.replace(/\.[^.]*$/, "") || "programme";
  const source = wb.disassemble(bytes, name);
  editor.setText(source);
  const result = assembleText(source);
  const again = new Uint8Array(result.bytes);
  const same = result.errors.length === 0 && again.length === bytes.length && again.every((b, i) => b === bytes[i]);
  elements.romStatus.textContent = same
    ? `${name} : la source réassemblée redonne ses ${bytes.length} octets.`
    : `${name} : la source réassemblée ne redonne pas les mêmes octets.`;
  return { same, source };
}
async function openRomFile(file) {
  const bytes = new Uint8Array(await file.slice(0, ROM_BYTES_READ).arrayBuffer());
  openRom(bytes, file.name || "rom");
}
$("rom-file").addEventListener("change", (event) => {
  if (event.target.files.length > 0) openRomFile(event.target.files[0]);
  event.target.value = "";
});
document.addEventListener("dragover", (event) => {
  event.preventDefault();
  document.body.classList.add("dragging");
});
document.addEventListener("dragleave", () => document.body.classList.remove("dragging"));
document.addEventListener("drop", (event) => {
  event.preventDefault();
  document.body.classList.remove("dragging");
  if (event.dataTransfer.files.length > 0) openRomFile(event.dataTransfer.files[0]);
});

// --- Keeping and sharing ----------------------------------------------------

// The source assembled, its first error, if any, said on the console.
function assembledSource(source = editor.text()) {
  const result = assembleText(source);
  const first = result.errors[0];
  if (first) say(`la source ne s'assemble pas : ligne ${first.line}, ${first.message}`);
  return result;
}

// How to check the run's screen in a CI: the key script and screen
// downloaded, with the steps run so far.
function replayCommand() {
  if (mode === "idle") return "";
  const step = JSON.parse(wb.state()).step;
  return `vostrelina-run ${programName}.ch8 --cycles ${step} --seed ${run.seed} --fps ${run.fps} ` +
    `--keys ${programName}.keys --expect ${programName}.screen`;
}

$("share").addEventListener("click", async () => {
  // Not location.origin, which is "null" for a page opened from disk.
  const link = location.href.split("#")[0] + (await shareFragment(editor.text()));
  elements.shareLink.textContent = link;
  try {
    await navigator.clipboard.writeText(link);
    elements.shareLink.textContent += "  (copié)";
  } catch (error) {
    // Shown to be copied by hand where the browser refuses.
  }
});
$("save-source").addEventListener("click", () => downloadFile(`${programName}.asm`, editor.text(), "text/plain"));
$("save-rom").addEventListener("click", () => {
  const result = assembledSource();
  if (result.errors.length === 0) downloadFile(`${programName}.ch8`, new Uint8Array(result.bytes), "application/octet-stream");
});
$("save-symbols").addEventListener("click", () => {
  const result = assembledSource();
  if (result.errors.length === 0) downloadFile(`${programName}.sym`, result.symbols, "text/plain");
});
// The key script and the screen go with the step they were taken at: the
// run pauses, so that both downloads and the command agree.
$("save-keys").addEventListener("click", () => {
  if (mode === "idle") return say("rien n'a tourné : pas de touches");
  if (mode === "running") setMode("paused");
  downloadFile(`${programName}.keys`, wb.keyScript() || "# no key pressed\n", "text/plain");
  say(replayCommand());
});
$("save-screen").addEventListener("click", () => {
  if (mode === "idle") return say("rien n'a tourné : pas d'écran");
  if (mode === "running") setMode("paused");
  downloadFile(`${programName}.screen`, wb.screen(), "text/plain");
  say(replayCommand());
});
$("save-game").addEventListener("click", async () => {
  const result = assembledSource();
  if (result.errors.length > 0) return;
  try {
    downloadFile(`${programName}.html`, await singleFileGame(new Uint8Array(result.bytes), `${programName}.ch8`),
      "text/html");
  } catch (error) {
    say(error.message);
  }
});

// --- Start -------------------------------------------------------------------

// The assembler's messages for the editor's lint marks, on each change; the
// time it takes is shown, PONG2's source well under a frame.
function check(text) {
  const result = assembleText(text);
  const marks = [
    ...result.errors.map((m) => ({ ...m, severity: "error" })),
    ...result.warnings.map((m) => ({ ...m, severity: "warning" })),
  ];
  lastDiagnostics = marks;
  elements.asmStatus.textContent = (result.errors.length > 0
    ? `${result.errors.length} erreur${result.errors.length > 1 ? "s" : ""}`
    : `${result.bytes.length} octets`) +
    (result.warnings.length > 0 ? `, ${result.warnings.length} avertissement${result.warnings.length > 1 ? "s" : ""}` : "") +
    ` — assemblé en ${lastAssembleMs.toFixed(1)} ms`;
  return marks;
}

let resolveReady;
const ready = new Promise((resolve) => { resolveReady = resolve; });

// The scripting interface (docs/authors.md): the tests' way in.
window.vostrelina = {
  ready,
  async open(bytes, options = {}) {
    await ready;
    const problem = openSession(new Uint8Array(bytes), options);
    if (problem) return problem;
    elements.console.textContent = "";
    setMode("paused");
    return "";
  },
  async debug(line) {
    await ready;
    return command(line);
  },
  source: () => editor.text(),
  setSource: (text) => editor.setText(text),
  diagnostics: () => lastDiagnostics.map(({ line, severity, message }) => ({ line, severity, message })),
  assembleMs: () => lastAssembleMs,
  run: () => startRun(),
  pause: () => { if (mode === "running") setMode("paused"); },
  resume: () => { if (mode === "paused") setMode("running"); },
  mode: () => mode,
  state: () => (mode === "idle" ? null : JSON.parse(wb.state())),
  screen: () => (mode === "idle" ? "" : wb.screen()),
  keyScript: () => (mode === "idle" ? "" : wb.keyScript()),
  replayCommand,
  press: (key, down) => press(key, down),
  breakLines: () => editor.breakLines(),
  toggleBreakLine: (line) => gutterClick(line),
  markedLine: () => editor.markedLine(),
  openRom: (bytes, name = "rom") => openRom(new Uint8Array(bytes), name),
};

async function start() {
  wb = await window.VostrelinaWorkbench();
  KEYPAD_LAYOUT = wb.keypadLayout();
  showKeyboardHint();
  let text = null;
  let shared = false;
  try {
    text = await readShareFragment(location.hash);
    shared = text !== null;
  } catch (error) {
    say(`le lien partagé ne se lit pas : ${error.message}`);
  }
  if (text === null) text = loadSource();
  if (text === null) text = EXAMPLE;
  editor = createEditor({
    parent: $("editor"),
    text,
    mnemonics: JSON.parse(wb.mnemonics()),
    check,
    onChange: (source) => saveSource(source),
    onGutterClick: gutterClick,
    run: () => startRun(),
  });
  if (shared) {
    saveSource(text);
    say("programme partagé : Lancer (Ctrl+Entrée) le fait tourner");
    elements.run.focus();
  }
  new ResizeObserver(() => fitDisplay()).observe(elements.screenBox);
  fitDisplay();
  setMode("idle");
  resolveReady();
}
start();

// Served, the page keeps its files for the next visit with no network.
if ("serviceWorker" in navigator && location.protocol !== "file:") {
  navigator.serviceWorker.register("sw.js").catch((error) => console.warn(`sw.js: ${error}`));
}
