// Printing into the text store and drawing it over the back buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <prompt/screen.h>

#include "support/console_start.h"
#include "support/reference_text.h"

namespace {

const COLORREF Red = RGB(255, 0, 0);
const COLORREF White = RGB(255, 255, 255);

LONG Column() { return ConsoleCursor().Column; }
LONG Row() { return ConsoleCursor().Row; }

// Fills a rectangle of the back buffer (cells of row r) with a colour.
void PaintBackBufferRow(int row, COLORREF colour)
{
    LONG height = ConsoleMetrics().LineHeight;
    FillBackBuffer(RECT{0, row * height, BackBufferSize().cx, (row + 1) * height}, colour);
    RepaintAndWait(ConsoleWindowHandle()); // graphics reach the window as a picture's draw would
}

// The colours of a cell, its byte kept.
void SetCellColours(LONG row, LONG column, COLORREF foreground, LONG background)
{
    TextCell cell = ConsoleCell(row, column);
    ConsoleSetCell(row, column, TextCell{cell.Byte, foreground, background});
}

// Cuts a row's text short at a column.
void EndRowAt(LONG row, LONG column)
{
    TextCell cell = ConsoleCell(row, column);
    ConsoleSetCell(row, column, TextCell{0, cell.Foreground, cell.Background});
}

class TextScreenTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartConsole());
        window = ConsoleWindowHandle();
        metrics = ConsoleMetrics();
        ResetTextScreen(0, 0);
        FillBackBuffer(RECT{0, 0, BackBufferSize().cx, BackBufferSize().cy}, 0);
        ASSERT_TRUE(RepaintAndWait(window));
    }
    HWND window = nullptr;
    ConsoleCellMetrics metrics{};
};

TEST_F(TextScreenTest, TabsGoToTheNextStopAndKeepTheCellsColours)
{
    for (int c = 0; c < 8; ++c)
        SetCellColours(0, c, 0x123456, 0);
    ConsolePrint("\t");
    EXPECT_EQ(8, Column());
    EXPECT_EQ("        ", RowText(0));
    EXPECT_EQ(0x123456u, ConsoleCell(0, 3).Foreground) << "a tab stores spaces only";
    EXPECT_EQ(0, ConsoleCell(0, 3).Background);

    ConsolePrint("\r\nabcde\t");
    EXPECT_EQ(8, Column()) << "5 -> 8";
    EXPECT_EQ("abcde   ", RowText(1));
    ConsolePrint("\t");
    EXPECT_EQ(16, Column()) << "8 -> 16";
    EXPECT_EQ(White, ConsoleCell(1, 4).Foreground);
}

TEST_F(TextScreenTest, CrLfBreaksTheLineButLoneCrAndLfAreStored)
{
    ConsolePrint("a\r\nb");
    EXPECT_EQ("a", RowText(0));
    EXPECT_EQ("b", RowText(1));
    EXPECT_EQ(1, Row());
    EXPECT_EQ(1, Column());
    ConsolePrint("x\ry\nz");
    EXPECT_EQ("bx\ry\nz", RowText(1));
    EXPECT_EQ(6, Column());
}

TEST_F(TextScreenTest, PrintingStopsAtTheFirstZeroByte)
{
    TrackedString text = AllocString(5);
    memcpy(text, "ab\0cd", 5);
    PrintText(text); // the echo's way in, which takes a string with its length
    EXPECT_EQ("ab", RowText(0));
    EXPECT_EQ(2, Column());
}

TEST_F(TextScreenTest, DoubleByteCharacterTakesTwoCellsAndIsDrawnOnceAtItsLead)
{
    ConsolePrint("日本");
    ConsoleFlush();
    EXPECT_EQ(4, Column());
    EXPECT_EQ("\x93\xfa\x96\x7b", RowText(0));

    // The same pair drawn by hand in the same font and colours.
    int width = 4 * metrics.CellWidth, height = metrics.LineHeight;
    Canvas reference(width, height);
    HGDIOBJ previousFont = SelectObject(reference.Dc, metrics.Font);
    PatBlt(reference.Dc, 0, 0, width, height, BLACKNESS);
    SetTextColor(reference.Dc, White);
    SetBkColor(reference.Dc, 0);
    TextOutA(reference.Dc, 0, 0, "\x93\xfa", 2);
    TextOutA(reference.Dc, 2 * metrics.CellWidth, 0, "\x96\x7b", 2);
    int differing = 0, lit = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            COLORREF expected = GetPixel(reference.Dc, x, y);
            differing += WindowPixel(x, y) != expected;
            lit += expected != 0;
        }
    SelectObject(reference.Dc, previousFont);
    EXPECT_GT(lit, 20) << "the glyphs have pixels";
    EXPECT_EQ(0, differing) << "pixels that differ from the pairs drawn whole";
}

TEST_F(TextScreenTest, TransparentBackgroundLetsTheGraphicsShow)
{
    PaintBackBufferRow(0, Red);
    ConsoleSetColors(White, -1);
    ConsolePrint("x");
    ConsoleFlush();
    int red = 0;
    for (int y = 0; y < metrics.LineHeight; ++y)
        for (int x = 0; x < metrics.CellWidth; ++x)
            red += WindowPixel(x, y) == Red;
    EXPECT_GT(red, metrics.CellWidth * metrics.LineHeight / 2) << "around the glyph the red shows";

    ConsoleSetColors(White, 0);
    ConsolePrint("y");
    ConsoleFlush();
    red = 0;
    for (int y = 0; y < metrics.LineHeight; ++y)
        for (int x = metrics.CellWidth; x < 2 * metrics.CellWidth; ++x)
            red += WindowPixel(x, y) == Red;
    EXPECT_EQ(0, red) << "an opaque cell covers it";
}

TEST_F(TextScreenTest, ShortenedRowIsWipedRightOfItsEnd)
{
    PaintBackBufferRow(2, Red);
    ConsolePrint("\r\n\r\nabc");
    ConsoleFlush();
    int y = 2 * metrics.LineHeight + metrics.LineHeight / 2;
    EXPECT_NE(Red, WindowPixel(2 * metrics.CellWidth + 1, y)) << "the third cell is opaque black";
    EndRowAt(2, 1); // the row now reads "a"
    ASSERT_TRUE(RepaintAndWait(window));
    for (int x = metrics.CellWidth; x < 3 * metrics.CellWidth; ++x)
        EXPECT_EQ(Red, WindowPixel(x, y)) << "x " << x;
}

TEST_F(TextScreenTest, RowsScrollWhenTheCursorRowLeavesTheWindow)
{
    RECT client{};
    GetClientRect(window, &client);
    int visible = client.bottom / metrics.LineHeight;
    for (int line = 0; line < visible + 3; ++line)
        ConsolePrint(("line " + std::to_string(line) + "\r\n").c_str());
    EXPECT_EQ(visible - 1, Row()) << "the lowest wholly visible row";
    EXPECT_EQ("line 4", RowText(0)) << "four rows left at the top";
    EXPECT_EQ("", RowText(Row())) << "the new bottom row is empty";
    EXPECT_EQ("", RowText(100));
}

TEST_F(TextScreenTest, RepaintScrollsAfterTheWindowIsMadeLower)
{
    for (int line = 0; line < 12; ++line)
        ConsolePrint(("row " + std::to_string(line) + "\r\n").c_str());
    ASSERT_EQ(12, Row());
    RECT frame{}, client{};
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    int chrome = (frame.bottom - frame.top) - client.bottom;
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, chrome + 5 * metrics.LineHeight + 3,
                 SWP_NOZORDER | SWP_NOMOVE);
    ASSERT_TRUE(RepaintAndWait(window));
    EXPECT_EQ(4, Row());
    EXPECT_EQ("row 8", RowText(0));

    // Less than one row high, or minimised (its client area is empty): a
    // print keeps every row, and the window shows them again once restored.
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, chrome + 3, SWP_NOZORDER | SWP_NOMOVE);
    ConsolePrint("low\r\n");
    EXPECT_EQ(5, Row());
    EXPECT_EQ("row 8", RowText(0));
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOZORDER | SWP_NOMOVE);
    ShowWindow(window, SW_MINIMIZE);
    for (int line = 0; line < 3; ++line)
        ConsolePrint("while minimised\r\n");
    ConsoleFlush();
    EXPECT_EQ("row 8", RowText(0)) << "no row left the store while the window was minimised";
    EXPECT_EQ(8, Row());
    ShowWindow(window, SW_RESTORE);
    ASSERT_TRUE(RepaintAndWait(window));
    EXPECT_EQ("row 8", RowText(0)) << "restored: the rows fit again";
    EXPECT_EQ("while minimised", RowText(7));
}

TEST_F(TextScreenTest, PrintingPastTheLastColumnKeepsTheRowTerminated)
{
    ConsolePrint(std::string(300, 'x').c_str());
    EXPECT_EQ(254u, RowText(0).size());
    EXPECT_EQ(0, ConsoleCell(0, 254).Byte);
    EXPECT_EQ(254, Column());
    ConsolePrint("\tz");
    EXPECT_EQ(254, Column());
    EXPECT_EQ(0, ConsoleCell(0, 254).Byte);
    ConsolePrint("\r\nnext");
    EXPECT_EQ("next", RowText(Row()));
}

TEST_F(TextScreenTest, LineBreaksPastTheLastRowScrollTheStore)
{
    std::string text = "top";
    for (int i = 0; i < 150; ++i)
        text += "\r\n";
    text += "bottom";
    ConsolePrint(text.c_str());
    EXPECT_LE(Row(), 100);
    EXPECT_EQ("bottom", RowText(Row()));
    for (int r = 0; r < TextRowCount; ++r)
        ASSERT_EQ(0, ConsoleCell(r, 254).Byte) << "row " << r;
}

// The console's drawing against the same store drawn cell by cell: the whole
// client area, pixel for pixel. Partial draws (a print's rows) are checked
// over a canvas that holds something else, so every strip must be restored.
// With `windowAsDrawn`, also the window as the console thread left it (its
// graphics must have reached the window: a test's own fills do not).
void ExpectSameAsCellByCell(const char* screen, bool windowAsDrawn = false)
{
    ConsoleFlush(); // the console thread has drawn all and waits: the store holds still
    auto windowPixels = [] {
        Canvas shown;
        HDC dc = GetDC(ConsoleWindowHandle());
        BitBlt(shown.Dc, 0, 0, shown.Width, shown.Height, dc, 0, 0, SRCCOPY);
        ReleaseDC(ConsoleWindowHandle(), dc);
        return shown.Pixels();
    };
    const std::vector<COLORREF> flushed = windowPixels(); // as the console thread drew it, layer and all
    Canvas ours, reference;
    RenderRows(ours.Dc, -1, 0); // scrolls first if it must, as a repaint does
    DrawRowsCellByCell(reference.Dc);
    Canvas partial;
    PatBlt(partial.Dc, 0, 0, partial.Width, partial.Height, DSTINVERT);
    RenderRows(partial.Dc, 0, TextRowCount - 1);
    std::vector<COLORREF> expected = reference.Pixels(), whole = ours.Pixels(), rows = partial.Pixels();
    size_t differing = 0, differingRows = 0, first = expected.size();
    for (size_t i = 0; i < expected.size(); ++i) {
        differing += whole[i] != expected[i];
        differingRows += rows[i] != expected[i];
        if ((whole[i] != expected[i] || rows[i] != expected[i]) && first == expected.size())
            first = i;
    }
    EXPECT_EQ(0u, differing) << screen << ": whole repaint; first at (" << first % ours.Width << ", "
                             << first / ours.Width << ")";
    EXPECT_EQ(0u, differingRows) << screen << ": rows drawn one by one";

    // A shown frame takes the rows from the layer kept between frames, or
    // draws them over the graphics where they blend with it.
    Canvas composed;
    {
        BackBufferHold hold;
        BitBlt(composed.Dc, 0, 0, composed.Width, composed.Height, BackBufferDc(), 0, 0, SRCCOPY);
    }
    DrawRowsCellByCell(composed.Dc);
    std::vector<COLORREF> over = composed.Pixels();
    auto differingFromOver = [&over](const std::vector<COLORREF>& window) {
        size_t count = 0;
        for (size_t i = 0; i < over.size(); ++i)
            count += over[i] != window[i];
        return count;
    };
    if (windowAsDrawn) {
        EXPECT_EQ(0u, differingFromOver(flushed)) << screen << ": the window as the console thread drew it";
    }
    for (bool live : {false, true}) {
        ComposeRowsLive(live);
        ScreenShow();
        EXPECT_EQ(0u, differingFromOver(windowPixels()))
            << screen << ": ScreenShow, rows " << (live ? "drawn over" : "from the layer");
    }
    ComposeRowsLive(false);
}

// A picture behind the text: stripes of colour in the back buffer.
void PaintStripes()
{
    SIZE screen = BackBufferSize();
    for (LONG x = 0; x < screen.cx; x += 3)
        FillBackBuffer(RECT{x, 0, x + 3, screen.cy}, RGB(x * 7 % 256, 90, 255 - x % 256));
}

void PrintCells(const char* text, int cellsPerColour)
{
    const COLORREF colours[] = {RGB(255, 255, 255), RGB(255, 200, 0), RGB(0, 255, 255), RGB(255, 80, 80)};
    std::string bytes = text;
    for (size_t i = 0, run = 0; i < bytes.size(); ++run) {
        ConsoleSetColors(colours[run % 4], run % 3 == 1 ? -1 : static_cast<LONG>(colours[(run + 2) % 4] / 2));
        size_t end = i;
        for (int cell = 0; cell < cellsPerColour && end < bytes.size(); ++cell)
            end += IsDBCSLeadByte(static_cast<BYTE>(bytes[end])) && end + 1 < bytes.size() ? 2 : 1;
        ConsolePrint(bytes.substr(i, end - i).c_str());
        i = end;
    }
}

TEST_F(TextScreenTest, DrawingMatchesCellByCellDrawingPixelForPixel)
{
    PaintStripes();
    const char* mixed = "ASCII かな 漢字 ｶﾀｶﾅ mixed テキスト x";
    for (int every : {1, 2, 3}) {
        PrintCells(mixed, every);
        ConsolePrint("\r\n");
    }
    for (int cell = 0; cell < 24; ++cell) { // one colour of the two changes at a time
        ConsoleSetColors(White, cell % 3 == 0 ? -1 : RGB(0, 0, 40 * (cell % 3)));
        ConsolePrint(cell % 4 ? "b" : "字");
    }
    for (int cell = 0; cell < 24; ++cell) {
        ConsoleSetColors(RGB(255, 40 * (cell % 5), 0), 0);
        ConsolePrint("f");
    }
    ConsoleSetColors(White, -1);
    ConsolePrint("\r\ntransparent over the picture: 透明\r\n");
    ExpectSameAsCellByCell("colours every 1, 2 and 3 cells; kana, kanji, half-width kana");

    SetCellColours(0, 7, RGB(0, 255, 0), ConsoleCell(0, 7).Background); // the trail cell of か: its colours are not used
    ConsolePrint("ends on a lead byte\x93\r\n");
    for (int c = 0; c < 8; ++c)
        SetCellColours(Row(), c, ConsoleCell(Row(), c).Foreground, RGB(0, 0, 160));
    ConsolePrint("\tafter a tab\r\nshortened row\r\n");
    EndRowAt(Row() - 1, 5);
    ExpectSameAsCellByCell("a lead byte at the end, tabs into old colours, a shortened row");

    for (int line = 0; line < 40; ++line)
        PrintCells(("scrolling line " + std::to_string(line) + " 行").c_str(), 2), ConsolePrint("\r\n");
    ExpectSameAsCellByCell("after a scroll");
    RECT tall{};
    GetWindowRect(window, &tall);
    SetWindowPos(window, nullptr, 0, 0, 640, 200, SWP_NOZORDER | SWP_NOMOVE);
    ExpectSameAsCellByCell("the window lowered: the store scrolls on repaint");
    // Raised and filled again, then lowered over rows of text that a scroll brings up.
    SetWindowPos(window, nullptr, 0, 0, tall.right - tall.left, tall.bottom - tall.top, SWP_NOZORDER | SWP_NOMOVE);
    for (int line = 0; line < 30; ++line)
        PrintCells(("line " + std::to_string(line) + " 行").c_str(), 3), ConsolePrint("\r\n");
    ScreenShow(); // the layer built for every row of the tall window
    ConsoleSetCursor(CellPosition{0, 0});
    SetWindowPos(window, nullptr, 0, 0, 640, 200, SWP_NOZORDER | SWP_NOMOVE);
    ScreenShow(); // and composed at the lower height: the rows below it keep their layer
    RECT client{};
    GetClientRect(window, &client);
    ConsoleSetCursor(CellPosition{0, client.bottom / metrics.LineHeight - 1});
    ConsolePrint("\r\n\r\n");
    ExpectSameAsCellByCell("two rows of text scrolled up from below the window", true);
}

// Over graphics of one colour, a scroll moves the window's own pixels and
// draws only the rows that came into view or changed; a window that is not
// a whole number of rows high brings the cut row into view too.
TEST_F(TextScreenTest, RowsScrolledOnTheWindowOverOneColourAreTheStoredOnes)
{
    RECT tall{};
    GetWindowRect(window, &tall);
    SetWindowPos(window, nullptr, 0, 0, 640, 207, SWP_NOZORDER | SWP_NOMOVE);
    FillBackBuffer(RECT{0, 0, BackBufferSize().cx, BackBufferSize().cy}, RGB(0, 0, 96));
    ASSERT_TRUE(RepaintAndWait(window));
    RECT client{};
    GetClientRect(window, &client);
    const LONG before = ScrollsOnWindow();
    for (int line = 0; line < 40; ++line) {
        ConsoleSetColors(line % 2 ? White : RGB(255, 200, 0), line % 3 ? -1 : static_cast<LONG>(RGB(0, 80, 0)));
        ConsolePrint(("line " + std::to_string(line) + " 行").c_str());
        if (line % 10 == 8) { // a row above changed too: it moves up with the rest and is drawn again
            const CellPosition at = ConsoleCursor();
            ConsoleLocate(2, 5);
            ConsolePrint("changed");
            ConsoleSetCursor(at);
        }
        ConsolePrint("\r\n");
        ConsoleFlush();
    }
    // Rows stored below the window come into view with the scroll that brings
    // the cursor row in.
    const LONG below = client.bottom / metrics.LineHeight;
    for (LONG row = below; row < below + 3; ++row)
        for (LONG column = 0; column < 6; ++column)
            ConsoleSetCell(row, column, TextCell{static_cast<BYTE>('a' + row), White, NoBackground});
    ConsoleLocate(0, below + 3);
    ConsolePrint("x");
    const LONG scrolled = ScrollsOnWindow() - before;
    printf("%ld of 40 lines scrolled on the window, %ld rows of %ld pixels in %ld\n", scrolled,
           client.bottom / metrics.LineHeight, metrics.LineHeight, client.bottom);
    EXPECT_GE(scrolled, 26) << "a scroll composed the frame again";
    ExpectSameAsCellByCell("rows scrolled on the window over one colour", true);
    SetWindowPos(window, nullptr, 0, 0, tall.right - tall.left, tall.bottom - tall.top, SWP_NOZORDER | SWP_NOMOVE);
}

// Without a flush a print reaches the window at the latest a frame after the
// last draw, whether the console thread was idle or still drawing a burst.
TEST_F(TextScreenTest, PrintsWithoutAFlushReachTheWindowAfterAnyPause)
{
    auto firstRow = [this] {
        Canvas row(BackBufferSize().cx, metrics.LineHeight);
        HDC dc = GetDC(window);
        BitBlt(row.Dc, 0, 0, row.Width, row.Height, dc, 0, 0, SRCCOPY);
        ReleaseDC(window, dc);
        return row.Pixels();
    };
    DWORD slowest = 0;
    bool letters = true;
    for (DWORD pause : {0, 1, 5, 12, 17, 30, 60, 0, 0}) {
        std::vector<COLORREF> before = firstRow();
        Sleep(pause);
        ConsoleLocate(0, 0);
        ConsolePrint(letters ? "MMMM" : "    ");
        letters = !letters;
        DWORD start = GetTickCount();
        while (firstRow() == before && GetTickCount() - start < 5000)
            Sleep(1);
        DWORD took = GetTickCount() - start;
        slowest = took > slowest ? took : slowest;
        EXPECT_NE(before, firstRow()) << "a print after a pause of " << pause << " ms was not drawn";
    }
    printf("the slowest print reached the window after %lu ms\n", slowest);
}

TEST_F(TextScreenTest, WindowEqualsItsOwnRepaintAfterABurstOfPrintsThatScroll)
{
    PaintStripes();
    ASSERT_TRUE(RepaintAndWait(window));
    SetForegroundWindow(window);
    for (int line = 0; line < 2000; ++line) { // a burst: drawn a frame at a time
        ConsoleSetColors(line % 2 ? White : RGB(255, 200, 0), line % 3 ? -1 : 0);
        ConsolePrint(("入力してください> line-" + std::to_string(line) + "\r\n").c_str());
    }
    ConsoleFlush();
    auto capture = [this] {
        Canvas copy;
        HDC dc = GetDC(window);
        BitBlt(copy.Dc, 0, 0, copy.Width, copy.Height, dc, 0, 0, SRCCOPY);
        ReleaseDC(window, dc);
        return copy.Pixels();
    };
    std::vector<COLORREF> printed = capture();
    ASSERT_TRUE(RepaintAndWait(window));
    std::vector<COLORREF> repainted = capture();
    size_t differing = 0;
    for (size_t i = 0; i < printed.size(); ++i)
        differing += printed[i] != repainted[i];
    EXPECT_EQ(0u, differing) << "what the prints left on the window is what is stored";
}

} // namespace
