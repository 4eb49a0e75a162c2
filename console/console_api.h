#pragma once
// The console for program code on another thread: start it, print to it,
// read a line from it. Everything that touches the text store is sent to the
// console thread and done there, so program threads never race with it.
#include <windows.h>

#include "runtime/tracked_string.h"

// Starts the console thread and waits for its first paint; false if the
// window did not paint within the time.
bool ConsoleStart(DWORD milliseconds = INFINITE);

// Prints a zero-terminated text (CR LF ends a line, tabs expand). It is
// stored before the call returns and on the window within a frame (16 ms);
// ConsoleFlush waits until it is drawn.
void ConsolePrint(const char* text);
// Draws everything printed so far before it returns.
void ConsoleFlush();
// Colours for what is printed next: a COLORREF, and a COLORREF or -1 for none.
void ConsoleSetColors(COLORREF foreground, LONG background);

// Reads one line from the keyboard, echoed at the cursor; returns it without
// the Enter, as a new string. Waits while another line input runs.
TrackedString ReadLine();

// Messages the console window takes from program threads.
const UINT ConsoleLineMessage = WM_APP + 0x102;    // a line input has started: show the caret
const UINT ConsoleFlushMessage = WM_APP + 0x103;   // draw what printing has stored, now
const UINT ConsoleDrawMessage = WM_APP + 0x104;    // draw it within the frame
