// The workbench's continue (web/workbench/, under node's WebAssembly) beside
// vostrelina-dbg's, on the same ROM on this machine: each runs the ROM from
// its start with one breakpoint and one watch that never stop it, to the
// step limit. Steps a second of the fastest of three runs each; the native
// figure includes starting the process, a few milliseconds of the run's.
//
// Usage: node workbench_bench.js MODULE_DIR VOSTRELINA_DBG ROM
'use strict';
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');

const [moduleDir, dbg, rom] = process.argv.slice(2);
const SET_UP = ['break 0x22C', 'watch VE'];
const RUNS = 3;

// The step continue stopped at, from its position line.
function stepsOf(answer) {
    const found = /^step (\d+),/m.exec(answer);
    if (!found) throw new Error('no position in: ' + answer);
    return Number(found[1]);
}

function fastest(run) {
    let best = 0;
    for (let i = 0; i < RUNS; i++) best = Math.max(best, run());
    return best;
}

const native = fastest(() => {
    const start = process.hrtime.bigint();
    const answer = execFileSync(dbg, [rom], { input: [...SET_UP, 'continue'].join('\n') + '\n', encoding: 'utf8' });
    return stepsOf(answer) / (Number(process.hrtime.bigint() - start) / 1e9);
});

require(path.resolve(moduleDir, 'vostrelina-workbench.js'))({
    wasmBinary: fs.readFileSync(path.join(moduleDir, 'vostrelina-workbench.wasm')),
}).then((workbench) => {
    const page = fastest(() => {
        workbench.open(fs.readFileSync(rom), '', '', '');
        for (const line of SET_UP) workbench.debug(line);
        const start = process.hrtime.bigint();
        const answer = workbench.debug('continue');
        return stepsOf(answer) / (Number(process.hrtime.bigint() - start) / 1e9);
    });
    console.log('continue with one breakpoint and one watch, million steps a second:');
    console.log(`  vostrelina-dbg        ${(native / 1e6).toFixed(1)}`);
    console.log(`  workbench (node wasm) ${(page / 1e6).toFixed(1)}  ratio to vostrelina-dbg ${(page / native).toFixed(2)}`);
});
