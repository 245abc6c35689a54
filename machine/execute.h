#pragma once

// Fetches, decodes and carries out the one instruction at pc. An instruction
// this machine does not decode (is_decoded, instruction.h) changes nothing,
// not even pc, so the machine stalls on it while the window stays live.
void execute_instruction();
