#pragma once
// Reading what is on the screen, pixel by pixel.
#include <windows.h>

#include <functional>
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
// The window's client area as it is on the screen now.
ScreenPixels CaptureClientOf(HWND window);
// Captures the client area until a capture shows what ready asks for (anything,
// without it) and the next one is the same: what the program drew has reached
// the screen and stopped changing. False if that does not happen in time; seen
// holds the last capture either way.
bool WaitForSteadyClient(HWND window, DWORD milliseconds, ScreenPixels* seen,
                         const std::function<bool(const ScreenPixels&)>& ready = {});
bool SaveBitmapFile(const ScreenPixels& pixels, const std::string& path);
// A pixel of a bitmap as it is, read through a device context of its own.
COLORREF BitmapPixel(HBITMAP bitmap, int x, int y);
