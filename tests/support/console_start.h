#pragma once
// Starts the runtime's console in this process, as a program's start-up does,
// and looks at it through the console's own calls.
#include <windows.h>

#include <string>

#include "console/console_api.h"
#include "console/console_testing.h"
#include "input/input.h"
#include "screen/back_buffer.h"
#include "screen/frame.h"
#include "screen/screen_testing.h"
#include "text/line_input.h"
#include "text/text_font.h"
#include "text/text_testing.h"

// Starts the console thread once per process; false if it has not painted within a minute.
bool StartConsole();
// Asks for a repaint and waits until the console thread has done it.
bool RepaintAndWait(HWND window);

// An empty text screen with the cursor at (column, row), white on black, in a
// 640 x 460 window; the console thread must be waiting for messages.
void ResetTextScreen(LONG column, LONG row);

// The text of a row of the store, up to its first zero byte.
std::string RowText(LONG row);
// A pixel of the console window as it shows now.
COLORREF WindowPixel(LONG x, LONG y);
// A pixel of the back buffer, read under its lock.
COLORREF BackBufferPixel(LONG x, LONG y);
// Fills a rectangle of the back buffer (under its lock) with a colour.
void FillBackBuffer(const RECT& area, COLORREF colour);
