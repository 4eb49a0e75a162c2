#pragma once
// Starts the runtime's console in this process, as a program's start-up does.
#include <windows.h>

// Starts the console thread once per process; false if it has not painted within a minute.
bool StartConsole();
// Asks for a repaint and waits until the console thread has done it.
bool RepaintAndWait(HWND window);

// An empty text screen with the cursor at (column, row), white on black, in a
// 640 x 460 window; the console thread must be waiting for messages.
void ResetTextScreen(LONG column, LONG row);
