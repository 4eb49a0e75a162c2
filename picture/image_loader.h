#pragma once
// Opens an image file, tells its format from its first bytes and turns it
// into a bitmap through the platform's own decoders: BMP, JPEG and GIF the
// plain way (PNG files are recognised and only their size is read), or
// through the imaging component with the alpha channel: those four and any
// other format it decodes. The formats the loader knows are the rows of one
// table in image_loader.cpp; only they are looked at before decoding.
#include <windows.h>
#include <olectl.h>

// What the file is.
enum ImageFormat : DWORD {
    FormatNone = 0,
    FormatBmp = 1,
    FormatJpeg = 2,
    FormatGif = 3,
    FormatPng = 4,
};

// How it was decoded.
enum ImageDecoding : DWORD {
    DecodedPlainly = 0,   // LoadImageW for BMP, the OLE picture for JPEG and GIF
    DecodedWithAlpha = 1, // the imaging component: a 32-bit top-down bitmap, alpha premultiplied
};

struct ImageLoader {
    LONG Width;
    LONG Height;
    ImageFormat Format;
    IPicture* OlePicture;  // a decoded JPEG or GIF; meaningful while Format is one of them
    HBITMAP Bitmap;        // made from a BMP file, or the bitmap decoded with alpha
    ImageDecoding Decoding;
};
// The record's layout is fixed by design (picture.h): each enum is a DWORD wide.
static_assert(sizeof(ImageFormat) == sizeof(DWORD) && sizeof(ImageDecoding) == sizeof(DWORD),
              "the loader record keeps its layout");

void LoaderInit(ImageLoader* loader);

// Opens an image file to load it, the same way for both decodings; without
// sharing, so a file that another program holds open does not open.
// INVALID_HANDLE_VALUE when it does not open.
HANDLE ImageFileOpen(const char* name);
// Loads from a file that ImageFileOpen opened, and closes it: the loader gives
// up its previous image, learns the format, has the structure looked at, and
// decodes. 1 when an image was loaded and a bitmap is available, else 0.
int LoaderLoadOpened(ImageLoader* loader, HANDLE file, const char* name, ImageDecoding decoding);

// ImageFileOpen, then LoaderLoadOpened: a file that cannot be opened leaves
// the loader as it was; any other outcome first gives up the previous image.
int LoaderLoad(ImageLoader* loader, const char* name);
int LoaderLoadWithAlpha(ImageLoader* loader, const char* name);
HBITMAP LoaderHandle(ImageLoader* loader);
void LoaderRelease(ImageLoader* loader);

ImageFormat DetectFormat(HANDLE file);
int LoaderReadBmp(ImageLoader* loader, const char* name);
int LoaderReadOle(ImageLoader* loader, HANDLE file);
int LoaderReadPngSize(ImageLoader* loader, HANDLE file);
// Through the imaging component (wic_image.cpp), by name.
int LoaderReadWithAlpha(ImageLoader* loader, const char* name);

// HIMETRIC (hundredths of a millimetre) to screen pixels, as ATL's
// AtlHiMetricToPixel does it.
void HiMetricToPixel(const SIZEL* himetric, SIZEL* pixels);
