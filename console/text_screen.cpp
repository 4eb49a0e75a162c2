#include "console/console.h"

#include "console/console_api.h"

// The text lives only here, never in the back buffer: every repaint draws it
// afresh over the graphics. The store keeps each row terminated: bytes past
// the last storable column are dropped, and a line break below the last row
// scrolls the store at once.

namespace {

const LONG LastStorableColumn = TextRowBytes - 2; // 253: cell 254 keeps the row's zero
const LONG LastRow = TextRowCount - 1;            // 100

void GiveRowNewBlocks(int r)
{
    Console.TextScreen.Text[r] = static_cast<BYTE*>(AllocBlock(TextRowBytes));
    Console.TextScreen.Foreground[r] = static_cast<COLORREF*>(AllocBlock(TextRowBytes * sizeof(COLORREF)));
    Console.TextScreen.Background[r] = static_cast<LONG*>(AllocBlock(TextRowBytes * sizeof(LONG)));
}

// Row 0 leaves, every other row moves up by reference, row 100 starts empty.
void ScrollOneRow()
{
    TextRows& rows = Console.TextScreen;
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
    CellPosition& cursor = Console.Cursor;
    if (cursor.Column <= LastStorableColumn) {
        Console.TextScreen.Text[cursor.Row][cursor.Column] = byte;
        if (withColours) {
            Console.TextScreen.Foreground[cursor.Row][cursor.Column] = Console.ColorPair.Foreground;
            Console.TextScreen.Background[cursor.Row][cursor.Column] = Console.ColorPair.Background;
        }
        cursor.Column += 1;
    }
}

// The run of cells from j that share the lead cells' colours, in bytes; a
// double-byte pair counts as one character with its lead cell's colours, and
// a lead byte at the very end of the text stands alone.
LONG RunLength(LONG row, LONG j, LONG n)
{
    const BYTE* text = Console.TextScreen.Text[row];
    COLORREF foreground = Console.TextScreen.Foreground[row][j];
    LONG background = Console.TextScreen.Background[row][j];
    LONG k = j;
    while (k < n) {
        if (Console.TextScreen.Foreground[row][k] != foreground || Console.TextScreen.Background[row][k] != background)
            break;
        bool lead = IsDBCSLeadByte(text[k]) != 0;
        if (lead && k + 1 >= n)
            return k == j ? 1 : k - j; // the lone lead byte is a run of its own
        k += lead ? 2 : 1;
    }
    return k - j;
}

// Every character at its own cell: one advance of CellWidth per byte, so that
// a pair advances two cells and no glyph can drift.
const INT* CellAdvances()
{
    static INT advances[TextRowBytes];
    if (advances[0] != Console.CellWidth) // filled once, not on every draw
        for (INT& advance : advances)
            advance = Console.CellWidth;
    return advances;
}

// A row's text, one ExtTextOutA per run of cells that share both colours,
// over a strip that the caller has restored from the back buffer.
void DrawRowText(HDC dc, LONG row)
{
    const char* chars = reinterpret_cast<const char*>(Console.TextScreen.Text[row]);
    LONG n = lstrlenA(chars);
    LONG top = row * Console.LineHeight;
    const INT* advances = CellAdvances();
    for (LONG j = 0; j < n;) {
        LONG length = RunLength(row, j, n);
        SetTextColor(dc, Console.TextScreen.Foreground[row][j]);
        LONG background = Console.TextScreen.Background[row][j];
        if (background == -1) {
            SetBkMode(dc, TRANSPARENT);
        } else {
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, static_cast<COLORREF>(background));
        }
        ExtTextOutA(dc, j * Console.CellWidth, top, 0, nullptr, chars + j, static_cast<UINT>(length),
                    const_cast<INT*>(advances));
        j += length;
    }
}

// The row's whole strip comes back from the back buffer before its text is
// drawn: transparent glyphs must never land on what the window held before.
void RestoreRowStrip(HDC dc, LONG row, LONG clientWidth)
{
    LONG top = row * Console.LineHeight;
    BitBlt(dc, 0, top, clientWidth, Console.LineHeight, Console.BackBuffer.Dc, 0, top, SRCCOPY);
}

// Scrolls the store until the cursor row is wholly visible (or row 0); true if it did.
bool ScrollCursorIntoView(LONG clientBottom)
{
    bool scrolled = false;
    while ((Console.Cursor.Row + 1) * Console.LineHeight > clientBottom && Console.Cursor.Row > 0) {
        ScrollOneRow();
        Console.Cursor.Row -= 1;
        scrolled = true;
    }
    return scrolled;
}

// Rows stored by program threads' prints and not yet drawn.
struct PendingRows {
    bool Any;
    bool All;
    LONG First;
    LONG Last;
};
PendingRows Pending;
DWORD LastDrawTick;
bool DrawRequested; // a draw message is on its way to the console thread
const UINT_PTR DrawTimer = 0x7072; // private to the console window
const DWORD FrameMilliseconds = 16;

void AddPending(LONG first, LONG last, bool all)
{
    if (!Pending.Any) {
        Pending = PendingRows{true, all, first, last};
        return;
    }
    Pending.All = Pending.All || all;
    Pending.First = first < Pending.First ? first : Pending.First;
    Pending.Last = last > Pending.Last ? last : Pending.Last;
}

// Stores text at the cursor; the rows it touched, or all after a scroll.
PendingRows StoreText(const BYTE* bytes)
{
    LONG startRow = Console.Cursor.Row;
    bool scrolled = false;
    for (LONG i = 0; bytes[i] != 0; ++i) {
        BYTE byte = bytes[i];
        if (byte == '\t') {
            LONG n = 8 - Console.Cursor.Column % 8;
            for (LONG k = 0; k < n; ++k)
                StoreByte(' ', false);
            if (Console.Cursor.Column > LastStorableColumn)
                Console.Cursor.Column = LastStorableColumn + 1;
        } else if (byte == '\r' && bytes[i + 1] == '\n') {
            ++i;
            Console.Cursor.Column = 0;
            if (Console.Cursor.Row == LastRow) {
                ScrollOneRow();
                scrolled = true;
            } else {
                Console.Cursor.Row += 1;
            }
        } else {
            StoreByte(byte, true);
        }
    }
    return PendingRows{true, scrolled, startRow, Console.Cursor.Row};
}

} // namespace

std::recursive_mutex& TextStoreLock()
{
    static std::recursive_mutex lock;
    return lock;
}

void PrintText(TrackedString text)
{
    std::lock_guard<std::recursive_mutex> hold(TextStoreLock());
    PendingRows touched = StoreText(reinterpret_cast<const BYTE*>(text));
    ReleaseString(text);
    AddPending(touched.First, touched.Last, touched.All);
    DrawPendingRows();
}

void PrintFromProgram(const char* text)
{
    bool request = false;
    {
        std::lock_guard<std::recursive_mutex> hold(TextStoreLock());
        PendingRows touched = StoreText(reinterpret_cast<const BYTE*>(text));
        RECT client{};
        GetClientRect(Console.ConsoleWindow, &client);
        bool scrolled = ScrollCursorIntoView(client.bottom);
        AddPending(scrolled ? 0 : touched.First, touched.Last, touched.All || scrolled);
        request = !DrawRequested;
        DrawRequested = true;
    }
    if (request)
        PostMessageA(Console.ConsoleWindow, ConsoleDrawMessage, 0, 0);
}

void SetColorsFromProgram(COLORREF foreground, LONG background)
{
    std::lock_guard<std::recursive_mutex> hold(TextStoreLock());
    Console.ColorPair = TextColors{foreground, background};
}

void DrawSoon()
{
    std::lock_guard<std::recursive_mutex> hold(TextStoreLock());
    DrawRequested = false;
    if (GetTickCount() - LastDrawTick >= FrameMilliseconds)
        DrawPendingRows();
    else
        SetTimer(Console.ConsoleWindow, DrawTimer, FrameMilliseconds, nullptr);
}

void DrawPendingRows()
{
    std::lock_guard<std::recursive_mutex> hold(TextStoreLock());
    KillTimer(Console.ConsoleWindow, DrawTimer);
    if (!Pending.Any)
        return;
    PendingRows rows = Pending;
    Pending = PendingRows{};
    HDC dc = GetDC(Console.ConsoleWindow);
    RenderRows(dc, rows.All ? -1 : rows.First, rows.Last);
    ReleaseDC(Console.ConsoleWindow, dc);
    LastDrawTick = GetTickCount();
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
    std::lock_guard<std::recursive_mutex> hold(TextStoreLock());
    HGDIOBJ previousFont = SelectObject(dc, Console.ConsoleFont);
    RECT client{};
    GetClientRect(Console.ConsoleWindow, &client);
    if (ScrollCursorIntoView(client.bottom))
        first = -1;

    // Every row redrawn: one block copy for the whole client, not one per row.
    if (first == -1 && !backgroundRestored)
        BitBlt(dc, 0, 0, client.right, client.bottom, Console.BackBuffer.Dc, 0, 0, SRCCOPY);
    for (LONG i = 0; i * Console.LineHeight < client.bottom && i <= LastRow; ++i) {
        if (first != -1 && (i < first || i > last))
            continue;
        if (first != -1 && !backgroundRestored)
            RestoreRowStrip(dc, i, client.right);
        DrawRowText(dc, i);
    }
    SelectObject(dc, previousFont);
}
