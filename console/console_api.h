#pragma once
// What program threads ask of the console thread. Everything that touches the
// window is sent there and done there.
#include <windows.h>

#include <prompt/console.h>

// Messages the console window takes from program threads.
const UINT ConsoleLineMessage = WM_APP + 0x102;    // a line input has started: show the caret
const UINT ConsoleFlushMessage = WM_APP + 0x103;   // draw what printing has stored, now
const UINT ConsoleDrawMessage = WM_APP + 0x104;    // draw it within the frame
