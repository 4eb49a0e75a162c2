#include "support/console_start.h"

#include "console/console.h"

bool StartConsole()
{
    static bool started = false;
    if (!started) {
        started = true;
        Console.InputLength = -1;
        Console.WindowReady = 0;
        CreateThread(nullptr, 0, ConsoleThreadMain, nullptr, 0, &Console.ConsoleThreadId);
    }
    DWORD start = GetTickCount();
    while (Console.WindowReady == 0 && GetTickCount() - start < 60000)
        Sleep(20);
    return Console.WindowReady != 0;
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
