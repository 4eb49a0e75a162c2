#include "console/console.h"

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

void DrawRow(HDC dc, LONG row, LONG clientWidth)
{
    const BYTE* text = Console.TextScreen.Text[row];
    const char* chars = reinterpret_cast<const char*>(text);
    LONG n = lstrlenA(chars);
    SIZE extent{};
    GetTextExtentPoint32A(dc, chars, n, &extent);
    LONG top = row * Console.LineHeight;
    BitBlt(dc, extent.cx, top, clientWidth, Console.LineHeight, Console.BackBuffer.Dc, extent.cx, top, SRCCOPY);

    for (LONG j = 0; j <= n - 1;) {
        SetTextColor(dc, Console.TextScreen.Foreground[row][j]);
        LONG background = Console.TextScreen.Background[row][j];
        if (background == -1) {
            SetBkMode(dc, TRANSPARENT);
        } else {
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, static_cast<COLORREF>(background));
        }
        bool pair = IsDBCSLeadByte(text[j]) != 0;
        int length = pair && text[j + 1] != 0 ? 2 : 1; // a lead byte at the very end is drawn alone
        TextOutA(dc, j * Console.CellWidth, top, chars + j, length);
        j += pair ? 2 : 1;
    }
}

} // namespace

void PrintText(TrackedString text)
{
    LONG startRow = Console.Cursor.Row;
    bool scrolled = false;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text);
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

    HDC dc = GetDC(Console.ConsoleWindow);
    RenderRows(dc, scrolled ? -1 : startRow, Console.Cursor.Row);
    ReleaseDC(Console.ConsoleWindow, dc);
    ReleaseString(text);
}

void RenderRows(HDC dc, LONG first, LONG last)
{
    HGDIOBJ previousFont = SelectObject(dc, Console.ConsoleFont);
    RECT client{};
    GetClientRect(Console.ConsoleWindow, &client);

    while ((Console.Cursor.Row + 1) * Console.LineHeight > client.bottom && Console.Cursor.Row > 0) {
        ScrollOneRow();
        Console.Cursor.Row -= 1;
        first = -1;
    }

    for (LONG i = 0; i * Console.LineHeight < client.bottom && i <= LastRow; ++i)
        if (first == -1 || (first <= i && i <= last))
            DrawRow(dc, i, client.right);

    SelectObject(dc, previousFont);
}
