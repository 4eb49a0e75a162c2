#pragma once
// A look at an image file's structure before the platform's decoders see it,
// and the limits every image is held to, whichever decoder reads it.
// The decoders trust the headers: a BMP whose pixels lie past the end of the
// file crashes LoadImageW, and a GIF claiming a huge frame costs hundreds of
// megabytes that are never given back. What no valid file can be is refused.
#include <windows.h>

// The largest image the loader hands on. A 32-bit process has 2 GB of address
// space, and the platform holds a decoded image more than once (the decoder's
// copy and a bitmap compatible with the screen, 4 bytes a pixel; a capture
// makes one more): 2^26 pixels are 256 MB a copy. No side may pass 16,384
// pixels, which leaves the HIMETRIC sizes of OLE pictures far from overflow.
const LONG MaxImageSide = 16384;
const LONGLONG MaxImagePixels = LONGLONG(1) << 26;
// The platform reads a JPEG or GIF whole into one block before decoding:
// beyond 1 GB that block and the decoded image cannot both fit.
const DWORD MaxOleFileBytes = 1u << 30;

// Both sides above 0 and the image within the limits above.
bool ImageSizeWithinLimits(LONGLONG width, LONGLONG height);

// Whether the open file, as a file of that format, is structurally sound
// enough to hand to the platform. Each leaves the file at offset 0. A GIF or
// JPEG over MaxOleFileBytes is refused too.
bool BmpFileLooksSound(HANDLE file);
bool GifFileLooksSound(HANDLE file);
bool JpegFileLooksSound(HANDLE file);

// Whether a GIF's first frame has a transparent colour (a graphic control
// extension with its transparency flag before the first image).
bool GifFirstFrameIsTransparent(const BYTE* gif, DWORD size);
