#pragma once
// The runtime's one lock: a critical section, with a guard that holds it for a
// scope. Flags and counters shared between threads are std::atomic instead.
// Records the platform fixes (a picture's PixelLock, the string registry's
// RegistryLock) keep their CRITICAL_SECTION and are held the same way.
#include <windows.h>

#include "runtime/owners.h"

// Ready from its owner's construction (a global's: before main) and never
// deleted, since a thread may still hold it while the process ends.
struct Lock : NotCopied {
    CRITICAL_SECTION Section;
    Lock() { InitializeCriticalSection(&Section); }
};

struct LockHold : NotCopied {
    CRITICAL_SECTION& Held;
    explicit LockHold(CRITICAL_SECTION& section) : Held(section) { EnterCriticalSection(&Held); }
    explicit LockHold(Lock& lock) : LockHold(lock.Section) {}
    ~LockHold() { LeaveCriticalSection(&Held); }
};
