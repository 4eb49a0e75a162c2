#pragma once
// What the rest of the runtime, its tests and its tools ask of the console
// besides the public calls of <prompt/console.h>. The console's state stays
// behind these calls; console/console.h is for console/ alone.
#include <windows.h>

#include <prompt/console.h>

#include "runtime/tracked_string.h"

const int TextRowCount = 101;    // rows 0 to 100
const int TextRowBytes = 255;    // cells per row; the last stays zero
const int InputBufferBytes = 256;

struct CellPosition {
    LONG Column;
    LONG Row;
};

// The back buffer: a memory bitmap as large as the screen, which every
// repaint copies to the window. A device context may be used by one thread at
// a time, so every draw into it and every copy from it, on any thread, holds
// its lock; the console's paint does.
HDC BackBufferDc();
SIZE BackBufferSize();
void LockBackBuffer();
void UnlockBackBuffer();
struct BackBufferHold {
    BackBufferHold() { LockBackBuffer(); }
    ~BackBufferHold() { UnlockBackBuffer(); }
    BackBufferHold(const BackBufferHold&) = delete;
    BackBufferHold& operator=(const BackBufferHold&) = delete;
};

// Whether drawing is held (ScreenHold): graphics then go into the back buffer
// only. Asked with the back buffer's lock held, so that a draw and a show
// never cross.
bool GraphicsHeld();

// A draw into the back buffer whose raster operation uses the brush (a
// picture's) first puts back the brush a new device context has, as the
// window's has; fills leave another selected. With the back buffer's lock held.
void BackBufferDefaultBrush();

// Puts a window procedure in front of the console's (SetWindowLongW: it gets
// the Unicode messages); returns
// the one it replaced, to which the new one passes what it does not take.
WNDPROC ConsoleSubclass(WNDPROC procedure);
LRESULT CALLBACK ConsoleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The text cell and the font it is measured in; known from the first paint on.
struct ConsoleCellMetrics {
    LONG CellWidth;
    LONG LineHeight;
    HFONT Font;
};
ConsoleCellMetrics ConsoleMetrics();
const LOGFONTW& ConsoleFontDescription();
DWORD ConsoleThreadId();
// Whether a font is fixed-pitch with cells of a sensible size for 16-pixel text.
bool FontMakesACellGrid(HFONT font);

// Stores text at the cursor in the current colours, redraws the rows it
// touched, and releases the string. On the console thread (the echo's way).
void PrintText(TrackedString text);
// Scrolls the rows if the cursor row is not wholly visible, then draws rows
// (first -1: every visible row) onto a device context of the window, each over
// its strip of the back buffer.
void RenderRows(HDC dc, LONG first, LONG last);
// The same where the caller has already copied the back buffer over the rows.
void RenderRowsOver(HDC dc, LONG first, LONG last, bool backgroundRestored);

// Looking into the text store, and setting it up (tests and tools). Each call
// takes the store's lock; the rows hold still while the console thread idles.
struct TextCell {
    BYTE Byte;
    COLORREF Foreground;
    LONG Background; // a COLORREF, or NoBackground
};
TextCell ConsoleCell(LONG row, LONG column);
void ConsoleSetCell(LONG row, LONG column, TextCell cell);
// The row's text up to its first zero byte, copied into text (TextRowBytes bytes).
void ConsoleRowText(LONG row, char* text);
CellPosition ConsoleCursor();
void ConsoleSetCursor(CellPosition cursor);
// Every row empty, cells zero.
void ConsoleClearText();

// Line input. A line runs from ConsoleBeginLine (what ReadLine does first) to
// Enter, or to ConsoleEndLine (tests).
bool ConsoleBeginLine();
void ConsoleEndLine();
LONG ConsoleInputLength();
// The line's bytes so far (InputBufferBytes bytes, zero-terminated once it ended).
const char* ConsoleInputBuffer();
BYTE ConsoleLastKey();

// Tests: every row with text composed into a shown frame by drawing it over
// the graphics, as rows of antialiased text are (on Windows with ClearType).
void ComposeRowsLive(bool live);

// 1 from the end of a paint; tests clear it to see the next paint.
LONG ConsoleWindowReady();
void ConsoleClearWindowReady();
