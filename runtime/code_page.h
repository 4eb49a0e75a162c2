#pragma once
// Texts are code page 932 bytes everywhere inside the runtime. Where one
// crosses to the platform it becomes UTF-16 by code page 932 named outright,
// for the W function, so the system's own code page plays no part.
#include <windows.h>

#include <string>

const UINT TextCodePage = 932;

// A code page 932 text (length bytes, or up to its zero) as UTF-16.
std::wstring WideFromText(const char* text, int length = -1);
// UTF-16 as code page 932 bytes; a character with no code page 932 form is left out.
std::string TextFromWide(const wchar_t* text, int length = -1);
// A message box of code page 932 texts, through MessageBoxW.
int ShowMessageBox(HWND owner, const char* text, const char* title, UINT type);
// Whether the byte opens a double-byte character of code page 932.
inline bool IsLeadByte(BYTE value)
{
    return IsDBCSLeadByteEx(TextCodePage, value) != 0;
}
