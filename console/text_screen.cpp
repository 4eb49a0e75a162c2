#include "console/console.h"

#include "runtime/code_page.h"
#include "runtime/fatal.h"
#include "runtime/owners.h"

// The text lives only here, never in the back buffer: every repaint draws it
// afresh over the graphics. The store keeps each row terminated: bytes past
// the last storable column are dropped, and a line break below the last row
// scrolls the store at once.

namespace {

const LONG LastStorableColumn = TextRowBytes - 2; // 253: cell 254 keeps the row's zero
const LONG LastRow = TextRowCount - 1;            // 100

// Every call below runs with the store's lock held.
TextStore& Store = Console.Text;
const ConsoleSurface& Surface = Console.Surface;

void* RowBlock(DWORD bytes)
{
    void* block = AllocBlock(bytes);
    if (!block)
        FatalOutOfMemory(); // a row without its blocks cannot be drawn or stored into
    return block;
}

// Row 0 leaves, every other row moves up by reference, row 100 starts empty.
void ScrollOneRow()
{
    TextRows& rows = Store.TextScreen;
    FreeBlock(rows.Text[0]);
    FreeBlock(rows.Foreground[0]);
    FreeBlock(rows.Background[0]);
    for (int i = 0; i < LastRow; ++i) {
        rows.Text[i] = rows.Text[i + 1];
        rows.Foreground[i] = rows.Foreground[i + 1];
        rows.Background[i] = rows.Background[i + 1];
    }
    GiveRowNewBlocks(LastRow);
}

void StoreByte(BYTE byte, bool withColours)
{
    CellPosition& cursor = Store.Cursor;
    TextRows& rows = Store.TextScreen;
    if (cursor.Column <= LastStorableColumn) {
        rows.Text[cursor.Row][cursor.Column] = byte;
        if (withColours) {
            rows.Foreground[cursor.Row][cursor.Column] = Store.ColorPair.Foreground;
            rows.Background[cursor.Row][cursor.Column] = Store.ColorPair.Background;
        }
        cursor.Column += 1;
    }
}

// The run of cells from j that share the lead cells' colours, in bytes; a
// double-byte pair counts as one character with its lead cell's colours, and
// a lead byte at the very end of the text stands alone.
LONG RunLength(LONG row, LONG j, LONG n)
{
    const TextRows& rows = Store.TextScreen;
    const BYTE* text = rows.Text[row];
    COLORREF foreground = rows.Foreground[row][j];
    LONG background = rows.Background[row][j];
    LONG k = j;
    while (k < n) {
        if (rows.Foreground[row][k] != foreground || rows.Background[row][k] != background)
            break;
        bool lead = IsLeadByte(text[k]);
        if (lead && k + 1 >= n)
            return k == j ? 1 : k - j; // the lone lead byte is a run of its own
        k += lead ? 2 : 1;
    }
    return k - j;
}

// A run of code page 932 bytes as UTF-16 for ExtTextOutW, with one advance
// of CellWidth per byte: a pair's character advances two cells, and no glyph
// can drift. Returns the number of UTF-16 units.
UINT WideRun(const BYTE* bytes, LONG length, wchar_t* wide, INT* advances)
{
    UINT units = 0;
    for (LONG k = 0; k < length;) {
        LONG size = IsLeadByte(bytes[k]) && k + 1 < length ? 2 : 1;
        int made = MultiByteToWideChar(TextCodePage, 0, reinterpret_cast<const char*>(bytes + k), size,
                                       wide + units, 2);
        if (made <= 0) { // no character: the cells stay as the background shows them
            wide[units] = L' ';
            made = 1;
        }
        advances[units] = size * Surface.CellWidth;
        for (int extra = 1; extra < made; ++extra)
            advances[units + extra] = 0;
        units += made;
        k += size;
    }
    return units;
}

void DrawRowText(HDC dc, LONG row)
{
    DrawRowTextAt(dc, row, row * Surface.LineHeight);
}

// The row's whole strip comes back from the back buffer before its text is
// drawn: transparent glyphs must never land on what the window held before.
void RestoreRowStrip(HDC dc, LONG row, LONG clientWidth)
{
    LONG top = row * Surface.LineHeight;
    BackBufferHold hold;
    BitBlt(dc, 0, top, clientWidth, Surface.LineHeight, Surface.BackBuffer.Dc, 0, top, SRCCOPY);
}

// Scrolls the store until the cursor row is wholly visible (or row 0); true if it did.
bool ScrollCursorIntoView(LONG clientBottom)
{
    bool scrolled = false;
    while ((Store.Cursor.Row + 1) * Surface.LineHeight > clientBottom && Store.Cursor.Row > 0) {
        ScrollOneRow();
        Store.Cursor.Row -= 1;
        scrolled = true;
    }
    return scrolled;
}

const UINT_PTR DrawTimer = 0x7072; // private to the console window
const DWORD FrameMilliseconds = 16;

void AddPending(LONG first, LONG last, bool all)
{
    PendingRows& pending = Store.Pending;
    if (!pending.Any) {
        pending = PendingRows{true, all, first, last};
        return;
    }
    pending.All = pending.All || all;
    pending.First = first < pending.First ? first : pending.First;
    pending.Last = last > pending.Last ? last : pending.Last;
}

// Stores text at the cursor; the rows it touched, or all after a scroll.
// A cursor put past the end of its row's text (ConsoleLocate): the cells
// between become transparent spaces, so that what is printed there is drawn
// (a row is drawn up to its first zero byte) and the graphics show around it.
void FillGapBeforeCursor()
{
    const CellPosition& cursor = Store.Cursor;
    TextRows& rows = Store.TextScreen;
    for (LONG c = lstrlenA(reinterpret_cast<const char*>(rows.Text[cursor.Row])); c < cursor.Column; ++c) {
        rows.Text[cursor.Row][c] = ' ';
        rows.Foreground[cursor.Row][c] = Store.ColorPair.Foreground;
        rows.Background[cursor.Row][c] = -1;
    }
}

PendingRows StoreText(const BYTE* bytes)
{
    CellPosition& cursor = Store.Cursor;
    LONG startRow = cursor.Row;
    bool scrolled = false;
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
            if (cursor.Row == LastRow) {
                ScrollOneRow();
                scrolled = true;
            } else {
                cursor.Row += 1;
            }
        } else {
            StoreByte(byte, true);
        }
    }
    return PendingRows{true, scrolled, startRow, cursor.Row};
}

} // namespace

// A row's text, one ExtTextOutW per run of cells that share both colours,
// over what the caller put beneath it.
void DrawRowTextAt(HDC dc, LONG row, LONG top)
{
    const TextRows& rows = Store.TextScreen;
    const BYTE* chars = rows.Text[row];
    LONG n = lstrlenA(reinterpret_cast<const char*>(chars));
    wchar_t wide[2 * TextRowBytes];
    INT advances[2 * TextRowBytes];
    for (LONG j = 0; j < n;) {
        LONG length = RunLength(row, j, n);
        SetTextColor(dc, rows.Foreground[row][j]);
        LONG background = rows.Background[row][j];
        if (background == -1) {
            SetBkMode(dc, TRANSPARENT);
        } else {
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, static_cast<COLORREF>(background));
        }
        UINT units = WideRun(chars + j, length, wide, advances);
        ExtTextOutW(dc, j * Surface.CellWidth, top, 0, nullptr, wide, units, advances);
        j += length;
    }
}

bool ScrollRowsIntoView()
{
    std::lock_guard<std::recursive_mutex> hold(Store.Lock);
    RECT client{};
    GetClientRect(Surface.ConsoleWindow, &client);
    return ScrollCursorIntoView(client.bottom);
}

void GiveRowNewBlocks(int r)
{
    TextRows& rows = Store.TextScreen;
    rows.Text[r] = static_cast<BYTE*>(RowBlock(TextRowBytes));
    rows.Foreground[r] = static_cast<COLORREF*>(RowBlock(TextRowBytes * sizeof(COLORREF)));
    rows.Background[r] = static_cast<LONG*>(RowBlock(TextRowBytes * sizeof(LONG)));
}

void PrintText(TrackedString text)
{
    std::lock_guard<std::recursive_mutex> hold(Store.Lock);
    PendingRows touched = StoreText(reinterpret_cast<const BYTE*>(text));
    ReleaseString(text);
    AddPending(touched.First, touched.Last, touched.All);
    DrawPendingRows();
}

void PrintFromProgram(const char* text)
{
    bool request = false;
    {
        std::lock_guard<std::recursive_mutex> hold(Store.Lock);
        PendingRows touched = StoreText(reinterpret_cast<const BYTE*>(text));
        RECT client{};
        GetClientRect(Surface.ConsoleWindow, &client);
        bool scrolled = ScrollCursorIntoView(client.bottom);
        AddPending(scrolled ? 0 : touched.First, touched.Last, touched.All || scrolled);
        request = !Store.DrawRequested;
        Store.DrawRequested = true;
    }
    if (request)
        PostMessageW(Surface.ConsoleWindow, ConsoleDrawMessage, 0, 0);
}

void SetColorsFromProgram(COLORREF foreground, LONG background)
{
    std::lock_guard<std::recursive_mutex> hold(Store.Lock);
    Store.ColorPair = TextColors{foreground, background};
}

void DrawSoon()
{
    std::lock_guard<std::recursive_mutex> hold(Store.Lock);
    Store.DrawRequested = false;
    if (GetTickCount() - Store.LastDrawTick >= FrameMilliseconds)
        DrawPendingRows();
    else
        SetTimer(Surface.ConsoleWindow, DrawTimer, FrameMilliseconds, nullptr);
}

void DrawPendingRows()
{
    std::lock_guard<std::recursive_mutex> hold(Store.Lock);
    KillTimer(Surface.ConsoleWindow, DrawTimer);
    if (!Store.Pending.Any || RowsHeld())
        return; // while held, ScreenShow draws them
    PendingRows rows = Store.Pending;
    Store.Pending = PendingRows{};
    {
        WindowDc dc(Surface.ConsoleWindow);
        if (!rows.All || !PaintFrame(dc.Dc)) // every row: the whole frame composed, as a repaint
            RenderRows(dc.Dc, rows.All ? -1 : rows.First, rows.Last);
    }
    Store.LastDrawTick = GetTickCount();
}

bool IsDrawTimer(WPARAM timer)
{
    return timer == DrawTimer;
}

void RenderRows(HDC dc, LONG first, LONG last)
{
    RenderRowsOver(dc, first, last, false);
}

void RenderRowsOver(HDC dc, LONG first, LONG last, bool backgroundRestored)
{
    std::lock_guard<std::recursive_mutex> hold(Store.Lock);
    Selection font(dc, Surface.ConsoleFont);
    RECT client{};
    GetClientRect(Surface.ConsoleWindow, &client);
    if (ScrollCursorIntoView(client.bottom))
        first = -1;

    // Every row redrawn: one block copy for the whole client, not one per row.
    if (first == -1 && !backgroundRestored) {
        BackBufferHold backBuffer;
        BitBlt(dc, 0, 0, client.right, client.bottom, Surface.BackBuffer.Dc, 0, 0, SRCCOPY);
    }
    for (LONG i = 0; i * Surface.LineHeight < client.bottom && i <= LastRow; ++i) {
        if (first != -1 && (i < first || i > last))
            continue;
        if (first != -1 && !backgroundRestored)
            RestoreRowStrip(dc, i, client.right);
        DrawRowText(dc, i);
    }
}

TextCell ConsoleCell(LONG row, LONG column)
{
    std::lock_guard<std::recursive_mutex> hold(Store.Lock);
    const TextRows& rows = Store.TextScreen;
    return TextCell{rows.Text[row][column], rows.Foreground[row][column], rows.Background[row][column]};
}

void ConsoleSetCell(LONG row, LONG column, TextCell cell)
{
    std::lock_guard<std::recursive_mutex> hold(Store.Lock);
    TextRows& rows = Store.TextScreen;
    rows.Text[row][column] = cell.Byte;
    rows.Foreground[row][column] = cell.Foreground;
    rows.Background[row][column] = cell.Background;
}

void ConsoleRowText(LONG row, char* text)
{
    std::lock_guard<std::recursive_mutex> hold(Store.Lock);
    lstrcpynA(text, reinterpret_cast<const char*>(Store.TextScreen.Text[row]), TextRowBytes);
}

CellPosition ConsoleCursor()
{
    std::lock_guard<std::recursive_mutex> hold(Store.Lock);
    return Store.Cursor;
}

void ConsoleSetCursor(CellPosition cursor)
{
    std::lock_guard<std::recursive_mutex> hold(Store.Lock);
    Store.Cursor = cursor;
}

void ConsoleClearText()
{
    std::lock_guard<std::recursive_mutex> hold(Store.Lock);
    TextRows& rows = Store.TextScreen;
    for (int r = 0; r < TextRowCount; ++r) {
        ZeroMemory(rows.Text[r], TextRowBytes);
        ZeroMemory(rows.Foreground[r], TextRowBytes * sizeof(COLORREF));
        ZeroMemory(rows.Background[r], TextRowBytes * sizeof(LONG));
    }
}
