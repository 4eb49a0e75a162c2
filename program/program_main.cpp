#include "program.h"

#include <windows.h>

#include <prompt/console.h>

TrackedString StringSlots[StringSlotCount];

namespace {

const char Caption[] = "タイトル名";
const char NoConsoleText[] = "ウィンドウを作成できないため、プログラムを終了します。";
const int SmallIconResource = 102;

void ShapeWindow(HWND window)
{
    ConsoleSetCaption(Caption);

    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(SmallIconResource));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    // No sizing border, no minimise or maximise box; the border goes with
    // each box, in two masks, so that either step alone still fixes the size.
    LONG style = GetWindowLongA(window, GWL_STYLE);
    style &= ~(WS_THICKFRAME | WS_MINIMIZEBOX);
    style &= ~(WS_THICKFRAME | WS_MAXIMIZEBOX);
    SetWindowLongA(window, GWL_STYLE, style);

    SetWindowPos(window, HWND_TOP, 0, 0, 640, 460, SWP_FRAMECHANGED);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE);
}

} // namespace

void ProgramMain()
{
    StringsInit();
    for (int slot = 0; slot < StringSlotCount; ++slot)
        StringSlots[slot] = AllocString(0);

    // Polls every 20 ms until the window's first paint; false only when the
    // console thread could not be made.
    if (!ConsoleStart()) {
        // Code page 932 named outright: the system's own may be any.
        wchar_t text[64], title[8];
        MultiByteToWideChar(932, 0, NoConsoleText, -1, text, 64);
        MultiByteToWideChar(932, 0, "エラー", -1, title, 8);
        MessageBoxW(nullptr, text, title, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
        ExitProcess(4);
    }

    ShapeWindow(ConsoleWindowHandle());

    SceneSetUp();
    MainLoop();
}
