#pragma once
// The text store: 101 rows of code page 932 cells, each with its own colours,
// the cursor and the colours of what is printed next. It knows nothing of
// the window: callers pass what they know of it (the client height in
// pixels), and every writer of the store is in this folder.
//
// Threads: any thread prints into the store (program threads directly, the
// console thread for the echo of line input). Every field is read and written
// under the store's lock. A call named ...Locked requires the caller to hold
// it (TextStoreHold); every other call takes it itself. The store's lock
// comes before the back buffer's (the order: runtime/lock.h).
#include <windows.h>

#include "runtime/lock.h"

const int TextRowCount = 101;    // rows 0 to 100
const int TextRowBytes = 255;    // cells per row; the last stays zero
const LONG LastStorableColumn = TextRowBytes - 2; // 253: cell 254 keeps the row's zero
const LONG LastTextRow = TextRowCount - 1;        // 100

struct CellPosition {
    LONG Column;
    LONG Row;
};

struct TextRows {
    BYTE* Text[TextRowCount];
    COLORREF* Foreground[TextRowCount];
    LONG* Background[TextRowCount]; // a COLORREF, or NoBackground
};

// What printing has stored and the window does not show yet.
struct PendingRows {
    bool Any;
    bool All;      // every visible row, as after a scroll or a clear
    LONG First;    // the rows whose cells changed, where they stand now
    LONG Last;     // (none: First > Last, as when the rows only moved up)
    LONG Scrolled; // how many rows up everything moved meanwhile
    bool Cleared;  // every row emptied meanwhile: First and Last say nothing
};

// Holds the store's lock for a scope.
struct TextStoreHold : LockHold {
    TextStoreHold();
};

// The console thread, at its start and end: the rows' blocks (the process
// ends when there is no memory for them) and the first colours.
void TextStoreStart();
void TextStoreEnd();

// Stores text at the cursor in the current colours (tabs expand, CR LF
// breaks the line, double-byte pairs stay whole), then scrolls until the
// cursor row is wholly visible in a client area that high (see
// TextScrollIntoViewLocked); the rows touched are added to the pending ones.
void TextPrint(const char* text, LONG clientHeight);
void TextSetColors(COLORREF foreground, LONG background);
// Every row empty, the cursor at (0, 0), every row pending.
void TextClear();
// The cursor, clamped to the store.
void TextLocate(LONG column, LONG row);
CellPosition TextCursor();

// Scrolls the rows up until the cursor row lies wholly inside a client area
// clientHeight pixels high, or is row 0; true if it scrolled (then every row
// is pending). A client area less than one row high (a minimised window's is
// empty) scrolls nothing: it says nothing of what the window shows once
// restored, and scrolling for it would drop every row above the cursor.
bool TextScrollIntoViewLocked(LONG clientHeight);

// Line input's Backspace: the cursor steps back over that many cells (never
// left of column 0), emptying each.
void TextBackspaceLocked(LONG cells);

// Whether any row waits to be drawn.
bool TextAnyPending();
// The rows waiting to be drawn, taken (none are pending afterwards).
PendingRows TextTakePendingLocked();

// For the drawing of rows (screen/), with the store's lock held.
const TextRows& TextRowsLocked();
// How many times the rows have scrolled since the store started: a layer of
// drawn rows moves its own rows by the difference.
unsigned TextScrollCountLocked();
