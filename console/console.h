#pragma once
// The console's own state and the steps its files share; console/ alone
// includes this. "Console thread" is the thread of ConsoleThreadMain.
#include <windows.h>

#include <atomic>

#include "runtime/tracked_string.h"

// The window and its thread. ConsoleStart writes Started and ThreadId; the
// console thread writes Window once CreateWindowExW returns, and every WM_PAINT
// sets WindowReady; ConsoleStart waits for the first paint, so other threads
// only read Window afterwards.
struct ConsoleWindowRecord {
    std::atomic<bool> Started;          // one console a process
    HWND Window;
    DWORD ThreadId;
    std::atomic<LONG> WindowReady;      // ConsoleStart sets 0 before the thread runs
};

extern ConsoleWindowRecord Console;

DWORD WINAPI ConsoleThreadMain(LPVOID unused);

// Messages the console window takes from program threads.
const UINT ConsoleLineMessage = WM_APP + 0x102;    // a line input has started: show the caret
const UINT ConsoleFlushMessage = WM_APP + 0x103;   // draw what printing has stored, now
const UINT ConsoleDrawMessage = WM_APP + 0x104;    // draw it within the frame
const UINT ConsoleScaleMessage = WM_APP + 0x105;   // the screen's scale, resizing or full screen (window_scale.cpp)

// Drawing what printing stored (draw_schedule.cpp). Program threads ask for
// a draw after they store (RequestDraw: one message on its way at a time,
// none while the frame timer ticks); the console thread draws at most once a
// frame (16 ms), so that a burst of prints costs one draw a frame, and the
// timer ticks from a draw until a frame passes with nothing to draw.
void RequestDraw();
void DrawSoon();          // console thread: a draw was asked for; now, or at the next tick
void DrawPendingRows();   // console thread: now
void DrawTick();          // console thread: the frame timer's tick
bool IsDrawTimer(WPARAM timer);
// The client height the rows must fit in (what printing scrolls for).
LONG RowsClientHeight();

// The window's size for the program's screen at a whole scale
// (window_scale.cpp), on the console thread: started in WM_CREATE, once the
// back buffer is made; then every message goes there first, and those it
// takes (sizing, the dpi, Alt+Enter, ConsoleScaleMessage) go no further.
void WindowScaleStart(HWND window);
bool WindowScaleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

// Line input's window side (line_window.cpp), on the console thread: a
// character typed or pasted, its echo printed; the caret and the input
// method's windows placed on the cursor's cell.
void LineCharacter(HWND window, WPARAM code, TrackedString* echo);
// Stores the text at the cursor, draws the rows it touched and releases it.
void PrintText(TrackedString text);
void CaretShow(HWND window);
void CaretHide(HWND window);
// Keys go to the program, not to the input method, while no line is read.
void InputMethodDetach(HWND window);
