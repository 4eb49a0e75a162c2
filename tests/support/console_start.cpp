#include "support/console_start.h"

#include "console/console.h"
#include "console/console_api.h"

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
