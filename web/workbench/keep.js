// What the workbench keeps and gives away: the source in the browser's
// storage, a share link carrying the source in its fragment (no server
// holds it), files downloaded, and the one-file game made in the page as
// web/single_file.sh makes it.
//
// readShareFragment throws an Error whose message is French and meant for
// the author when a link's fragment is damaged; null means only that the
// address carries no source.

const STORAGE_KEY = "vostrelina.workbench.source";
const FRAGMENT = "#src=";

// Storage can be refused (private browsing, a page from disk in some
// browsers) or full. The workbench goes on without it: the author is told
// once, as a warning, and the page never sees an exception for it.
let storageWarned = false;
function storageFailed(error) {
  if (storageWarned) return;
  storageWarned = true;
  console.warn(`Vostrelina : le navigateur ne garde pas le programme (${error && error.name}) ; ` +
    "il sera perdu en rechargeant la page.");
}

export function saveSource(text) {
  try {
    window.localStorage.setItem(STORAGE_KEY, text);
  } catch (error) {
    storageFailed(error);
  }
}

export function loadSource() {
  try {
    return window.localStorage.getItem(STORAGE_KEY);
  } catch (error) {
    storageFailed(error);
    return null;
  }
}

// --- The share link ------------------------------------------------------------

// Written and read by hand, both ends awaited together: a damaged stream's
// error then reaches the caller only, where Firefox would also log a pipe's
// or a Response's as an error of the page.
async function throughStream(bytes, stream) {
  const writer = stream.writable.getWriter();
  const reader = stream.readable.getReader();
  const chunks = [];
  const read = async () => {
    for (let chunk = await reader.read(); !chunk.done; chunk = await reader.read()) chunks.push(chunk.value);
  };
  await Promise.all([writer.write(bytes).then(() => writer.close()), read()]);
  const out = new Uint8Array(chunks.reduce((size, chunk) => size + chunk.length, 0));
  let at = 0;
  for (const chunk of chunks) {
    out.set(chunk, at);
    at += chunk.length;
  }
  return out;
}

// base64url without padding, as a fragment carries it untouched.
function toBase64url(bytes) {
  return toBase64(bytes).replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "");
}

function fromBase64url(text) {
  const binary = atob(text.replace(/-/g, "+").replace(/_/g, "/"));
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

export async function shareFragment(source) {
  const packed = await throughStream(new TextEncoder().encode(source), new CompressionStream("deflate-raw"));
  return FRAGMENT + toBase64url(packed);
}

// A link cut short or mangled on its way (a chat's line wrap, a character
// lost) fails at one of three steps, each caught: base64url, the deflate
// stream (which ends with a final block a cut link lacks), or UTF-8.
export async function readShareFragment(hash) {
  if (typeof hash !== "string" || !hash.startsWith(FRAGMENT)) return null;
  const text = hash.slice(FRAGMENT.length);
  try {
    if (!/^[A-Za-z0-9_-]*$/.test(text)) throw new Error("not base64url");
    const bytes = await throughStream(fromBase64url(text), new DecompressionStream("deflate-raw"));
    return new TextDecoder("utf-8", { fatal: true }).decode(bytes);
  } catch (error) {
    throw new Error("Le lien partagé est abîmé (coupé ou modifié en route) : son programme ne peut pas être lu.",
      { cause: error });
  }
}

// --- Files -----------------------------------------------------------------------

// data: a string, a Uint8Array or a Blob.
export function downloadFile(name, data, mimeType) {
  const blob = data instanceof Blob ? data : new Blob([data], { type: mimeType || "application/octet-stream" });
  const url = URL.createObjectURL(blob);
  const link = document.createElement("a");
  link.href = url;
  link.download = name;
  link.hidden = true;
  document.body.append(link);
  link.click();
  link.remove();
  // The download reads the URL after this task, and some browsers cancel
  // it if the URL is gone by then; a minute is far more than it needs.
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// --- The one-file game --------------------------------------------------------------

// The player's files the one-file game is made of, fetched beside the page.
const PLAYER_FILES = ["index.html", "page.css", "page.js", "vostrelina.js", "vostrelina.wasm",
  "FreeSans.ttf", "favicon.png"];
const TEXT_FILES = new Set(["index.html", "page.css", "page.js", "vostrelina.js"]);

async function fetchPlayer() {
  const files = {};
  await Promise.all(PLAYER_FILES.map(async (name) => {
    const response = await fetch(name);
    if (!response.ok) throw new Error(`Fichier du lecteur introuvable : ${name} (${response.status})`);
    files[name] = TEXT_FILES.has(name) ? await response.text() : new Uint8Array(await response.arrayBuffer());
  }));
  return files;
}

// A file's lines as sed reads them: each with its newline.
function linesOf(text) {
  return text.match(/[^\n]*\n|[^\n]+$/g) || [];
}

// The same file as web/single_file.sh writes, byte for byte: read that
// script for the layout's reasons.
export async function singleFileGame(romBytes, romName) {
  const files = await fetchPlayer();
  const name = /^[A-Za-z0-9_][A-Za-z0-9._-]*$/.test(romName || "") ? romName : "ROM";
  for (const script of ["page.js", "vostrelina.js"]) {
    if (/<\/script/i.test(files[script])) throw new Error(`${script} contient </script : il ne peut pas être mis dans la page`);
  }
  const favicon = `href="data:image/png;base64,${toBase64(files["favicon.png"])}"`;
  const head = linesOf(files["index.html"])
    .filter((line) => !line.includes('rel="manifest"') && !line.includes('rel="apple-touch-icon"'))
    .map((line) => line.replace('href="favicon.png"', favicon));
  const style = head.findIndex((line) => line.includes('<link rel="stylesheet"'));
  const script = head.findIndex((line) => line.includes('<script src="page.js">'));
  const page = linesOf(files["index.html"]);
  if (style < 0 || script < style) throw new Error("index.html n'a plus la forme attendue (feuille de style, puis page.js)");
  const parts = [
    ...head.slice(0, style),
    "<style>\n", files["page.css"], "</style>\n",
    ...head.slice(style + 1, script),
    `<script>\nwindow.vostrelinaStartRom = "${name}";\nwindow.vostrelinaFiles = {\n`,
    `  "vostrelina.wasm": "${toBase64(files["vostrelina.wasm"])}",\n`,
    `  "FreeSans.ttf": "${toBase64(files["FreeSans.ttf"])}",\n`,
    `  "${name}": "${toBase64(new Uint8Array(romBytes))}",\n`,
    "};\n</script>\n<script type=\"text/x-vostrelina\">\n",
    files["vostrelina.js"],
    "\n</script>\n<script>\n",
    files["page.js"],
    "</script>\n",
    ...page.slice(page.findIndex((line) => line.includes('<script src="page.js">')) + 1),
  ];
  return new Blob(parts, { type: "text/html" });
}

// In chunks: a long file's bytes are too many for one call's arguments.
function toBase64(bytes) {
  let binary = "";
  for (let i = 0; i < bytes.length; i += 0x8000) {
    binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
  }
  return btoa(binary);
}
