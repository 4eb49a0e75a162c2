// Sprites against the platform's own drawing of the same rectangles on
// memory bitmaps: cells and quarter turns exactly, blends within a step.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include <prompt/screen.h>

#include "picture/picture.h"
#include "support/console_start.h"
#include "support/files.h"
#include "support/screen.h"
#include "support/gdi_count.h"
#include "support/reference_text.h"

namespace {

const std::string Sprite = TestDataFile("images/sprite32x48.bmp");
const std::string Alpha = TestDataFile("images/alpha64x8.png");


int Farthest(COLORREF a, COLORREF b)
{
    int most = 0;
    for (int shift : {0, 8, 16})
        most = std::max(most, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return most;
}

class SpriteTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartConsole());
        for (Picture* p : {&picture, &other}) {
            PictureCreate(p);
            PictureSetCaptureDelay(p, -1);
            PictureAttachWindow(p);
        }
        FillBackBuffer(RECT{0, 0, 640, 480}, 0);
    }
    void TearDown() override
    {
        ScreenSetBlend(BlendNormal, 255);
        ScreenDrawTo(nullptr);
        PictureDestroy(&picture);
        PictureDestroy(&other);
    }

    // How many pixels of the back buffer's area differ from expected(x, y).
    template <typename Expected>
    int Misses(RECT area, Expected expected, int tolerance = 0)
    {
        int misses = 0;
        for (LONG y = area.top; y < area.bottom; ++y)
            for (LONG x = area.left; x < area.right; ++x) {
                COLORREF got = BackBufferPixel(x, y), want = expected(x, y);
                if (Farthest(got, want) > tolerance && ++misses <= 3)
                    ADD_FAILURE() << "(" << x << ", " << y << "): got " << std::hex << got << ", expected " << want;
            }
        return misses;
    }

    Picture picture{};
    Picture other{};
};

TEST_F(SpriteTest, CellsPartsAndQuarterTurnsMoveEveryPixelExactly)
{
    ASSERT_EQ(1, PictureLoad(&picture, Sprite.c_str()));
    HBITMAP bitmap = picture.Bitmap;
    // Cell 4 of a sheet of 16 x 16 cells, two across: the one at (0, 32).
    ASSERT_EQ(1, PictureDrawCell(&picture, 10, 10, 16, 16, 4));
    EXPECT_EQ(0, Misses(RECT{10, 10, 26, 26}, [&](LONG x, LONG y) { return BitmapPixel(bitmap, x - 10, y + 22); }));
    EXPECT_EQ(BackBufferPixel(12, 12), WindowPixel(12, 12)) << "on the window too";
    ASSERT_EQ(1, PictureDrawPart(&picture, 40, 10, 5, 7, 9, 11));
    EXPECT_EQ(0, Misses(RECT{40, 10, 49, 21}, [&](LONG x, LONG y) { return BitmapPixel(bitmap, x - 35, y - 3); }));

    // A quarter turn clockwise about (200, 200): 48 wide, 32 high.
    ASSERT_EQ(1, PictureDrawRotated(&picture, 200, 200, 1.0, 3.14159265358979323846 / 2, 255));
    EXPECT_EQ(0, Misses(RECT{176, 184, 224, 216}, [&](LONG x, LONG y) {
        return BitmapPixel(bitmap, int(std::floor(y + 0.5 - 200 + 16)), int(std::floor(-(x + 0.5 - 200) + 24)));
    }));
    // A cell at scale 3: each pixel a 3 x 3 block.
    ASSERT_EQ(1, PictureDrawPartRotated(&picture, 400, 100, 16, 0, 16, 16, 3.0, 0, 255));
    EXPECT_EQ(0, Misses(RECT{376, 76, 424, 124}, [&](LONG x, LONG y) { return BitmapPixel(bitmap, 16 + (x - 376) / 3, (y - 76) / 3); }));

    // What is not on the sheet draws nothing.
    COLORREF before = BackBufferPixel(300, 300);
    EXPECT_EQ(0, PictureDrawCell(&picture, 300, 300, 16, 16, 6));
    EXPECT_EQ(0, PictureDrawCell(&picture, 300, 300, 0, 16, 0));
    EXPECT_EQ(0, PictureDrawPart(&picture, 300, 300, 20, 0, 13, 4));
    for (double scale : {0.0, -1.0, double(NAN), double(INFINITY)})
        EXPECT_EQ(0, PictureDrawRotated(&picture, 300, 300, scale, 0, 255)) << scale;
    EXPECT_EQ(0, PictureDrawRotated(&picture, 300, 300, 1, 0, 256));
    EXPECT_EQ(0, PictureDrawRotated(&other, 300, 300, 1, 0, 255)) << "no image";
    EXPECT_EQ(before, BackBufferPixel(300, 300));
}

TEST_F(SpriteTest, BlendsAreThePlatformsWithinAStep)
{
    ASSERT_EQ(1, PictureLoadWithAlpha(&picture, Alpha.c_str()));
    const COLORREF background = RGB(60, 140, 230);
    FillBackBuffer(RECT{0, 0, 200, 100}, background);
    // The platform's blend of the same picture onto a memory bitmap of the background.
    Canvas reference(64, 8);
    HDC source = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(source, picture.Bitmap);
    int opacities[3] = {0, 128, 255};
    for (int i = 0; i < 3; ++i) {
        HBRUSH brush = CreateSolidBrush(background);
        RECT all{0, 0, 64, 8};
        FillRect(reference.Dc, &all, brush);
        DeleteObject(brush);
        BLENDFUNCTION blend{AC_SRC_OVER, 0, BYTE(opacities[i]), AC_SRC_ALPHA};
        GdiAlphaBlend(reference.Dc, 0, 0, 64, 8, source, 0, 0, 64, 8, blend);
        ASSERT_NE(0, PictureDrawBlended(&picture, 10, 10 + 20 * i, 0, 0, BYTE(opacities[i])));
        EXPECT_EQ(0, Misses(RECT{10, 10 + 20 * i, 74, 18 + 20 * i},
                            [&](LONG x, LONG y) { return GetPixel(reference.Dc, x - 10, y - 10 - 20 * i); },
                            opacities[i] == 0 ? 0 : 1))
            << "opacity " << opacities[i];
    }
    SelectObject(source, previous);
    DeleteDC(source);

    // Light adds, shadow multiplies; for shapes as for pictures.
    FillBackBuffer(RECT{300, 0, 400, 20}, RGB(100, 100, 100));
    ASSERT_EQ(1, ScreenSetBlend(BlendAdd, 255));
    FillBox(300, 0, 10, 10, RGB(200, 50, 0));
    ASSERT_EQ(1, ScreenSetBlend(BlendMultiply, 255));
    FillBox(320, 0, 10, 10, RGB(128, 255, 0));
    ASSERT_EQ(1, ScreenSetBlend(BlendAlpha, 128));
    FillEllipse(340, 0, 10, 10, RGB(200, 0, 0));
    EXPECT_EQ(RGB(255, 150, 100), BackBufferPixel(305, 5));
    EXPECT_LE(Farthest(RGB(50, 100, 0), BackBufferPixel(325, 5)), 1);
    EXPECT_LE(Farthest(RGB(150, 50, 50), BackBufferPixel(345, 5)), 1) << "half the ellipse's red";
    EXPECT_EQ(RGB(100, 100, 100), BackBufferPixel(340, 0)) << "outside the ellipse";
    EXPECT_EQ(0, ScreenSetBlend(7, 255));
    EXPECT_EQ(0, ScreenSetBlend(BlendAdd, 256));
    EXPECT_EQ(0, ScreenSetBlend(BlendAdd, -1));
    FillBox(360, 0, 10, 10, RGB(0, 0, 255));
    EXPECT_LE(Farthest(RGB(50, 50, 178), BackBufferPixel(365, 5)), 1) << "a refused call changes nothing";
}

TEST_F(SpriteTest, PicturesMadeToDrawIntoKeepTheirAlphaAndSaveAsPng)
{
    GdiSnapshot before;
    for (int round = 0; round < 21; ++round) {
        if (round == 1)
            before = TakeGdiSnapshot(); // after the first, which makes the door's scratch image once
        ASSERT_EQ(1, PictureMake(&picture, 30, 10));
        ASSERT_EQ(1, ScreenDrawTo(&picture));
        FillBox(0, 0, 10, 10, RGB(255, 0, 0));
        DrawTextAt(12, 0, "字", RGB(0, 255, 0));
        EXPECT_EQ(0, PictureDrawBlended(&picture, 0, 0, 0, 0, 255)) << "not into itself";
        ASSERT_EQ(1, ScreenDrawTo(nullptr));
        FillBackBuffer(RECT{290, 290, 340, 310}, RGB(0, 0, 255));
        ASSERT_NE(0, PictureDrawBlended(&picture, 300, 300, 0, 0, 255));
        EXPECT_EQ(RGB(255, 0, 0), BackBufferPixel(305, 305));
        EXPECT_EQ(RGB(0, 0, 255), BackBufferPixel(311, 302)) << "transparent where nothing was drawn";
        int green = 0;
        for (LONG x = 312; x < 330; ++x)
            for (LONG y = 300; y < 310; ++y)
                green += GetGValue(BackBufferPixel(x, y)) > 128;
        EXPECT_GT(green, 5) << "the glyph drawn into the picture";
    }
    EXPECT_EQ(0, GdiObjectsAddedSince(before)) << "20 pictures made, drawn into and drawn";

    char folder[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, folder);
    std::string saved = std::string(folder) + "made.png";
    ASSERT_EQ(1, PictureSave(&picture, saved.c_str()));
    ASSERT_EQ(1, PictureLoadWithAlpha(&other, saved.c_str()));
    FillBackBuffer(RECT{0, 400, 40, 420}, RGB(0, 0, 255));
    PictureDrawBlended(&other, 0, 400, 0, 0, 255);
    EXPECT_EQ(RGB(255, 0, 0), BackBufferPixel(5, 405)) << "the PNG read back";
    EXPECT_EQ(RGB(0, 0, 255), BackBufferPixel(11, 402));
    EXPECT_EQ(0, PictureSave(&picture, "no such folder\\made.png"));
    std::string screen = std::string(folder) + "screen.png";
    ASSERT_EQ(1, ScreenSave(screen.c_str()));
    ASSERT_EQ(1, PictureLoadWithAlpha(&other, screen.c_str()));
    EXPECT_EQ(RGB(255, 0, 0), BitmapPixel(other.Bitmap, 305, 305)) << "the screen as PNG";

    // What cannot be drawn into, or made.
    ASSERT_EQ(1, PictureLoad(&other, Sprite.c_str()));
    EXPECT_EQ(0, ScreenDrawTo(&other)) << "an image without alpha";
    EXPECT_EQ(0, PictureMake(&picture, 0, 10));
    EXPECT_EQ(0, PictureMake(&picture, 16385, 1));
    EXPECT_EQ(30, PictureWidth(&picture)) << "a refused make keeps the image";
}

} // namespace
