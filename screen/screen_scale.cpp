#include "screen/screen_scale.h"

#include "runtime/lock.h"

namespace {

// Written by the console thread, read by any: under its own lock, held
// alone (nothing is called under it).
struct PlacementRecord {
    Lock Lock;
    ScreenPlacement Placement{{0, 0}, 1, {0, 0}, {0, 0}};
};

PlacementRecord Record;

LONG FloorDivide(LONG value, LONG by)
{
    LONG quotient = value / by;
    return quotient * by > value ? quotient - 1 : quotient;
}

} // namespace

void SetScreenPlacement(const ScreenPlacement& placement)
{
    LockHold hold(Record.Lock);
    Record.Placement = placement;
    if (Record.Placement.Scale < 1)
        Record.Placement.Scale = 1;
}

ScreenPlacement CurrentScreenPlacement()
{
    LockHold hold(Record.Lock);
    return Record.Placement;
}

POINT ProgramPointFromWindow(POINT window)
{
    const ScreenPlacement p = CurrentScreenPlacement();
    return POINT{FloorDivide(window.x - p.Offset.x, p.Scale), FloorDivide(window.y - p.Offset.y, p.Scale)};
}

POINT WindowPointFromProgram(POINT program)
{
    const ScreenPlacement p = CurrentScreenPlacement();
    return POINT{p.Offset.x + program.x * p.Scale, p.Offset.y + program.y * p.Scale};
}

bool PlacementStretches(const ScreenPlacement& placement)
{
    return placement.Scale != 1 || placement.Offset.x != 0 || placement.Offset.y != 0;
}

void PresentArea(HDC window, HDC frame, const RECT& area, const ScreenPlacement& placement)
{
    RECT shown{};
    const RECT screen{0, 0, placement.Logical.cx, placement.Logical.cy};
    if (!IntersectRect(&shown, &area, &screen))
        return;
    const LONG width = shown.right - shown.left, height = shown.bottom - shown.top;
    if (!PlacementStretches(placement)) {
        BitBlt(window, shown.left, shown.top, width, height, frame, shown.left, shown.top, SRCCOPY);
        return;
    }
    const LONG n = placement.Scale;
    SetStretchBltMode(window, COLORONCOLOR);
    StretchBlt(window, placement.Offset.x + shown.left * n, placement.Offset.y + shown.top * n, width * n, height * n,
               frame, shown.left, shown.top, width, height, SRCCOPY);
}

void PaintBorders(HDC window, const ScreenPlacement& p)
{
    const LONG left = p.Offset.x, top = p.Offset.y;
    const LONG right = left + p.Logical.cx * p.Scale, bottom = top + p.Logical.cy * p.Scale;
    if (left <= 0 && top <= 0 && right >= p.Client.cx && bottom >= p.Client.cy)
        return;
    auto black = [window](LONG x, LONG y, LONG width, LONG height) {
        if (width > 0 && height > 0)
            PatBlt(window, x, y, width, height, BLACKNESS);
    };
    black(0, 0, p.Client.cx, top);
    black(0, bottom, p.Client.cx, p.Client.cy - bottom);
    black(0, top, left, bottom - top);
    black(right, top, p.Client.cx - right, bottom - top);
}
