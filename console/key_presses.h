#pragma once
// Key presses and releases as the console window receives them, counted so
// that a program polling once a frame misses none however short.
#include <windows.h>

// On the console thread, for every message its window procedure gets.
void RecordKeyMessage(UINT message, WPARAM wParam, LPARAM lParam);
