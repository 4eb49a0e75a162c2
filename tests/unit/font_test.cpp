// Fonts of the program's choice: drawn as their own GDI call, Japanese in any
// face, bad input, the cap, and nothing kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <thread>
#include <vector>

#include <prompt/screen.h>
#include <prompt/text.h>

#include "support/console_start.h"
#include "support/gdi_count.h"
#include "runtime/code_page.h"
#include "support/reference_text.h"
#include "text/fonts.h"

namespace {

const COLORREF White = RGB(255, 255, 255), Yellow = RGB(255, 230, 0);

// The client area's pixels of the back buffer (under its lock), or of the window.
std::vector<COLORREF> Pixels(bool window)
{
    Canvas copy;
    HWND console = ConsoleWindowHandle();
    if (window) {
        HDC dc = GetDC(console);
        BitBlt(copy.Dc, 0, 0, copy.Width, copy.Height, dc, 0, 0, SRCCOPY);
        ReleaseDC(console, dc);
    } else {
        BackBufferHold hold;
        BitBlt(copy.Dc, 0, 0, copy.Width, copy.Height, BackBufferDc(), 0, 0, SRCCOPY);
    }
    return copy.Pixels();
}

size_t Differing(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b)
{
    size_t differing = a.size() == b.size() ? 0 : a.size() + b.size();
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        differing += a[i] != b[i];
    printf("%u pixels differ\n", unsigned(differing));
    return differing;
}

class FontTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartConsole());
        ResetTextScreen(0, 0);
        ScreenClear(0);
        ASSERT_TRUE(RepaintAndWait(ConsoleWindowHandle()));
    }
    void TearDown() override { ScreenRelease(); ScreenClear(0); }
};

TEST_F(FontTest, TextInAFontIsOneGdiCallOfItToThePixel)
{
    struct Case {
        const char* Face;
        const wchar_t* PlatformFace;
        DWORD Flags;
        const char* Text;
        const wchar_t* Wide; // the same text
    } cases[] = {{"ＭＳ ゴシック", L"ＭＳ ゴシック", 0, "得点 Score ｶﾅ 日本語", L"得点 Score ｶﾅ 日本語"},
                 {"Arial", L"Arial", FontBold | FontItalic, "Arial bold italic 123", L"Arial bold italic 123"}};
    Canvas reference;
    PatBlt(reference.Dc, 0, 0, reference.Width, reference.Height, BLACKNESS);
    SetBkMode(reference.Dc, TRANSPARENT);
    SetTextColor(reference.Dc, Yellow);
    LONG y = 10;
    for (const Case& c : cases) {
        int font = FontMake(c.Face, 24, c.Flags);
        ASSERT_NE(0, font) << c.Face;
        DrawTextIn(font, 12, y, c.Text, Yellow);
        LOGFONTW description{};
        ASSERT_TRUE(FontDescription(font, &description));
        printf("%s asked as height %ld, weight %ld, italic %d, charset %d, quality %d\n", c.Face, description.lfHeight,
               description.lfWeight, description.lfItalic, description.lfCharSet, description.lfQuality);
        EXPECT_EQ(0, wcscmp(c.PlatformFace, description.lfFaceName));
        EXPECT_GT(description.lfHeight, 0) << "a positive height: the cell's";
        EXPECT_EQ(c.Flags & FontBold ? FW_BOLD : FW_NORMAL, description.lfWeight);
        EXPECT_EQ(c.Flags & FontItalic ? 1 : 0, description.lfItalic);
        EXPECT_EQ(DEFAULT_CHARSET, description.lfCharSet);
        EXPECT_EQ(NONANTIALIASED_QUALITY, description.lfQuality);
        HGDIOBJ previous = SelectObject(reference.Dc, CreateFontIndirectW(&description));
        ExtTextOutW(reference.Dc, 12, y, 0, nullptr, c.Wide, UINT(wcslen(c.Wide)), nullptr);
        SIZE extent{};
        GetTextExtentPoint32W(reference.Dc, c.Wide, int(wcslen(c.Wide)), &extent);
        TEXTMETRICW metrics{};
        GetTextMetricsW(reference.Dc, &metrics);
        wchar_t given[LF_FACESIZE] = L"";
        GetTextFaceW(reference.Dc, LF_FACESIZE, given);
        DeleteObject(SelectObject(reference.Dc, previous));
        printf("%s (given %s): width %ld (platform %ld), height %ld (tmHeight %ld)\n", c.Face,
               TextFromWide(given).c_str(), TextWidth(font, c.Text), extent.cx, FontHeight(font), metrics.tmHeight);
        EXPECT_EQ(extent.cx, TextWidth(font, c.Text));
        EXPECT_EQ(metrics.tmHeight, FontHeight(font));
        FontRelease(font);
        y += 40;
    }
    EXPECT_EQ(0u, Differing(reference.Pixels(), Pixels(false))) << "the back buffer";
    EXPECT_EQ(0u, Differing(reference.Pixels(), Pixels(true))) << "the window";

    // The cell is the height asked for wherever a positive height near it
    // gives that cell, else a pixel off.
    for (LONG height = 12; height <= 40; ++height) {
        int font = FontMake("ＭＳ ゴシック", height, 0);
        bool attainable = false;
        for (LONG asked = height - 2; asked <= height + 2; ++asked) {
            LOGFONTW description{asked, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, {}};
            wcscpy(description.lfFaceName, L"ＭＳ ゴシック");
            HGDIOBJ previous = SelectObject(reference.Dc, CreateFontIndirectW(&description));
            TEXTMETRICW metrics{};
            GetTextMetricsW(reference.Dc, &metrics);
            DeleteObject(SelectObject(reference.Dc, previous));
            attainable = attainable || metrics.tmHeight == height;
        }
        printf("%ld:%ld%s ", height, FontHeight(font), attainable ? "" : " (none)");
        EXPECT_EQ(attainable ? height : FontHeight(font), FontHeight(font));
        EXPECT_LE(labs(FontHeight(font) - height), 1);
        FontRelease(font);
    }
    printf("\n");

    // Font 0 is the console's, on its cells: DrawTextAt's pixels.
    ScreenClear(0);
    DrawTextAt(30, 40, "Score 得点", White);
    std::vector<COLORREF> cells = Pixels(false);
    ScreenClear(0);
    DrawTextIn(0, 30, 40, "Score 得点", White);
    EXPECT_EQ(0u, Differing(cells, Pixels(false))) << "font 0 draws as DrawTextAt";
    printf("font 0: width %ld, height %ld\n", TextWidth(0, "Score 得点"), FontHeight(0));
    EXPECT_EQ(10 * ConsoleMetrics().CellWidth, TextWidth(0, "Score 得点"));
    EXPECT_EQ(ConsoleMetrics().LineHeight, FontHeight(0));

    // Drawn one by one, glyphs differ from one another; the boxes or question
    // marks of characters a font lacks would all be alike. DejaVu Sans has
    // no Japanese, and GDI links no other face to it.
    for (const char* face : {"NoSuchFace", "Arial", "DejaVu Sans"}) {
        int font = FontMake(face, 24, 0);
        ScreenClear(0);
        std::vector<std::vector<COLORREF>> glyphs;
        for (const char* character : {"日", "本", "語", "あ"}) {
            const LONG x = 10 + LONG(glyphs.size()) * 40, width = TextWidth(font, character);
            DrawTextIn(font, x, 10, character, White);
            std::vector<COLORREF> glyph;
            for (LONG row = 10; row < 10 + FontHeight(font); ++row)
                for (LONG dx = 0; dx < width; ++dx)
                    glyph.push_back(BackBufferPixel(x + dx, row));
            size_t ink = glyph.size() - std::count(glyph.begin(), glyph.end(), 0u);
            size_t alike = std::count(glyphs.begin(), glyphs.end(), glyph);
            printf("%s, font %d: %s %ld wide, %u pixels of ink, like %u before it\n", face, font, character, width,
                   unsigned(ink), unsigned(alike));
            EXPECT_GT(ink, 20u);
            EXPECT_EQ(0u, alike);
            glyphs.push_back(glyph);
        }
        printf("%s: \"A\" %ld wide, \"日\" %ld, \"A日\" %ld\n", face, TextWidth(font, "A"), TextWidth(font, "日"),
               TextWidth(font, "A日"));
        EXPECT_EQ(TextWidth(font, "A") + TextWidth(font, "日"), TextWidth(font, "A日"));
        FontRelease(font);
    }
}

TEST_F(FontTest, BadInputDrawsNothingAndFontsGiveBackWhatTheyTook)
{
    int live = FontMake("Arial", 20, 0), released = FontMake("Arial", 20, FontAntialiased);
    FontRelease(released);
    std::vector<COLORREF> before = Pixels(false);
    const int bad[] = {released, -1, FontsLiveCap + 1};
    for (int number : bad) {
        DrawTextIn(number, 10, 10, "not live", White);
        printf("font %d: width %ld, height %ld\n", number, TextWidth(number, "x"), FontHeight(number));
        EXPECT_EQ(0, TextWidth(number, "x") + FontHeight(number));
    }
    DrawTextIn(live, 10, 10, nullptr, White);
    DrawTextIn(live, 10, 10, "", White);
    EXPECT_EQ(0u, Differing(before, Pixels(false))) << "bad numbers and texts draw nothing";
    printf("null text %ld, empty %ld, x %ld wide\n", TextWidth(live, nullptr), TextWidth(live, ""), TextWidth(live, "x"));
    EXPECT_EQ(0, TextWidth(live, nullptr) + TextWidth(live, ""));
    EXPECT_GT(TextWidth(live, "x"), 0);
    int edges[] = {FontMake(nullptr, 24, 0), FontMake("Arial", 0, 0), FontMake("Arial", 1001, 0),
                   FontMake("Arial", 1, 0), FontMake("Arial", 1000, 0)};
    printf("null face, heights 0, 1001, 1, 1000: %d %d %d %d %d\n", edges[0], edges[1], edges[2], edges[3], edges[4]);
    EXPECT_EQ(0, edges[0] + edges[1] + edges[2]);
    EXPECT_TRUE(edges[3] && edges[4]);
    for (int font : {edges[3], edges[4], live, live, 0}) // twice, and the console's: nothing
        FontRelease(font);
    EXPECT_EQ(0, FontsLive());
    EXPECT_EQ(ConsoleMetrics().LineHeight, FontHeight(0));

    std::vector<int> made;
    while (int font = made.size() <= 10000 ? FontMake("Arial", 12, 0) : 0)
        made.push_back(font);
    printf("%u fonts made before FontMake answered 0, %d live\n", unsigned(made.size()), FontsLive());
    EXPECT_EQ(FontsLiveCap, FontsLive());
    for (int font : made)
        FontRelease(font);

    ScreenHold(); // the console thread stays out of GDI while the count runs
    GdiSnapshot count = TakeGdiSnapshot();
    for (int i = 0; i < 1000; ++i) {
        const char* faces[] = {"ＭＳ ゴシック", "Arial", "DejaVu Sans"}; // the last with a fallback
        int font = FontMake(faces[i % 3], 10 + i % 40, i % 2 ? FontItalic : FontBold);
        TextWidth(font, "幅 width");
        DrawTextIn(font, 10, 10, "字 text", White);
        FontRelease(font);
    }
    int added = GdiObjectsAddedSince(count);
    printf("1,000 fonts made, used and released: %d GDI objects kept, %d live\n", added, FontsLive());
    EXPECT_EQ(0, added);
    EXPECT_EQ(0, FontsLive());
}

} // namespace
