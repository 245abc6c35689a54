#pragma once

// Tells the user that the ROM cannot be opened and returns once they have
// dismissed the message.
void show_rom_error();
