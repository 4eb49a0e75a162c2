#pragma once
// The back buffer: a 32-bit DIB section as large as the screen, which every
// graphics draw goes into and every repaint shows. Its device context may be
// used by one thread at a time, so every draw into it and every copy out of
// it, on any thread, holds its lock (BackBufferHold), after the text store's
// if both (the order: runtime/lock.h).
#include <windows.h>

#include "runtime/owners.h"

struct OffscreenImage {
    HBITMAP Bitmap;
    HDC Dc;
    DWORD* Pixels; // 0x00RRGGBB, rows from the top, as wide as the image
};

// A width x height image with a device context selected on it, compatible
// with dc; false (nothing kept) if not made.
bool MakeOffscreenImage(HDC dc, LONG width, LONG height, OffscreenImage* image);
void FreeOffscreenImage(OffscreenImage* image);

// The console thread: in WM_CREATE (false: no back buffer, no window) and in
// WM_DESTROY. The window is where graphics are drawn when not held.
bool BackBufferCreate(HWND window, SIZE screenSize);
void BackBufferDestroy();

// Any thread, after ConsoleStart (0 and 0 x 0 before).
HDC BackBufferDc();
SIZE BackBufferSize();
HWND BackBufferWindow();
const OffscreenImage& BackBufferImage(); // with its lock held

void LockBackBuffer();
void UnlockBackBuffer();
struct BackBufferHold : NotCopied {
    BackBufferHold() { LockBackBuffer(); }
    ~BackBufferHold() { UnlockBackBuffer(); }
};

// What the runtime's own pixel loops changed in the back buffer (GDI's
// bounds do not see it): added by the drawing door, taken by the next
// compose. With the back buffer's lock held.
void BackBufferTouched(const RECT& area);
RECT BackBufferTakeTouched();

// The program's screen: the window's client area in the program's pixels
// (screen/screen_scale.h; empty while minimised).
RECT ClientArea();
