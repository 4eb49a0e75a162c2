#include "support/clipboard.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

namespace {

void SetData(UINT format, const void* data, size_t bytes)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(block), data, bytes);
    GlobalUnlock(block);
    SetClipboardData(format, block);
}

bool PutOnClipboard(UINT format, const void* data, size_t bytes, LCID locale = 0)
{
    if (!OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    if (data)
        SetData(format, data, bytes);
    if (locale)
        SetData(CF_LOCALE, &locale, sizeof locale);
    CloseClipboard();
    return true;
}

} // namespace

bool PutTextOnClipboard(const std::string* text, unsigned long locale)
{
    return text ? PutOnClipboard(CF_TEXT, text->c_str(), text->size() + 1, locale) : PutOnClipboard(CF_TEXT, nullptr, 0);
}

void HoldClipboardOpen(DWORD milliseconds, HANDLE opened)
{
    if (OpenClipboard(nullptr)) {
        SetEvent(opened);
        Sleep(milliseconds);
        CloseClipboard();
    }
}

bool PutUnicodeOnClipboard(const wchar_t* text)
{
    return PutOnClipboard(CF_UNICODETEXT, text, (wcslen(text) + 1) * sizeof(wchar_t));
}
