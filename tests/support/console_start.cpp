#include "support/console_start.h"

bool StartConsole()
{
    static bool started = ConsoleStart(60000);
    return started;
}

bool RepaintAndWait(HWND window)
{
    ConsoleClearWindowReady();
    InvalidateRect(window, nullptr, FALSE);
    DWORD start = GetTickCount();
    while (ConsoleWindowReady() == 0) {
        if (GetTickCount() - start > 10000)
            return false;
        Sleep(1);
    }
    return true;
}

void ResetTextScreen(LONG column, LONG row)
{
    SetWindowPos(ConsoleWindowHandle(), nullptr, 0, 0, 640, 460, SWP_NOZORDER | SWP_NOMOVE);
    ConsoleClearText();
    ConsoleSetCursor(CellPosition{column, row});
    ConsoleSetColors(RGB(255, 255, 255), 0);
}

std::string RowText(LONG row)
{
    char text[TextRowBytes] = "";
    ConsoleRowText(row, text);
    return text;
}

COLORREF WindowPixel(LONG x, LONG y)
{
    HWND window = ConsoleWindowHandle();
    HDC dc = GetDC(window);
    COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

COLORREF BackBufferPixel(LONG x, LONG y)
{
    BackBufferHold hold;
    return GetPixel(BackBufferDc(), x, y);
}

void FillBackBuffer(const RECT& area, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    {
        BackBufferHold hold;
        FillRect(BackBufferDc(), &area, brush);
    }
    DeleteObject(brush);
}
