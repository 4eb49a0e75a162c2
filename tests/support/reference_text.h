#pragma once
// The console's text drawn the plain way, one TextOutA per cell after its own
// colour calls, each row over its whole strip of the back buffer: the pixels
// the console's own drawing must reproduce. Also a device context to draw into.
#include <windows.h>

#include <vector>

// Draws every visible row of the text store by cells (no scrolling).
void DrawRowsCellByCell(HDC dc);

// A memory canvas compatible with the screen, white at first: as large as the
// console's client area, or of the size given.
struct Canvas {
    HDC Dc = nullptr;
    HBITMAP Bitmap = nullptr;
    HGDIOBJ Previous = nullptr;
    LONG Width = 0;
    LONG Height = 0;
    Canvas();
    Canvas(LONG width, LONG height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    std::vector<COLORREF> Pixels() const;
};
