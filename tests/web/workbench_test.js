// The workbench's module (web/workbench/) under node, against the desktop
// tools: a table of debug command batches answered through debug() as
// vostrelina-dbg's batch mode answers them, line for line, and assembling
// and disassembling as vostrelina-asm and vostrelina-dis do.
//
// Usage: node workbench_test.js MODULE_DIR BUILD_DIR DOTS_ROM PONG2_SOURCE
//   MODULE_DIR    where vostrelina-workbench.js and .wasm are
//   BUILD_DIR     the desktop build folder: PONG2, and tools/ with vostrelina-dbg
//                 and vostrelina-dis
//   DOTS_ROM      tests/tools/dots.asm assembled
//
// Required as a module, it gives the batches, vostrelina-dbg's answers and
// the line-by-line comparison to the workbench page's checks
// (workbench_page.js), which ask the same of the page.
'use strict';
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');

let failures = 0;
function fail(message) {
    console.error('workbench_test: FAIL: ' + message);
    failures++;
}

// Each batch moves a run with random numbers (CXNN), the delay timer and keys
// through the commands that change where it stands, checked by state lines
// at each stop: back at 1, across a snapshot and to the start, over a key
// given in the session, breakpoints and watches that stop a continue, next
// over a call, a poke the replay makes again, and refused commands.
const dotsKeys = '300:5*200 900:7*3 1400:7*3 2100:7*3 2600:7*3 3100:7*3 4000:5*600';
const batches = (dotsRom, pong2Rom) => [
    { rom: dotsRom, seed: '9', fps: '700', keys: dotsKeys, commands: [
        'state', 'step 57', 'state', 'print V1', 'print DT', 'back', 'state', 'back 20', 'state',
        'break sub_228', 'continue', 'state', 'continue', 'print [data_239]', 'watch VB', 'delete 0x21E', 'delete sub_228',
        'continue', 'print VB', 'state', 'delete VB', 'back 300', 'state', 'next', 'next', 'state',
        'step 5000', 'state', 'back 4000', 'state', 'step 17000', 'state', 'back 16999', 'state',
        'back 100000', 'state', 'key 5 40', 'step 50', 'state', 'back 30', 'state',
        'poke 0x2FF 0x12', 'step 3', 'print [0x2FF]', 'back 10', 'step 10', 'print [0x2FF]',
        'watch [data_239]', 'watch', 'break', 'continue', 'screen', 'bogus', 'step x', '# a comment', '',
        'delete', 'continue', 'state'] },
    { rom: dotsRom, seed: '3000000000', fps: '', keys: '', commands: [
        'step 40', 'state', 'watch V1', 'continue', 'continue', 'state', 'back 7', 'state',
        'watch I', 'continue', 'print I', 'step 2000', 'state', 'back 1999', 'state'] },
    { rom: pong2Rom, seed: '7', fps: '', keys: '100:1*400 900:D*300 2500:C*150 4000:4*500', commands: [
        'state', 'step 999', 'state', 'back 13', 'state', 'watch VE', 'watch [0x2FF]', 'break 0x22C',
        'step 3000', 'state', 'back 2500', 'state', 'next', 'next', 'next', 'state', 'step 4321',
        'screen', 'back 1', 'state', 'help', 'quit', 'state'] },
];

function native(tools, batch) {
    const args = [batch.rom];
    if (batch.seed) args.push('--seed', batch.seed);
    if (batch.fps) args.push('--fps', batch.fps);
    if (batch.keys) args.push('--keys', batch.keys);
    try {
        return execFileSync(path.join(tools, 'vostrelina-dbg'), args,
                            { input: batch.commands.join('\n') + '\n', encoding: 'utf8' });
    } catch (e) {
        return e.stdout;  // a refused command ends the batch with 1, its answers all given
    }
}

function inPage(workbench, batch) {
    const problem = workbench.open(fs.readFileSync(batch.rom), batch.seed, batch.fps, batch.keys);
    if (problem) return 'open: ' + problem + '\n';
    let text = '';
    for (const line of batch.commands) {
        if (line === 'quit' || line === 'q') break;
        const answer = workbench.debug(line);
        if (answer !== '') text += answer + '\n';
    }
    return text;
}

// The first line where two answers differ, or '' if none does; the
// answers' givers named as given.
function firstDifference(want, got, givers = ['vostrelina-dbg', 'debug()']) {
    const a = want.split('\n');
    const b = got.split('\n');
    for (let i = 0; i < Math.max(a.length, b.length); i++) {
        if (a[i] !== b[i]) return `line ${i + 1}: ${givers[0]} "${a[i]}", ${givers[1]} "${b[i]}"`;
    }
    return '';
}

function sameLines(what, want, got) {
    const difference = firstDifference(want, got);
    if (difference) fail(`${what}: ${difference}`);
}

module.exports = { batches, native, firstDifference };

function main(moduleDir, build, dotsRom, pong2Source) {
    const tools = path.join(build, 'tools');
    const pong2Rom = path.join(build, 'PONG2');
    const BATCHES = batches(dotsRom, pong2Rom);
    require(path.resolve(moduleDir, 'vostrelina-workbench.js'))({
        // Given as bytes: node's fetch takes no file paths.
        wasmBinary: fs.readFileSync(path.join(moduleDir, 'vostrelina-workbench.wasm')),
    }).then((workbench) => {
        BATCHES.forEach((batch, i) => {
            const want = native(tools, batch);
            if (want.split('\n').length < batch.commands.length) fail(`batch ${i + 1}: vostrelina-dbg said too little`);
            sameLines(`batch ${i + 1} (${path.basename(batch.rom)})`, want, inPage(workbench, batch));
        });
        // The options' messages are vostrelina-dbg's.
        const refused = workbench.open(fs.readFileSync(dotsRom), '', '0', '');
        if (!refused.startsWith('--fps wants')) fail(`open with fps 0 said "${refused}"`);

        // PONG2's source assembles to the build's PONG2, and its disassembly is
        // vostrelina-dis's and assembles back to the same bytes.
        const pong2 = fs.readFileSync(pong2Rom);
        const built = JSON.parse(workbench.assemble(fs.readFileSync(pong2Source, 'utf8')));
        if (built.errors.length || !pong2.equals(Buffer.from(built.bytes))) fail('PONG2 assembles otherwise in the page');
        const source = workbench.disassemble(pong2, 'PONG2');
        const dis = execFileSync(path.join(tools, 'vostrelina-dis'), [pong2Rom], { encoding: 'utf8' });
        if (source !== dis) fail('disassemble() differs from vostrelina-dis');
        const back = JSON.parse(workbench.assemble(source));
        if (!pong2.equals(Buffer.from(back.bytes))) fail('the disassembly does not assemble back to PONG2');
        // An error and a warning at their lines.
        const faulty = JSON.parse(workbench.assemble('start:\n    CLS\n    LD V1, 0x100\n    JP start\n'));
        if (faulty.bytes.length || faulty.errors.length !== 1 || faulty.errors[0].line !== 3)
            fail('the error of line 3: ' + JSON.stringify(faulty));

        if (failures) process.exit(1);
        console.log(`workbench_test: ${BATCHES.length} batches answered as vostrelina-dbg; assembly round trip ok`);
    }).catch((e) => {
        console.error('workbench_test: ' + e);
        process.exit(1);
    });
}

if (require.main === module) main(...process.argv.slice(2));
