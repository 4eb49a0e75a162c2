// Shapes, text at a pixel, held drawing and the saved screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <prompt/picture.h>
#include <prompt/screen.h>

#include "support/console_start.h"
#include "support/files.h"
#include "screen/screen_scale.h"
#include "support/reference_text.h"

namespace {

const COLORREF Red = RGB(255, 0, 0), Green = RGB(0, 200, 0), Blue = RGB(40, 40, 255), White = RGB(255, 255, 255);

// Canvas pixels are DIB words, 0x00RRGGBB.
DWORD DibWord(COLORREF c)
{
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

// A copy of a device context's top-left width x height, in DIB words.
std::vector<COLORREF> PixelsOf(HDC dc, LONG width, LONG height)
{
    Canvas copy(width, height);
    BitBlt(copy.Dc, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    return copy.Pixels();
}

std::vector<COLORREF> WindowPixels()
{
    HWND window = ConsoleWindowHandle();
    RECT client{};
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    std::vector<COLORREF> pixels = PixelsOf(dc, client.right, client.bottom);
    ReleaseDC(window, dc);
    return pixels;
}

std::vector<COLORREF> BackBufferPixels(LONG width, LONG height)
{
    BackBufferHold hold;
    return PixelsOf(BackBufferDc(), width, height);
}

size_t Differing(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b)
{
    if (a.size() != b.size())
        return a.size() + b.size();
    size_t differing = 0, first = a.size();
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) {
            differing += 1;
            first = first < i ? first : i;
        }
    if (differing)
        printf("first difference at pixel %u: %06lx against %06lx\n", unsigned(first), a[first], b[first]);
    return differing;
}

// A 24-bit bottom-up BMP file as ScreenSave writes it, as DIB words; its
// size in width and height (0 x 0 when it is not one).
std::vector<COLORREF> SavedBitmapPixels(const std::string& file, LONG* width, LONG* height)
{
    *width = *height = 0;
    BITMAPFILEHEADER header{};
    BITMAPINFOHEADER info{};
    if (file.size() < sizeof header + sizeof info)
        return {};
    memcpy(&header, file.data(), sizeof header);
    memcpy(&info, file.data() + sizeof header, sizeof info);
    const size_t stride = (info.biWidth * 3 + 3) & ~3;
    if (header.bfType != 0x4D42 || info.biBitCount != 24 || header.bfOffBits + stride * info.biHeight != file.size())
        return {};
    *width = info.biWidth;
    *height = info.biHeight;
    std::vector<COLORREF> pixels(static_cast<size_t>(info.biWidth) * info.biHeight);
    for (LONG y = 0; y < info.biHeight; ++y)
        for (LONG x = 0; x < info.biWidth; ++x) {
            const unsigned char* p = reinterpret_cast<const unsigned char*>(file.data()) + header.bfOffBits +
                                     (info.biHeight - 1 - y) * stride + x * 3;
            pixels[y * info.biWidth + x] = (p[2] << 16) | (p[1] << 8) | p[0];
        }
    return pixels;
}

class ScreenTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartConsole());
        window = ConsoleWindowHandle();
        ResetTextScreen(0, 0);
        ScreenClear(0);
        ASSERT_TRUE(RepaintAndWait(window));
        GetClientRect(window, &client);
    }
    void TearDown() override
    {
        ScreenRelease();
        ScreenClear(0);
        ConsoleClear();
        ConsoleFlush();
    }
    HWND window = nullptr;
    RECT client{};
};

// The same GDI calls the shapes are made of, with a pen and brush of their own.
void ReferenceShapes(HDC dc, LONG right, LONG bottom)
{
    PatBlt(dc, 0, 0, right, bottom, BLACKNESS);
    auto pen = [dc](COLORREF c) { return SelectObject(dc, CreatePen(PS_SOLID, 1, c)); };
    auto done = [dc](HGDIOBJ previous) { DeleteObject(SelectObject(dc, previous)); };
    HGDIOBJ previous = pen(Red);
    MoveToEx(dc, 5, 7, nullptr);
    LineTo(dc, 60, 33);
    SetPixelV(dc, 60, 33, Red);
    MoveToEx(dc, -20, bottom - 3, nullptr); // clipped at the left and the bottom
    LineTo(dc, 40, bottom + 30);
    SetPixelV(dc, 40, bottom + 30, Red);
    done(previous);
    previous = pen(Green);
    HGDIOBJ brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, 80, 10, 80 + 30, 10 + 20);
    Ellipse(dc, 130, 10, 130 + 41, 10 + 23);
    Rectangle(dc, right - 10, -5, right - 10 + 30, -5 + 20); // over the top right corner
    SelectObject(dc, brush);
    done(previous);
    previous = pen(Blue);
    HBRUSH blue = CreateSolidBrush(Blue);
    brush = SelectObject(dc, blue);
    Ellipse(dc, 200, 40, 200 + 33, 40 + 17);
    SelectObject(dc, brush);
    done(previous);
    RECT box{250, 50, 250 + 25, 50 + 12};
    FillRect(dc, &box, blue);
    DeleteObject(blue);
    SetPixelV(dc, 300, 5, White);
}

// A row of cells over the graphics and one of opaque cells, on the window.
void PrintBothKindsOfRows(const char* first)
{
    ConsoleSetColors(RGB(255, 200, 0), NoBackground);
    ConsolePrint(first);
    ConsoleSetColors(White, Blue);
    ConsolePrint("opaque cells");
    ConsoleFlush();
}

void OurShapes(LONG right, LONG bottom)
{
    DrawLine(5, 7, 60, 33, Red);
    DrawLine(-20, bottom - 3, 40, bottom + 30, Red);
    DrawBox(80, 10, 30, 20, Green);
    DrawEllipse(130, 10, 41, 23, Green);
    DrawBox(right - 10, -5, 30, 20, Green);
    FillEllipse(200, 40, 33, 17, Blue);
    FillBox(250, 50, 25, 12, Blue);
    DrawPixel(300, 5, White);
}

TEST_F(ScreenTest, ShapesAreTheirGdiCallsOnTheWindowAndTheBackBuffer)
{
    OurShapes(client.right, client.bottom);
    Canvas reference(client.right, client.bottom);
    ReferenceShapes(reference.Dc, client.right, client.bottom);
    std::vector<COLORREF> expected = reference.Pixels();
    EXPECT_EQ(0u, Differing(expected, BackBufferPixels(client.right, client.bottom))) << "the back buffer";
    EXPECT_EQ(0u, Differing(expected, WindowPixels())) << "the window";

    // What the calls promise, read back pixel by pixel.
    EXPECT_EQ(Red, ReadPixel(5, 7)) << "the line's first end point";
    EXPECT_EQ(Red, ReadPixel(60, 33)) << "and its last";
    EXPECT_EQ(Green, ReadPixel(80, 10));
    EXPECT_EQ(Green, ReadPixel(109, 29)) << "an outline 30 x 20 ends at +29, +19";
    EXPECT_EQ(0u, ReadPixel(110, 30));
    EXPECT_EQ(0u, ReadPixel(95, 20)) << "an outline is hollow";
    EXPECT_EQ(Blue, ReadPixel(250, 50));
    EXPECT_EQ(Blue, ReadPixel(274, 61)) << "a filled box 25 x 12";
    EXPECT_EQ(0u, ReadPixel(275, 61));
    EXPECT_EQ(Blue, ReadPixel(216, 48)) << "a filled ellipse is filled";
    EXPECT_EQ(0u, ReadPixel(150, 21)) << "an outlined one is not";
    EXPECT_EQ(Green, ReadPixel(client.right - 10, 14)) << "the box cut by the corner keeps its left side";
    EXPECT_EQ(White, ReadPixel(300, 5));
    int outside = 0, inside = 0;
    for (LONG y = 0; y < 80; ++y)
        for (LONG x = 120; x < 245; ++x) {
            bool inBox = (x >= 130 && x < 171 && y >= 10 && y < 33) || (x >= 200 && x < 233 && y >= 40 && y < 57);
            (inBox ? inside : outside) += ReadPixel(x, y) != 0;
        }
    EXPECT_GT(inside, 100);
    EXPECT_EQ(0, outside) << "ellipses stay inside their boxes";
    EXPECT_EQ(CLR_INVALID, ReadPixel(-1, 0));
    EXPECT_EQ(CLR_INVALID, ReadPixel(0, BackBufferSize().cy));
    EXPECT_EQ(CLR_INVALID, ReadPixel(BackBufferSize().cx, 0));

    // A filled ellipse between two fills of one colour: the second fill keeps its colour.
    FillBox(300, 100, 4, 4, Red);
    FillEllipse(310, 100, 8, 8, Blue);
    FillBox(320, 100, 4, 4, Red);
    EXPECT_EQ(Red, ReadPixel(321, 101)) << "a fill after an ellipse in the back buffer";
}

TEST_F(ScreenTest, TextAtAPixelIsARowsGlyphsInTheGraphics)
{
    ConsoleCellMetrics cell = ConsoleMetrics();
    const char* text = "Score 得点 ｶﾅ";
    FillBox(0, 0, 300, 40, Blue);
    ConsoleSetColors(White, NoBackground); // the same text as a row, over the same graphics
    ConsoleLocate(2, 1);
    ConsolePrint(text);
    ConsoleFlush();
    std::vector<COLORREF> row = WindowPixels();
    size_t lit = 0;
    for (COLORREF c : row)
        lit += c == DibWord(White);
    EXPECT_GT(lit, 50u) << "the glyphs have pixels";

    ConsoleClear();
    ConsoleFlush();
    DrawTextAt(2 * cell.CellWidth, cell.LineHeight, text, White);
    EXPECT_EQ(0u, Differing(row, BackBufferPixels(client.right, client.bottom))) << "in the back buffer";
    EXPECT_EQ(0u, Differing(row, WindowPixels())) << "on the window";
    ConsoleSetColors(Red, 0);
    ConsolePrint("row over it");
    ConsoleFlush();
    ASSERT_TRUE(RepaintAndWait(window));
    EXPECT_EQ(0u, Differing(row, BackBufferPixels(client.right, client.bottom)))
        << "the text is graphics: the rows lie over it, not in it";
    EXPECT_NE(0u, Differing(row, WindowPixels()));
}

TEST_F(ScreenTest, HeldDrawingReachesTheWindowOnlyWhenShown)
{
    ScreenClear(Blue);
    ConsolePrint("before");
    ConsoleFlush();
    ScreenHold();
    std::vector<COLORREF> shown = WindowPixels();

    Picture dots;
    PictureCreate(&dots);
    PictureSetCaptureDelay(&dots, -1);
    PictureAttachWindow(&dots);
    ASSERT_EQ(1, PictureLoad(&dots, TestDataFile("images/dots3x2.bmp").c_str()));
    ScreenClear(Red);
    for (int i = 0; i < 50; ++i)
        FillBox(i * 7, i * 5, 20, 20, RGB(i * 5, 255 - i * 5, 0));
    DrawLine(0, 0, 300, 200, White);
    FillEllipse(100, 100, 50, 30, Green);
    DrawTextAt(200, 20, "held 保留", White);
    PictureDrawSized(&dots, 320, 100, 60, 40, 0);
    ConsoleSetColors(White, NoBackground);
    ConsolePrint("\r\nprinted while held");
    ConsoleFlush();
    EXPECT_EQ(0u, Differing(shown, WindowPixels())) << "nothing drawn while held reaches the window";
    ASSERT_TRUE(RepaintAndWait(window));
    EXPECT_EQ(0u, Differing(shown, WindowPixels())) << "a repaint shows the last frame shown";
    EXPECT_EQ(Red, ReadPixel(client.right - 3, client.bottom - 3)) << "the back buffer has it all";

    ScreenShow();
    Canvas expected;
    {
        BackBufferHold hold;
        BitBlt(expected.Dc, 0, 0, expected.Width, expected.Height, BackBufferDc(), 0, 0, SRCCOPY);
    }
    DrawRowsCellByCell(expected.Dc);
    EXPECT_EQ(0u, Differing(expected.Pixels(), WindowPixels())) << "shown: the back buffer with the rows over it";
    ASSERT_TRUE(RepaintAndWait(window));
    EXPECT_EQ(0u, Differing(expected.Pixels(), WindowPixels())) << "and a repaint keeps it";

    // A shown frame takes only what changed since the last: each kind of
    // drawing, a little of it, must still be all there.
    auto expectShown = [&](const char* what) {
        ScreenShow();
        {
            BackBufferHold hold;
            BitBlt(expected.Dc, 0, 0, expected.Width, expected.Height, BackBufferDc(), 0, 0, SRCCOPY);
        }
        DrawRowsCellByCell(expected.Dc);
        EXPECT_EQ(0u, Differing(expected.Pixels(), WindowPixels())) << what;
    };
    ScreenShow();
    expectShown("shown again, nothing changed");
    FillBox(client.right - 7, client.bottom - 5, 7, 5, Green);
    expectShown("a box in the bottom right corner");
    DrawPixel(3, 18, White);
    DrawLine(600, 2, 630, 9, Blue);
    expectShown("a pixel and a line");
    DrawEllipse(40, 200, 9, 7, White);
    DrawTextAt(500, 300, "字", Green);
    expectShown("an ellipse and a glyph");
    PictureDraw(&dots, 7, 250, SRCCOPY);
    PictureDrawBlended(&dots, 400, 64, 30, 20, 128);
    PictureDrawKeyed(&dots, 20, 330, 30, 20, RGB(255, 255, 255));
    expectShown("pictures copied, blended and keyed");
    ConsoleLocate(3, 5);
    ConsolePrint("row");
    ConsoleFlush();
    FillBox(0, 5 * ConsoleMetrics().LineHeight + 2, 2, 2, Blue); // under the row printed
    expectShown("a row printed over a change");

    FillBox(0, 0, 40, 40, White); // still held
    EXPECT_NE(White, WindowPixel(20, 20));
    ScreenRelease();
    EXPECT_EQ(White, WindowPixel(20, 20)) << "released: shown";
    FillBox(0, 0, 40, 40, Blue);
    EXPECT_EQ(Blue, WindowPixel(20, 20)) << "and drawn straight to the window again";
    PictureDestroy(&dots);
}

// Frames of boxes in one colour, the colour changing every frame, are built
// held and shown while another thread watches the window and a third repaints
// it: every look finds one whole frame, never a cleared one or two mixed.
TEST_F(ScreenTest, AWatcherNeverSeesAHalfDrawnFrame)
{
    const COLORREF colours[] = {Red, Green};
    const int boxes = 40;
    auto drawFrame = [&](int frame) {
        ScreenClear(0);
        for (int b = 0; b < boxes; ++b)
            FillBox(10 + (b % 10) * 60, 10 + (b / 10) * 60, 30, 30, colours[frame % 2]);
        ScreenShow();
    };
    ScreenHold();
    drawFrame(0);
    std::atomic<bool> running{true};
    std::atomic<int> looks{0}, cleared{0}, mixed{0};
    std::thread watcher([&] {
        HDC dc = GetDC(window);
        while (running) {
            std::vector<COLORREF> seen = PixelsOf(dc, 640, 280);
            int counts[3] = {0, 0, 0};
            for (int b = 0; b < boxes; ++b) {
                DWORD c = seen[(25 + (b / 10) * 60) * 640 + 25 + (b % 10) * 60];
                counts[c == DibWord(colours[0]) ? 0 : c == DibWord(colours[1]) ? 1 : 2] += 1;
            }
            if (counts[2] > 0 && cleared == 0)
                printf("look %d: %d, %d, %d\n", looks.load(), counts[0], counts[1], counts[2]);
            cleared += counts[2] > 0;
            mixed += counts[0] > 0 && counts[1] > 0;
            ++looks;
        }
        ReleaseDC(window, dc);
    });
    std::thread repainter([&] {
        while (running)
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    });
    for (int frame = 1; frame <= 300; ++frame)
        drawFrame(frame);
    for (DWORD start = GetTickCount(); looks < 200 && GetTickCount() - start < 30000;)
        drawFrame(1);
    running = false;
    watcher.join();
    repainter.join();
    printf("%d looks at the window\n", looks.load());
    EXPECT_GE(looks, 200);
    EXPECT_EQ(0, cleared) << "looks that found a box missing";
    EXPECT_EQ(0, mixed) << "looks that found two frames at once";
}

TEST_F(ScreenTest, SavedScreenIsWhatTheWindowShows)
{
    for (LONG x = 0; x < client.right; x += 4)
        FillBox(x, 0, 4, client.bottom, RGB(x % 256, 100, 255 - x % 256));
    FillEllipse(100, 100, 200, 120, Green);
    DrawTextAt(20, 300, "保存 saved", White);
    PrintBothKindsOfRows("rows too: 行\r\n");

    std::string path = ScratchFile("screen.bmp", "");
    ASSERT_EQ(1, ScreenSave(path.c_str()));
    std::vector<COLORREF> shown = WindowPixels();
    std::string file = ReadWholeFile(path);
    LONG width = 0, height = 0;
    std::vector<COLORREF> saved = SavedBitmapPixels(file, &width, &height);
    ASSERT_EQ(client.right, width) << "a 24-bit BMP file of the client area's size";
    ASSERT_EQ(client.bottom, height);
    EXPECT_EQ(0u, Differing(shown, saved)) << "the file against the window";

    ScreenHold(); // held: the frame shown, not the back buffer
    ScreenClear(Red);
    ASSERT_EQ(1, ScreenSave(path.c_str()));
    EXPECT_EQ(file, ReadWholeFile(path));
    EXPECT_EQ(0, ScreenSave("Z:\\no such folder\\screen.bmp"));
}

TEST_F(ScreenTest, ConsoleClearEmptiesTheRowsAndLocateClamps)
{
    FillBox(0, 0, 200, 50, Green);
    ConsolePrint("some text\r\nand more");
    ConsoleFlush();
    ConsoleClear();
    EXPECT_EQ("", RowText(0));
    EXPECT_EQ("", RowText(1));
    EXPECT_EQ(0, ConsoleCursor().Column);
    EXPECT_EQ(0, ConsoleCursor().Row);
    ConsoleFlush();
    EXPECT_EQ(0u, Differing(BackBufferPixels(client.right, client.bottom), WindowPixels()))
        << "the window shows the graphics alone";

    ConsoleLocate(5, 2);
    ConsolePrint("x");
    EXPECT_EQ("     x", RowText(2)) << "the cells before are spaces, so that the x is drawn";
    EXPECT_EQ(NoBackground, ConsoleCell(2, 0).Background) << "transparent ones";
    EXPECT_EQ(6, ConsoleCursor().Column);
    EXPECT_EQ(2, ConsoleCursor().Row);
    ConsoleLocate(-4, 500);
    EXPECT_EQ(0, ConsoleCursor().Column);
    EXPECT_EQ(100, ConsoleCursor().Row);
    ConsoleLocate(999, -1);
    EXPECT_EQ(253, ConsoleCursor().Column);
    EXPECT_EQ(0, ConsoleCursor().Row);
}

} // namespace

// The screen at a whole scale, in this process at 96 dpi: the scale asked
// for by the program, full screen, a size the user gives, and the dpi
// messages of a move to another monitor (sent here: Wine has one monitor).
class ScaledScreenTest : public ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        // A screen small enough for scale 2 on the 1024 x 768 desktop.
        SetWindowPos(window, nullptr, 0, 0, 400, 300, SWP_NOZORDER);
        logical = ClientArea();
        printf("the program's screen: %ld x %ld\n", logical.right, logical.bottom);
    }
    void TearDown() override
    {
        RECT place{};
        GetWindowRect(window, &place);
        SendMessageW(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&place));
        ScreenFullscreen(false);
        ScreenAllowResize(true); // as the window is made
        ScreenSetScale(0);
        ScreenTest::TearDown();
        SetWindowPos(window, nullptr, 0, 0, 640, 460, SWP_NOZORDER);
    }

    // The window's pixels as blocks of the placement's scale: the colour of
    // each program pixel, and how many blocks are not of one colour.
    std::vector<COLORREF> Blocks(size_t* mixed)
    {
        const ScreenPlacement placement = CurrentScreenPlacement();
        RECT device{};
        GetClientRect(window, &device);
        std::vector<COLORREF> seen = WindowPixels();
        const LONG n = placement.Scale, width = placement.Logical.cx, height = placement.Logical.cy;
        std::vector<COLORREF> blocks(static_cast<size_t>(width) * height);
        *mixed = 0;
        for (LONG y = 0; y < height; ++y)
            for (LONG x = 0; x < width; ++x) {
                const LONG left = placement.Offset.x + x * n, top = placement.Offset.y + y * n;
                COLORREF first = seen[top * device.right + left];
                bool same = true;
                for (LONG dy = 0; dy < n; ++dy)
                    for (LONG dx = 0; dx < n; ++dx)
                        same = same && seen[(top + dy) * device.right + left + dx] == first;
                *mixed += !same;
                blocks[y * width + x] = first;
            }
        return blocks;
    }

    // What ScreenSave writes now, as DIB words; its size must be the program's screen.
    std::vector<COLORREF> Saved()
    {
        std::string path = ScratchFile("scaled.bmp", "");
        EXPECT_EQ(1, ScreenSave(path.c_str()));
        LONG width = 0, height = 0;
        std::vector<COLORREF> saved = SavedBitmapPixels(ReadWholeFile(path), &width, &height);
        printf("saved %ld x %ld\n", width, height);
        EXPECT_EQ(logical.right, width) << "the program's pixels, not the window's";
        EXPECT_EQ(logical.bottom, height);
        return saved;
    }

    // Every program pixel an exact block of the window, of the colour the program's pixels have.
    void ExpectSharpBlocks(const char* when)
    {
        size_t mixed = 0;
        std::vector<COLORREF> blocks = Blocks(&mixed);
        printf("%s: scale %ld, %u blocks of more than one colour\n", when, ScreenScale(), unsigned(mixed));
        EXPECT_EQ(0u, mixed) << when;
        EXPECT_EQ(0u, Differing(blocks, Saved())) << when << ": the blocks against the program's pixels";
    }

    void DrawSomething()
    {
        for (LONG x = 0; x < logical.right; x += 3)
            FillBox(x, 0, 3, logical.bottom, RGB(x * 5 % 256, 90, 255 - x % 256));
        OurShapes(logical.right, logical.bottom);
        DrawTextAt(20, 150, "拡大 scaled", White);
        PrintBothKindsOfRows("rows at scale: 行\r\n");
    }

    RECT logical{};
};

TEST_F(ScaledScreenTest, AtScaleTwoEachProgramPixelIsABlockOfTheWindow)
{
    ASSERT_EQ(1, ScreenSetScale(2));
    EXPECT_EQ(2, ScreenScale());
    RECT device{};
    GetClientRect(window, &device);
    printf("client area %ld x %ld for the screen's %ld x %ld\n", device.right, device.bottom, logical.right,
           logical.bottom);
    EXPECT_EQ(2 * logical.right, device.right);
    EXPECT_EQ(2 * logical.bottom, device.bottom);
    RECT now = ClientArea();
    EXPECT_TRUE(EqualRect(&logical, &now)) << "the program's screen keeps its size";

    DrawSomething(); // not held: each draw reaches the window stretched
    ExpectSharpBlocks("drawn straight");
    ASSERT_TRUE(RepaintAndWait(window));
    ExpectSharpBlocks("repainted");
    ScreenHold();
    ScreenClear(Green);
    FillEllipse(30, 40, 70, 50, Red);
    ScreenShow();
    ExpectSharpBlocks("a held frame shown");

    // A program's own size is in its pixels: the window grows by the scale.
    SetWindowPos(window, nullptr, 0, 0, 300, 200, SWP_NOZORDER);
    RECT smaller = ClientArea();
    GetClientRect(window, &device);
    EXPECT_EQ(2 * smaller.right, device.right);
    EXPECT_EQ(2 * smaller.bottom, device.bottom);
    EXPECT_LT(smaller.right, logical.right);
    // ScreenSetSize says it in one call, whatever the frame; a size that cannot be changes nothing.
    for (SIZE refused : {SIZE{0, 100}, SIZE{100, -1}, SIZE{100000, 100}})
        EXPECT_EQ(0, ScreenSetSize(refused.cx, refused.cy)) << refused.cx << " x " << refused.cy;
    ASSERT_EQ(1, ScreenSetSize(320, 240));
    now = ClientArea();
    GetClientRect(window, &device);
    printf("ScreenSetSize(320, 240): the screen %ld x %ld, the client area %ld x %ld\n", now.right, now.bottom,
           device.right, device.bottom);
    EXPECT_EQ(320, now.right);
    EXPECT_EQ(240, now.bottom);
    EXPECT_EQ(640, device.right);
    EXPECT_EQ(480, device.bottom);
}

TEST_F(ScaledScreenTest, ScalesThatCannotBeAreRefusedAndChangeNothing)
{
    RECT before{};
    GetWindowRect(window, &before);
    for (LONG scale : {-1L, -100L, 4L, 1000L}) { // 4: 1552 x 1076 does not fit a 1024 x 768 desktop
        EXPECT_EQ(0, ScreenSetScale(scale)) << scale;
        RECT after{};
        GetWindowRect(window, &after);
        EXPECT_TRUE(EqualRect(&before, &after)) << "the window stays, after " << scale;
        EXPECT_EQ(1, ScreenScale());
    }
    EXPECT_EQ(1, ScreenSetScale(0));
    EXPECT_EQ(1, ScreenScale()) << "the monitor's at 96 dpi";
}

TEST_F(ScaledScreenTest, FullScreenIsLetterboxedAndTheWindowComesBack)
{
    RECT before{};
    GetWindowRect(window, &before);
    LONG style = GetWindowLongW(window, GWL_STYLE);
    ScreenHold(); // a held frame goes on through the switch
    ScreenClear(Red);
    ScreenShow();
    // Alt+Enter, as the keyboard sends it.
    SendMessageW(window, WM_SYSKEYDOWN, VK_RETURN, (LPARAM(1) << 29) | 1);
    RECT covered{};
    GetWindowRect(window, &covered);
    printf("full screen: window (%ld, %ld)-(%ld, %ld), scale %ld\n", covered.left, covered.top, covered.right,
           covered.bottom, ScreenScale());
    EXPECT_EQ(0, covered.left);
    EXPECT_EQ(0, covered.top);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), covered.right);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), covered.bottom);
    EXPECT_EQ(0, GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) << "borderless";
    RECT now = ClientArea();
    EXPECT_TRUE(EqualRect(&logical, &now)) << "the program's screen keeps its size";
    const ScreenPlacement placement = CurrentScreenPlacement();
    LONG fit = std::min(covered.right / logical.right, covered.bottom / logical.bottom);
    EXPECT_EQ(fit, ScreenScale()) << "the largest whole scale that fits";
    EXPECT_EQ((covered.right - logical.right * fit) / 2, placement.Offset.x) << "centred";
    EXPECT_EQ((covered.bottom - logical.bottom * fit) / 2, placement.Offset.y);
    ASSERT_TRUE(RepaintAndWait(window));
    ExpectSharpBlocks("full screen");
    EXPECT_EQ(0u, WindowPixel(2, 2)) << "black around";
    EXPECT_EQ(0u, WindowPixel(covered.right - 3, covered.bottom - 3));

    EXPECT_EQ(1, ScreenFullscreen(false));
    RECT after{};
    GetWindowRect(window, &after);
    printf("back: window (%ld, %ld)-(%ld, %ld)\n", after.left, after.top, after.right, after.bottom);
    EXPECT_TRUE(EqualRect(&before, &after)) << "its old place and size";
    EXPECT_EQ(style, GetWindowLongW(window, GWL_STYLE));
    EXPECT_EQ(1, ScreenScale());
    ASSERT_TRUE(RepaintAndWait(window));
    EXPECT_EQ(RGB(255, 0, 0), WindowPixel(5, 5)) << "the held frame again";
}

TEST_F(ScaledScreenTest, ASizeTheUserGivesKeepsTheScreenAtTheScaleThatFits)
{
    EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_THICKFRAME) << "sizable as made";
    ASSERT_EQ(1, ScreenAllowResize(false));
    ASSERT_EQ(1, ScreenAllowResize(true));
    EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX));
    RECT now = ClientArea();
    EXPECT_TRUE(EqualRect(&logical, &now));
    MINMAXINFO limits{};
    SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    RECT outer{};
    GetWindowRect(window, &outer);
    EXPECT_GE(limits.ptMinTrackSize.x, outer.right - outer.left) << "never below one pixel a program pixel";
    EXPECT_GE(limits.ptMinTrackSize.y, outer.bottom - outer.top);

    SendMessageW(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0); // as the maximise box does
    RECT device{};
    GetClientRect(window, &device);
    now = ClientArea();
    LONG fit = std::min(device.right / logical.right, device.bottom / logical.bottom);
    printf("maximised: client %ld x %ld, scale %ld\n", device.right, device.bottom, ScreenScale());
    EXPECT_TRUE(EqualRect(&logical, &now)) << "the program's screen keeps its size";
    EXPECT_EQ(fit, ScreenScale());
    DrawSomething();
    ExpectSharpBlocks("maximised");

    ShowWindow(window, SW_RESTORE); // from a program thread: the system's size back, not one in the program's pixels
    GetClientRect(window, &device);
    EXPECT_EQ(logical.right, device.right) << "restored";
    EXPECT_EQ(logical.bottom, device.bottom);
    ShowWindow(window, SW_MAXIMIZE);
    EXPECT_EQ(fit, ScreenScale()) << "maximised by the program";
    now = ClientArea();
    EXPECT_TRUE(EqualRect(&logical, &now));
    EXPECT_EQ(1, ScreenAllowResize(false));
    EXPECT_EQ(0, GetWindowLongW(window, GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX));
    GetClientRect(window, &device);
    EXPECT_EQ(logical.right, device.right) << "fixed again at scale 1";
    EXPECT_EQ(logical.bottom, device.bottom);
}

TEST_F(ScaledScreenTest, ADpiChangeDuringAHeldFrameKeepsTheProgramsPixels)
{
    ScreenHold();
    ScreenClear(Blue);
    FillBox(10, 10, 50, 30, Red);
    ScreenShow();
    FillBox(100, 100, 20, 20, Green); // drawn, not yet shown
    const COLORREF inBack = BackBufferPixel(110, 110);
    RECT suggested{};
    GetWindowRect(window, &suggested);
    // What Windows sends when the window reaches a monitor at 200 %, and back.
    SendMessageW(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(2, ScreenScale());
    RECT device{};
    GetClientRect(window, &device);
    EXPECT_EQ(2 * logical.right, device.right);
    RECT now = ClientArea();
    EXPECT_TRUE(EqualRect(&logical, &now));
    ASSERT_TRUE(RepaintAndWait(window));
    size_t mixed = 0;
    std::vector<COLORREF> blocks = Blocks(&mixed);
    EXPECT_EQ(0u, mixed);
    EXPECT_EQ(DibWord(Red), blocks[20 * logical.right + 20] & 0xFFFFFF);
    EXPECT_EQ(DibWord(Blue), blocks[110 * logical.right + 110] & 0xFFFFFF) << "the held frame, not the back buffer";
    EXPECT_EQ(inBack, BackBufferPixel(110, 110)) << "what was drawn meanwhile is kept";
    ScreenShow();
    blocks = Blocks(&mixed);
    EXPECT_EQ(DibWord(Green), blocks[110 * logical.right + 110] & 0xFFFFFF);
    SendMessageW(window, 0x02E0, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(1, ScreenScale());
}
