#pragma once
// The demo program: start-up, and the program's own state.
#include "runtime/tracked_string.h"

const int StringSlotCount = 32;
extern TrackedString StringSlots[StringSlotCount];

// The process's first thread: start-up, then the demo. Never returns.
[[noreturn]] void ProgramMain();
