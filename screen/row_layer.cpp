// What the rows look like, kept between frames: each visible row drawn once
// into a layer, redrawn only when its cells change, and put over the back
// buffer pixel by pixel when a frame is composed. A frame composed again into
// the same image takes only what changed: the rows whose cells changed, and
// the part of the back buffer drawn since (GDI keeps that bounding rectangle
// for the back buffer's device context, whoever draws through it).
//
// A row is drawn twice, over black and over white. A pixel that comes out
// the same on both does not depend on what lies beneath (an opaque cell, or a
// glyph drawn without antialiasing): the layer keeps it. One that comes out
// black and white is untouched: the graphics show. Any other pixel is a glyph
// blended with what lies beneath (antialiased text on a transparent cell):
// that row is drawn again over the graphics at every frame, as a repaint
// draws it, so the frame has exactly a repaint's pixels either way.
#include "screen/row_layer.h"
#include "screen/screen_testing.h"

#include <emmintrin.h>

#include <cstring>
#include <vector>

#include "runtime/owners.h"
#include "screen/back_buffer.h"
#include "text/row_text.h"
#include "text/text_font.h"
#include "text/text_store.h"

namespace {

const DWORD Covered = 0xFF000000; // the layer's mark: this pixel is the row's
const DWORD Colour = 0x00FFFFFF;

enum class Source : BYTE { Back, Layer, Mixed };

struct Run {
    LONG Start;
    LONG End;
    Source From;
};

// The cells a band was drawn from.
struct RowCells {
    LONG Length;
    BYTE Text[TextRowBytes];
    COLORREF Foreground[TextRowBytes];
    LONG Background[TextRowBytes];
};

struct Band {
    unsigned Generation;   // counts the builds
    unsigned Composed;     // the build whose covered pixels the target holds; 0: none
    bool Built;
    bool Live;             // drawn over the graphics at every frame
    RowCells Cells;
    std::vector<Run> Runs; // pixel row by pixel row
    std::vector<size_t> RowStart; // LineHeight + 1 offsets into Runs
};

// Everything here is the thread's that composes, with the text store's lock
// and then the back buffer's held.
struct RowLayer {
    LONG Width;            // the client width the bands were built for
    unsigned ScrollCount;  // the store's scrolls the bands stand for
    LONG Height;           // the client height last composed
    const OffscreenImage* Target; // the image the bands were last composed into
    bool Tracking;         // the back buffer's drawing is bounded since that compose
    RECT UniformOver;      // where the back buffer was last found one colour since
                           // it last changed (empty: not known)
    OffscreenImage Image;  // screen-sized: colours with the Covered mark
    OffscreenImage Black;  // one band each, to draw a row over
    OffscreenImage White;
    Band Bands[TextRowCount];
};

RowLayer Layer;
bool EveryRowLive; // tests: compose as antialiased text would be

bool MakeImages()
{
    if (Layer.Image.Dc)
        return true;
    const HDC back = BackBufferDc();
    const SIZE screen = BackBufferSize();
    const ConsoleCellMetrics cell = ConsoleMetrics();
    if (!MakeOffscreenImage(back, screen.cx, screen.cy, &Layer.Image) ||
        !MakeOffscreenImage(back, screen.cx, cell.LineHeight, &Layer.Black) ||
        !MakeOffscreenImage(back, screen.cx, cell.LineHeight, &Layer.White))
        return false;
    SelectObject(Layer.Black.Dc, cell.Font);
    SelectObject(Layer.White.Dc, cell.Font);
    return true;
}

void TakeCells(LONG row, RowCells* cells)
{
    const TextRows& rows = TextRowsLocked();
    cells->Length = lstrlenA(reinterpret_cast<const char*>(rows.Text[row]));
    memcpy(cells->Text, rows.Text[row], cells->Length);
    memcpy(cells->Foreground, rows.Foreground[row], cells->Length * sizeof(COLORREF));
    memcpy(cells->Background, rows.Background[row], cells->Length * sizeof(LONG));
}

bool SameCells(LONG row, const RowCells& cells)
{
    const TextRows& rows = TextRowsLocked();
    LONG n = lstrlenA(reinterpret_cast<const char*>(rows.Text[row]));
    return n == cells.Length && memcmp(cells.Text, rows.Text[row], n) == 0 &&
           memcmp(cells.Foreground, rows.Foreground[row], n * sizeof(COLORREF)) == 0 &&
           memcmp(cells.Background, rows.Background[row], n * sizeof(LONG)) == 0;
}

// Runs of one source shorter than this are taken pixel by pixel.
const LONG ShortestRun = 16;

void AddRun(std::vector<Run>* runs, LONG start, LONG end, Source from)
{
    if (end - start < ShortestRun)
        from = Source::Mixed;
    if (!runs->empty() && runs->back().End == start && runs->back().From == from && from == Source::Mixed) {
        runs->back().End = end;
        return;
    }
    runs->push_back(Run{start, end, from});
}

void BuildBand(LONG row, LONG width, LONG height)
{
    Band& band = Layer.Bands[row];
    TakeCells(row, &band.Cells);
    band.Built = true;
    band.Generation += 1;
    band.Live = false;
    band.Runs.clear();
    band.RowStart.assign(height + 1, 0);
    if (band.Cells.Length == 0)
        return; // no text: the graphics everywhere, no runs

    const LONG stride = BackBufferSize().cx;
    PatBlt(Layer.Black.Dc, 0, 0, width, height, BLACKNESS);
    PatBlt(Layer.White.Dc, 0, 0, width, height, WHITENESS);
    DrawRowTextLocked(Layer.Black.Dc, row, 0, width);
    DrawRowTextLocked(Layer.White.Dc, row, 0, width);
    GdiFlush();
    DWORD* layer = Layer.Image.Pixels + static_cast<size_t>(row) * ConsoleMetrics().LineHeight * stride;
    for (LONG y = 0; y < height; ++y) {
        band.RowStart[y] = band.Runs.size();
        const DWORD* black = Layer.Black.Pixels + y * stride;
        const DWORD* white = Layer.White.Pixels + y * stride;
        DWORD* out = layer + y * stride;
        LONG start = 0;
        Source current = Source::Back;
        for (LONG x = 0; x < width; ++x) {
            DWORD b = black[x] & Colour, w = white[x] & Colour;
            Source from;
            if (b == w) {
                out[x] = b | Covered;
                from = Source::Layer;
            } else {
                out[x] = 0;
                from = Source::Back;
                if (b != 0 || w != Colour)
                    band.Live = true; // blended with what lies beneath
            }
            if (from != current && x > start) {
                AddRun(&band.Runs, start, x, current);
                start = x;
            }
            current = from;
        }
        AddRun(&band.Runs, start, width, current);
    }
    band.RowStart[height] = band.Runs.size();
    band.Live = band.Live || EveryRowLive;
}

void CopyColours(DWORD* to, const DWORD* from, LONG count)
{
    const __m128i colour = _mm_set1_epi32(static_cast<int>(Colour));
    LONG x = 0;
    for (; x + 4 <= count; x += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + x),
                         _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x)), colour));
    for (; x < count; ++x)
        to[x] = from[x] & Colour;
}

void Select(DWORD* to, const DWORD* layer, const DWORD* back, LONG count)
{
    const __m128i colour = _mm_set1_epi32(static_cast<int>(Colour));
    LONG x = 0;
    for (; x + 4 <= count; x += 4) {
        __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(layer + x));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(back + x));
        __m128i mark = _mm_srai_epi32(l, 31);
        __m128i mixed = _mm_or_si128(_mm_and_si128(mark, _mm_and_si128(l, colour)), _mm_andnot_si128(mark, b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + x), mixed);
    }
    for (; x < count; ++x)
        to[x] = (layer[x] & Covered) ? layer[x] & Colour : back[x];
}

// The part of the back buffer drawn since the last compose, clipped to the
// frame, and the tracking started again; false when GDI cannot tell.
bool TakeChangedArea(LONG width, LONG height, RECT* changed)
{
    HDC back = BackBufferDc();
    bool known = Layer.Tracking;
    UINT bounds = GetBoundsRect(back, changed, DCB_RESET);
    Layer.Tracking = SetBoundsRect(back, nullptr, DCB_ENABLE) != 0;
    const RECT ours = BackBufferTakeTouched(); // what the runtime's own loops drew
    if (!known || bounds == 0)
        return false;
    if (bounds != DCB_SET) // DCB_RESET: GDI drew nothing
        SetRectEmpty(changed);
    UnionRect(changed, changed, &ours);
    if (IsRectEmpty(changed))
        return true;
    // One pixel more each way: how far a bound reaches is left to the driver.
    changed->left = changed->left - 1 > 0 ? changed->left - 1 : 0;
    changed->top = changed->top - 1 > 0 ? changed->top - 1 : 0;
    changed->right = changed->right + 1 < width ? changed->right + 1 : width;
    changed->bottom = changed->bottom + 1 < height ? changed->bottom + 1 : height;
    if (changed->left >= changed->right || changed->top >= changed->bottom)
        SetRectEmpty(changed);
    return true;
}

bool LineChanged(const RECT& changed, LONG y)
{
    return y >= changed.top && y < changed.bottom;
}

// The store scrolled since the bands were built: each band moves up with its
// row, pixels and all, so that a scroll rebuilds only the rows that changed.
// The target no longer holds any band where it stood.
void FollowScrolls()
{
    const unsigned scrolls = TextScrollCountLocked() - Layer.ScrollCount;
    Layer.ScrollCount += scrolls;
    if (scrolls == 0)
        return;
    for (Band& band : Layer.Bands)
        band.Composed = 0;
    if (scrolls >= static_cast<unsigned>(TextRowCount)) {
        for (Band& band : Layer.Bands)
            band.Built = false;
        return;
    }
    const LONG moved = static_cast<LONG>(scrolls);
    for (LONG row = 0; row + moved < TextRowCount; ++row)
        std::swap(Layer.Bands[row], Layer.Bands[row + moved]);
    for (LONG row = TextRowCount - moved; row < TextRowCount; ++row)
        Layer.Bands[row] = Band{}; // the rows that left: their runs' memory goes too, or every band would keep some
    // Only the pixels the last compose used move: the image is the size of
    // the screen, megabytes a scroll, and a row is a band of a few pixels.
    // A band whose pixels stayed behind is built again.
    const LONG lineHeight = ConsoleMetrics().LineHeight;
    const LONG imageRows = BackBufferSize().cy / lineHeight;
    LONG shownRows = (Layer.Height + lineHeight - 1) / lineHeight;
    shownRows = shownRows < imageRows ? shownRows : imageRows;
    shownRows = shownRows < TextRowCount ? shownRows : TextRowCount;
    const size_t stride = BackBufferSize().cx;
    for (LONG row = 0; row + moved < shownRows; ++row)
        for (LONG line = 0; line < lineHeight; ++line) {
            DWORD* to = Layer.Image.Pixels + (static_cast<size_t>(row) * lineHeight + line) * stride;
            memcpy(to, to + static_cast<size_t>(moved) * lineHeight * stride, Layer.Width * sizeof(DWORD));
        }
    for (LONG row = shownRows - moved > 0 ? shownRows - moved : 0; row < TextRowCount; ++row)
        Layer.Bands[row].Built = false;
}

} // namespace

void ComposeRowsLive(bool live)
{
    TextStoreHold text;
    EveryRowLive = live;
    for (Band& band : Layer.Bands)
        band.Built = false;
}

void ComposeFrameLocked(OffscreenImage* target, LONG width, LONG height, RECT* written)
{
    RECT wrote{};
    if (!written)
        written = &wrote;
    SetRectEmpty(written);
    const SIZE screen = BackBufferSize();
    width = width < screen.cx ? width : screen.cx;
    height = height < screen.cy ? height : screen.cy;
    if (width <= 0 || height <= 0)
        return;
    // Lines written, each from left to right: their union.
    auto mark = [written](LONG left, LONG top, LONG right, LONG bottom) {
        if (left >= right || top >= bottom)
            return;
        if (IsRectEmpty(written)) {
            *written = RECT{left, top, right, bottom};
            return;
        }
        written->left = left < written->left ? left : written->left;
        written->top = top < written->top ? top : written->top;
        written->right = right > written->right ? right : written->right;
        written->bottom = bottom > written->bottom ? bottom : written->bottom;
    };
    if (!MakeImages()) { // what a repaint does, through the platform alone
        mark(0, 0, width, height);
        BitBlt(target->Dc, 0, 0, width, height, BackBufferDc(), 0, 0, SRCCOPY);
        DrawRowsOverLocked(target->Dc, -1, 0, width, height);
        return;
    }
    FollowScrolls();
    bool sameFrame = target == Layer.Target && width == Layer.Width && height == Layer.Height;
    if (width != Layer.Width) {
        for (Band& band : Layer.Bands)
            band.Built = false;
        Layer.Width = width;
    }
    RECT changed{};
    const bool tracked = TakeChangedArea(width, height, &changed);
    if (!tracked || !IsRectEmpty(&changed))
        SetRectEmpty(&Layer.UniformOver);
    bool sinceLast = tracked && sameFrame;
    if (!sinceLast) {
        for (Band& band : Layer.Bands)
            band.Composed = 0;
        Layer.Target = target;
        Layer.Height = height;
    }
    const LONG stride = screen.cx, lineHeight = ConsoleMetrics().LineHeight;
    const DWORD* back = BackBufferImage().Pixels;
    DWORD* front = target->Pixels;
    std::vector<LONG> live;
    LONG y = 0;
    for (LONG row = 0; row < TextRowCount && y < height; ++row) {
        LONG bandHeight = height - y < lineHeight ? height - y : lineHeight;
        Band& band = Layer.Bands[row];
        if (!band.Built || static_cast<LONG>(band.RowStart.size()) != bandHeight + 1 || !SameCells(row, band.Cells))
            BuildBand(row, width, bandHeight);
        // The covered pixels do not depend on the graphics: where the target
        // already holds this very build, they stay as they are, and so does
        // all of the band outside the changed area.
        bool coveredThere = band.Composed == band.Generation;
        band.Composed = band.Generation;
        if (band.Live) {
            if (coveredThere && (changed.bottom <= y || changed.top >= y + bandHeight)) {
                y += bandHeight;
                continue; // drawn over graphics that are still the same
            }
            coveredThere = false; // the text is drawn again over the whole band
            live.push_back(row);
        }
        const LONG left = coveredThere ? changed.left : 0, right = coveredThere ? changed.right : width;
        const DWORD* layer = Layer.Image.Pixels + static_cast<size_t>(y) * stride;
        for (LONG line = 0; line < bandHeight; ++line) {
            if (coveredThere && !LineChanged(changed, y + line))
                continue;
            mark(left, y + line, right, y + line + 1);
            size_t at = static_cast<size_t>(y + line) * stride;
            if (band.Live || band.Cells.Length == 0) {
                memcpy(front + at + left, back + at + left, (right - left) * sizeof(DWORD));
                continue;
            }
            // A line through glyphs changes source every few pixels: one pass
            // choosing each pixel costs less than a copy per run.
            if (band.RowStart[line + 1] - band.RowStart[line] > 4) {
                Select(front + at + left, layer + static_cast<size_t>(line) * stride + left, back + at + left,
                       right - left);
                continue;
            }
            for (size_t r = band.RowStart[line]; r < band.RowStart[line + 1]; ++r) {
                const Run& run = band.Runs[r];
                LONG start = run.Start > left ? run.Start : left, end = run.End < right ? run.End : right;
                if (start >= end)
                    continue;
                size_t x = at + start;
                LONG count = end - start;
                size_t inBand = static_cast<size_t>(line) * stride + start;
                if (run.From == Source::Back)
                    memcpy(front + x, back + x, count * sizeof(DWORD));
                else if (run.From == Source::Layer && !coveredThere)
                    CopyColours(front + x, layer + inBand, count);
                else if (run.From == Source::Mixed)
                    Select(front + x, layer + inBand, back + x, count);
            }
        }
        y += bandHeight;
    }
    const LONG left = sinceLast ? changed.left : 0, right = sinceLast ? changed.right : width;
    for (; y < height; ++y) // below the last row
        if (!sinceLast || LineChanged(changed, y)) {
            mark(left, y, right, y + 1);
            size_t at = static_cast<size_t>(y) * stride + left;
            memcpy(front + at, back + at, (right - left) * sizeof(DWORD));
        }
    if (!live.empty()) {
        Selection font(target->Dc, ConsoleMetrics().Font);
        for (LONG row : live)
            DrawRowTextLocked(target->Dc, row, row * lineHeight, width);
    }
}

bool BackBufferStillAndPlainLocked(LONG width, LONG height)
{
    RECT drawn;
    if (!Layer.Image.Dc || !Layer.Tracking || (GetBoundsRect(BackBufferDc(), &drawn, 0) & DCB_SET) == DCB_SET)
        return false; // drawn since the last compose, or GDI cannot tell
    const SIZE screen = BackBufferSize();
    if (width > screen.cx || height > screen.cy || width <= 0 || height <= 0)
        return false;
    const RECT area{0, 0, width, height};
    RECT inside;
    if (IntersectRect(&inside, &Layer.UniformOver, &area) && EqualRect(&inside, &area))
        return true;
    GdiFlush();
    const DWORD* pixels = BackBufferImage().Pixels;
    const __m128i first = _mm_set1_epi32(static_cast<int>(pixels[0] & Colour));
    const __m128i colour = _mm_set1_epi32(static_cast<int>(Colour));
    for (LONG y = 0; y < height; ++y) {
        const DWORD* line = pixels + static_cast<size_t>(y) * screen.cx;
        __m128i differ = _mm_setzero_si128();
        LONG x = 0;
        for (; x + 4 <= width; x += 4) {
            __m128i p = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line + x)), colour);
            differ = _mm_or_si128(differ, _mm_xor_si128(p, first));
        }
        for (; x < width; ++x)
            if ((line[x] & Colour) != (pixels[0] & Colour))
                return false;
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(differ, _mm_setzero_si128())) != 0xFFFF)
            return false;
    }
    Layer.UniformOver = area;
    return true;
}

void DrawRowsOverLocked(HDC dc, LONG first, LONG last, LONG clientWidth, LONG clientHeight)
{
    const ConsoleCellMetrics cell = ConsoleMetrics();
    Selection font(dc, cell.Font);
    if (first != -1) { // the rows' strip first, in one copy: transparent glyphs never land on what was there
        const LONG top = first * cell.LineHeight, bottom = (last + 1) * cell.LineHeight;
        const LONG height = (bottom < clientHeight ? bottom : clientHeight) - top;
        if (height > 0)
            BitBlt(dc, 0, top, clientWidth, height, BackBufferDc(), 0, top, SRCCOPY);
    }
    for (LONG i = first == -1 ? 0 : first; i * cell.LineHeight < clientHeight && i <= LastTextRow; ++i) {
        if (first != -1 && i > last)
            break;
        DrawRowTextLocked(dc, i, i * cell.LineHeight, clientWidth);
    }
}
