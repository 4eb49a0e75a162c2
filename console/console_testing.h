#pragma once
// Test hooks of the console window; not for programs.
#include <windows.h>

#include "runtime/tracked_string.h"

// 1 from the end of a paint; tests clear it to see the next paint.
LONG ConsoleWindowReady();
void ConsoleClearWindowReady();
// One byte of a typed character (or Ctrl+V) as WM_CHAR hands it to the line.
void ConsoleChar(HWND window, BYTE code, TrackedString* echo);
// On the console thread: stores the text, draws the rows it touched, releases it.
void PrintText(TrackedString text);
