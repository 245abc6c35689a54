// Debian's chromium, headless, as every browser run of ours starts it (the
// checks, the benchmark, the README's picture): driven through its DevTools
// protocol by puppeteer-core, with a profile folder of its own that goes
// with it, and none of the background traffic a first run would make.
"use strict";
const puppeteer = require("puppeteer-core");
const fs = require("fs");
const os = require("os");
const path = require("path");

// Calls use(browser) and closes the browser however it ends; extraArgs are
// chromium's flags beyond ours.
async function withChromium(use, extraArgs = []) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "vostrelina-chromium-"));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    headless: false, // the flag is given below, as it is
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync",
      `--user-data-dir=${profile}`, ...extraArgs],
  });
  try {
    return await use(browser);
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

module.exports = { withChromium };
