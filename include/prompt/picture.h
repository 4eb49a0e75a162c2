#pragma once
// Pictures: an image from a file, drawn stretched to the console window and
// into its back buffer at once, so that a repaint keeps it. A picture is a
// plain record the program keeps; every call takes it first. One thread uses
// a picture at a time (its loads and draws are not guarded; its draws into the
// back buffer take the back buffer's lock).
#include <windows.h>

struct ImageLoader;

// Beside each field: who writes it, and what guards it. "The owner" is the
// one program thread that uses the picture; "the capture" is its background
// capture thread, which runs between a load and the next load, stop or destroy.
struct Picture {
    HANDLE PrivateHeap;        // the owner, at init and teardown; PixelBuffer comes from here
    HBITMAP Bitmap;            // the owner (loads); what the picture draws, 0 = none
    COLORREF* PixelBuffer;     // the capture fills it; the owner frees it once the capture stopped
    LONG PixelsReady;          // the capture sets, the owner clears, under PixelLock; read it with PixelsReadyNow
    HWND Window;               // the owner, at attach: the default drawing target
    HDC BackDC;                // the owner, at attach: the console's back buffer; attached draws
                               // reach it through the screen's drawing door, under its lock
    LONG Mirror;               // the owner, at attach; 1: draws without a target also go into BackDC
    CRITICAL_SECTION PixelLock;
    HANDLE CaptureThread;      // the owner, at start and stop
    DWORD CaptureThreadId;     // the same
    HBITMAP CaptureCopy;       // made by the owner, deleted by the capture (or by a stop that ended it by force)
    LONG CaptureDelay;         // the owner, while no capture runs; ms of sleep after each captured row; negative: no capture
    ImageLoader* Loader;       // the owner, at create and destroy; none for a picture made by PictureInit alone
    HANDLE CaptureStop;        // the owner makes and closes it; signalled to ask a running capture to stop
    HDC CaptureDc;             // the capture's device context, the copy selected; taken by exchange when freed
};

// A picture that can load files: PictureCreate, ended by PictureDestroy.
// (PictureInit / PictureTeardown make and end one that never loads.)
void PictureCreate(Picture* picture);
void PictureDestroy(Picture* picture);
void PictureInit(Picture* picture);
void PictureTeardown(Picture* picture);

// Draw to the console window and its back buffer; after ConsoleStart.
void PictureAttachWindow(Picture* picture);

// Milliseconds of pause after each row the background capture reads into
// PixelBuffer (0: no pause; negative: no capture). Governs the next load;
// 0 while a capture runs (refused), 1 when stored.
int PictureSetCaptureDelay(Picture* picture, LONG delay);
// 1 once the captured pixels are complete.
LONG PixelsReadyNow(Picture* picture);

// Loads a BMP, JPEG or GIF file, the format told by its first bytes: 1 when
// loaded, 0 when not (nothing is shown to the user; a file that cannot be
// opened keeps the previous image, any other failure gives it up). A PNG file
// is not loaded here (0): PictureLoadWithAlpha loads it.
int PictureLoad(Picture* picture, const char* name);
// Loads a PNG, BMP, JPEG or GIF file through the Windows Imaging Component
// into a 32-bit bitmap that keeps the alpha channel (premultiplied), for
// PictureDrawBlended. 1 when loaded, 0 when not, as PictureLoad.
int PictureLoadWithAlpha(Picture* picture, const char* name);

// Draws at (x, y) in client pixels, at the natural size, or stretched to
// width by height (0 or less: kept in proportion to the other, or natural
// when both are). rop: a raster operation as StretchBlt takes it, 0 for
// SRCCOPY. The result: nonzero when drawn, 0 without a bitmap.
int PictureDraw(Picture* picture, LONG x, LONG y, DWORD rop);
int PictureDrawSized(Picture* picture, LONG x, LONG y, LONG width, LONG height, DWORD rop);
// The same into a device context of the program's own (target 0: the window,
// with the back buffer too).
int PictureDrawTo(Picture* picture, LONG x, LONG y, LONG width, LONG height, DWORD rop, HDC target);
// Blends the picture over what is there by its alpha channel (a picture from
// PictureLoadWithAlpha; any other counts as opaque), times opacity (0 to 255).
int PictureDrawBlended(Picture* picture, LONG x, LONG y, LONG width, LONG height, BYTE opacity);
// Draws every pixel except those of colour key (a sprite on a key colour).
int PictureDrawKeyed(Picture* picture, LONG x, LONG y, LONG width, LONG height, COLORREF key);

// Sprites, drawn by the runtime's own loops, through the screen like every
// draw (ScreenSetBlend's blend, ScreenDrawTo's target), each pixel of the
// picture whole (nearest neighbour: pixel art stays sharp). A picture with
// alpha (PictureLoadWithAlpha, PictureMake) blends by it; any other is
// opaque but for its key colour (PictureSetKey). 1 when drawn; 0, and nothing
// drawn, without an image, for a part or cell not wholly inside it, a scale
// not above 0 or not finite, an opacity outside 0 to 255, or the picture
// ScreenDrawTo draws into. An attached picture (PictureAttachWindow), on its
// own thread.
//
// A part of the picture (a sprite-sheet cell) at its natural size, its
// top-left corner at (x, y).
int PictureDrawPart(Picture* picture, LONG x, LONG y, LONG srcX, LONG srcY, LONG width, LONG height);
// Cell index of a sheet of cells cellWidth x cellHeight, numbered left to
// right, top to bottom from 0 (as many whole cells as fit each way).
int PictureDrawCell(Picture* picture, LONG x, LONG y, LONG cellWidth, LONG cellHeight, LONG index);
// Scaled and turned by radians (clockwise on the screen) about its centre,
// which lands at (centreX, centreY); times opacity.
int PictureDrawRotated(Picture* picture, LONG centreX, LONG centreY, double scale, double radians, LONG opacity);
// The same for a part.
int PictureDrawPartRotated(Picture* picture, LONG centreX, LONG centreY, LONG srcX, LONG srcY, LONG width,
                           LONG height, double scale, double radians, LONG opacity);
// The colour left out when a picture without alpha is drawn as a sprite
// (CLR_INVALID: none, the start). 1 when set, 0 without a picture.
int PictureSetKey(Picture* picture, COLORREF key);

// A blank picture of that size, every pixel transparent, to draw into
// (ScreenDrawTo) and then draw like any picture with alpha. A picture made by
// PictureCreate; its image before goes. 1 when made; 0 for a side outside
// 1 to 16,384 or too many pixels, and the picture stays as it was.
int PictureMake(Picture* picture, LONG width, LONG height);
// The picture's image as a file: PNG, alpha kept, when the name ends in
// .png; else a BMP file (32-bit with alpha for a picture that has it). 1 when
// written; 0 without an image or when the file cannot be written.
int PictureSave(Picture* picture, const char* name);

// The natural size of the loaded image, 0 without one.
LONG PictureWidth(Picture* picture);
LONG PictureHeight(Picture* picture);
