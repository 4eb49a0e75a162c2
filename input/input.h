#pragma once
// What the console window hears from the keyboard, recorded for programs:
// key presses and releases counted so that a program polling once a frame
// misses none however short, and the last key pressed while no line is read;
// and the mouse wheel's turns. The mouse's buttons have their own window
// procedure in front of the console's (input/mouse.h), which passes the
// wheel on to here.
#include <windows.h>

// On the console thread, once for every message its window procedure gets.
void InputTakeMessage(UINT message, WPARAM wParam, LPARAM lParam, bool lineRunning);

// The low byte of the last key code that went down while no line was read.
BYTE InputLastKey();
