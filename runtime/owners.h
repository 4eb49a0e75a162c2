#pragma once
// Small owners for platform resources: each frees what it holds when it goes
// out of scope, on every path. Declared in the order of making, they are
// freed in the reverse order (a selection before its device context).
#include <windows.h>
#include <unknwn.h>

// Owners are not copied: one of two copies would free what the other still uses.
struct NotCopied {
    NotCopied() = default;
    NotCopied(const NotCopied&) = delete;
    NotCopied& operator=(const NotCopied&) = delete;
};

// A window's device context (GetDC), released with ReleaseDC.
struct WindowDc : NotCopied {
    HWND Window;
    HDC Dc;
    explicit WindowDc(HWND window) : Window(window), Dc(GetDC(window)) {}
    ~WindowDc() { if (Dc) ReleaseDC(Window, Dc); }
};

// A memory device context compatible with another, deleted with DeleteDC.
struct MemoryDc : NotCopied {
    HDC Dc;
    explicit MemoryDc(HDC compatible) : Dc(CreateCompatibleDC(compatible)) {}
    ~MemoryDc() { if (Dc) DeleteDC(Dc); }
    HDC Release() { HDC dc = Dc; Dc = nullptr; return dc; }
};

// An object selected into a device context; the previous one goes back.
struct Selection : NotCopied {
    HDC Dc;
    HGDIOBJ Previous;
    Selection(HDC dc, HGDIOBJ object) : Dc(dc), Previous(SelectObject(dc, object)) {}
    ~Selection() { if (Previous) SelectObject(Dc, Previous); }
    bool Held() const { return Previous != nullptr; }
};

// A GDI object (bitmap, brush, font), deleted with DeleteObject unless let go.
template <typename T>
struct GdiOwner : NotCopied {
    T Object;
    explicit GdiOwner(T object = nullptr) : Object(object) {}
    ~GdiOwner() { if (Object) DeleteObject(Object); }
    T Release() { T object = Object; Object = nullptr; return object; }
};

// A kernel handle, closed with CloseHandle (0 and INVALID_HANDLE_VALUE hold nothing).
struct HandleOwner : NotCopied {
    HANDLE Handle;
    explicit HandleOwner(HANDLE handle = nullptr) : Handle(handle) {}
    ~HandleOwner() { if (Held()) CloseHandle(Handle); }
    bool Held() const { return Handle && Handle != INVALID_HANDLE_VALUE; }
    HANDLE Release() { HANDLE handle = Handle; Handle = nullptr; return handle; }
};

// One reference to a COM object, released at the end.
template <typename T>
struct ComOwner : NotCopied {
    T* Pointer = nullptr;
    ComOwner() = default;
    ~ComOwner() { if (Pointer) Pointer->Release(); }
    T* operator->() const { return Pointer; }
    explicit operator bool() const { return Pointer != nullptr; }
    T** Out() { return &Pointer; }
    void** OutVoid() { return reinterpret_cast<void**>(&Pointer); }
    T* Release() { T* pointer = Pointer; Pointer = nullptr; return pointer; }
};
