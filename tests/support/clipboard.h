#pragma once
// Putting text on the clipboard, as another program would.
#include <string>

// Bytes as CF_TEXT; null empties the clipboard. False if it could not be opened.
bool PutTextOnClipboard(const std::string* text);
// A Unicode text as CF_UNICODETEXT.
bool PutUnicodeOnClipboard(const wchar_t* text);
