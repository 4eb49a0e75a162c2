#pragma once
// The console's own state and the steps its files share; console/ alone
// includes this. The state is split by owner, and beside each field stands
// which thread writes it and what guards it. "Console thread" is the thread
// of ConsoleThreadMain; a "reader" is a program thread in ReadLine.
#include <windows.h>

#include <atomic>
#include <mutex>

#include "console/console_api.h"

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
    DWORD* Pixels; // a 32-bit top-down DIB section's, 0x00RRGGBB, rows as wide as the screen
};

// A screen-wide 32-bit top-down DIB section of that height with a device
// context selected on it, compatible with dc; false (nothing kept) if not made.
bool MakeOffscreenImage(HDC dc, LONG width, LONG height, OffscreenImage* image);

struct PixelSize {
    LONG Width;
    LONG Height;
};

// The window and what is drawn on it. The console thread writes every field
// but WindowReady before the first paint; ConsoleStart waits for that paint,
// so other threads only read them afterwards.
struct ConsoleSurface {
    std::atomic<bool> Started;          // ConsoleStart: one console a process
    HWND ConsoleWindow;                 // console thread, once CreateWindowExA returns
    DWORD ConsoleThreadId;              // ConsoleStart, as the thread is made
    std::atomic<LONG> WindowReady;      // ConsoleStart sets 0 before the thread runs; every WM_PAINT sets 1
    LOGFONTW ConsoleFontDescription;    // console thread, before the window
    HFONT ConsoleFont;                  // the same; lives until the process ends
    LONG CellWidth;                     // console thread, in WM_CREATE
    LONG LineHeight;                    // the same
    PixelSize ScreenSize;               // console thread, before the window
    OffscreenImage BackBuffer;          // handles: console thread in WM_CREATE and WM_DESTROY;
                                        // its pixels: any thread, under BackBufferLock
    std::mutex BackBufferLock;
};

// What printing has stored and not yet drawn.
struct PendingRows {
    bool Any;
    bool All;
    LONG First;
    LONG Last;
};

// The text. Any thread prints into it (program threads directly, the console
// thread for the echo of line input); every field is read and written under
// Lock, which the console thread also holds while it draws the rows.
struct TextStore {
    std::recursive_mutex Lock;
    TextRows TextScreen;                // blocks: console thread at its start and end; scrolls move them
    CellPosition Cursor;
    TextColors ColorPair;
    PendingRows Pending;
    DWORD LastDrawTick;                 // when pending rows were last drawn (console thread)
    bool DrawRequested;                 // a draw message is on its way to the console thread
};

// The line being read. A reader starts a line by turning InputLength from -1
// to 0 (compare-exchange, under Reading); from then on only the console
// thread writes InputBuffer and InputLength, until Enter sets it back to -1;
// then the reader takes the line.
struct LineInput {
    std::mutex Reading;                 // one reader at a time, from its start to taking the line
    char InputBuffer[InputBufferBytes];
    std::atomic<LONG> InputLength;      // -1 while no line runs
    BYTE LastKey;                       // console thread, while no line runs
    bool DropTrailByte;                 // console thread: the next byte trails a lead byte that found no room
};

struct ConsoleState {
    ConsoleSurface Surface;
    TextStore Text;
    LineInput Input;
};

extern ConsoleState Console;

DWORD WINAPI ConsoleThreadMain(LPVOID unused);

// Messages the console window takes from program threads.
const UINT ConsoleLineMessage = WM_APP + 0x102;    // a line input has started: show the caret
const UINT ConsoleFlushMessage = WM_APP + 0x103;   // draw what printing has stored, now
const UINT ConsoleDrawMessage = WM_APP + 0x104;    // draw it within the frame

// Program threads print and set colours here, straight into the store under
// its lock; the console thread draws what they stored at most once a frame
// (16 ms), so that a burst of prints costs one draw a frame.
void PrintFromProgram(const char* text);
void SetColorsFromProgram(COLORREF foreground, LONG background);
// On the console thread: a draw was asked for; now, or when the frame is over.
void DrawSoon();
// Draws what program threads have stored and not yet drawn.
void DrawPendingRows();
bool IsDrawTimer(WPARAM timer);
// The back buffer with every visible row over it, the pixels a repaint
// draws, into a screen-sized image's top-left width x height (row_layer.cpp).
// With the store's lock and then the back buffer's held.
void ComposeFrame(OffscreenImage* target, LONG width, LONG height);
// Held drawing (screen_layer.cpp). Paints the window's device context: while
// held the last frame shown, else the frame composed now. False when there is
// no image to compose into: then the caller draws the rows itself.
bool PaintFrame(HDC dc);
// While held, printed rows wait for ScreenShow.
bool RowsHeld();
// A row's text drawn with its top at top, in the font the caller selected;
// with the store's lock held.
void DrawRowTextAt(HDC dc, LONG row, LONG top);
// Scrolls the rows, as a repaint does first, when the cursor row is not wholly
// visible; true if it did.
bool ScrollRowsIntoView();
// Three zero-filled blocks for row r; the process ends when there is no memory.
void GiveRowNewBlocks(int r);
