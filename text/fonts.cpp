// Fonts of the program's choice, and text drawn in them through the screen's door.
#include "text/fonts.h"

#include <prompt/text.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "runtime/code_page.h"
#include "runtime/lock.h"
#include "runtime/owners.h"
#include "screen/back_buffer.h"
#include "screen/draw_door.h"
#include "text/row_text.h"
#include "text/text_font.h"

namespace {

// One font the program made.
// Every field: written by FontMake and FontRelease on any thread, read by
// the other calls on any thread, all under FontTable::Guard.
struct FontSlot {
    HFONT Font;           // null: the number is free
    HFONT Fallback;       // a Japanese face of the same size, where Font's face has no Japanese; else null
    LONG Height;          // tmHeight, the cell
    LONG Ascent;          // tmAscent: a fallback's characters share Font's baseline
    LONG MostAdvance;     // the most a unit advances: tmMaxCharWidth, or a cell for a full-width one linked in
    LONG Room;            // how far past its text box a glyph's ink may reach (italics, overhangs)
    LOGFONTW Description; // what the platform was asked for
};

// The fonts by number; font 0, the console's, is not in it.
// Every field but Guard: any thread, under Guard.
struct FontTable {
    Lock Guard;
    FontSlot Slots[FontsLiveCap + 1]; // [0] stays empty
    int Live;                         // slots with a font
    HDC Measure;                      // a memory DC for measuring, made on first use and kept
    HFONT Measuring;                  // the font left selected in it, or null
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

// The measuring DC with the font selected. The font stays selected until
// another is measured or it is released: under Wine a selection costs
// several times what measuring a line does.
HDC MeasuringLocked(HFONT font)
{
    HDC dc = MeasureDcLocked();
    if (dc && Fonts.Measuring != font && SelectObject(dc, font))
        Fonts.Measuring = font;
    return dc && Fonts.Measuring == font ? dc : nullptr;
}

// The text's extent in the font; 0 x 0 when it cannot be measured.
SIZE ExtentLocked(HFONT font, const wchar_t* wide, size_t units)
{
    SIZE extent{0, 0};
    HDC dc = MeasuringLocked(font);
    if (!dc || !GetTextExtentPoint32W(dc, wide, static_cast<int>(units), &extent))
        extent = SIZE{0, 0};
    return extent;
}

// Which units of the text the font has no glyph for (0xFFFF), or false.
bool GlyphsLocked(HFONT font, const wchar_t* wide, size_t units, std::vector<WORD>* glyphs)
{
    HDC dc = MeasuringLocked(font);
    glyphs->assign(units, 0);
    return dc && units &&
           GetGlyphIndicesW(dc, wide, static_cast<int>(units), glyphs->data(), GGI_MARK_NONEXISTING_GLYPHS) != GDI_ERROR;
}

// Deletes a font of the table's, first taking it out of the DCs it may be
// left selected in (the measuring one, the back buffer's).
void DeleteFontLocked(HFONT font)
{
    if (Fonts.Measuring == font) {
        SelectObject(Fonts.Measure, GetStockObject(SYSTEM_FONT));
        Fonts.Measuring = nullptr;
    }
    if (HDC back = BackBufferDc()) {
        BackBufferHold hold;
        if (GetCurrentObject(back, OBJ_FONT) == font)
            SelectObject(back, GetStockObject(SYSTEM_FONT));
    }
    DeleteObject(font);
}

// Whether the font has glyphs for a few common Japanese characters; it is
// selected only for the question, since a font that has none is deleted.
bool HasJapaneseLocked(HFONT font)
{
    const wchar_t sample[] = L"日本語あア";
    WORD glyphs[5] = {};
    HDC dc = MeasureDcLocked();
    if (!font || !dc)
        return false;
    Selection selected(dc, font);
    if (GetGlyphIndicesW(dc, sample, 5, glyphs, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR)
        return false;
    for (WORD glyph : glyphs)
        if (glyph == 0xFFFF)
            return false;
    return true;
}

// A stretch of the text drawn in one font, and how wide it is.
struct Piece {
    size_t Start;
    size_t Units;
    HFONT Font;
    LONG Width;
};

// The text in pieces: all of it in the slot's font, or, where its face has
// no Japanese, the characters it lacks in the fallback. (GDI's own font
// linking covers only the faces the system lists, and none under Wine.)
std::vector<Piece> PiecesLocked(const FontSlot& slot, const std::wstring& wide)
{
    std::vector<WORD> glyphs;
    if (!slot.Fallback || !GlyphsLocked(slot.Font, wide.data(), wide.size(), &glyphs))
        return {Piece{0, wide.size(), slot.Font, ExtentLocked(slot.Font, wide.data(), wide.size()).cx}};
    std::vector<Piece> pieces;
    for (size_t start = 0, end = 0; start < wide.size(); start = end) {
        const bool lacking = glyphs[start] == 0xFFFF;
        for (end = start + 1; end < wide.size() && (glyphs[end] == 0xFFFF) == lacking;)
            ++end;
        HFONT font = lacking ? slot.Fallback : slot.Font;
        pieces.push_back(Piece{start, end - start, font, ExtentLocked(font, &wide[start], end - start).cx});
    }
    return pieces;
}

LONG WidthOf(const std::vector<Piece>& pieces)
{
    LONG width = 0;
    for (const Piece& piece : pieces)
        width += piece.Width;
    return width;
}

// UTF-16 text in the font and colour over what lies beneath; advances, if
// given, place each unit, else the font's own spacing does. (x, y) is the
// top-left corner, or with TA_BASELINE the start of the baseline. A font of
// the table's stays selected in the back buffer, as the door keeps its
// brush there (every other text drawn into it selects its own font), until
// it is released: a selection costs more than a line of text.
BOOL DrawWide(HDC dc, HFONT font, LONG x, LONG y, const wchar_t* wide, size_t units, const INT* advances,
              COLORREF colour, UINT align = TA_TOP | TA_LEFT, bool keepSelected = false)
{
    HGDIOBJ previousFont = nullptr;
    if (!keepSelected || dc != BackBufferDc())
        previousFont = SelectObject(dc, font);
    else if (GetCurrentObject(dc, OBJ_FONT) != font)
        SelectObject(dc, font);
    COLORREF previousColour = SetTextColor(dc, colour);
    int previousMode = SetBkMode(dc, TRANSPARENT);
    UINT previousAlign = SetTextAlign(dc, align);
    BOOL drawn = ExtTextOutW(dc, x, y, 0, nullptr, wide, static_cast<UINT>(units), advances);
    SetTextAlign(dc, previousAlign);
    SetBkMode(dc, previousMode);
    SetTextColor(dc, previousColour);
    if (previousFont)
        SelectObject(dc, previousFont);
    return drawn;
}

// A fallback for a face without Japanese: the console's Japanese face, by
// either of its names, at the height the face was made with; null if the
// system has neither.
HFONT MakeFallbackLocked(const LOGFONTW& description)
{
    for (const wchar_t* face : {L"ＭＳ ゴシック", L"MS Gothic"}) {
        LOGFONTW fallback = description;
        fallback.lfCharSet = SHIFTJIS_CHARSET;
        lstrcpynW(fallback.lfFaceName, face, LF_FACESIZE);
        GdiOwner<HFONT> made(CreateFontIndirectW(&fallback));
        if (HasJapaneseLocked(made.Object))
            return made.Release();
    }
    return nullptr;
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
    auto draw = [&](HDC dc, COLORREF colour) {
        return DrawWide(dc, cell.Font, x, y, wide.data(), wide.size(), advances.data(), colour);
    };
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
    // No charset of its own, so that the face named is the one given; the
    // characters it lacks come from the fallback below.
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
    GdiOwner<HFONT> made;
    TEXTMETRICW metrics{};
    LONG asked = pixelHeight;
    // Wine rounds the ascent and the descent apart, so a positive height can
    // miss the cell by a pixel (20 asked gives 21, 19 gives 20; 24 gives 23,
    // 25 gives 25): ask again by the pixels missed, a few times, and keep the
    // nearest, the smaller of two as near.
    for (int attempt = 0; attempt < 4 && asked >= 1; ++attempt) {
        LOGFONTW tried = description;
        tried.lfHeight = asked;
        GdiOwner<HFONT> candidate(CreateFontIndirectW(&tried));
        TEXTMETRICW measured{};
        if (!candidate.Object)
            break;
        {
            Selection selected(dc, candidate.Object);
            if (!selected.Held() || !GetTextMetricsW(dc, &measured))
                break;
        }
        const LONG miss = labs(measured.tmHeight - pixelHeight), kept = labs(metrics.tmHeight - pixelHeight);
        if (!made.Object || miss < kept || (miss == kept && measured.tmHeight < metrics.tmHeight)) {
            DeleteObject(made.Object);
            made.Object = candidate.Release();
            metrics = measured;
            description.lfHeight = asked;
        }
        if (measured.tmHeight == pixelHeight)
            break;
        asked += pixelHeight - measured.tmHeight;
    }
    if (!made.Object)
        return 0;
    HFONT fallback = HasJapaneseLocked(made.Object) ? nullptr : MakeFallbackLocked(description);
    const LONG mostAdvance = metrics.tmMaxCharWidth > metrics.tmHeight ? metrics.tmMaxCharWidth : metrics.tmHeight;
    // Half a line each way is more than an italic's lean or an accent's
    // overhang in any common face; GDI's own overhang (simulated bold or
    // italic of a bitmap face) on top.
    const LONG room = (metrics.tmHeight + 1) / 2 + metrics.tmOverhang;
    Fonts.Slots[number] =
        FontSlot{made.Release(), fallback, metrics.tmHeight, metrics.tmAscent, mostAdvance, room, description};
    ++Fonts.Live;
    return number;
}

bool FontDescription(int font, LOGFONTW* description)
{
    LockHold hold(Fonts.Guard);
    const FontSlot* slot = LiveSlotLocked(font);
    if (slot)
        *description = slot->Description;
    return slot != nullptr;
}

void FontRelease(int font)
{
    LockHold hold(Fonts.Guard);
    if (!LiveSlotLocked(font))
        return; // font 0 is the console's, for the whole process
    DeleteFontLocked(Fonts.Slots[font].Font);
    if (Fonts.Slots[font].Fallback)
        DeleteFontLocked(Fonts.Slots[font].Fallback);
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
    // A face that draws it all is not measured first (that would cost a
    // seventh of the draw): no unit advances past MostAdvance.
    const std::vector<Piece> pieces = slot->Fallback ? PiecesLocked(*slot, wide) : std::vector<Piece>();
    const LONG width = slot->Fallback ? WidthOf(pieces) : LONG(wide.size()) * slot->MostAdvance;
    const LONG room = slot->Room, ascent = slot->Ascent;
    const RECT reach{x - room, y - room, x + width + room, y + slot->Height + room};
    auto draw = [&](HDC dc, COLORREF colour) {
        // One call for the whole text, so that a proportional face keeps its
        // own spacing; pieces in two faces share the baseline.
        if (pieces.empty() || (pieces.size() == 1 && pieces[0].Font == slot->Font))
            return DrawWide(dc, slot->Font, x, y, wide.data(), wide.size(), nullptr, colour, TA_TOP | TA_LEFT, true);
        BOOL drawn = TRUE;
        LONG left = x;
        for (const Piece& piece : pieces) {
            drawn &= DrawWide(dc, piece.Font, left, y + ascent, &wide[piece.Start], piece.Units, nullptr, colour,
                              TA_BASELINE | TA_LEFT);
            left += piece.Width;
        }
        return drawn;
    };
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
    return slot ? WidthOf(PiecesLocked(*slot, WideFromText(text))) : 0;
}

LONG FontHeight(int font)
{
    if (font == 0)
        return ConsoleMetrics().LineHeight;
    LockHold hold(Fonts.Guard);
    const FontSlot* slot = LiveSlotLocked(font);
    return slot ? slot->Height : 0;
}
