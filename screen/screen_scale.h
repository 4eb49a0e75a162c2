#pragma once
// Where the program's screen stands on the window: its size in the program's
// own pixels (the back buffer, the rows, every draw and mouse position are in
// those), the whole scale each of its pixels is shown at, as a block of
// Scale x Scale window pixels, and where its top-left corner stands in the
// client area; the rest of the client area is black. The console thread
// writes it as its window changes (console/window_scale.cpp); every present,
// the mouse and the caret read it.
#include <windows.h>

struct ScreenPlacement {
    SIZE Logical;  // the program's client size, in its pixels
    LONG Scale;    // 1 or more
    POINT Offset;  // window pixels from the client area's corner to the program's (0, 0)
    SIZE Client;   // the window's client area in window pixels; 0 x 0 while minimised
};

// The console thread.
void SetScreenPlacement(const ScreenPlacement& placement);
// Any thread: a copy (nothing at scale 1 before the console's window).
ScreenPlacement CurrentScreenPlacement();

// A window's client point in the program's pixels (the pixel under it,
// rounded towards the top-left), and a program point's place on the window.
POINT ProgramPointFromWindow(POINT window);
POINT WindowPointFromProgram(POINT program);

// Whether the program's pixels reach the window only through a present:
// shown at a scale above 1 or away from the client area's corner.
bool PlacementStretches(const ScreenPlacement& placement);

// Puts an area of a frame (program pixels, clipped to the program's screen)
// on the window's device context: one BitBlt where the placement does not
// stretch, else one StretchBlt, nearest neighbour.
void PresentArea(HDC window, HDC frame, const RECT& area, const ScreenPlacement& placement);
// The client area outside the program's screen, black.
void PaintBorders(HDC window, const ScreenPlacement& placement);
