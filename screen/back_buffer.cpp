#include "screen/back_buffer.h"

#include "runtime/dib.h"
#include "runtime/lock.h"
#include "screen/screen_scale.h"

namespace {

// Handles: the console thread, in WM_CREATE and WM_DESTROY (ConsoleStart
// waits for the first paint, so other threads only see them made); pixels:
// any thread, under Lock.
struct BackBufferRecord {
    HWND Window;
    SIZE Size;
    OffscreenImage Image;
    Lock Lock;
    RECT Touched;      // under Lock: drawn by the runtime's own loops since the last compose
};

BackBufferRecord Back;

} // namespace

bool MakeOffscreenImage(HDC compatible, LONG width, LONG height, OffscreenImage* image)
{
    void* bits = nullptr;
    GdiOwner<HBITMAP> bitmap(MakeDibSection(compatible, width, height, &bits));
    MemoryDc dc(compatible);
    if (!bitmap.Object || !dc.Dc)
        return false;
    image->Bitmap = bitmap.Release();
    image->Dc = dc.Release();
    image->Pixels = static_cast<DWORD*>(bits);
    SelectObject(image->Dc, image->Bitmap); // for the image's whole life
    return true;
}

void FreeOffscreenImage(OffscreenImage* image)
{
    if (image->Dc)
        DeleteDC(image->Dc);
    if (image->Bitmap)
        DeleteObject(image->Bitmap);
    *image = OffscreenImage{};
}

bool BackBufferCreate(HWND window, SIZE screenSize)
{
    WindowDc windowDc(window);
    if (!MakeOffscreenImage(windowDc.Dc, screenSize.cx, screenSize.cy, &Back.Image))
        return false;
    Back.Window = window;
    Back.Size = screenSize;
    Selection brush(Back.Image.Dc, GetStockObject(BLACK_BRUSH));
    PatBlt(Back.Image.Dc, 0, 0, screenSize.cx, screenSize.cy, PATCOPY);
    return true;
}

void BackBufferDestroy()
{
    BackBufferHold hold;
    FreeOffscreenImage(&Back.Image);
}

HDC BackBufferDc()
{
    return Back.Image.Dc;
}

SIZE BackBufferSize()
{
    return Back.Size;
}

HWND BackBufferWindow()
{
    return Back.Window;
}

const OffscreenImage& BackBufferImage()
{
    return Back.Image;
}

void LockBackBuffer()
{
    // The back buffer's pixels are read directly, by whichever thread shows a
    // frame: a thread that draws into it has its drawing done at each call,
    // not batched until later (Windows batches a thread's GDI calls; GdiFlush
    // at every release would do the same, but under Wine it also pushes every
    // window's pixels to the display each time).
    static thread_local bool unbatched = false;
    if (!unbatched) {
        GdiSetBatchLimit(1);
        unbatched = true;
    }
    EnterCriticalSection(&Back.Lock.Section);
}

void UnlockBackBuffer()
{
    LeaveCriticalSection(&Back.Lock.Section);
}

void BackBufferTouched(const RECT& area)
{
    UnionRect(&Back.Touched, &Back.Touched, &area);
}

RECT BackBufferTakeTouched()
{
    RECT touched = Back.Touched;
    SetRectEmpty(&Back.Touched);
    return touched;
}

RECT ClientArea()
{
    const ScreenPlacement placement = CurrentScreenPlacement();
    if (!Back.Window || placement.Client.cx <= 0 || placement.Client.cy <= 0)
        return RECT{};
    return RECT{0, 0, placement.Logical.cx, placement.Logical.cy};
}
