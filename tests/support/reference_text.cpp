#include "support/reference_text.h"

#include "console/console.h"

void DrawRowsCellByCell(HDC dc)
{
    HGDIOBJ previousFont = SelectObject(dc, Console.ConsoleFont);
    RECT client{};
    GetClientRect(Console.ConsoleWindow, &client);
    for (LONG row = 0; row * Console.LineHeight < client.bottom && row < TextRowCount; ++row) {
        const BYTE* text = Console.TextScreen.Text[row];
        const char* chars = reinterpret_cast<const char*>(text);
        LONG n = lstrlenA(chars), top = row * Console.LineHeight;
        BitBlt(dc, 0, top, client.right, Console.LineHeight, Console.BackBuffer.Dc, 0, top, SRCCOPY);
        for (LONG j = 0; j < n;) {
            SetTextColor(dc, Console.TextScreen.Foreground[row][j]);
            LONG background = Console.TextScreen.Background[row][j];
            SetBkMode(dc, background == -1 ? TRANSPARENT : OPAQUE);
            if (background != -1)
                SetBkColor(dc, static_cast<COLORREF>(background));
            bool pair = IsDBCSLeadByte(text[j]) != 0;
            TextOutA(dc, j * Console.CellWidth, top, chars + j, pair && text[j + 1] != 0 ? 2 : 1);
            j += pair ? 2 : 1;
        }
    }
    SelectObject(dc, previousFont);
}

Canvas::Canvas()
{
    RECT client{};
    GetClientRect(Console.ConsoleWindow, &client);
    Width = client.right;
    Height = client.bottom;
    HDC screen = GetDC(nullptr);
    Dc = CreateCompatibleDC(screen);
    Bitmap = CreateCompatibleBitmap(screen, Width, Height);
    ReleaseDC(nullptr, screen);
    Previous = SelectObject(Dc, Bitmap);
    PatBlt(Dc, 0, 0, Width, Height, WHITENESS);
}

Canvas::~Canvas()
{
    SelectObject(Dc, Previous);
    DeleteObject(Bitmap);
    DeleteDC(Dc);
}

std::vector<COLORREF> Canvas::Pixels() const
{
    std::vector<COLORREF> pixels(static_cast<size_t>(Width) * Height);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = Width;
    info.bmiHeader.biHeight = -Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    GetDIBits(Dc, Bitmap, 0, Height, pixels.data(), &info, DIB_RGB_COLORS);
    return pixels;
}
