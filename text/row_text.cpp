#include "text/row_text.h"

#include <prompt/console.h>

#include "runtime/code_page.h"
#include "text/text_font.h"
#include "text/text_store.h"

namespace {

// The run of cells from j that share the lead cells' colours, in bytes; a
// double-byte pair counts as one character with its lead cell's colours, and
// a lead byte at the very end of the text stands alone.
LONG RunLength(const TextRows& rows, LONG row, LONG j, LONG n)
{
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

} // namespace

UINT WideCellRun(const BYTE* bytes, LONG length, LONG cellWidth, wchar_t* wide, INT* advances)
{
    UINT units = 0;
    for (LONG k = 0; k < length;) {
        if (bytes[k] < 0x80) { // code page 932's single bytes below 0x80 are their own UTF-16 units
            advances[units] = cellWidth;
            wide[units++] = bytes[k++];
            continue;
        }
        LONG size = IsLeadByte(bytes[k]) && k + 1 < length ? 2 : 1;
        int made = MultiByteToWideChar(TextCodePage, 0, reinterpret_cast<const char*>(bytes + k), size,
                                       wide + units, 1);
        if (made <= 0) {
            wide[units] = L' ';
            made = 1;
        }
        advances[units] = size * cellWidth;
        units += made;
        k += size;
    }
    return units;
}

void DrawRowTextLocked(HDC dc, LONG row, LONG top, LONG width)
{
    const TextRows& rows = TextRowsLocked();
    const LONG cellWidth = ConsoleMetrics().CellWidth;
    const BYTE* chars = rows.Text[row];
    LONG n = lstrlenA(reinterpret_cast<const char*>(chars));
    wchar_t wide[TextRowBytes];
    INT advances[TextRowBytes];
    for (LONG j = 0; j < n && j * cellWidth < width;) {
        LONG length = RunLength(rows, row, j, n);
        SetTextColor(dc, rows.Foreground[row][j]);
        LONG background = rows.Background[row][j];
        if (background == NoBackground) {
            SetBkMode(dc, TRANSPARENT);
        } else {
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, static_cast<COLORREF>(background));
        }
        UINT units = WideCellRun(chars + j, length, cellWidth, wide, advances);
        bool ascii = TextFontAsciiOnGrid();
        for (LONG k = j; ascii && k < j + length; ++k)
            ascii = chars[k] >= ' ' && chars[k] <= '~';
        ExtTextOutW(dc, j * cellWidth, top, 0, nullptr, wide, units, ascii ? nullptr : advances);
        j += length;
    }
}
