#pragma once
// The runtime's one way to make a 32-bit top-down DIB section: the back
// buffer, the frames and row layers, pictures decoded with alpha and the
// screen's saved copy are all of this kind.
#include <windows.h>

// A width x height section of 32-bit pixels (bitCount 24 for a file's rows),
// rows from the top unless bottomUp; its pixels in *bits. Null when not made.
HBITMAP MakeDibSection(HDC compatible, LONG width, LONG height, void** bits, WORD bitCount = 32,
                       bool bottomUp = false);
