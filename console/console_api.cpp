#include "console/console.h"

#include "runtime/code_page.h"
#include "runtime/owners.h"
#include "runtime/system_library.h"

bool ConsoleStart(DWORD milliseconds)
{
    // A second start would make a second window over the same console state:
    // it waits for the first one instead.
    ConsoleSurface& surface = Console.Surface;
    if (!surface.Started.exchange(true)) {
        // Sleep(1) and the frame timer last a whole 15.6 ms tick on Windows
        // unless the process asks for 1 ms; given back when the console ends.
        Winmm().TimeBeginPeriod(1);
        Console.Input.InputLength = -1;
        surface.WindowReady = 0;
        HandleOwner thread(CreateThread(nullptr, 0, ConsoleThreadMain, nullptr, 0, &surface.ConsoleThreadId));
        if (!thread.Held()) {
            surface.Started = false; // no console: a later start may try again
            Winmm().TimeEndPeriod(1);
            return false;
        }
    }
    DWORD start = GetTickCount();
    do {
        Sleep(20);
        if (surface.WindowReady != 0)
            return true;
    } while (milliseconds == INFINITE || GetTickCount() - start < milliseconds);
    return false;
}

HWND ConsoleWindowHandle()
{
    return Console.Surface.ConsoleWindow;
}

void ConsoleSetCaption(const char* text)
{
    SetWindowTextW(ConsoleWindowHandle(), WideFromText(text).c_str());
}

void ConsolePrint(const char* text)
{
    PrintFromProgram(text);
}

void ConsoleFlush()
{
    SendMessageW(Console.Surface.ConsoleWindow, ConsoleFlushMessage, 0, 0);
}

void ConsoleSetColors(COLORREF foreground, LONG background)
{
    SetColorsFromProgram(foreground, background);
}

bool ConsoleBeginLine()
{
    LONG idle = -1;
    return Console.Input.InputLength.compare_exchange_strong(idle, 0);
}

void ConsoleEndLine()
{
    Console.Input.InputLength = -1;
}

LONG ConsoleInputLength()
{
    return Console.Input.InputLength;
}

const char* ConsoleInputBuffer()
{
    return Console.Input.InputBuffer;
}

BYTE ConsoleLastKey()
{
    return Console.Input.LastKey;
}

TrackedString ReadLine()
{
    // One reader at a time, from the start of its line until it has taken the
    // text: a second thread waits here rather than sharing the line.
    std::lock_guard<std::mutex> hold(Console.Input.Reading);
    ConsoleFlush(); // the prompt is on the window before the caret
    while (!ConsoleBeginLine())
        Sleep(10);
    SendMessageW(Console.Surface.ConsoleWindow, ConsoleLineMessage, 0, 0);
    while (Console.Input.InputLength != -1)
        Sleep(10);
    return StringFromText(Console.Input.InputBuffer);
}
