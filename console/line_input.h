#pragma once
// Keyboard and focus handling of the console window.
#include <windows.h>

#include "runtime/tracked_string.h"

void ConsoleKeyDown(WPARAM virtualKey);
void ConsoleChar(HWND window, WPARAM code, TrackedString* echo);
void ConsoleSetFocus(HWND window);
void ConsoleKillFocus(HWND window);
