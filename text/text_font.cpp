#include "text/text_font.h"

#include "runtime/owners.h"

namespace {

const wchar_t FontFace[] = L"ＭＳ ゴシック";
// The face's own name on a system that does not know it by its Japanese one.
const wchar_t FontFaceInEnglish[] = L"MS Gothic";
// Where no Japanese fixed-pitch face is installed the platform may substitute
// anything (Wine without Japanese fonts gives a proportional maths face 69
// pixels high): then the first of these common fixed-pitch faces that is there.
const wchar_t* const FallbackFaces[] = {L"Courier New", L"Consolas", L"DejaVu Sans Mono", L"Liberation Mono"};

// Written by the console thread before its window exists (the cell in
// WM_CREATE); only read afterwards, once ConsoleStart has seen the first paint.
struct TextFont {
    LOGFONTW Description;
    HFONT Font;
    LONG CellWidth;
    LONG LineHeight;
    bool AsciiOnGrid; // every printable ASCII glyph advances exactly one cell
};

TextFont Current;

int CALLBACK NoteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FamilyInstalled(const wchar_t* face)
{
    LOGFONTW wanted{};
    wanted.lfCharSet = SHIFTJIS_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    WindowDc screen(nullptr);
    EnumFontFamiliesExW(screen.Dc, &wanted, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

} // namespace

void TextFontCreate()
{
    LOGFONTW& font = Current.Description;
    font = LOGFONTW{};
    font.lfHeight = -16;
    font.lfWeight = FW_DONTCARE;
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = FIXED_PITCH;
    bool englishName = !FamilyInstalled(FontFace) && FamilyInstalled(FontFaceInEnglish);
    lstrcpynW(font.lfFaceName, englishName ? FontFaceInEnglish : FontFace, LF_FACESIZE);
    Current.Font = CreateFontIndirectW(&font);
    if (FontMakesACellGrid(Current.Font))
        return;
    for (const wchar_t* face : FallbackFaces) {
        LOGFONTW fallback = font;
        fallback.lfCharSet = DEFAULT_CHARSET;
        lstrcpynW(fallback.lfFaceName, face, LF_FACESIZE);
        HFONT candidate = CreateFontIndirectW(&fallback);
        if (FontMakesACellGrid(candidate)) {
            DeleteObject(Current.Font);
            Current.Font = candidate;
            font = fallback;
            return;
        }
        DeleteObject(candidate);
    }
}

void TextFontMeasure(HDC dc)
{
    Selection font(dc, Current.Font);
    SIZE space{};
    GetTextExtentPoint32W(dc, L" ", 1, &space);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    Current.CellWidth = space.cx;
    Current.LineHeight = metrics.tmHeight;
    INT widths['~' - ' ' + 1] = {};
    Current.AsciiOnGrid = GetCharWidth32W(dc, ' ', '~', widths) != 0;
    for (INT width : widths)
        Current.AsciiOnGrid = Current.AsciiOnGrid && width == space.cx;
}

bool TextFontAsciiOnGrid()
{
    return Current.AsciiOnGrid;
}

ConsoleCellMetrics ConsoleMetrics()
{
    return ConsoleCellMetrics{Current.CellWidth, Current.LineHeight, Current.Font};
}

const LOGFONTW& ConsoleFontDescription()
{
    return Current.Description;
}

bool FontMakesACellGrid(HFONT font)
{
    MemoryDc dc(nullptr);
    TEXTMETRICW metrics{};
    bool measured = false;
    if (font) {
        Selection selected(dc.Dc, font);
        measured = GetTextMetricsW(dc.Dc, &metrics) != 0;
    }
    // TMPF_FIXED_PITCH set means a variable pitch, whatever its name says.
    return measured && !(metrics.tmPitchAndFamily & TMPF_FIXED_PITCH) && metrics.tmHeight >= 12 &&
           metrics.tmHeight <= 32 && metrics.tmAveCharWidth >= 4 && metrics.tmAveCharWidth <= 16;
}
