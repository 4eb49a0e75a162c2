#pragma once
// Behind the mouse state: the buttons are recorded by a window procedure in
// front of the console's; the cursor position is polled.
#include <windows.h>

#include <prompt/mouse.h>

extern WNDPROC PreviousWndProc;    // the procedure behind MouseWindowProc

LRESULT CALLBACK MouseWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
