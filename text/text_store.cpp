#include "text/text_store.h"

#include <prompt/console.h>

#include "runtime/fatal.h"
#include "runtime/tracked_string.h"
#include "text/text_font.h"
#include "text/text_testing.h"

// The text lives only here, never in the back buffer: every repaint draws it
// afresh over the graphics. The store keeps each row terminated: bytes past
// the last storable column are dropped, and a line break below the last row
// scrolls the store at once.

namespace {

struct TextColors {
    COLORREF Foreground;
    LONG Background;
};

// Every field under Lock, from any thread.
struct TextStore {
    Lock Lock;
    TextRows Rows;          // blocks: console thread at its start and end; scrolls move them
    CellPosition Cursor;
    TextColors ColorPair;
    PendingRows Pending;
    unsigned ScrollCount;   // scrolls since the start
};

TextStore Store;

void* RowBlock(DWORD bytes)
{
    void* block = AllocBlock(bytes);
    if (!block)
        FatalOutOfMemory(); // a row without its blocks cannot be drawn or stored into
    return block;
}

void GiveRowNewBlocks(int r)
{
    TextRows& rows = Store.Rows;
    rows.Text[r] = static_cast<BYTE*>(RowBlock(TextRowBytes));
    rows.Foreground[r] = static_cast<COLORREF*>(RowBlock(TextRowBytes * sizeof(COLORREF)));
    rows.Background[r] = static_cast<LONG*>(RowBlock(TextRowBytes * sizeof(LONG)));
}

void FreeRowBlocks(int r)
{
    TextRows& rows = Store.Rows;
    FreeBlock(rows.Text[r]);
    FreeBlock(rows.Foreground[r]);
    FreeBlock(rows.Background[r]);
}

void EmptyEveryRow()
{
    TextRows& rows = Store.Rows;
    for (int r = 0; r < TextRowCount; ++r) {
        ZeroMemory(rows.Text[r], TextRowBytes);
        ZeroMemory(rows.Foreground[r], TextRowBytes * sizeof(COLORREF));
        ZeroMemory(rows.Background[r], TextRowBytes * sizeof(LONG));
    }
}

void AddPending(LONG first, LONG last, bool all)
{
    PendingRows& pending = Store.Pending;
    if (!pending.Any) {
        pending = PendingRows{true, all, first, last, 0, false};
        return;
    }
    pending.All = pending.All || all;
    if (pending.First > pending.Last) {
        pending.First = first;
        pending.Last = last;
        return;
    }
    pending.First = first < pending.First ? first : pending.First;
    pending.Last = last > pending.Last ? last : pending.Last;
}

// Every row emptied: what was pending says nothing of the window any more.
void PendingCleared()
{
    AddPending(0, 0, true);
    Store.Pending.Cleared = true;
}

// The rows pending move up with their cells: a window that shifts its
// pixels by the rows scrolled then has only those rows to draw again.
void PendingScrolledOneRow()
{
    PendingRows& pending = Store.Pending;
    if (!pending.Any)
        pending = PendingRows{true, true, 1, 0, 0, false};
    pending.All = true;
    pending.Scrolled += 1;
    pending.First = pending.First > 0 ? pending.First - 1 : 0;
    pending.Last -= 1;
}

// Row 0 leaves, every other row moves up by reference, row 100 starts empty.
void ScrollOneRow()
{
    TextRows& rows = Store.Rows;
    FreeRowBlocks(0);
    for (int i = 0; i < LastTextRow; ++i) {
        rows.Text[i] = rows.Text[i + 1];
        rows.Foreground[i] = rows.Foreground[i + 1];
        rows.Background[i] = rows.Background[i + 1];
    }
    GiveRowNewBlocks(LastTextRow);
    Store.ScrollCount += 1;
    PendingScrolledOneRow();
}

void StoreByte(BYTE byte, bool withColours)
{
    CellPosition& cursor = Store.Cursor;
    TextRows& rows = Store.Rows;
    if (cursor.Column <= LastStorableColumn) {
        rows.Text[cursor.Row][cursor.Column] = byte;
        if (withColours) {
            rows.Foreground[cursor.Row][cursor.Column] = Store.ColorPair.Foreground;
            rows.Background[cursor.Row][cursor.Column] = Store.ColorPair.Background;
        }
        cursor.Column += 1;
    }
}

// A cursor put past the end of its row's text (ConsoleLocate): the cells
// between become transparent spaces, so that what is printed there is drawn
// (a row is drawn up to its first zero byte) and the graphics show around it.
void FillGapBeforeCursor()
{
    const CellPosition& cursor = Store.Cursor;
    TextRows& rows = Store.Rows;
    for (LONG c = lstrlenA(reinterpret_cast<const char*>(rows.Text[cursor.Row])); c < cursor.Column; ++c) {
        rows.Text[cursor.Row][c] = ' ';
        rows.Foreground[cursor.Row][c] = Store.ColorPair.Foreground;
        rows.Background[cursor.Row][c] = NoBackground;
    }
}

// Stores text at the cursor; the rows it touched are pending, all of them after a scroll.
void StoreText(const BYTE* bytes)
{
    CellPosition& cursor = Store.Cursor;
    LONG startRow = cursor.Row;
    if (bytes[0] != 0)
        FillGapBeforeCursor();
    for (LONG i = 0; bytes[i] != 0; ++i) {
        BYTE byte = bytes[i];
        if (byte == '\t') {
            LONG n = 8 - cursor.Column % 8;
            for (LONG k = 0; k < n; ++k)
                StoreByte(' ', false);
            if (cursor.Column > LastStorableColumn)
                cursor.Column = LastStorableColumn + 1;
        } else if (byte == '\r' && bytes[i + 1] == '\n') {
            ++i;
            cursor.Column = 0;
            if (cursor.Row == LastTextRow) {
                ScrollOneRow();
                startRow = startRow > 0 ? startRow - 1 : 0;
            } else {
                cursor.Row += 1;
            }
        } else {
            StoreByte(byte, true);
        }
    }
    AddPending(startRow, cursor.Row, false);
}

} // namespace

TextStoreHold::TextStoreHold() : LockHold(Store.Lock) {}

void TextStoreStart()
{
    TextStoreHold hold;
    for (int r = 0; r < TextRowCount; ++r)
        GiveRowNewBlocks(r);
    Store.ColorPair = TextColors{0xFFFFFF, 0};
}

void TextStoreEnd()
{
    TextStoreHold hold;
    for (int r = 0; r < TextRowCount; ++r)
        FreeRowBlocks(r);
}

void TextPrint(const char* text, LONG clientHeight)
{
    TextStoreHold hold;
    StoreText(reinterpret_cast<const BYTE*>(text));
    TextScrollIntoViewLocked(clientHeight);
}

void TextSetColors(COLORREF foreground, LONG background)
{
    TextStoreHold hold;
    Store.ColorPair = TextColors{foreground, background};
}

void TextClear()
{
    TextStoreHold hold;
    EmptyEveryRow();
    Store.Cursor = CellPosition{0, 0};
    PendingCleared();
}

void TextLocate(LONG column, LONG row)
{
    TextStoreHold hold;
    Store.Cursor.Column = column < 0 ? 0 : column > LastStorableColumn ? LastStorableColumn : column;
    Store.Cursor.Row = row < 0 ? 0 : row > LastTextRow ? LastTextRow : row;
}

CellPosition TextCursor()
{
    TextStoreHold hold;
    return Store.Cursor;
}

bool TextScrollIntoViewLocked(LONG clientHeight)
{
    const LONG lineHeight = ConsoleMetrics().LineHeight;
    if (clientHeight < lineHeight)
        return false; // minimised, or shorter than a line: no rows would be left to show
    bool scrolled = false;
    while ((Store.Cursor.Row + 1) * lineHeight > clientHeight && Store.Cursor.Row > 0) {
        ScrollOneRow();
        Store.Cursor.Row -= 1;
        scrolled = true;
    }
    return scrolled;
}

void TextBackspaceLocked(LONG cells)
{
    CellPosition& cursor = Store.Cursor;
    for (LONG i = 0; i < cells && cursor.Column > 0; ++i) {
        cursor.Column -= 1;
        Store.Rows.Text[cursor.Row][cursor.Column] = 0;
    }
    AddPending(cursor.Row, cursor.Row, false);
}

bool TextAnyPending()
{
    TextStoreHold hold;
    return Store.Pending.Any;
}

PendingRows TextTakePendingLocked()
{
    PendingRows pending = Store.Pending;
    Store.Pending = PendingRows{};
    return pending;
}

const TextRows& TextRowsLocked()
{
    return Store.Rows;
}

unsigned TextScrollCountLocked()
{
    return Store.ScrollCount;
}

// Test hooks (text/text_testing.h).

TextCell ConsoleCell(LONG row, LONG column)
{
    TextStoreHold hold;
    const TextRows& rows = Store.Rows;
    return TextCell{rows.Text[row][column], rows.Foreground[row][column], rows.Background[row][column]};
}

void ConsoleSetCell(LONG row, LONG column, TextCell cell)
{
    TextStoreHold hold;
    TextRows& rows = Store.Rows;
    rows.Text[row][column] = cell.Byte;
    rows.Foreground[row][column] = cell.Foreground;
    rows.Background[row][column] = cell.Background;
}

void ConsoleRowText(LONG row, char* text)
{
    TextStoreHold hold;
    lstrcpynA(text, reinterpret_cast<const char*>(Store.Rows.Text[row]), TextRowBytes);
}

CellPosition ConsoleCursor()
{
    return TextCursor();
}

void ConsoleSetCursor(CellPosition cursor)
{
    TextStoreHold hold;
    Store.Cursor = cursor;
}

void ConsoleClearText()
{
    TextStoreHold hold;
    EmptyEveryRow();
    PendingCleared();
}
