#pragma once
// The runtime's one lock: a critical section, with a guard that holds it for a
// scope. Flags and counters shared between threads are std::atomic instead.
// Records the platform fixes (a picture's PixelLock, the string registry's
// RegistryLock) keep their CRITICAL_SECTION and are held the same way.
//
// The order in which locks may be held together, for the whole runtime:
//   1. a line reader's (text/line_input.h), held while ReadLine waits;
//   2. the text store's (text/text_store.h);
//   3. the back buffer's (screen/back_buffer.h).
// A thread holding one of them takes only those below it. Every other lock
// (the string registry's, a picture's PixelLock, the mixer's and the music's)
// is held alone: nothing is called under it that takes another.
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
