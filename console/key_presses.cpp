#include "console/key_presses.h"

#include <prompt/screen.h>

#include <atomic>

namespace {

// Written by the console thread only; read by the program thread.
std::atomic<LONG> Downs[256];
std::atomic<LONG> Ups[256];
// How many of them KeyPressed and KeyReleased have answered: the program thread's.
LONG DownsTaken[256];
LONG UpsTaken[256];

bool TakeOne(const std::atomic<LONG>& happened, LONG* taken)
{
    if (happened.load() == *taken)
        return false;
    ++*taken;
    return true;
}

} // namespace

void RecordKeyMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    const LPARAM wasDown = LPARAM(1) << 30; // an auto-repeat: the key was already down
    BYTE key = static_cast<BYTE>(wParam);
    if ((message == WM_KEYDOWN || message == WM_SYSKEYDOWN) && !(lParam & wasDown))
        ++Downs[key];
    else if (message == WM_KEYUP || message == WM_SYSKEYUP)
        ++Ups[key];
}

bool KeyPressed(int virtualKey)
{
    return virtualKey >= 0 && virtualKey < 256 && TakeOne(Downs[virtualKey], &DownsTaken[virtualKey]);
}

bool KeyReleased(int virtualKey)
{
    return virtualKey >= 0 && virtualKey < 256 && TakeOne(Ups[virtualKey], &UpsTaken[virtualKey]);
}
