#pragma once
// Code page 932 text drawn on a cell grid: the rows, and DrawTextAt.
#include <windows.h>

// A run of code page 932 bytes as UTF-16 for ExtTextOutW, with one advance
// of cellWidth per byte: a pair's character advances two cells, so no glyph
// can drift. A byte that makes no character becomes a space (its cells show
// what lies beneath). wide and advances have room for length units (code
// page 932 makes at most one a byte). Returns the number of units.
UINT WideCellRun(const BYTE* bytes, LONG length, LONG cellWidth, wchar_t* wide, INT* advances);

// A row's text with its top at top, one ExtTextOutW per run of cells that
// share both colours, in the font the caller selected, over what lies
// beneath; runs that start at or right of width are not drawn (a row holds
// more cells than most windows show). With the store's lock held.
void DrawRowTextLocked(HDC dc, LONG row, LONG top, LONG width);
