#pragma once
// Small owners for platform resources: each frees what it holds when it goes
// out of scope, on every path. Declared in the order of making, they are
// freed in the reverse order (a selection before its device context).
#include <windows.h>
#include <unknwn.h>

// A window's device context (GetDC), released with ReleaseDC.
struct WindowDc {
    HWND Window;
    HDC Dc;
    explicit WindowDc(HWND window) : Window(window), Dc(GetDC(window)) {}
    ~WindowDc() { if (Dc) ReleaseDC(Window, Dc); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
};

// A memory device context compatible with another, deleted with DeleteDC.
struct MemoryDc {
    HDC Dc;
    explicit MemoryDc(HDC compatible) : Dc(CreateCompatibleDC(compatible)) {}
    ~MemoryDc() { if (Dc) DeleteDC(Dc); }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
};

// An object selected into a device context; the previous one goes back.
struct Selection {
    HDC Dc;
    HGDIOBJ Previous;
    Selection(HDC dc, HGDIOBJ object) : Dc(dc), Previous(SelectObject(dc, object)) {}
    ~Selection() { if (Previous) SelectObject(Dc, Previous); }
    bool Held() const { return Previous != nullptr; }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
};

// A GDI object (bitmap, brush, font), deleted with DeleteObject unless let go.
template <typename T>
struct GdiOwner {
    T Object;
    explicit GdiOwner(T object = nullptr) : Object(object) {}
    ~GdiOwner() { if (Object) DeleteObject(Object); }
    T Release() { T object = Object; Object = nullptr; return object; }
    GdiOwner(const GdiOwner&) = delete;
    GdiOwner& operator=(const GdiOwner&) = delete;
};

// A kernel handle, closed with CloseHandle (0 and INVALID_HANDLE_VALUE hold nothing).
struct HandleOwner {
    HANDLE Handle;
    explicit HandleOwner(HANDLE handle = nullptr) : Handle(handle) {}
    ~HandleOwner() { if (Held()) CloseHandle(Handle); }
    bool Held() const { return Handle && Handle != INVALID_HANDLE_VALUE; }
    HANDLE Release() { HANDLE handle = Handle; Handle = nullptr; return handle; }
    HandleOwner(const HandleOwner&) = delete;
    HandleOwner& operator=(const HandleOwner&) = delete;
};

// One reference to a COM object, released at the end.
template <typename T>
struct ComOwner {
    T* Pointer = nullptr;
    ComOwner() = default;
    ~ComOwner() { if (Pointer) Pointer->Release(); }
    T* operator->() const { return Pointer; }
    explicit operator bool() const { return Pointer != nullptr; }
    T** Out() { return &Pointer; }
    void** OutVoid() { return reinterpret_cast<void**>(&Pointer); }
    T* Release() { T* pointer = Pointer; Pointer = nullptr; return pointer; }
    ComOwner(const ComOwner&) = delete;
    ComOwner& operator=(const ComOwner&) = delete;
};
