#pragma once
// The console: a window on its own thread with a screen-sized back buffer
// and rows of coloured text drawn over it.
#include <windows.h>

#include <atomic>
#include <mutex>

#include "runtime/tracked_string.h"

const int TextRowCount = 101;    // rows 0 to 100
const int TextRowBytes = 255;    // cells per row; the last stays zero
const int InputBufferBytes = 256;

struct CellPosition {
    LONG Column;
    LONG Row;
};

struct TextRows {
    BYTE* Text[TextRowCount];
    COLORREF* Foreground[TextRowCount];
    LONG* Background[TextRowCount]; // a COLORREF, or -1 for transparent
};

struct TextColors {
    COLORREF Foreground;
    LONG Background;
};

struct OffscreenImage {
    HBITMAP Bitmap;
    HDC Dc;
};

struct PixelSize {
    LONG Width;
    LONG Height;
};

struct ConsoleState {
    HWND ConsoleWindow;
    DWORD ConsoleThreadId;
    std::atomic<LONG> WindowReady;  // set at the end of every WM_PAINT
    LOGFONTA ConsoleFontDescription;
    HFONT ConsoleFont;
    LONG CellWidth;
    LONG LineHeight;
    char InputBuffer[InputBufferBytes];
    std::atomic<LONG> InputLength;  // -1 while no line input runs
    BYTE LastKey;
    bool DropTrailByte;             // the next typed byte is the trail of a lead byte that found no room
    CellPosition Cursor;
    TextRows TextScreen;
    TextColors ColorPair;
    OffscreenImage BackBuffer;
    PixelSize ScreenSize;
};

extern ConsoleState Console;

DWORD WINAPI ConsoleThreadMain(LPVOID unused);
// Whether a font is fixed-pitch with cells of a sensible size for the console's 16-pixel text.
bool FontMakesACellGrid(HFONT font);
LRESULT CALLBACK ConsoleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Stores text at the cursor in the current colours, redraws the rows it
// touched, and releases the string. Runs on the console thread.
void PrintText(TrackedString text);

// Program threads print and set colours here, straight into the store under
// its lock; the console thread draws what they stored at most once a frame
// (16 ms), so that a burst of prints costs one draw a frame.
void PrintFromProgram(const char* text);
void SetColorsFromProgram(COLORREF foreground, LONG background);
// On the console thread: a draw was asked for; now, or when the frame is over.
void DrawSoon();
// Draws what program threads have stored and not yet drawn.
void DrawPendingRows();
// Guards the text store, the cursor and the colours between the threads.
std::recursive_mutex& TextStoreLock();
bool IsDrawTimer(WPARAM timer);

// Scrolls the rows if the cursor row is not wholly visible, then draws rows
// over the window (first -1: every visible row), each over its strip of the
// back buffer.
void RenderRows(HDC dc, LONG first, LONG last);
// The same where the caller has already copied the back buffer over the rows.
void RenderRowsOver(HDC dc, LONG first, LONG last, bool backgroundRestored);
