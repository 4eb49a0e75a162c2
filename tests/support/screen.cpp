#include "support/screen.h"

#include <fstream>

ScreenPixels CaptureScreen(const RECT& area)
{
    ScreenPixels pixels;
    pixels.Left = area.left;
    pixels.Top = area.top;
    pixels.Width = area.right - area.left;
    pixels.Height = area.bottom - area.top;
    pixels.Cells.assign(static_cast<size_t>(pixels.Width) * pixels.Height, 0);

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = pixels.Width;
    info.bmiHeader.biHeight = -pixels.Height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, section);
    BitBlt(memory, 0, 0, pixels.Width, pixels.Height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const DWORD* source = static_cast<const DWORD*>(bits);
    for (size_t i = 0; i < pixels.Cells.size(); ++i) {
        DWORD bgr = source[i]; // 0x00RRGGBB in a DIB
        pixels.Cells[i] = RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
    }
    SelectObject(memory, previous);
    DeleteObject(section);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

ScreenPixels CaptureWholeScreen()
{
    RECT all{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return CaptureScreen(all);
}

ScreenPixels CaptureClientOf(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    return CaptureScreen(RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom});
}

bool WaitForSteadyClient(HWND window, DWORD milliseconds, ScreenPixels* seen,
                         const std::function<bool(const ScreenPixels&)>& ready)
{
    DWORD start = GetTickCount();
    *seen = CaptureClientOf(window);
    for (;;) {
        bool wanted = !ready || ready(*seen);
        Sleep(20);
        ScreenPixels next = CaptureClientOf(window);
        bool steady = wanted && next.Left == seen->Left && next.Top == seen->Top && next.Cells == seen->Cells;
        *seen = std::move(next);
        if (steady)
            return true;
        if (GetTickCount() - start >= milliseconds)
            return false;
    }
}

bool SaveBitmapFile(const ScreenPixels& pixels, const std::string& path)
{
    const DWORD rowBytes = static_cast<DWORD>(pixels.Width) * 3;
    const DWORD stride = (rowBytes + 3) & ~3u;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = pixels.Width;
    header.biHeight = pixels.Height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = stride * pixels.Height;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;

    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    std::vector<unsigned char> row(stride, 0);
    for (LONG y = pixels.Height - 1; y >= 0; --y) {
        for (LONG x = 0; x < pixels.Width; ++x) {
            COLORREF c = pixels.Cells[static_cast<size_t>(y) * pixels.Width + x];
            row[x * 3] = GetBValue(c);
            row[x * 3 + 1] = GetGValue(c);
            row[x * 3 + 2] = GetRValue(c);
        }
        out.write(reinterpret_cast<const char*>(row.data()), stride);
    }
    return static_cast<bool>(out);
}

COLORREF BitmapPixel(HBITMAP bitmap, int x, int y)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    COLORREF colour = GetPixel(dc, x, y);
    SelectObject(dc, previous);
    DeleteDC(dc);
    return colour;
}
