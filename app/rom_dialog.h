#pragma once

// Tells the user that the ROM at path cannot be opened and returns once they
// have dismissed the message. error is the errno value that says why.
void show_rom_error(const char* path, int error);

// The reason given for errno value error, in the messages' French (8-bit
// strings, so the é is one byte on Windows).
const char* rom_error_reason(int error);
