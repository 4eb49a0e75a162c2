// Fonts of the program's choice, and text drawn in them through the screen's door.
#include "text/fonts.h"

#include <prompt/text.h>

#include <string>
#include <vector>

#include "runtime/code_page.h"
#include "runtime/lock.h"
#include "runtime/owners.h"
#include "screen/draw_door.h"
#include "text/row_text.h"
#include "text/text_font.h"

namespace {

// One font the program made.
struct FontSlot {
    HFONT Font;  // null: the number is free. Any thread, under FontTable::Guard
    LONG Height; // tmHeight, the cell. The same
    LONG Room;   // how far past its text box a glyph's ink may reach (italics, overhangs). The same
};

// The fonts by number; font 0, the console's, is not in it.
struct FontTable {
    Lock Guard;
    FontSlot Slots[FontsLiveCap + 1]; // [0] stays empty. Any thread, under Guard
    int Live;                         // slots with a font. The same
    HDC Measure;                      // a memory DC for measuring, made on first use and kept. The same
};

FontTable Fonts;

const FontSlot* LiveSlotLocked(int font)
{
    if (font < 1 || font > FontsLiveCap || !Fonts.Slots[font].Font)
        return nullptr;
    return &Fonts.Slots[font];
}

HDC MeasureDcLocked()
{
    if (!Fonts.Measure)
        Fonts.Measure = CreateCompatibleDC(nullptr);
    return Fonts.Measure;
}

// The text's extent in the font; 0 x 0 when it cannot be measured. The
// font is selected only for the call, so a released one is never left
// selected in the kept DC.
SIZE ExtentLocked(HFONT font, const std::wstring& wide)
{
    SIZE extent{0, 0};
    HDC dc = MeasureDcLocked();
    if (!dc)
        return extent;
    Selection selected(dc, font);
    if (!GetTextExtentPoint32W(dc, wide.data(), static_cast<int>(wide.size()), &extent))
        extent = SIZE{0, 0};
    return extent;
}

// UTF-16 text in the font and colour over what lies beneath; advances, if
// given, place each unit, else the font's own spacing does.
BOOL DrawWide(HDC dc, HFONT font, LONG x, LONG y, const std::wstring& wide, const INT* advances, COLORREF colour)
{
    Selection selected(dc, font);
    COLORREF previousColour = SetTextColor(dc, colour);
    int previousMode = SetBkMode(dc, TRANSPARENT);
    BOOL drawn = ExtTextOutW(dc, x, y, 0, nullptr, wide.data(), static_cast<UINT>(wide.size()), advances);
    SetBkMode(dc, previousMode);
    SetTextColor(dc, previousColour);
    return drawn;
}

// Font 0: the console's font on its cells, as DrawTextAt draws.
void DrawInCells(LONG x, LONG y, const char* text, COLORREF color)
{
    const ConsoleCellMetrics cell = ConsoleMetrics();
    if (!cell.Font)
        return; // no console yet
    const LONG length = lstrlenA(text);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    std::vector<INT> advances(static_cast<size_t>(length));
    UINT units = WideCellRun(reinterpret_cast<const BYTE*>(text), length, cell.CellWidth, &wide[0], advances.data());
    wide.resize(units);
    // A line's height each way, as DrawTextAt allows.
    const RECT reach{x - cell.LineHeight, y - cell.LineHeight, x + length * cell.CellWidth + cell.LineHeight,
                     y + 2 * cell.LineHeight};
    auto draw = [&](HDC dc, COLORREF colour) { return DrawWide(dc, cell.Font, x, y, wide, advances.data(), colour); };
    ScreenDrawInColour(draw, color, reach);
}

} // namespace

int FontsLive()
{
    LockHold hold(Fonts.Guard);
    return Fonts.Live;
}

int FontMake(const char* face, LONG pixelHeight, DWORD flags)
{
    if (!face || pixelHeight < 1 || pixelHeight > 1000)
        return 0;
    LOGFONTW description{};
    // Positive: the cell height (tmHeight, internal leading included), as
    // <prompt/text.h> promises; a negative one would be the character height.
    description.lfHeight = pixelHeight;
    description.lfWeight = (flags & FontBold) ? FW_BOLD : FW_NORMAL;
    description.lfItalic = (flags & FontItalic) ? TRUE : FALSE;
    // Not a charset of its own: the face's glyphs, and the system's linked
    // fonts for the characters the face lacks (Japanese in a Latin face).
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfOutPrecision = OUT_DEFAULT_PRECIS;
    description.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    description.lfQuality = (flags & FontAntialiased) ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY;
    description.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    lstrcpynW(description.lfFaceName, WideFromText(face).c_str(), LF_FACESIZE);

    LockHold hold(Fonts.Guard);
    int number = 1;
    while (number <= FontsLiveCap && Fonts.Slots[number].Font)
        ++number;
    HDC dc = MeasureDcLocked();
    if (number > FontsLiveCap || !dc)
        return 0;
    GdiOwner<HFONT> made(CreateFontIndirectW(&description));
    if (!made.Object)
        return 0;
    TEXTMETRICW metrics{};
    {
        Selection selected(dc, made.Object);
        if (!selected.Held() || !GetTextMetricsW(dc, &metrics))
            return 0;
    }
    // Half a line each way is more than an italic's lean or an accent's
    // overhang in any common face; GDI's own overhang (simulated bold or
    // italic of a bitmap face) on top.
    Fonts.Slots[number] = FontSlot{made.Release(), metrics.tmHeight, (metrics.tmHeight + 1) / 2 + metrics.tmOverhang};
    ++Fonts.Live;
    return number;
}

void FontRelease(int font)
{
    LockHold hold(Fonts.Guard);
    if (!LiveSlotLocked(font))
        return; // font 0 is the console's, for the whole process
    DeleteObject(Fonts.Slots[font].Font);
    Fonts.Slots[font] = FontSlot{};
    --Fonts.Live;
}

void DrawTextIn(int font, LONG x, LONG y, const char* text, COLORREF color)
{
    if (!text || !*text)
        return;
    if (font == 0) {
        DrawInCells(x, y, text, color);
        return;
    }
    // Held through the draw, so that no other thread releases the font under it.
    LockHold hold(Fonts.Guard);
    const FontSlot* slot = LiveSlotLocked(font);
    if (!slot)
        return;
    const std::wstring wide = WideFromText(text);
    if (wide.empty())
        return;
    const SIZE extent = ExtentLocked(slot->Font, wide);
    const LONG room = slot->Room;
    const RECT reach{x - room, y - room, x + extent.cx + room, y + (extent.cy > slot->Height ? extent.cy : slot->Height) + room};
    const HFONT handle = slot->Font;
    // One call for the whole text, so that a proportional face keeps its own spacing.
    auto draw = [&](HDC dc, COLORREF colour) { return DrawWide(dc, handle, x, y, wide, nullptr, colour); };
    ScreenDrawInColour(draw, color, reach);
}

LONG TextWidth(int font, const char* text)
{
    if (!text || !*text)
        return 0;
    if (font == 0)
        return lstrlenA(text) * ConsoleMetrics().CellWidth; // one cell a byte, as font 0 draws
    LockHold hold(Fonts.Guard);
    const FontSlot* slot = LiveSlotLocked(font);
    return slot ? ExtentLocked(slot->Font, WideFromText(text)).cx : 0;
}

LONG FontHeight(int font)
{
    if (font == 0)
        return ConsoleMetrics().LineHeight;
    LockHold hold(Fonts.Guard);
    const FontSlot* slot = LiveSlotLocked(font);
    return slot ? slot->Height : 0;
}
