#pragma once
// The mouse over the console window: the buttons recorded as their messages
// arrive, the cursor position polled.
#include <windows.h>

// Each field has one writer and no lock: every store is one 16-bit write.
struct MouseStateRecord {
    SHORT LeftButton;   // the console thread: 1 while down (pressed in the window, not yet released there)
    SHORT RightButton;  // the same
    SHORT MouseX;       // the thread that calls UpdateMousePosition: the program's pixel under the cursor
    SHORT MouseY;       // (its screen's pixels, whatever the scale) as of that call; negative left of or above it
};

// Exported from the program, so that a tool outside the process can find it.
extern __declspec(dllexport) MouseStateRecord MouseState;

// Starts recording the buttons, after ConsoleStart; a later call does nothing.
void MouseTrackingStart();
// Reads the cursor position into MouseState.MouseX and MouseY.
void UpdateMousePosition();

// Notches the mouse wheel turned over the console window since the call
// before: positive away from the user, negative towards; a wheel that turns
// in finer steps adds up to whole notches. From one program thread.
int MouseWheel();
