#pragma once
// Texts are code page 932 bytes everywhere inside the runtime. Where one
// crosses to the platform it becomes UTF-16 by code page 932 named outright,
// for the W function, so the system's own code page plays no part.
#include <windows.h>

#include <string>

const UINT TextCodePage = 932;

// A code page 932 text (length bytes, or up to its zero) as UTF-16.
std::wstring WideFromText(const char* text, int length = -1);
// UTF-16 as code page 932 bytes; a character with no code page 932 form is
// left out, but for the wave dash and its kin (U+301C, U+2016, U+2212, U+00A2,
// U+00A3, U+00AC), which become Windows' own (0x8160, 0x8161, 0x817C, 0x8191,
// 0x8192, 0x81CA).
std::string TextFromWide(const wchar_t* text, int length = -1);
// A message box of code page 932 texts, through MessageBoxW.
int ShowMessageBox(HWND owner, const char* text, const char* title, UINT type);
// Whether the byte opens a double-byte character of code page 932.
inline bool IsLeadByte(BYTE value)
{
    return IsDBCSLeadByteEx(TextCodePage, value) != 0;
}
