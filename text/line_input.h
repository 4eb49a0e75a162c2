#pragma once
// The line being read: its bytes, typed and pasted, kept within 255 bytes.
// A reader starts a line by turning the length from -1 to 0 (LineBegin);
// from then on only the console thread writes the line, until Enter sets the
// length back to -1; then the reader takes the line.
#include <windows.h>

#include "runtime/lock.h"
#include "runtime/tracked_string.h"

const int InputBufferBytes = 256;

// Characters with a meaning of their own in a line (WM_CHAR codes).
const WPARAM BackspaceCode = 8;
const WPARAM EnterCode = 13;
const WPARAM PasteCode = 22; // Ctrl+V

// One reader at a time, from the start of its line until it has taken the text.
struct LineReaderHold : LockHold {
    LineReaderHold();
};

bool LineBegin();   // false while another line runs
void LineEnd();     // the line given up, unfinished (tests)
bool LineRunning();
LONG LineLength();  // -1 while no line runs
// The line's bytes (InputBufferBytes, zero-terminated once it ended).
const char* LineBuffer();

// On the console thread. A typed character (Backspace and Enter included)
// into the line, its echo into echo; false when nothing is to be echoed.
bool LineTakeCharacter(WPARAM code, TrackedString* echo);
// Pasted code page 932 text: as much as fits, whole characters only, echoed.
void LineTakePasted(const BYTE* text, LONG length, TrackedString* echo);
