#pragma once
// The one door every graphics draw goes through, shapes and pictures alike:
// under the back buffer's lock, onto the window (unless drawing is held) and
// then into the back buffer, each device context in the state a draw expects
// (the default brush selected, as a new device context has it). Any program
// thread, after ConsoleStart; before it nothing is drawn.
#include <windows.h>

// draw(dc, context) once per target; the result is the window's draw's, or
// the back buffer's while held; 0 without a console. reach, where given, is
// where the draw may have left pixels: a shown frame takes again what GDI
// bounds as drawn, and GDI need not bound every call (a keyed blit, a
// glyph's overhang beyond its text box), so the door adds it.
using DrawStep = int (*)(HDC dc, void* context);
int ScreenDrawThrough(DrawStep step, void* context, const RECT* reach);

template <typename Draw>
int ScreenDraw(Draw& draw, const RECT* reach = nullptr)
{
    return ScreenDrawThrough([](HDC dc, void* context) { return int((*static_cast<Draw*>(context))(dc)); }, &draw,
                             reach);
}

// A draw in one colour (a shape, a text): draw(dc, colour) draws in the
// colour it is given. Where the platform's own drawing gives the pixels asked
// for (the screen, no blend) it draws straight, as ScreenDraw; otherwise the
// door has it drawn in white over black into a scratch image within reach
// and puts the colour through that coverage (blended, or into a picture's
// pixels, alpha and all). reach must hold everything the draw touches.
template <typename Draw>
int ScreenDrawInColour(Draw& draw, COLORREF colour, const RECT& reach)
{
    auto plain = [&](HDC dc) { return draw(dc, colour); };
    return ScreenDraw(plain, &reach);
}

// A rectangle of one colour: one PatBlt with the DC brush, which the back
// buffer keeps selected between fills (a fill of the colour it last had
// costs no colour change).
void ScreenFill(LONG x, LONG y, LONG width, LONG height, COLORREF color);
