#pragma once
// The one way out when the runtime cannot go on: a message, then the end.
#include <windows.h>

enum FatalExitCode : UINT {
    ExitOutOfMemory = 3,
    ExitNoWindow = 4,
};

[[noreturn]] void FatalError(const char* text, UINT exitCode);

// The heap refused memory the runtime cannot do without.
[[noreturn]] void FatalOutOfMemory();
