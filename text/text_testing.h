#pragma once
// Test hooks: looking into the text store and the line, and setting them up.
// Not for programs; tests and tools only. Each call takes the store's lock.
#include <windows.h>

#include "text/text_store.h"

struct TextCell {
    BYTE Byte;
    COLORREF Foreground;
    LONG Background; // a COLORREF, or NoBackground
};
TextCell ConsoleCell(LONG row, LONG column);
void ConsoleSetCell(LONG row, LONG column, TextCell cell);
// The row's text up to its first zero byte, copied into text (TextRowBytes bytes).
void ConsoleRowText(LONG row, char* text);
CellPosition ConsoleCursor();
void ConsoleSetCursor(CellPosition cursor);
// Every row empty, cells zero; the cursor stays.
void ConsoleClearText();

// Line input: a line runs from ConsoleBeginLine (what ReadLine does first)
// to Enter, or to ConsoleEndLine.
bool ConsoleBeginLine();
void ConsoleEndLine();
LONG ConsoleInputLength();
// The line's bytes so far (InputBufferBytes bytes, zero-terminated once it ended).
const char* ConsoleInputBuffer();
