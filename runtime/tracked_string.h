#pragma once
// The process heap, the registry of tracked strings, and plain heap blocks.
#include <windows.h>

// The address of the first data byte of a process-heap block laid out as
// [32-bit Length][Length data bytes][one zero byte]. It can be handed to any
// ANSI function as a zero-terminated string.
using TrackedString = char*;

struct StringRegistry {
    TrackedString* RegistryItems; // live strings, oldest first
    LONG RegistryCount;
    CRITICAL_SECTION RegistryLock;
};

extern StringRegistry Registry;
extern HANDLE ProcessHeap;

void StringsInit();
TrackedString AllocString(LONG length);
void ReleaseString(TrackedString s);
TrackedString NewString(LONG length);
UINT StringFirstByte(TrackedString s);

void* AllocBlock(DWORD size);
void FreeBlock(void* block);

LONG StringLength(TrackedString s);

// A zero-terminated text as a new tracked string (its zero lands in the spare byte).
TrackedString StringFromText(const char* text);

// A tracked copy of s, for callers that keep s but must hand a string over.
TrackedString StringCopy(TrackedString s);

// Number of live strings, read under the lock.
LONG RegistryCountNow();
