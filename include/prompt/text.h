#pragma once
// Text drawn as graphics in a font and size of the program's choice. Any
// code page 932 text draws at once: where the face has no Japanese, the
// characters it lacks are drawn in the system's Japanese face at the same
// size, so nothing is listed before use.
#include <windows.h>

// FontMake's flags, combined with |.
const DWORD FontBold = 1;
const DWORD FontItalic = 2;
const DWORD FontAntialiased = 4; // smoothed edges; without it every pixel is the colour or untouched

// A font of that face (code page 932 text: "ＭＳ ゴシック", "Arial"...) whose
// letters are pixelHeight pixels high, from the top of the tallest to the
// bottom of the lowest (the cell height, GDI's tmHeight: the platform is
// asked for a positive height, internal leading included; the character
// height alone would be smaller), or a pixel off where the face has no such
// cell (under Wine some heights: 24 gives 23). Its number, 1 or more (a
// released number may come again), or 0 when the face is null, the height
// is not 1 to 1000, or 256 fonts are live. A face the system does not have
// is drawn in the system's default face. Font 0 is the console's own. Any
// thread.
int FontMake(const char* face, LONG pixelHeight, DWORD flags);
// Gives a font number back; 0 (the console's, kept for the process) and
// numbers not live do nothing. Any thread.
void FontRelease(int font);

// Code page 932 text with its top-left corner at (x, y), without a
// background, through the screen like every graphics draw (into the back
// buffer, the window unless held, or the picture ScreenDrawTo names).
// A font not live, a null or empty text draw nothing. Font 0 keeps the
// console's cells (one a byte), as DrawTextAt. Any program thread.
void DrawTextIn(int font, LONG x, LONG y, const char* text, COLORREF color);
// How wide that text is in the font, in pixels; 0 for a font not live or a
// null or empty text. Any thread.
LONG TextWidth(int font, const char* text);
// The font's line height (its cell), in pixels; 0 for a font not live (and
// for font 0 before ConsoleStart). Any thread.
LONG FontHeight(int font);
