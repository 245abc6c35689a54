// The run's on/off switch, program-wide. Polling clears it when the window is
// asked to close, the front end when the ROM cannot be opened, and the frame
// loop runs while it is set. It lives here, below the front end and free of
// SDL, so that polling reaches it without including the front end.
#pragma once

#include <cstdint>

// --- Program-wide state ---

extern int32_t appRunning;  // the frame loop runs while non-zero
