#pragma once
// The mouse over the console window: the buttons recorded as their messages
// arrive, the cursor position polled.
#include <windows.h>

struct MouseStateRecord {
    SHORT LeftButton;   // 1 while down (pressed in the window, not yet released there)
    SHORT RightButton;
    SHORT MouseX;       // client coordinates of the console window, as of the last
    SHORT MouseY;       // UpdateMousePosition; negative left of or above it
};

// Exported from the program, so that a tool outside the process can find it.
extern __declspec(dllexport) MouseStateRecord MouseState;

// Starts recording the buttons, after ConsoleStart; a later call does nothing.
void MouseTrackingStart();
// Reads the cursor position into MouseState.MouseX and MouseY.
void UpdateMousePosition();
