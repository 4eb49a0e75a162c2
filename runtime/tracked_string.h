#pragma once
// The process heap and the registry behind tracked strings, and plain heap blocks.
#include <windows.h>

#include <prompt/strings.h>

struct StringRegistry {
    TrackedString* RegistryItems; // live strings, oldest first
    LONG RegistryCount;
    CRITICAL_SECTION RegistryLock;
};

extern StringRegistry Registry;
extern HANDLE ProcessHeap;

void* AllocBlock(DWORD size);
void FreeBlock(void* block);
