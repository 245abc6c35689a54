// The page around the program: its files, the ROM it starts with and the
// ROMs given to it later, the keys and the on-screen keypad. The program
// (vostrelina.js and .wasm) is loaded once its files are ready.
//
// In the single file (web/single_file.sh) the files are inside the page:
// window.vostrelinaFiles maps each name to its bytes in base64, and the
// program's script is the text of <script type="text/x-vostrelina">.
"use strict";
(function () {
  // Emscripten's script takes its settings from the global Module.
  const Module = (window.Module = window.Module || {});
  const inline = window.vostrelinaFiles || null;
  const canvas = document.getElementById("screen");
  const messages = document.getElementById("messages");
  // The single file goes about alone: no workbench.html lies beside it.
  if (inline) document.getElementById("workbench").hidden = true;

  // A file the program needs, as bytes: from the page itself, or fetched
  // beside it. Null when it cannot be had.
  async function file(name) {
    if (inline) {
      if (!(name in inline)) return null;
      const text = atob(inline[name]);
      const bytes = new Uint8Array(text.length);
      for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
      return bytes;
    }
    try {
      const response = await fetch(name);
      return response.ok ? new Uint8Array(await response.arrayBuffer()) : null;
    } catch (e) {
      return null;
    }
  }

  // --- ROMs ---------------------------------------------------------------

  // ?rom=NAME names a ROM served beside the page: a plain file name, nothing
  // that reaches elsewhere. The program is given the name even when the ROM
  // cannot be had, and so shows its dialog as for a missing file. An empty
  // name is no name, as an empty command line is on the desktop: the page's
  // own ROM plays.
  const ROM_NAME = /^[A-Za-z0-9_][A-Za-z0-9._-]*$/;
  const asked = new URLSearchParams(location.search).get("rom");
  const startRom = asked || window.vostrelinaStartRom || "PONG2";

  // A ROM picked or dropped goes into the program's file system under
  // /roms, and the program starts again with it. Only its first mebibyte is
  // read: the program reads no more than the machine holds, and says so
  // when the file is longer, which one byte past that shows as well.
  const ROM_BYTES_READ = 1 << 20;
  let pendingRom = null;
  Module.hasNewRom = () => (pendingRom ? 1 : 0);
  Module.takeNewRom = () => {
    const path = pendingRom;
    pendingRom = null;
    return path;
  };
  async function giveRom(picked) {
    try {
      await writeRom(picked);
    } catch (error) {
      console.warn(`${picked.name}: ${error}`);  // unreadable: the program runs on
    }
  }
  async function writeRom(picked) {
    const bytes = new Uint8Array(await picked.slice(0, ROM_BYTES_READ).arrayBuffer());
    const name = picked.name.replace(/\//g, "_");
    const path = "/roms/" + (name === "" || name === "." || name === ".." ? "rom" : name);
    Module.FS.writeFile(path, bytes);
    messages.textContent = "";
    pendingRom = path;
    setPaused(false);  // a new ROM is to be played
    canvas.focus();
  }
  document.getElementById("rom-file").addEventListener("change", (event) => {
    if (event.target.files.length > 0) giveRom(event.target.files[0]);
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
    if (event.dataTransfer.files.length > 0) giveRom(event.dataTransfer.files[0]);
  });

  // --- Keys ---------------------------------------------------------------

  // A key event as the program's SDL reads it, by its key code.
  function sendKey(type, keyCode) {
    const event = new KeyboardEvent(type, { bubbles: true, cancelable: true });
    Object.defineProperty(event, "keyCode", { value: keyCode });
    Object.defineProperty(event, "which", { value: keyCode });
    document.dispatchEvent(event);
  }

  // P (or Pause), a key the program does not use, pauses and resumes it
  // (setPaused, below), and goes no further: before the listeners that hold
  // keys back for the program's next turn, which a paused program never
  // takes.
  for (const type of ["keydown", "keyup"]) {
    window.addEventListener(type, (event) => {
      if (event.code !== "KeyP" && event.key !== "Pause") return;
      event.stopImmediatePropagation();
      event.preventDefault();
      if (type === "keydown" && !event.repeat) setPaused(!pausedByPlayer);
    }, true);
  }

  // The browser's own use of these keys (help, search, scrolling, going
  // back) is stopped while the page has focus: they are the program's.
  const KEPT_KEYS = new Set([112 /* F1 */, 114 /* F3 */, 32 /* Space */, 37, 38, 39, 40 /* arrows */,
    8 /* Backspace */]);
  window.addEventListener("keydown", (event) => {
    if (KEPT_KEYS.has(event.keyCode)) event.preventDefault();
  }, true);

  // A key held down is one key-down, as on the desktop, where key repeat
  // stays off: the browser's repeats go no further than here (what the
  // browser does with them, the listener above has settled).
  window.addEventListener("keydown", (event) => {
    if (event.repeat) event.stopImmediatePropagation();
  }, true);

  // The digit row is matched by place, whatever the layout says the key is:
  // a key of that row that does not report its digit is passed on as one.
  for (const type of ["keydown", "keyup"]) {
    window.addEventListener(type, (event) => {
      const digit = /^Digit([0-9])$/.exec(event.code || "");
      if (!event.isTrusted || !digit || event.keyCode === 48 + Number(digit[1])) return;
      event.stopImmediatePropagation();
      event.preventDefault();
      sendKey(type, 48 + Number(digit[1]));
    }, true);
  }

  // A press is seen by the program only if a poll finds the key down: a key
  // pressed and released between two polls would be neither held nor new
  // there. The program polls at least once between two of the turns it gives
  // the browser, and says when it gives one (Module.keysTaken). So the
  // release of a key pressed since the last turn waits for the next turn, and
  // every key event after it waits too, to keep their order. This comes after
  // the digit row's listener, and so sees the key codes the program sees.
  let pressedThisTurn = new Set();
  const waiting = [];
  let handingOver = false;
  const releasedTooSoon = (key) => key.type === "keyup" && pressedThisTurn.has(key.keyCode);
  for (const type of ["keydown", "keyup"]) {
    window.addEventListener(type, (event) => {
      if (handingOver) return;
      const key = { type, keyCode: event.keyCode };
      if (waiting.length > 0 || releasedTooSoon(key)) {
        event.stopImmediatePropagation();
        waiting.push(key);
      } else if (type === "keydown") {
        pressedThisTurn.add(key.keyCode);
      }
    }, true);
  }
  Module.keysTaken = () => {
    pressedThisTurn = new Set();
    handingOver = true;
    while (waiting.length > 0 && !releasedTooSoon(waiting[0])) {
      const key = waiting.shift();
      if (key.type === "keydown") pressedThisTurn.add(key.keyCode);
      sendKey(key.type, key.keyCode);
    }
    handingOver = false;
  };

  // The on-screen keypad, in the CHIP-8 layout, and the view keys: each
  // button holds the desktop key that stands for it while a finger or the
  // mouse is on it. A finger that slides onto another button lets the first
  // go and presses the new one, as a thumb steers a paddle; so a pointer is
  // followed by where it is, never captured by the button it went down on.
  // Two fingers hold two buttons, one each (two players).
  // The keypad's keys are the desktop's (input/keypad_layout.h, written in
  // by the build): keypad key k on the k-th, as the browser's key code.
  const KEYPAD_LAYOUT = "@KEYPAD_LAYOUT@";
  const BUTTON_KEYS = { "F1": 112, "F2": 113, "F3": 114 };
  [...KEYPAD_LAYOUT.toUpperCase()].forEach((key, k) => {
    BUTTON_KEYS[k.toString(16).toUpperCase()] = key.charCodeAt(0);
  });
  const fingersOn = new Map();  // button -> how many pointers are on it
  const pointerButton = new Map();  // pointer id -> the button it is on, or null
  function touchButton(button, change) {
    const before = fingersOn.get(button) || 0;
    fingersOn.set(button, before + change);
    if (before === 0 && change > 0) {
      button.classList.add("held");
      sendKey("keydown", BUTTON_KEYS[button.dataset.key]);
    } else if (before === 1 && change < 0) {
      button.classList.remove("held");
      sendKey("keyup", BUTTON_KEYS[button.dataset.key]);
    }
  }
  function pointerTo(id, button) {
    const before = pointerButton.get(id) || null;
    if (button === undefined) pointerButton.delete(id);
    else pointerButton.set(id, button);
    if ((button || null) === before) return;
    if (before) touchButton(before, -1);
    if (button) touchButton(button, +1);
  }
  function buttonAt(event) {
    const under = document.elementFromPoint(event.clientX, event.clientY);
    return (under && under.closest("button[data-key]")) || null;
  }
  document.addEventListener("pointerdown", (event) => {
    const button = event.target.closest && event.target.closest("button[data-key]");
    if (!button) return;
    event.preventDefault();
    // A touch is captured by the element it starts on unless let go.
    if (button.hasPointerCapture(event.pointerId)) button.releasePointerCapture(event.pointerId);
    pointerTo(event.pointerId, button);
  });
  document.addEventListener("pointermove", (event) => {
    if (pointerButton.has(event.pointerId)) pointerTo(event.pointerId, buttonAt(event));
  });
  for (const type of ["pointerup", "pointercancel"]) {
    document.addEventListener(type, (event) => pointerTo(event.pointerId, undefined));
  }

  // --- Pause, fullscreen, the display's size ------------------------------

  // The program runs no frame while the page is hidden or the player has
  // paused it (the button, or P above): web/main.cpp asks before each turn, and
  // waits for Module.untilResumed, where it was.
  const display = document.getElementById("display");
  const pauseButton = document.getElementById("pause");
  let pausedByPlayer = false;
  let resumers = [];
  const paused = () => pausedByPlayer || document.hidden;
  Module.isPaused = () => (paused() ? 1 : 0);
  Module.untilResumed = () => new Promise((resume) => {
    if (paused()) resumers.push(resume);
    else resume();
  });
  function pauseChanged() {
    pauseButton.setAttribute("aria-pressed", String(pausedByPlayer));
    display.classList.toggle("paused", pausedByPlayer);
    if (!paused()) for (const resume of resumers.splice(0)) resume();
  }
  function setPaused(value) {
    pausedByPlayer = value;
    pauseChanged();
  }
  document.addEventListener("visibilitychange", pauseChanged);
  pauseButton.addEventListener("click", () => setPaused(!pausedByPlayer));

  // The whole page in full screen, keypad and all, where the browser can
  // (iPhone Safari cannot: no button there).
  const fullscreenButton = document.getElementById("fullscreen");
  const root = document.documentElement;
  const requestFullscreen = root.requestFullscreen || root.webkitRequestFullscreen;
  if (requestFullscreen && (document.fullscreenEnabled || document.webkitFullscreenEnabled)) {
    fullscreenButton.hidden = false;
    fullscreenButton.addEventListener("click", () => {
      if (document.fullscreenElement || document.webkitFullscreenElement) {
        (document.exitFullscreen || document.webkitExitFullscreen).call(document);
      } else {
        requestFullscreen.call(root);
      }
    });
  }

  // The canvas keeps its 320 x 160 pixels and is shown as large as #display
  // allows: at a whole number of device pixels per canvas pixel, so every
  // cell of every view (2, 4 or 5 canvas pixels) is whole device pixels too,
  // and only where the room is under one, shrunk to fit. The size is in
  // variables of #display: Emscripten's SDL clears the canvas's own style
  // size when the program sets its video mode.
  function fitCanvas() {
    const ratio = window.devicePixelRatio || 1;
    const room = Math.min(display.clientWidth / canvas.width, display.clientHeight / canvas.height) * ratio;
    const scale = room >= 1 ? Math.floor(room) : room;
    display.style.setProperty("--canvas-width", `${(canvas.width * scale) / ratio}px`);
    display.style.setProperty("--canvas-height", `${(canvas.height * scale) / ratio}px`);
  }
  new ResizeObserver(fitCanvas).observe(display);
  window.addEventListener("resize", fitCanvas);
  fitCanvas();

  // --- The program --------------------------------------------------------

  Module.canvas = canvas;
  Module.print = (text) => console.log(text);
  // The program's messages on standard error (a ROM cut short, one that
  // cannot be opened) are shown under the canvas.
  Module.printErr = (text) => {
    console.warn(text);
    messages.textContent += text + "\n";
  };

  async function start() {
    const [font, rom, wasm] = await Promise.all([
      file("FreeSans.ttf"),
      ROM_NAME.test(startRom) ? file(startRom) : null,
      inline ? file("vostrelina.wasm") : null,
    ]);
    if (wasm) Module.wasmBinary = wasm;
    // The page's own texts in the program's font, from the same bytes.
    if (font) {
      const face = new FontFace("FreeSans", font, { weight: "bold" });
      face.load().then(() => document.fonts.add(face), () => {});
    }
    Module.preRun = [() => {
      Module.FS.mkdir("/roms");
      if (font) Module.FS.writeFile("/FreeSans.ttf", font);
      if (rom) Module.FS.writeFile("/" + startRom, rom);
    }];
    Module.onRuntimeInitialized = () => {
      canvas.focus();
      Module.callMain([startRom]);
    };
    const script = document.createElement("script");
    const program = document.querySelector("script[type='text/x-vostrelina']");
    if (program) script.textContent = program.textContent;
    else script.src = "vostrelina.js";
    document.body.appendChild(script);
  }
  start();

  // Served, the page keeps its files for the next visit with no network
  // (web/sw.js). The single file is its own copy, and file:// has no worker.
  if (!inline && "serviceWorker" in navigator && location.protocol !== "file:") {
    navigator.serviceWorker.register("sw.js").catch((error) => console.warn(`sw.js: ${error}`));
  }
})();
