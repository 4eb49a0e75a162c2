#pragma once
// Pixels into an image file: PNG through the imaging component when the name
// ends in ".png" (any case), else a BMP file. Names are code page 932.
#include <windows.h>

#include <cstdint>

struct SavedPixels {
    const uint32_t* Pixels; // 32-bit, rows from the top, Stride pixels apart
    LONG Width;
    LONG Height;
    LONG Stride;
    bool Alpha;             // premultiplied alpha to keep; else 0x00RRGGBB, opaque
};

// False when the file cannot be written (a folder that does not exist, a
// name another program holds) or the image is empty.
bool SaveImageFile(const char* name, const SavedPixels& image);
