#include "support/clipboard.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

namespace {

bool PutOnClipboard(UINT format, const void* data, size_t bytes)
{
    if (!OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    if (data) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
        memcpy(GlobalLock(block), data, bytes);
        GlobalUnlock(block);
        SetClipboardData(format, block);
    }
    CloseClipboard();
    return true;
}

} // namespace

bool PutTextOnClipboard(const std::string* text)
{
    return text ? PutOnClipboard(CF_TEXT, text->c_str(), text->size() + 1) : PutOnClipboard(CF_TEXT, nullptr, 0);
}

bool PutUnicodeOnClipboard(const wchar_t* text)
{
    return PutOnClipboard(CF_UNICODETEXT, text, (wcslen(text) + 1) * sizeof(wchar_t));
}
