#pragma once
// Behind the mouse state: the buttons are recorded by a window procedure in
// front of the console's; the cursor position is polled; the wheel is heard
// where the console hears its keys (InputTakeMessage).
#include <windows.h>

#include <prompt/mouse.h>

extern WNDPROC PreviousWndProc;    // the procedure behind MouseWindowProc

LRESULT CALLBACK MouseWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// On the console thread, for each WM_MOUSEWHEEL: its turn, WHEEL_DELTA (120) a notch.
void MouseWheelTurned(SHORT delta);
