#pragma once
// What the rest of the runtime asks of the console besides the public calls
// of <prompt/console.h>. The console's state stays behind these calls.
#include <windows.h>

#include <prompt/console.h>

// Puts a window procedure in front of the console's (SetWindowLongW: it gets
// the Unicode messages); returns the one it replaced, to which the new one
// passes what it does not take.
WNDPROC ConsoleSubclass(WNDPROC procedure);
LRESULT CALLBACK ConsoleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
DWORD ConsoleThreadId();
