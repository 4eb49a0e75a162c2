#include "console/line_input.h"

#include "console/console.h"

// While no line input runs the console only notes the last key; reading a
// line (characters, Backspace, Enter, paste, caret) is not built yet.

void ConsoleKeyDown(WPARAM virtualKey)
{
    if (Console.InputLength == -1)
        Console.LastKey = static_cast<BYTE>(virtualKey & 0xFF);
}

void ConsoleChar(HWND, WPARAM, TrackedString*)
{
}

void ConsoleSetFocus(HWND)
{
}

void ConsoleKillFocus()
{
    HideCaret(nullptr);
    DestroyCaret();
}
