#pragma once
// The picture object: a bitmap from its loader, drawn stretched to the
// console window and into its back buffer at once, and optionally read pixel
// by pixel in the background (the capture).
#include <windows.h>

#include "picture/image_loader.h"

struct Picture {
    HANDLE PrivateHeap;        // PixelBuffer comes from here
    HBITMAP Bitmap;            // what the picture draws; always its loader's handle
    COLORREF* PixelBuffer;     // the captured pixels, row by row
    LONG PixelsReady;          // 1 once PixelBuffer is complete; only under PixelLock
    HWND Window;               // default drawing target
    HDC BackDC;                // the console's back buffer, borrowed
    LONG Mirror;               // 1: draws without a target also go into BackDC
    CRITICAL_SECTION PixelLock;
    HANDLE CaptureThread;
    DWORD CaptureThreadId;
    HBITMAP CaptureCopy;       // the copy the capture thread reads and deletes
    LONG CaptureDelay;         // ms of sleep after each captured row; negative: no capture
    ImageLoader* Loader;       // none for a picture made by PictureInit alone
    HANDLE CaptureStop;        // signalled to ask a running capture to stop
};

// The header in front of an array of runtime objects.
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

void PictureInit(Picture* picture);
void PictureCreate(Picture* picture);
int PictureSetCaptureDelay(Picture* picture, LONG delay);
void PictureAttachWindow(Picture* picture);
int PictureLoad(Picture* picture, const char* name);
int PictureDraw(Picture* picture, LONG x, LONG y, DWORD rop);
int PictureDrawSized(Picture* picture, LONG x, LONG y, LONG width, LONG height, DWORD rop);
int PictureDrawTo(Picture* picture, LONG x, LONG y, LONG width, LONG height, DWORD rop, HDC target);
LONG PictureWidth(Picture* picture);
LONG PictureHeight(Picture* picture);
void PictureFitSize(LONG* width, LONG* height, LONG naturalWidth, LONG naturalHeight);
void PictureAdoptBitmap(Picture* picture, HBITMAP bitmap);
void PictureDropBitmap(Picture* picture);
void PictureTeardown(Picture* picture);
void PictureDestroy(Picture* picture);

// The capture.
void StartPixelCapture(Picture* picture, HBITMAP bitmap);
void SetPixelsReady(Picture* picture, LONG value);
DWORD WINAPI PixelCaptureMain(LPVOID picture);
// Ends a capture thread if one is recorded, closes it and forgets it.
void StopPixelCapture(Picture* picture);
// PixelsReady, read under PixelLock.
LONG PixelsReadyNow(Picture* picture);
