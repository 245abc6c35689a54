// PONG2's ball as the page draws it, seen by bench/web/web_bench.js as
// flip_probe.c sees it on the desktop: the page's putImageData, wrapped in
// place (the page calls it anew for every picture, so wrapping it once the
// page runs sees every picture after), counts, looked at no more than every
// lookMs, each new place of the ball in the framed view (or of the counting
// ROM's dot), and when it first saw one (firstAt, performance.now's ms);
// restart() forgets both, for a game started again. The function is run in
// the page, by any of the engines: it uses nothing from outside itself.
"use strict";

function ballProbe(lookMs) {
  let last = 0;
  let seen = -1;
  const probe = {
    changes: 0,
    firstAt: null,
    restart() {
      probe.changes = 0;
      probe.firstAt = null;
      seen = -1;
    },
  };
  window.ballProbe = probe;
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
    const t = performance.now();
    if (t - last >= lookMs && image.width === 320 && image.height === 160) {
      last = t;
      const place = ball(image.data);
      if (place >= 0 && place !== seen) {
        if (probe.changes++ === 0) probe.firstAt = t;
        seen = place;
      }
    }
    return put.call(this, image, ...rest);
  };
}

module.exports = { ballProbe };
