#pragma once
// The console: a window on a thread of its own with rows of coloured text
// over a screen-sized back buffer, and line input. Every call here may be made
// from any thread but the console's own.
#include <windows.h>

#include <prompt/strings.h>

// A background colour that leaves what is behind the text (pictures) visible.
const LONG NoBackground = -1;

// Starts the console thread and waits for the window's first paint; false if
// it did not paint within the time, or at once if no thread could be made. There is one console a process: a later
// call only waits for it.
bool ConsoleStart(DWORD milliseconds = INFINITE);

// The console window, for the program's own platform calls (size, message
// boxes); 0 before ConsoleStart.
HWND ConsoleWindowHandle();
// Sets the window's caption from code page 932 text, right on a system of any
// language (SetWindowTextA would read it in the system's code page).
void ConsoleSetCaption(const char* text);

// Prints a zero-terminated text at the cursor (CR LF ends a line, tabs
// expand, Shift_JIS pairs stay whole). It is stored before the call returns
// and on the window within a frame (16 ms); the text is not consumed.
void ConsolePrint(const char* text);
// Draws everything printed so far before it returns.
void ConsoleFlush();
// Every row empty and the cursor at (0, 0); the window shows the graphics
// (within a frame, or at the next ScreenShow while held).
void ConsoleClear();
// Moves the cursor, clamped to the store: columns 0 to 253, rows 0 to 100.
void ConsoleLocate(LONG column, LONG row);
// Colours for what is printed next: a COLORREF, and a COLORREF or NoBackground.
void ConsoleSetColors(COLORREF foreground, LONG background);

// Reads one line from the keyboard, echoed at the cursor; returns it without
// the Enter, as a new string the caller releases. Waits while another line
// input runs.
TrackedString ReadLine();
