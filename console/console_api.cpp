#include "console/console_api.h"

#include "console/console.h"
#include "runtime/system_library.h"

#include <atomic>
#include <mutex>

bool ConsoleStart(DWORD milliseconds)
{
    // A second start would make a second window over the same console state:
    // it waits for the first one instead.
    static std::atomic<bool> started{false};
    if (!started.exchange(true)) {
        // Sleep(1) and the frame timer last a whole 15.6 ms tick on Windows
        // unless the process asks for 1 ms; given back when the console ends.
        Winmm().TimeBeginPeriod(1);
        Console.InputLength = -1;
        Console.WindowReady = 0;
        CreateThread(nullptr, 0, ConsoleThreadMain, nullptr, 0, &Console.ConsoleThreadId);
    }
    DWORD start = GetTickCount();
    do {
        Sleep(20);
        if (Console.WindowReady != 0)
            return true;
    } while (milliseconds == INFINITE || GetTickCount() - start < milliseconds);
    return false;
}

HWND ConsoleWindowHandle()
{
    return Console.ConsoleWindow;
}

void ConsolePrint(const char* text)
{
    PrintFromProgram(text);
}

void ConsoleFlush()
{
    SendMessageA(Console.ConsoleWindow, ConsoleFlushMessage, 0, 0);
}

void ConsoleSetColors(COLORREF foreground, LONG background)
{
    SetColorsFromProgram(foreground, background);
}

TrackedString ReadLine()
{
    // One reader at a time, from the start of its line until it has taken the
    // text: a second thread waits here rather than sharing the line.
    static std::mutex reading;
    std::lock_guard<std::mutex> hold(reading);
    ConsoleFlush(); // the prompt is on the window before the caret
    LONG idle = -1;
    while (!Console.InputLength.compare_exchange_strong(idle, 0)) {
        idle = -1;
        Sleep(10);
    }
    SendMessageA(Console.ConsoleWindow, ConsoleLineMessage, 0, 0);
    while (Console.InputLength != -1)
        Sleep(10);
    return StringFromText(Console.InputBuffer);
}
