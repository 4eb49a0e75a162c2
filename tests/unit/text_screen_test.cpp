// Printing into the text store and drawing it over the back buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "console/console.h"
#include "console/console_api.h"
#include "support/console_start.h"

namespace {

const COLORREF Red = RGB(255, 0, 0);
const COLORREF White = RGB(255, 255, 255);

std::string RowText(int row)
{
    return reinterpret_cast<const char*>(Console.TextScreen.Text[row]);
}

COLORREF WindowPixel(int x, int y)
{
    HDC dc = GetDC(Console.ConsoleWindow);
    COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(Console.ConsoleWindow, dc);
    return colour;
}

// Fills a rectangle of the back buffer (cells of row r) with a colour.
void PaintBackBufferRow(int row, COLORREF colour)
{
    RECT band{0, row * Console.LineHeight, Console.ScreenSize.Width, (row + 1) * Console.LineHeight};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(Console.BackBuffer.Dc, &band, brush);
    DeleteObject(brush);
    RepaintAndWait(Console.ConsoleWindow); // graphics reach the window as a picture's draw would
}

class TextScreenTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartConsole());
        window = Console.ConsoleWindow;
        ResetTextScreen(0, 0);
        PatBlt(Console.BackBuffer.Dc, 0, 0, Console.ScreenSize.Width, Console.ScreenSize.Height, BLACKNESS);
        ASSERT_TRUE(RepaintAndWait(window));
    }
    HWND window = nullptr;
};

TEST_F(TextScreenTest, TabsGoToTheNextStopAndKeepTheCellsColours)
{
    for (int c = 0; c < 8; ++c)
        Console.TextScreen.Foreground[0][c] = 0x123456;
    ConsolePrint("\t");
    EXPECT_EQ(8, Console.Cursor.Column);
    EXPECT_EQ("        ", RowText(0));
    EXPECT_EQ(0x123456u, Console.TextScreen.Foreground[0][3]) << "a tab stores spaces only";
    EXPECT_EQ(0, Console.TextScreen.Background[0][3]);

    ConsolePrint("\r\nabcde\t");
    EXPECT_EQ(8, Console.Cursor.Column) << "5 -> 8";
    EXPECT_EQ("abcde   ", RowText(1));
    ConsolePrint("\t");
    EXPECT_EQ(16, Console.Cursor.Column) << "8 -> 16";
    EXPECT_EQ(White, Console.TextScreen.Foreground[1][4]);
}

TEST_F(TextScreenTest, CrLfBreaksTheLineButLoneCrAndLfAreStored)
{
    ConsolePrint("a\r\nb");
    EXPECT_EQ("a", RowText(0));
    EXPECT_EQ("b", RowText(1));
    EXPECT_EQ(1, Console.Cursor.Row);
    EXPECT_EQ(1, Console.Cursor.Column);
    ConsolePrint("x\ry\nz");
    EXPECT_EQ("bx\ry\nz", RowText(1));
    EXPECT_EQ(6, Console.Cursor.Column);
}

TEST_F(TextScreenTest, PrintingStopsAtTheFirstZeroByte)
{
    TrackedString text = AllocString(5);
    memcpy(text, "ab\0cd", 5);
    SendMessageA(window, ConsolePrintMessage, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ("ab", RowText(0));
    EXPECT_EQ(2, Console.Cursor.Column);
}

TEST_F(TextScreenTest, DoubleByteCharacterTakesTwoCellsAndIsDrawnOnceAtItsLead)
{
    ConsolePrint("日本");
    EXPECT_EQ(4, Console.Cursor.Column);
    EXPECT_EQ(0, memcmp(Console.TextScreen.Text[0], "\x93\xfa\x96\x7b", 5));

    // The same pair drawn by hand in the same font and colours.
    HDC screen = GetDC(nullptr);
    HDC reference = CreateCompatibleDC(screen);
    int width = 4 * Console.CellWidth, height = Console.LineHeight;
    HBITMAP canvas = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previousBitmap = SelectObject(reference, canvas);
    HGDIOBJ previousFont = SelectObject(reference, Console.ConsoleFont);
    PatBlt(reference, 0, 0, width, height, BLACKNESS);
    SetTextColor(reference, White);
    SetBkColor(reference, 0);
    TextOutA(reference, 0, 0, "\x93\xfa", 2);
    TextOutA(reference, 2 * Console.CellWidth, 0, "\x96\x7b", 2);
    int differing = 0, lit = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            COLORREF expected = GetPixel(reference, x, y);
            differing += WindowPixel(x, y) != expected;
            lit += expected != 0;
        }
    SelectObject(reference, previousFont);
    SelectObject(reference, previousBitmap);
    DeleteObject(canvas);
    DeleteDC(reference);
    ReleaseDC(nullptr, screen);
    EXPECT_GT(lit, 20) << "the glyphs have pixels";
    EXPECT_EQ(0, differing) << "pixels that differ from the pairs drawn whole";
}

TEST_F(TextScreenTest, TransparentBackgroundLetsTheGraphicsShow)
{
    PaintBackBufferRow(0, Red);
    ConsoleSetColors(White, -1);
    ConsolePrint("x");
    int red = 0;
    for (int y = 0; y < Console.LineHeight; ++y)
        for (int x = 0; x < Console.CellWidth; ++x)
            red += WindowPixel(x, y) == Red;
    EXPECT_GT(red, Console.CellWidth * Console.LineHeight / 2) << "around the glyph the red shows";

    ConsoleSetColors(White, 0);
    ConsolePrint("y");
    red = 0;
    for (int y = 0; y < Console.LineHeight; ++y)
        for (int x = Console.CellWidth; x < 2 * Console.CellWidth; ++x)
            red += WindowPixel(x, y) == Red;
    EXPECT_EQ(0, red) << "an opaque cell covers it";
}

TEST_F(TextScreenTest, ShortenedRowIsWipedRightOfItsEnd)
{
    PaintBackBufferRow(2, Red);
    ConsolePrint("\r\n\r\nabc");
    int y = 2 * Console.LineHeight + Console.LineHeight / 2;
    EXPECT_NE(Red, WindowPixel(2 * Console.CellWidth + 1, y)) << "the third cell is opaque black";
    Console.TextScreen.Text[2][1] = 0; // the row now reads "a"
    ASSERT_TRUE(RepaintAndWait(window));
    for (int x = Console.CellWidth; x < 3 * Console.CellWidth; ++x)
        EXPECT_EQ(Red, WindowPixel(x, y)) << "x " << x;
}

TEST_F(TextScreenTest, RowsScrollWhenTheCursorRowLeavesTheWindow)
{
    RECT client{};
    GetClientRect(window, &client);
    int visible = client.bottom / Console.LineHeight;
    for (int line = 0; line < visible + 3; ++line)
        ConsolePrint(("line " + std::to_string(line) + "\r\n").c_str());
    EXPECT_EQ(visible - 1, Console.Cursor.Row) << "the lowest wholly visible row";
    EXPECT_EQ("line 4", RowText(0)) << "four rows left at the top";
    EXPECT_EQ("", RowText(Console.Cursor.Row)) << "the new bottom row is empty";
    EXPECT_EQ("", RowText(100));
}

TEST_F(TextScreenTest, RepaintScrollsAfterTheWindowIsMadeLower)
{
    for (int line = 0; line < 12; ++line)
        ConsolePrint(("row " + std::to_string(line) + "\r\n").c_str());
    ASSERT_EQ(12, Console.Cursor.Row);
    RECT frame{}, client{};
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    int chrome = (frame.bottom - frame.top) - client.bottom;
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, chrome + 5 * Console.LineHeight + 3,
                 SWP_NOZORDER | SWP_NOMOVE);
    ASSERT_TRUE(RepaintAndWait(window));
    EXPECT_EQ(4, Console.Cursor.Row);
    EXPECT_EQ("row 8", RowText(0));

    // Less than one row high: a print scrolls until the cursor is on row 0.
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, chrome + 3, SWP_NOZORDER | SWP_NOMOVE);
    ConsolePrint("end\r\n");
    EXPECT_EQ(0, Console.Cursor.Row);
}

TEST_F(TextScreenTest, PrintingPastTheLastColumnKeepsTheRowTerminated)
{
    ConsolePrint(std::string(300, 'x').c_str());
    EXPECT_EQ(254u, RowText(0).size());
    EXPECT_EQ(0, Console.TextScreen.Text[0][254]);
    EXPECT_EQ(254, Console.Cursor.Column);
    ConsolePrint("\tz");
    EXPECT_EQ(254, Console.Cursor.Column);
    EXPECT_EQ(0, Console.TextScreen.Text[0][254]);
    ConsolePrint("\r\nnext");
    EXPECT_EQ("next", RowText(Console.Cursor.Row));
}

TEST_F(TextScreenTest, LineBreaksPastTheLastRowScrollTheStore)
{
    std::string text = "top";
    for (int i = 0; i < 150; ++i)
        text += "\r\n";
    text += "bottom";
    ConsolePrint(text.c_str());
    EXPECT_LE(Console.Cursor.Row, 100);
    EXPECT_EQ("bottom", RowText(Console.Cursor.Row));
    for (int r = 0; r < TextRowCount; ++r)
        ASSERT_EQ(0, Console.TextScreen.Text[r][254]) << "row " << r;
}

} // namespace
