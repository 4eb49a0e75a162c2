#pragma once
// Reading what is on the screen, pixel by pixel.
#include <windows.h>

#include <string>
#include <vector>

struct ScreenPixels {
    LONG Left = 0;
    LONG Top = 0;
    LONG Width = 0;
    LONG Height = 0;
    std::vector<COLORREF> Cells; // row by row from the top

    // The colour at screen position (x, y), which must lie inside.
    COLORREF At(LONG x, LONG y) const { return Cells[(y - Top) * Width + (x - Left)]; }
};

ScreenPixels CaptureScreen(const RECT& area);
ScreenPixels CaptureWholeScreen();
bool SaveBitmapFile(const ScreenPixels& pixels, const std::string& path);
