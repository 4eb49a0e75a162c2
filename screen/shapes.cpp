// Shapes and text drawn as graphics, through the screen's one door.
#include <prompt/screen.h>

#include <vector>

#include "runtime/owners.h"
#include "screen/back_buffer.h"
#include "screen/draw_door.h"
#include "text/row_text.h"
#include "text/text_font.h"

namespace {

// A one-pixel pen of the colour, and a brush of it or none, for the draw's
// time: the stock DC pen and brush take the colour, so no object is made.
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

// An outlined or filled shape of the box, drawn by the GDI call given.
template <typename Shape>
void DrawInBox(LONG x, LONG y, LONG width, LONG height, COLORREF color, bool filled, Shape shape)
{
    if (width <= 0 || height <= 0)
        return;
    auto draw = [&](HDC dc, COLORREF colour) {
        Colours colours(dc, colour, filled);
        return shape(dc, x, y, x + width, y + height);
    };
    ScreenDrawInColour(draw, color, RECT{x, y, x + width, y + height});
}

} // namespace

void ScreenClear(COLORREF color)
{
    SIZE screen = BackBufferSize();
    ScreenFill(0, 0, screen.cx, screen.cy, color);
}

void DrawPixel(LONG x, LONG y, COLORREF color)
{
    auto draw = [&](HDC dc, COLORREF colour) { return SetPixelV(dc, x, y, colour); };
    ScreenDrawInColour(draw, color, RECT{x, y, x + 1, y + 1});
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
    auto draw = [&](HDC dc, COLORREF colour) {
        Colours colours(dc, colour, false);
        MoveToEx(dc, x0, y0, nullptr);
        LineTo(dc, x1, y1);
        return SetPixelV(dc, x1, y1, colour); // LineTo stops one pixel short of its end
    };
    const RECT reach{x0 < x1 ? x0 : x1, y0 < y1 ? y0 : y1, (x0 > x1 ? x0 : x1) + 1, (y0 > y1 ? y0 : y1) + 1};
    ScreenDrawInColour(draw, color, reach);
}

void DrawBox(LONG x, LONG y, LONG width, LONG height, COLORREF color)
{
    DrawInBox(x, y, width, height, color, false, Rectangle);
}

void FillBox(LONG x, LONG y, LONG width, LONG height, COLORREF color)
{
    if (width > 0 && height > 0)
        ScreenFill(x, y, width, height, color);
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
    const ConsoleCellMetrics cell = ConsoleMetrics();
    const LONG length = lstrlenA(text);
    std::vector<wchar_t> wide(length);
    std::vector<INT> advances(length);
    UINT units = WideCellRun(reinterpret_cast<const BYTE*>(text), length, cell.CellWidth, wide.data(), advances.data());
    LONG width = 0;
    for (UINT i = 0; i < units; ++i)
        width += advances[i];
    // A glyph's ink may reach past its cells (italic, accents): a line's height each way is room enough.
    const RECT reach{x - cell.LineHeight, y - cell.LineHeight, x + width + cell.LineHeight, y + 2 * cell.LineHeight};
    auto draw = [&](HDC dc, COLORREF colour) {
        Selection font(dc, cell.Font);
        COLORREF previousColour = SetTextColor(dc, colour);
        int previousMode = SetBkMode(dc, TRANSPARENT);
        BOOL drawn = ExtTextOutW(dc, x, y, 0, nullptr, wide.data(), units, advances.data());
        SetBkMode(dc, previousMode);
        SetTextColor(dc, previousColour);
        return drawn;
    };
    ScreenDrawInColour(draw, color, reach);
}
