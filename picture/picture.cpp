#include "picture/picture.h"

#include <cstddef>

#include "console/console_api.h"
#include "picture/sprite_source.h"
#include "runtime/fatal.h"
#include "runtime/owners.h"
#include "runtime/tracked_string.h"
#include "screen/back_buffer.h"
#include "screen/draw_door.h"
#include "screen/frame.h"

namespace {

void CleanUpLoader(void* element)
{
    LoaderRelease(static_cast<ImageLoader*>(element));
}

LoaderBlock* BlockOf(ImageLoader* loader)
{
    return reinterpret_cast<LoaderBlock*>(reinterpret_cast<char*>(loader) - offsetof(LoaderBlock, Element));
}

BITMAP BitmapInfo(HBITMAP bitmap)
{
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    return info;
}

// Takes what a load left in the loader: the new bitmap, or none.
int AdoptLoaded(Picture* picture, int result)
{
    HBITMAP handle = LoaderHandle(picture->Loader);
    if (result == 1)
        PictureAdoptBitmap(picture, handle);
    else if (picture->Bitmap && handle != picture->Bitmap)
        PictureDropBitmap(picture); // the loader has given that image up: forget it, never draw it
    return result;
}

// Runs blit(dc, source, width, height, natural) with the bitmap selected into
// source: on the target, or on the window, or through the screen's door (the
// window and the back buffer) for an attached picture; boundAt: the draw's
// corner, for a draw whose reach the door must add to what GDI bounds.
template <typename Blit>
int DrawEverywhere(Picture* picture, LONG width, LONG height, HDC target, Blit blit, const POINT* boundAt = nullptr)
{
    if (!picture->Bitmap)
        return 0;
    BITMAP natural = BitmapInfo(picture->Bitmap);
    PictureFitSize(&width, &height, natural.bmWidth, natural.bmHeight);
    MemoryDc source(nullptr);
    Selection selected(source.Dc, picture->Bitmap); // put back, so that the bitmap is free for the next draw
    if (target)
        return blit(target, source.Dc, width, height, natural);
    if (picture->Mirror != 1) {
        FrameWindowDrawnApart();
        WindowDc window(picture->Window);
        return blit(window.Dc, source.Dc, width, height, natural);
    }
    auto draw = [&](HDC dc) { return blit(dc, source.Dc, width, height, natural); };
    const RECT reach = boundAt ? RECT{boundAt->x, boundAt->y, boundAt->x + width, boundAt->y + height} : RECT{};
    return ScreenDraw(draw, boundAt ? &reach : nullptr);
}

// An attached picture drawn by the runtime's own loop, through the screen's
// door: what the blend or a picture to draw into asks for, and what the
// platform does slowly (a blend at natural size).
int DrawByOwnLoop(Picture* picture, LONG x, LONG y, LONG width, LONG height, COLORREF key, BYTE opacity)
{
    PixelImage source;
    if (!SpritePixels(picture, key, &source))
        return 0;
    PictureFitSize(&width, &height, source.Width, source.Height);
    if (width <= 0 || height <= 0)
        return 0;
    const PixelRect whole{0, 0, source.Width, source.Height};
    auto draw = [&](const PixelImage& target, const BlendSetting& blend, PixelRect* touched) {
        if (width == source.Width && height == source.Height)
            BlendImage(target, source, whole, x, y, blend, touched);
        else
            BlendTransformed(target, source, whole, x + width / 2.0, y + height / 2.0, double(width) / source.Width,
                             double(height) / source.Height, 0, blend, touched);
    };
    return ScreenDrawPixels(draw, opacity);
}

bool Attached(Picture* picture, HDC target)
{
    return !target && picture->Mirror == 1;
}

bool HasAlphaChannel(Picture* picture)
{
    return picture->Loader && picture->Loader->Decoding == DecodedWithAlpha;
}

// Opens the file; once it is open, the loader gives up the image a running
// capture still asks about: the capture stops first.
int LoadThrough(Picture* picture, const char* name, ImageDecoding decoding)
{
    if (!picture->Loader)
        return 0; // made by PictureInit: it has nothing to load with
    HANDLE file = ImageFileOpen(name);
    if (file == INVALID_HANDLE_VALUE)
        return 0; // the picture and its loader stay as they were
    StopPixelCapture(picture);
    return AdoptLoaded(picture, LoaderLoadOpened(picture->Loader, file, name, decoding));
}

} // namespace

void PictureInit(Picture* picture)
{
    InitializeCriticalSection(&picture->PixelLock);
    picture->PrivateHeap = HeapCreate(0, 0, 0);
    picture->Bitmap = nullptr;
    picture->CaptureThread = nullptr;
    picture->PixelBuffer = nullptr;
    picture->PixelsReady = 0;
    picture->Window = nullptr;
    picture->BackDC = nullptr;
    picture->Mirror = 0;
    picture->CaptureDelay = 0;
    picture->CaptureThreadId = 0;
    picture->CaptureCopy = nullptr;
    picture->Loader = nullptr;
    picture->CaptureStop = nullptr;
    picture->CaptureDc = nullptr;
}

void PictureCreate(Picture* picture)
{
    PictureInit(picture);
    auto* block = static_cast<LoaderBlock*>(AllocBlock(sizeof(LoaderBlock)));
    if (!block)
        FatalOutOfMemory();
    block->Header.Count = 1;
    block->Header.ElementSize = sizeof(ImageLoader);
    block->Header.CleanUp = CleanUpLoader;
    LoaderInit(&block->Element);
    picture->Loader = &block->Element;
}

int PictureSetCaptureDelay(Picture* picture, LONG delay)
{
    if (picture->CaptureThread && WaitForSingleObject(picture->CaptureThread, 0) == WAIT_TIMEOUT)
        return 0;
    picture->CaptureDelay = delay;
    return 1;
}

void PictureAttachWindow(Picture* picture)
{
    picture->Window = ConsoleWindowHandle();
    picture->BackDC = BackBufferDc();
    picture->Mirror = 1;
}

int PictureLoad(Picture* picture, const char* name)
{
    return LoadThrough(picture, name, DecodedPlainly);
}

int PictureLoadWithAlpha(Picture* picture, const char* name)
{
    return LoadThrough(picture, name, DecodedWithAlpha);
}

int PictureDraw(Picture* picture, LONG x, LONG y, DWORD rop)
{
    return PictureDrawSized(picture, x, y, 0, 0, rop);
}

int PictureDrawSized(Picture* picture, LONG x, LONG y, LONG width, LONG height, DWORD rop)
{
    return PictureDrawTo(picture, x, y, width, height, rop, nullptr);
}

int PictureDrawTo(Picture* picture, LONG x, LONG y, LONG width, LONG height, DWORD rop, HDC target)
{
    if (rop == 0)
        rop = SRCCOPY;
    if (ScreenDrawsInto(picture->Bitmap))
        return 0; // the picture drawn into draws nothing meanwhile
    if (Attached(picture, target) && rop == SRCCOPY && !ScreenDrawsPlainly())
        return DrawByOwnLoop(picture, x, y, width, height, CLR_INVALID, 255);
    return DrawEverywhere(picture, width, height, target, [&](HDC dc, HDC source, LONG w, LONG h, const BITMAP& natural) {
        SetStretchBltMode(dc, COLORONCOLOR);
        return StretchBlt(dc, x, y, w, h, source, 0, 0, natural.bmWidth, natural.bmHeight, rop);
    });
}

int PictureDrawBlended(Picture* picture, LONG x, LONG y, LONG width, LONG height, BYTE opacity)
{
    if (ScreenDrawsInto(picture->Bitmap))
        return 0;
    const LONG naturalWidth = PictureWidth(picture), naturalHeight = PictureHeight(picture);
    const bool atNaturalSize = (width <= 0 && height <= 0) || (width == naturalWidth && height == naturalHeight);
    if (Attached(picture, nullptr) && (atNaturalSize || !ScreenDrawsPlainly()))
        return DrawByOwnLoop(picture, x, y, width, height, CLR_INVALID, opacity);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, opacity, BYTE(HasAlphaChannel(picture) ? AC_SRC_ALPHA : 0)};
    return DrawEverywhere(picture, width, height, nullptr, [&](HDC dc, HDC source, LONG w, LONG h, const BITMAP& natural) {
        SetStretchBltMode(dc, COLORONCOLOR);
        return int(GdiAlphaBlend(dc, x, y, w, h, source, 0, 0, natural.bmWidth, natural.bmHeight, blend));
    });
}

int PictureDrawKeyed(Picture* picture, LONG x, LONG y, LONG width, LONG height, COLORREF key)
{
    if (ScreenDrawsInto(picture->Bitmap))
        return 0;
    if (Attached(picture, nullptr) && !ScreenDrawsPlainly())
        return DrawByOwnLoop(picture, x, y, width, height, key, 255);
    const POINT at{x, y}; // GDI need not bound a keyed blit: the door adds where it drew
    return DrawEverywhere(picture, width, height, nullptr, [&](HDC dc, HDC source, LONG w, LONG h, const BITMAP& natural) {
        return int(GdiTransparentBlt(dc, x, y, w, h, source, 0, 0, natural.bmWidth, natural.bmHeight, key));
    }, &at);
}

void PictureAdoptBitmap(Picture* picture, HBITMAP bitmap)
{
    if (picture->Bitmap)
        PictureDropBitmap(picture);
    picture->Bitmap = bitmap;
    StartPixelCapture(picture, picture->Bitmap);
}

void PictureDropBitmap(Picture* picture)
{
    ScreenForgetTarget(picture->Bitmap);
    SpriteForgetImage(picture);
    // Stop first: a capture that completes in between would set the flag again.
    StopPixelCapture(picture);
    SetPixelsReady(picture, 0);
    if (picture->PixelBuffer) {
        HeapFree(picture->PrivateHeap, 0, picture->PixelBuffer);
        picture->PixelBuffer = nullptr;
    }
    // The loader made the bitmap and deletes it; the picture only lets go.
    picture->Bitmap = nullptr;
}

void PictureTeardown(Picture* picture)
{
    SpriteForget(picture);
    StopPixelCapture(picture);
    if (picture->Bitmap)
        PictureDropBitmap(picture);
    HeapDestroy(picture->PrivateHeap);
    picture->PrivateHeap = nullptr;
    DeleteCriticalSection(&picture->PixelLock);
}

void PictureDestroy(Picture* picture)
{
    StopPixelCapture(picture); // before the loader deletes the bitmap the capture asks about
    if (picture->Loader) {
        LoaderBlock* block = BlockOf(picture->Loader);
        char* element = reinterpret_cast<char*>(picture->Loader);
        for (DWORD i = 0; i < block->Header.Count; ++i, element += block->Header.ElementSize)
            block->Header.CleanUp(element);
        FreeBlock(block);
        picture->Loader = nullptr;
    }
    PictureTeardown(picture);
}
