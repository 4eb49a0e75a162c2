#include "support/console_start.h"

#include "console/console.h"
#include "console/console_api.h"

#include <cstring>

bool StartConsole()
{
    static bool started = ConsoleStart(60000);
    return started;
}

bool RepaintAndWait(HWND window)
{
    Console.WindowReady = 0;
    InvalidateRect(window, nullptr, FALSE);
    DWORD start = GetTickCount();
    while (Console.WindowReady == 0) {
        if (GetTickCount() - start > 10000)
            return false;
        Sleep(1);
    }
    return true;
}

void ResetTextScreen(LONG column, LONG row)
{
    SetWindowPos(Console.ConsoleWindow, nullptr, 0, 0, 640, 460, SWP_NOZORDER | SWP_NOMOVE);
    for (int r = 0; r < TextRowCount; ++r) {
        memset(Console.TextScreen.Text[r], 0, TextRowBytes);
        memset(Console.TextScreen.Foreground[r], 0, TextRowBytes * sizeof(COLORREF));
        memset(Console.TextScreen.Background[r], 0, TextRowBytes * sizeof(LONG));
    }
    Console.Cursor = CellPosition{column, row};
    ConsoleSetColors(RGB(255, 255, 255), 0);
}
