// PONG2's ball as the page draws it, seen the same way by the browser checks'
// pace check and by bench/web/web_bench.js: the page's putImageData, wrapped
// in place (the page calls it anew for every flip, so wrapping it once the
// page runs sees every flip after), counts each flip and, looked at no more
// than every lookMs, each new place of the ball in the framed view, with the
// time it was first seen there, its column and the delay timer's count then. The counts
// are the machine's own rule (machine/delay_timer.h) run on the same frames
// and the same clock (SDL_GetTicks is Date.now's milliseconds): one once
// more than countMs have passed since the last, looked at in every frame, as
// the frame loop does. The function is run in
// the page, by any of the engines: it uses nothing from outside itself.
"use strict";
const fs = require("fs");
const path = require("path");

// The delay timer's count, as machine/delay_timer.h defines it (a count once
// more than this many milliseconds have passed).
const DELAY_TICK_MS = Number(fs.readFileSync(path.join(__dirname, "../../machine/delay_timer.h"), "utf8")
  .match(/\bDELAY_TICK_MS\s*=\s*(\d+)/)[1]);

function ballProbe(lookMs, countMs) {
  const probe = { flips: 0, changes: 0, counts: 0, moves: [] };
  window.ballProbe = probe;
  let last = 0;
  let seen = -1;
  let lastCount = Date.now();
  // The first lit cell of the play area, scanned column by column, the
  // paddles' columns, the net and the scores left out; -1 when there is none.
  const ball = (data) => {
    for (let c = 3; c <= 60; c++) {
      if (c === 31) continue;
      for (let r = 0; r < 32; r++) {
        if (r <= 6 && c >= 20 && c <= 44) continue;
        const i = ((16 + 4 * r + 1) * 320 + 32 + 4 * c + 1) * 4;
        if (data[i] | data[i + 1] | data[i + 2]) return c * 32 + r;
      }
    }
    return -1;
  };
  const put = CanvasRenderingContext2D.prototype.putImageData;
  CanvasRenderingContext2D.prototype.putImageData = function (image, ...rest) {
    probe.flips++;
    const t = performance.now();
    const now = Date.now();
    if (now - lastCount > countMs) {
      probe.counts++;
      lastCount = now;
    }
    if (t - last >= lookMs && image.width === 320 && image.height === 160) {
      last = t;
      const place = ball(image.data);
      if (place >= 0 && place !== seen) {
        probe.changes++;
        if (probe.moves.length < 10000) probe.moves.push({ t, count: probe.counts, column: place >> 5 });
        seen = place;
      }
    }
    return put.call(this, image, ...rest);
  };
}

module.exports = { ballProbe, DELAY_TICK_MS };
