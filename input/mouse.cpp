#include "input/mouse.h"

#include "console/console_api.h"
#include "screen/screen_scale.h"

#include <atomic>

__declspec(dllexport) MouseStateRecord MouseState;

// Already the console's procedure before the installation records it, so that
// a message arriving between the two steps finds its way on.
WNDPROC PreviousWndProc = ConsoleWindowProc;

void MouseTrackingStart()
{
    // Installed twice, the procedure would find itself behind itself and
    // pass every message on to itself for ever.
    static std::atomic<bool> installed{false};
    if (installed.exchange(true))
        return;
    PreviousWndProc = ConsoleSubclass(MouseWindowProc);
}

void UpdateMousePosition()
{
    POINT cursor{}; // read in screen coordinates, converted in place
    GetCursorPos(&cursor);
    ScreenToClient(ConsoleWindowHandle(), &cursor);
    const POINT pixel = ProgramPointFromWindow(cursor); // the program's pixel under the cursor
    MouseState.MouseX = static_cast<SHORT>(pixel.x);
    MouseState.MouseY = static_cast<SHORT>(pixel.y);
}

LRESULT CALLBACK MouseWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEMOVE: return 0;
    case WM_LBUTTONDOWN: MouseState.LeftButton = 1; return 0;
    case WM_LBUTTONUP: MouseState.LeftButton = 0; return 0;
    case WM_RBUTTONDOWN: MouseState.RightButton = 1; return 0;
    case WM_RBUTTONUP: MouseState.RightButton = 0; return 0;
    default: return CallWindowProcW(PreviousWndProc, window, message, wParam, lParam);
    }
}

