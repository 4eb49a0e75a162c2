#include <prompt/screen.h>

#include <atomic>

#include "input/input.h"
#include "input/mouse.h"

namespace {

struct KeyRecord {
    // Written by the console thread only; read by the program thread.
    std::atomic<LONG> Downs[256];
    std::atomic<LONG> Ups[256];
    std::atomic<BYTE> LastKey;
    // How many of them KeyPressed and KeyReleased have answered: the program thread's.
    LONG DownsTaken[256];
    LONG UpsTaken[256];
};

KeyRecord Keys;

bool TakeOne(const std::atomic<LONG>& happened, LONG* taken)
{
    if (happened.load() == *taken)
        return false;
    ++*taken;
    return true;
}

// The key itself for one the input method took: such a key arrives as
// VK_PROCESSKEY, the real key only in its scan code.
BYTE KeyOf(WPARAM wParam, LPARAM lParam)
{
    if (wParam != VK_PROCESSKEY)
        return static_cast<BYTE>(wParam);
    UINT scan = (lParam >> 16) & 0xFF;
    if (lParam & (LPARAM(1) << 24))
        scan |= 0xE000; // an extended key: the arrows, Insert, Delete...
    UINT key = MapVirtualKeyW(scan, MAPVK_VSC_TO_VK_EX);
    return static_cast<BYTE>(key ? key : wParam);
}

} // namespace

void InputTakeMessage(UINT message, WPARAM wParam, LPARAM lParam, bool lineRunning)
{
    const LPARAM wasDown = LPARAM(1) << 30; // an auto-repeat: the key was already down
    BYTE key = KeyOf(wParam, lParam);
    if ((message == WM_KEYDOWN || message == WM_SYSKEYDOWN) && !(lParam & wasDown))
        ++Keys.Downs[key];
    else if (message == WM_KEYUP || message == WM_SYSKEYUP)
        ++Keys.Ups[key];
    if (message == WM_KEYDOWN && !lineRunning)
        Keys.LastKey = key;
    if (message == WM_MOUSEWHEEL)
        MouseWheelTurned(GET_WHEEL_DELTA_WPARAM(wParam));
}

BYTE InputLastKey()
{
    return Keys.LastKey;
}

bool KeyPressed(int virtualKey)
{
    return virtualKey >= 0 && virtualKey < 256 && TakeOne(Keys.Downs[virtualKey], &Keys.DownsTaken[virtualKey]);
}

bool KeyReleased(int virtualKey)
{
    return virtualKey >= 0 && virtualKey < 256 && TakeOne(Keys.Ups[virtualKey], &Keys.UpsTaken[virtualKey]);
}
