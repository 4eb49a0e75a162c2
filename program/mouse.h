#pragma once
// Behind the mouse state: the cursor position is read into a point and
// converted; the buttons are recorded by a window procedure in front of the
// console's.
#include <windows.h>

#include <prompt/mouse.h>

extern POINT MousePoint;           // where the cursor position is read and converted
extern WNDPROC PreviousWndProc;    // the procedure behind MouseWindowProc

LRESULT CALLBACK MouseWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
