// The screen as a file: what the window shows, graphics and rows.
#include <prompt/screen.h>

#include <vector>

#include "runtime/code_page.h"
#include "runtime/dib.h"
#include "runtime/owners.h"
#include "screen/frame.h"

namespace {

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

// A 24-bit bottom-up BMP file of the image's top-left width x height.
bool BmpFileOf(HDC image, LONG width, LONG height, std::vector<BYTE>* file)
{
    void* bits = nullptr;
    GdiOwner<HBITMAP> section(MakeDibSection(image, width, height, &bits, 24, true));
    MemoryDc copy(image);
    if (!section.Object || !copy.Dc)
        return false;
    {
        Selection selected(copy.Dc, section.Object);
        BitBlt(copy.Dc, 0, 0, width, height, image, 0, 0, SRCCOPY);
        GdiFlush();
    }
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height; // bottom-up, as BMP files are
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = ((static_cast<DWORD>(width) * 3 + 3) & ~3u) * height;
    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = 0x4D42; // "BM"
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = fileHeader.bfOffBits + header.biSizeImage;
    const BYTE* parts[] = {reinterpret_cast<const BYTE*>(&fileHeader), reinterpret_cast<const BYTE*>(&header),
                           static_cast<const BYTE*>(bits)};
    const DWORD sizes[] = {sizeof fileHeader, sizeof header, header.biSizeImage};
    for (int i = 0; i < 3; ++i)
        file->insert(file->end(), parts[i], parts[i] + sizes[i]);
    return true;
}

} // namespace

int ScreenSave(const char* name)
{
    if (!name)
        return 0;
    std::vector<BYTE> file;
    {
        TextStoreHold text;
        BackBufferHold hold;
        RECT client = ClientArea();
        if (client.right <= 0 || client.bottom <= 0)
            return 0;
        // What the window shows is what a repaint would draw now.
        TextScrollIntoViewLocked(client.bottom);
        const OffscreenImage* shown = ShownFrameLocked(client);
        if (!shown || !BmpFileOf(shown->Dc, client.right, client.bottom, &file))
            return 0;
    }
    return WriteWholeFile(name, file) ? 1 : 0;
}
