#pragma once
// The console's font and the text cell measured in it: every row and every
// DrawTextAt is drawn in it. Made by the console thread before its window;
// measured in WM_CREATE; read by any thread from the first paint on.
#include <windows.h>

struct ConsoleCellMetrics {
    LONG CellWidth;   // the extent of one space
    LONG LineHeight;  // the font's tmHeight
    HFONT Font;
};

// The Japanese fixed-pitch face, or the first common fixed-pitch face that
// makes a cell grid where it is not installed. Lives until the process ends.
void TextFontCreate();
// Measures the cell on a device context (WM_CREATE's memory one).
void TextFontMeasure(HDC dc);
// Whether the font puts printable ASCII on the cell grid by itself, so that
// such text needs no advances of its own (a platform's text call is twice as
// slow with them).
bool TextFontAsciiOnGrid();

ConsoleCellMetrics ConsoleMetrics();
const LOGFONTW& ConsoleFontDescription();
// Whether a font is fixed-pitch with cells of a sensible size for 16-pixel text.
bool FontMakesACellGrid(HFONT font);
