#pragma once
// Opens an image file, tells its format from its first bytes and turns BMP,
// JPEG and GIF files into a bitmap through the platform's own decoders. PNG
// files are recognised and only their size is read.
#include <windows.h>
#include <olectl.h>

enum ImageFormat : DWORD {
    FormatNone = 0,
    FormatBmp = 1,
    FormatJpeg = 2,
    FormatGif = 3,
    FormatPng = 4,
    FormatAlpha = 5, // any of the four, decoded with its alpha channel (wic_image.cpp)
};

struct ImageLoader {
    LONG Width;
    LONG Height;
    DWORD Format;          // an ImageFormat
    IPicture* OlePicture;  // a decoded JPEG or GIF; meaningful while Format is 2 or 3
    HBITMAP Bitmap;        // made from a BMP file, or the 32-bit bitmap of FormatAlpha
};

void LoaderInit(ImageLoader* loader);
// 1 when an image was loaded and a bitmap is available, else 0. A file that
// cannot be opened leaves the loader as it was; any other outcome first gives
// up the previous image.
int LoaderLoad(ImageLoader* loader, const char* name);
// The same through the Windows Imaging Component: PNG too, into a 32-bit
// top-down bitmap with premultiplied alpha; Format becomes FormatAlpha.
int LoaderLoadWithAlpha(ImageLoader* loader, const char* name);
HBITMAP LoaderHandle(ImageLoader* loader);
void LoaderRelease(ImageLoader* loader);

DWORD DetectFormat(HANDLE file);
int LoaderReadBmp(ImageLoader* loader, const char* name);
int LoaderReadOle(ImageLoader* loader, HANDLE file);
int LoaderReadPngSize(ImageLoader* loader, HANDLE file);

// HIMETRIC (hundredths of a millimetre) to screen pixels, as ATL's
// AtlHiMetricToPixel does it.
void HiMetricToPixel(const SIZEL* himetric, SIZEL* pixels);
