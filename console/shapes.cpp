// Shapes and text drawn as graphics: into the back buffer, and (unless
// drawing is held) the window, under the back buffer's lock like a picture.
#include "console/console.h"

#include <prompt/screen.h>

#include <string>
#include <vector>

#include "runtime/code_page.h"
#include "runtime/owners.h"

namespace {

// Runs draw on the window and then the back buffer, or on the back buffer
// alone while held. The stock DC pen and brush take the colour, so that no
// object is made per draw.
template <typename Draw>
void DrawGraphics(Draw draw)
{
    HDC back = BackBufferDc();
    if (!back)
        return; // no console yet
    BackBufferHold hold;
    if (!GraphicsHeld()) {
        WindowDc window(ConsoleWindowHandle());
        draw(window.Dc);
    }
    draw(back);
}

// A one-pixel pen of the colour, and a brush of it or none, for the draw's time.
struct Colours : NotCopied {
    Selection Pen;
    Selection Brush;
    Colours(HDC dc, COLORREF color, bool filled)
        : Pen(dc, GetStockObject(DC_PEN)), Brush(dc, GetStockObject(filled ? DC_BRUSH : NULL_BRUSH))
    {
        SetDCPenColor(dc, color);
        if (filled)
            SetDCBrushColor(dc, color);
    }
};

// The back buffer keeps the DC brush selected between fills, with the colour
// it was last given, so that a fill of the same colour is one PatBlt. Under
// the back buffer's lock.
struct FillBrush {
    bool Selected;
    COLORREF Colour;
};
FillBrush BackBrush;

void Fill(HDC dc, LONG x, LONG y, LONG width, LONG height, COLORREF color)
{
    if (dc != BackBufferDc()) {
        Selection brush(dc, GetStockObject(DC_BRUSH));
        SetDCBrushColor(dc, color);
        PatBlt(dc, x, y, width, height, PATCOPY);
        return;
    }
    if (!BackBrush.Selected) {
        SelectObject(dc, GetStockObject(DC_BRUSH));
        BackBrush.Selected = true;
        BackBrush.Colour = CLR_INVALID;
    }
    if (BackBrush.Colour != color) {
        SetDCBrushColor(dc, color);
        BackBrush.Colour = color;
    }
    PatBlt(dc, x, y, width, height, PATCOPY);
}

} // namespace

void BackBufferDefaultBrush()
{
    if (BackBrush.Selected) {
        SelectObject(BackBufferDc(), GetStockObject(WHITE_BRUSH)); // what a new device context has
        BackBrush.Selected = false;
    }
}

void ScreenClear(COLORREF color)
{
    SIZE screen = BackBufferSize();
    DrawGraphics([&](HDC dc) { Fill(dc, 0, 0, screen.cx, screen.cy, color); });
}

void DrawPixel(LONG x, LONG y, COLORREF color)
{
    DrawGraphics([&](HDC dc) { SetPixelV(dc, x, y, color); });
}

COLORREF ReadPixel(LONG x, LONG y)
{
    HDC back = BackBufferDc();
    SIZE screen = BackBufferSize();
    if (!back || x < 0 || y < 0 || x >= screen.cx || y >= screen.cy)
        return CLR_INVALID;
    BackBufferHold hold;
    return GetPixel(back, x, y);
}

void DrawLine(LONG x0, LONG y0, LONG x1, LONG y1, COLORREF color)
{
    DrawGraphics([&](HDC dc) {
        Colours colours(dc, color, false);
        MoveToEx(dc, x0, y0, nullptr);
        LineTo(dc, x1, y1);
        SetPixelV(dc, x1, y1, color); // LineTo stops one pixel short of its end
    });
}

namespace {

// An outlined or filled shape of the box, drawn by the GDI call given.
template <typename Shape>
void DrawInBox(LONG x, LONG y, LONG width, LONG height, COLORREF color, bool filled, Shape shape)
{
    if (width <= 0 || height <= 0)
        return;
    DrawGraphics([&](HDC dc) {
        Colours colours(dc, color, filled);
        shape(dc, x, y, x + width, y + height);
    });
}

} // namespace

void DrawBox(LONG x, LONG y, LONG width, LONG height, COLORREF color)
{
    DrawInBox(x, y, width, height, color, false, Rectangle);
}

void FillBox(LONG x, LONG y, LONG width, LONG height, COLORREF color)
{
    if (width <= 0 || height <= 0)
        return;
    DrawGraphics([&](HDC dc) { Fill(dc, x, y, width, height, color); });
}

void DrawEllipse(LONG x, LONG y, LONG width, LONG height, COLORREF color)
{
    DrawInBox(x, y, width, height, color, false, Ellipse);
}

void FillEllipse(LONG x, LONG y, LONG width, LONG height, COLORREF color)
{
    DrawInBox(x, y, width, height, color, true, Ellipse);
}

void DrawTextAt(LONG x, LONG y, const char* text, COLORREF color)
{
    if (!text || !*text)
        return;
    // As the rows are drawn: each character converted alone, advancing one
    // cell for each of its bytes.
    ConsoleCellMetrics cell = ConsoleMetrics();
    std::wstring wide;
    std::vector<INT> advances;
    for (const BYTE* p = reinterpret_cast<const BYTE*>(text); *p;) {
        int bytes = IsLeadByte(*p) && p[1] ? 2 : 1;
        wchar_t units[2];
        int made = MultiByteToWideChar(TextCodePage, 0, reinterpret_cast<const char*>(p), bytes, units, 2);
        if (made <= 0) { // no character: its cells stay empty, as in a row
            units[0] = L' ';
            made = 1;
        }
        for (int k = 0; k < made; ++k) {
            wide += units[k];
            advances.push_back(k == made - 1 ? bytes * cell.CellWidth : 0);
        }
        p += bytes;
    }
    if (wide.empty())
        return;
    DrawGraphics([&](HDC dc) {
        Selection font(dc, cell.Font);
        COLORREF previousColour = SetTextColor(dc, color);
        int previousMode = SetBkMode(dc, TRANSPARENT);
        ExtTextOutW(dc, x, y, 0, nullptr, wide.c_str(), static_cast<UINT>(wide.size()), advances.data());
        SetBkMode(dc, previousMode);
        SetTextColor(dc, previousColour);
    });
}
