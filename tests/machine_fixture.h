// A fresh machine for each test, with a tiny program placed in memory.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "keypad.h"
#include "execute.h"
#include "machine.h"

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_to_start_up();
    }

    // The program's bytes from 0x200, as a ROM image.
    static void program(std::initializer_list<uint8_t> bytes) {
        std::vector<uint8_t> image(bytes);
        load_rom_image(image.data(), image.size());
    }

    // Bytes placed anywhere, for instructions at unusual addresses.
    static void poke(int address, std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) machine.memory[address++] = b;
    }

    static void step(int count = 1) {
        for (int i = 0; i < count; i++) execute_instruction();
    }

    // Field by field: the record has padding that a copy need not keep.
    static bool same_state(const MachineState& a, const MachineState& b) {
        return std::memcmp(a.memory, b.memory, sizeof a.memory) == 0 &&
               std::memcmp(a.V, b.V, sizeof a.V) == 0 && a.I == b.I &&
               a.delayTimer == b.delayTimer && a.soundTimer == b.soundTimer && a.pc == b.pc &&
               std::memcmp(a.stack, b.stack, sizeof a.stack) == 0 && a.sp == b.sp &&
               std::memcmp(a.display, b.display, sizeof a.display) == 0;
    }

    static uint8_t cell(int x, int y) { return machine.display[display_index(x, y)]; }

    // Holds keypad key k as a poll would leave it: new only in its first frame.
    static void press_key(int k, bool isNew = true) {
        input.keyHeld[KEYPAD_FIRST_SLOT + k] = 1;
        input.keyNew[KEYPAD_FIRST_SLOT + k] = isNew;
    }
};
