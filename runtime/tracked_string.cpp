#include "runtime/tracked_string.h"

#include "runtime/code_page.h"
#include "runtime/fatal.h"
#include "runtime/system_library.h"

StringRegistry Registry;
HANDLE ProcessHeap;

namespace {

const LONG HeaderSize = sizeof(LONG);
const char UnknownStringText[] = "未知の文字列が解放されようとしました。\r\n";

char* BlockOf(TrackedString s) { return s - HeaderSize; }

} // namespace

void StringsInit()
{
    LimitLibrarySearch();
    InitializeCriticalSection(&Registry.RegistryLock);
    ProcessHeap = GetProcessHeap();
    // A 1-byte placeholder, so that the first AllocString resizes like every later one.
    Registry.RegistryItems = static_cast<TrackedString*>(HeapAlloc(ProcessHeap, 0, 1));
    if (!Registry.RegistryItems)
        FatalOutOfMemory();
    Registry.RegistryCount = 0;
}

TrackedString AllocString(LONG length)
{
    if (length < 0 || length > MAXLONG - HeaderSize - 1)
        FatalOutOfMemory();

    char* block = static_cast<char*>(HeapAlloc(ProcessHeap, HEAP_ZERO_MEMORY, length + HeaderSize + 1));
    if (!block)
        FatalOutOfMemory();
    *reinterpret_cast<LONG*>(block) = length;
    TrackedString value = block + HeaderSize;

    EnterCriticalSection(&Registry.RegistryLock);
    void* grown = HeapReAlloc(ProcessHeap, 0, Registry.RegistryItems,
                              (Registry.RegistryCount + 1) * sizeof(TrackedString));
    if (!grown) {
        LeaveCriticalSection(&Registry.RegistryLock);
        FatalOutOfMemory();
    }
    Registry.RegistryItems = static_cast<TrackedString*>(grown);
    Registry.RegistryItems[Registry.RegistryCount] = value;
    Registry.RegistryCount += 1;
    LeaveCriticalSection(&Registry.RegistryLock);
    return value;
}

void ReleaseString(TrackedString s)
{
    EnterCriticalSection(&Registry.RegistryLock);
    for (LONG i = 0; i <= Registry.RegistryCount - 1; ++i) {
        if (Registry.RegistryItems[i] != s)
            continue;
        HeapFree(ProcessHeap, 0, BlockOf(s));
        Registry.RegistryCount -= 1;
        for (LONG j = i; j <= Registry.RegistryCount - 1; ++j)
            Registry.RegistryItems[j] = Registry.RegistryItems[j + 1];
        LeaveCriticalSection(&Registry.RegistryLock);
        return;
    }
    LeaveCriticalSection(&Registry.RegistryLock);
    if (s)
        OutputDebugStringW(WideFromText(UnknownStringText).c_str());
}

TrackedString NewString(LONG length)
{
    return AllocString(length);
}

UINT StringFirstByte(TrackedString s)
{
    UINT first = static_cast<unsigned char>(s[0]);
    ReleaseString(s);
    return first;
}

void* AllocBlock(DWORD size)
{
    return HeapAlloc(ProcessHeap, HEAP_ZERO_MEMORY, size);
}

void FreeBlock(void* block)
{
    HeapFree(ProcessHeap, 0, block);
}

LONG StringLength(TrackedString s)
{
    return *reinterpret_cast<const LONG*>(BlockOf(s));
}

TrackedString StringFromText(const char* text)
{
    TrackedString s = AllocString(lstrlenA(text));
    lstrcpyA(s, text);
    return s;
}

TrackedString StringCopy(TrackedString s)
{
    LONG length = StringLength(s);
    TrackedString copy = AllocString(length);
    RtlMoveMemory(copy, s, length);
    return copy;
}

LONG RegistryCountNow()
{
    EnterCriticalSection(&Registry.RegistryLock);
    LONG count = Registry.RegistryCount;
    LeaveCriticalSection(&Registry.RegistryLock);
    return count;
}
