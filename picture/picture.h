#pragma once
// The picture's inner steps: its loader block, adopting and dropping a
// bitmap, and the background capture.
#include <windows.h>

#include <prompt/picture.h>

#include "picture/image_loader.h"

// The header in front of an array of runtime objects; the loader block's
// header layout (count, element size, clean-up) is fixed by design.
struct ObjectArrayHeader {
    DWORD Count;
    DWORD ElementSize;
    void (*CleanUp)(void* element);
};

// What PictureCreate allocates: the header and the one loader after it.
struct LoaderBlock {
    ObjectArrayHeader Header;
    ImageLoader Element;
};

void PictureFitSize(LONG* width, LONG* height, LONG naturalWidth, LONG naturalHeight);
void PictureAdoptBitmap(Picture* picture, HBITMAP bitmap);
void PictureDropBitmap(Picture* picture);

// The capture.
void StartPixelCapture(Picture* picture, HBITMAP bitmap);
void SetPixelsReady(Picture* picture, LONG value);
DWORD WINAPI PixelCaptureMain(LPVOID picture);
// Ends a capture thread if one is recorded, closes it and forgets it; what a
// thread ended by force left (its device context, its copy) is freed.
void StopPixelCapture(Picture* picture);
