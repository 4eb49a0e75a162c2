#pragma once
// The program's fonts (<prompt/text.h>): a table of numbered fonts under one
// lock. That lock is taken before the back buffer's (a draw holds both, so
// that a font cannot be released under it) and never with a line reader's or
// the text store's held.
#include <windows.h>

// Fonts live at once, font 0 aside: a loop that forgets FontRelease meets
// FontMake's 0 here, long before GDI's objects of the process run out.
const int FontsLiveCap = 256;

// How many fonts are live now, and what the platform was asked for to make
// one (false for a font not live): for tests and tools.
int FontsLive();
bool FontDescription(int font, LOGFONTW* description);
