#include "console/console.h"

#include "console/console_api.h"
#include "runtime/code_page.h"
#include "runtime/owners.h"
#include "runtime/system_library.h"
#include "text/line_input.h"
#include "text/text_store.h"

bool ConsoleStart(DWORD milliseconds)
{
    // A second start would make a second window over the same console state:
    // it waits for the first one instead.
    if (!Console.Started.exchange(true)) {
        // Sleep(1) and the frame timer last a whole 15.6 ms tick on Windows
        // unless the process asks for 1 ms; given back when the console ends.
        Winmm().TimeBeginPeriod(1);
        LineEnd(); // no line input
        Console.WindowReady = 0;
        HandleOwner thread(CreateThread(nullptr, 0, ConsoleThreadMain, nullptr, 0, &Console.ThreadId));
        if (!thread.Held()) {
            Console.Started = false; // no console: a later start may try again
            Winmm().TimeEndPeriod(1);
            return false;
        }
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
    return Console.Window;
}

void ConsoleSetCaption(const char* text)
{
    SetWindowTextW(ConsoleWindowHandle(), WideFromText(text).c_str());
}

void ConsolePrint(const char* text)
{
    TextPrint(text, RowsClientHeight());
    RequestDraw();
}

void ConsoleFlush()
{
    SendMessageW(Console.Window, ConsoleFlushMessage, 0, 0);
}

void ConsoleClear()
{
    TextClear();
    RequestDraw();
}

void ConsoleLocate(LONG column, LONG row)
{
    TextLocate(column, row);
}

void ConsoleSetColors(COLORREF foreground, LONG background)
{
    TextSetColors(foreground, background);
}

TrackedString ReadLine()
{
    // One reader at a time, from the start of its line until it has taken the
    // text: a second thread waits here rather than sharing the line.
    LineReaderHold hold;
    ConsoleFlush(); // the prompt is on the window before the caret
    while (!LineBegin())
        Sleep(10);
    SendMessageW(Console.Window, ConsoleLineMessage, 0, 0);
    while (LineRunning())
        Sleep(10);
    return StringFromText(LineBuffer());
}
