#include "screen/draw_door.h"

#include "screen/back_buffer.h"
#include "screen/frame.h"

namespace {

// What the back buffer's device context has selected between draws; under
// the back buffer's lock.
struct DoorState {
    bool FillBrush;      // the DC brush, else the default one
    COLORREF FillColour; // the DC brush's colour; CLR_INVALID: not known
};

DoorState Door;

// A new device context's brush, for a draw whose raster operation uses it.
void PutDefaultBrush(HDC back)
{
    if (Door.FillBrush) {
        SelectObject(back, GetStockObject(WHITE_BRUSH));
        Door.FillBrush = false;
    }
}

void FillOn(HDC dc, HDC back, LONG x, LONG y, LONG width, LONG height, COLORREF color)
{
    if (dc != back) {
        Selection brush(dc, GetStockObject(DC_BRUSH));
        SetDCBrushColor(dc, color);
        PatBlt(dc, x, y, width, height, PATCOPY);
        return;
    }
    if (!Door.FillBrush) {
        SelectObject(back, GetStockObject(DC_BRUSH));
        Door.FillBrush = true;
        Door.FillColour = CLR_INVALID;
    }
    if (Door.FillColour != color) {
        SetDCBrushColor(back, color);
        Door.FillColour = color;
    }
    PatBlt(back, x, y, width, height, PATCOPY);
}

} // namespace

int ScreenDrawThrough(DrawStep step, void* context, const RECT* reach)
{
    HDC back = BackBufferDc();
    if (!back)
        return 0; // no console yet
    BackBufferHold hold;
    PutDefaultBrush(back);
    int result = 0;
    if (!FrameHeld()) {
        WindowDc window(BackBufferWindow());
        result = step(window.Dc, context);
    }
    int intoBack = step(back, context);
    if (reach)
        SetBoundsRect(back, reach, DCB_ACCUMULATE);
    return FrameHeld() ? intoBack : result;
}

void ScreenFill(LONG x, LONG y, LONG width, LONG height, COLORREF color)
{
    HDC back = BackBufferDc();
    if (!back)
        return;
    BackBufferHold hold;
    if (!FrameHeld()) {
        WindowDc window(BackBufferWindow());
        FillOn(window.Dc, back, x, y, width, height, color);
    }
    FillOn(back, back, x, y, width, height, color);
}
