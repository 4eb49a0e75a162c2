#pragma once
// The mouse as the program sees it: the cursor in client coordinates of the
// console window, polled; the buttons, recorded by a window procedure in
// front of the console's.
#include <windows.h>

struct MouseStateRecord {
    SHORT LeftButton;
    SHORT RightButton;
    SHORT MouseX;
    SHORT MouseY;
};

extern __declspec(dllexport) MouseStateRecord MouseState;
extern POINT MousePoint;           // where the cursor position is read and converted
extern WNDPROC PreviousWndProc;    // the procedure behind MouseWindowProc

void UpdateMousePosition();
LRESULT CALLBACK MouseWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
