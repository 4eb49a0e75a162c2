#pragma once
// Putting text on the clipboard, as another program would.
#include <string>

#include <windows.h>

// Bytes as CF_TEXT, put there in a locale (CF_LOCALE; Japanese unless told):
// null empties the clipboard. False if it could not be opened.
bool PutTextOnClipboard(const std::string* text, unsigned long locale = 0x0411);
// Holds the clipboard open for that long, as clipboard history does; sets
// opened once it holds it. For a thread of its own.
void HoldClipboardOpen(DWORD milliseconds, HANDLE opened);
// A Unicode text as CF_UNICODETEXT.
bool PutUnicodeOnClipboard(const wchar_t* text);
