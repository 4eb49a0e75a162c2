// Held drawing: while held, the window shows a frame composed at the last
// ScreenShow (the back buffer with the rows over it), kept in a bitmap of its
// own, so that a repaint never shows a half-drawn back buffer.
#include "console/console.h"

#include <prompt/screen.h>

#include <vector>

#include "runtime/code_page.h"
#include "runtime/owners.h"

namespace {

struct HeldScreen {
    std::atomic<bool> Held;  // written with both the store's lock and the back buffer's lock held
    OffscreenImage Shown;    // the last frame shown; made at the first hold, kept for the process
};

HeldScreen Screen;
ConsoleSurface& Surface = Console.Surface;
TextStore& Store = Console.Text;

RECT ClientArea()
{
    RECT client{};
    GetClientRect(Surface.ConsoleWindow, &client);
    return client;
}

// With the back buffer's lock held.
bool MakeShownFrame()
{
    if (Screen.Shown.Dc)
        return true;
    if (!Surface.BackBuffer.Dc)
        return false; // no console yet
    return MakeOffscreenImage(Surface.BackBuffer.Dc, Surface.ScreenSize.Width, Surface.ScreenSize.Height, &Screen.Shown);
}

enum class HoldChange { Keep, Hold, Release };

// Composes the frame into the shown bitmap and puts it on the window; the
// rows that waited are now shown. False without a console.
bool ShowFrame(HoldChange change)
{
    std::lock_guard<std::recursive_mutex> text(Store.Lock);
    BackBufferHold hold;
    if (!MakeShownFrame())
        return false;
    RECT client = ClientArea();
    ComposeFrame(&Screen.Shown, client.right, client.bottom);
    if (change == HoldChange::Hold) { // from now on repaints show this frame: beyond the client area too
        const SIZE screen{Surface.ScreenSize.Width, Surface.ScreenSize.Height};
        BitBlt(Screen.Shown.Dc, client.right, 0, screen.cx, screen.cy, Surface.BackBuffer.Dc, client.right, 0, SRCCOPY);
        BitBlt(Screen.Shown.Dc, 0, client.bottom, client.right, screen.cy, Surface.BackBuffer.Dc, 0, client.bottom,
               SRCCOPY);
    }
    Store.Pending = PendingRows{};
    {
        WindowDc window(Surface.ConsoleWindow);
        BitBlt(window.Dc, 0, 0, client.right, client.bottom, Screen.Shown.Dc, 0, 0, SRCCOPY);
    }
    if (change != HoldChange::Keep)
        Screen.Held = change == HoldChange::Hold;
    return true;
}

bool WriteWholeFile(const char* name, const std::vector<BYTE>& bytes)
{
    HandleOwner file(CreateFileW(WideFromText(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Held())
        return false;
    DWORD written = 0;
    return WriteFile(file.Handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

} // namespace

bool GraphicsHeld()
{
    return Screen.Held;
}

bool RowsHeld()
{
    return Screen.Held;
}

bool PaintFrame(HDC dc)
{
    std::lock_guard<std::recursive_mutex> text(Store.Lock);
    BackBufferHold hold;
    if (!MakeShownFrame())
        return false;
    if (Screen.Held) {
        BitBlt(dc, 0, 0, Surface.ScreenSize.Width, Surface.ScreenSize.Height, Screen.Shown.Dc, 0, 0, SRCCOPY);
        return true;
    }
    RECT client = ClientArea();
    ComposeFrame(&Screen.Shown, client.right, client.bottom);
    BitBlt(dc, 0, 0, client.right, client.bottom, Screen.Shown.Dc, 0, 0, SRCCOPY);
    return true;
}

void ScreenHold()
{
    if (!Screen.Held)
        ShowFrame(HoldChange::Hold);
}

void ScreenShow()
{
    ShowFrame(HoldChange::Keep);
}

void ScreenRelease()
{
    ShowFrame(HoldChange::Release);
}

int ScreenSave(const char* name)
{
    if (!name)
        return 0;
    std::vector<BYTE> file;
    {
        std::lock_guard<std::recursive_mutex> text(Store.Lock);
        BackBufferHold hold;
        if (!MakeShownFrame())
            return 0;
        RECT client = ClientArea();
        if (client.right <= 0 || client.bottom <= 0)
            return 0;
        if (!Screen.Held) // what the window shows is what a repaint would draw now
            ComposeFrame(&Screen.Shown, client.right, client.bottom);

        BITMAPINFOHEADER header{};
        header.biSize = sizeof header;
        header.biWidth = client.right;
        header.biHeight = client.bottom; // bottom-up, as BMP files are
        header.biPlanes = 1;
        header.biBitCount = 24;
        header.biCompression = BI_RGB;
        const DWORD stride = (static_cast<DWORD>(client.right) * 3 + 3) & ~3u;
        header.biSizeImage = stride * client.bottom;
        void* bits = nullptr;
        GdiOwner<HBITMAP> section(CreateDIBSection(Screen.Shown.Dc, reinterpret_cast<BITMAPINFO*>(&header),
                                                   DIB_RGB_COLORS, &bits, nullptr, 0));
        MemoryDc copy(Screen.Shown.Dc);
        if (!section.Object || !copy.Dc || !bits)
            return 0;
        {
            Selection selected(copy.Dc, section.Object);
            BitBlt(copy.Dc, 0, 0, client.right, client.bottom, Screen.Shown.Dc, 0, 0, SRCCOPY);
            GdiFlush();
        }
        BITMAPFILEHEADER fileHeader{};
        fileHeader.bfType = 0x4D42; // "BM"
        fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
        fileHeader.bfSize = fileHeader.bfOffBits + header.biSizeImage;
        const BYTE* parts[] = {reinterpret_cast<const BYTE*>(&fileHeader), reinterpret_cast<const BYTE*>(&header),
                               static_cast<const BYTE*>(bits)};
        const DWORD sizes[] = {sizeof fileHeader, sizeof header, header.biSizeImage};
        for (int i = 0; i < 3; ++i)
            file.insert(file.end(), parts[i], parts[i] + sizes[i]);
    }
    return WriteWholeFile(name, file) ? 1 : 0;
}

void ConsoleClear()
{
    bool request = false;
    {
        std::lock_guard<std::recursive_mutex> hold(Store.Lock);
        ConsoleClearText();
        Store.Cursor = CellPosition{0, 0};
        Store.Pending = PendingRows{true, true, 0, 0};
        request = !Store.DrawRequested;
        Store.DrawRequested = true;
    }
    if (request)
        PostMessageA(Surface.ConsoleWindow, ConsoleDrawMessage, 0, 0);
}

void ConsoleLocate(LONG column, LONG row)
{
    const LONG lastColumn = TextRowBytes - 2, lastRow = TextRowCount - 1; // cell 254 keeps the row's zero
    std::lock_guard<std::recursive_mutex> hold(Store.Lock);
    Store.Cursor.Column = column < 0 ? 0 : column > lastColumn ? lastColumn : column;
    Store.Cursor.Row = row < 0 ? 0 : row > lastRow ? lastRow : row;
}
