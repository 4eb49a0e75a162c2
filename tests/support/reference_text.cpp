#include "support/reference_text.h"

#include "console/console_api.h"
#include "console/console_testing.h"
#include "input/input.h"
#include "screen/back_buffer.h"
#include "screen/frame.h"
#include "screen/screen_testing.h"
#include "text/line_input.h"
#include "text/text_font.h"
#include "text/text_testing.h"

void DrawRowsCellByCell(HDC dc)
{
    ConsoleCellMetrics cell = ConsoleMetrics();
    HGDIOBJ previousFont = SelectObject(dc, cell.Font);
    RECT client{};
    GetClientRect(ConsoleWindowHandle(), &client);
    for (LONG row = 0; row * cell.LineHeight < client.bottom && row < TextRowCount; ++row) {
        char chars[TextRowBytes] = "";
        ConsoleRowText(row, chars);
        LONG n = lstrlenA(chars), top = row * cell.LineHeight;
        {
            BackBufferHold hold;
            BitBlt(dc, 0, top, client.right, cell.LineHeight, BackBufferDc(), 0, top, SRCCOPY);
        }
        for (LONG j = 0; j < n;) {
            TextCell lead = ConsoleCell(row, j);
            SetTextColor(dc, lead.Foreground);
            SetBkMode(dc, lead.Background == -1 ? TRANSPARENT : OPAQUE);
            if (lead.Background != -1)
                SetBkColor(dc, static_cast<COLORREF>(lead.Background));
            bool pair = IsDBCSLeadByte(static_cast<BYTE>(chars[j])) != 0;
            TextOutA(dc, j * cell.CellWidth, top, chars + j, pair && chars[j + 1] != 0 ? 2 : 1);
            j += pair ? 2 : 1;
        }
    }
    SelectObject(dc, previousFont);
}

namespace {

SIZE ClientSize()
{
    RECT client{};
    GetClientRect(ConsoleWindowHandle(), &client);
    return SIZE{client.right, client.bottom};
}

} // namespace

Canvas::Canvas() : Canvas(ClientSize().cx, ClientSize().cy) {}

Canvas::Canvas(LONG width, LONG height) : Width(width), Height(height)
{
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
