#pragma once
// The one door every graphics draw goes through, shapes and pictures alike,
// under the back buffer's lock. Drawing goes to the screen (onto the window
// unless held, and into the back buffer) or, after ScreenDrawTo, into a
// picture; with the blend ScreenSetBlend set. The platform draws where its
// own drawing gives the pixels asked for (the screen, no blend: "plainly");
// elsewhere the runtime's own loops do. Any program thread, after
// ConsoleStart; before it nothing is drawn.
#include <windows.h>

#include "screen/pixel_blend.h"

// A platform draw: draw(dc, context) once per device context, each in the
// state a draw expects (the default brush selected, as a new device context
// has it); the result is the window's draw's, or the back buffer's while
// held; 0 without a console. reach, where given, is where the draw may have
// left pixels: a shown frame takes again what GDI bounds as drawn, and GDI
// need not bound every call (a keyed blit, a glyph's overhang beyond its text
// box), so the door adds it. Into a picture, what reach covers is made opaque.
using DrawStep = int (*)(HDC dc, void* context);
int ScreenDrawThrough(DrawStep step, void* context, const RECT* reach);

template <typename Draw>
int ScreenDraw(Draw& draw, const RECT* reach = nullptr)
{
    return ScreenDrawThrough([](HDC dc, void* context) { return int((*static_cast<Draw*>(context))(dc)); }, &draw,
                             reach);
}

// A draw in one colour (a shape, a text): draw(dc, colour) draws in the
// colour it is given. Drawn plainly where it can be; otherwise drawn in white
// over black into a scratch image within reach, and the colour put through
// that coverage with the blend (into a picture, alpha and all). reach must
// hold everything the draw touches.
using ColourStep = int (*)(HDC dc, COLORREF colour, void* context);
int ScreenDrawInColourThrough(ColourStep step, void* context, COLORREF colour, const RECT& reach);

template <typename Draw>
int ScreenDrawInColour(Draw& draw, COLORREF colour, const RECT& reach)
{
    return ScreenDrawInColourThrough(
        [](HDC dc, COLORREF c, void* context) { return int((*static_cast<Draw*>(context))(dc, c)); }, &draw, colour,
        reach);
}

// A rectangle of one colour. Plainly: one PatBlt with the DC brush, which the
// back buffer keeps selected between fills (a fill of the colour it last had
// costs no colour change).
void ScreenFill(LONG x, LONG y, LONG width, LONG height, COLORREF color);

// A draw by the runtime's own loop onto the pixels of what is drawn to (the
// back buffer, or the picture), with the blend times opacity: step(target,
// blend, context, touched) says which rectangle it touched. 1 when drawn, 0
// without a console.
using PixelStep = void (*)(const PixelImage& target, const BlendSetting& blend, void* context, PixelRect* touched);
int ScreenDrawPixelsThrough(PixelStep step, void* context, BYTE opacity);

template <typename Draw>
int ScreenDrawPixels(Draw& draw, BYTE opacity = 255)
{
    return ScreenDrawPixelsThrough(
        [](const PixelImage& target, const BlendSetting& blend, void* context, PixelRect* touched) {
            (*static_cast<Draw*>(context))(target, blend, touched);
        },
        &draw, opacity);
}

// Whether draws go the platform's own way now: to the screen, with no blend.
bool ScreenDrawsPlainly();
// Whether the picture's bitmap is what draws go into now (it cannot be drawn from then).
bool ScreenDrawsInto(HBITMAP bitmap);
// The bitmap goes away: draws go back to the screen if they went into it.
void ScreenForgetTarget(HBITMAP bitmap);
// ScreenDrawTo's work on the picture's bitmap, a 32-bit DIB section made
// top-down (null: the screen again).
int ScreenDrawToBitmap(HBITMAP bitmap);
