// The runtime's own blend loops against the blend written out in reals: every
// mode, opacities 0, 128 and 255, and the four-at-once steps against the
// pixel-at-a-time ones that finish a row.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "screen/pixel_blend.h"

namespace {

uint32_t Premultiplied(std::mt19937& random)
{
    uint32_t a = random() % 256, pixel = a << 24;
    for (int c = 0; c < 3; ++c)
        pixel |= (a ? random() % (a + 1) : 0) << (8 * c);
    return pixel;
}

// The blend in reals, rounded once at the end.
uint32_t Expected(uint32_t d, uint32_t s, const BlendSetting& setting)
{
    double o = setting.Opacity / 255.0, sa = ((s >> 24) & 0xFF) * o / 255.0;
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        double sc = ((s >> (8 * c)) & 0xFF) * o, dc = (d >> (8 * c)) & 0xFF, v = 0;
        switch (setting.Mode) {
        case PixelBlend::Over: v = sc + dc * (1 - sa); break;
        case PixelBlend::Add: v = std::fmin(255, sc + dc); break;
        case PixelBlend::Multiply: v = c == 3 ? dc : dc * std::fmin(1, sc / 255 + 1 - sa); break;
        }
        if (c == 3 && !setting.KeepAlpha)
            v = 0;
        out |= static_cast<uint32_t>(std::lround(v)) << (8 * c);
    }
    return out;
}

int Farthest(uint32_t a, uint32_t b)
{
    int most = 0;
    for (int c = 0; c < 4; ++c)
        most = std::max(most, std::abs(int((a >> (8 * c)) & 0xFF) - int((b >> (8 * c)) & 0xFF)));
    return most;
}

TEST(PixelBlendTest, EveryModeIsItsFormulaWithinOneStepAndExactAtTheEnds)
{
    std::mt19937 random(7);
    for (PixelBlend mode : {PixelBlend::Over, PixelBlend::Add, PixelBlend::Multiply})
        for (uint8_t opacity : {uint8_t(0), uint8_t(128), uint8_t(255)})
            for (bool keepAlpha : {false, true}) {
                BlendSetting setting{mode, opacity, keepAlpha};
                const int count = 1001; // four at a time, and a tail of one
                std::vector<uint32_t> source(count), destination(count), expected(count);
                for (int i = 0; i < count; ++i) {
                    source[i] = Premultiplied(random);
                    destination[i] = keepAlpha ? Premultiplied(random) : random() & 0xFFFFFF;
                    expected[i] = Expected(destination[i], source[i], setting);
                }
                source[count - 1] = source[1]; // the tail repeats a pixel the four-lane steps took
                destination[count - 1] = destination[1];
                std::vector<uint32_t> blended = destination;
                BlendSpan(blended.data(), source.data(), count, setting);
                int worst = 0;
                for (int i = 0; i < count - 1; ++i)
                    worst = std::max(worst, Farthest(blended[i], expected[i]));
                                EXPECT_LE(worst, 1) << "mode " << int(mode) << " opacity " << int(opacity) << " alpha kept " << keepAlpha;
                EXPECT_EQ(blended[1], blended[count - 1]) << "mode " << int(mode) << ": one pixel alone as four at once";
                if (opacity == 0) {
                    for (int i = 0; i < count; ++i)
                        ASSERT_EQ(destination[i] & (keepAlpha ? ~0u : 0xFFFFFFu), blended[i]) << "opacity 0 at " << i;
                }
            }
    // Opaque over anything, at full opacity: the source exactly.
    uint32_t opaque[4] = {0xFF102030, 0xFFFFFFFF, 0xFF000000, 0xFF7F8081}, under[4] = {1, 2, 3, 0xFFFFFF};
    BlendSpan(under, opaque, 4, BlendSetting{PixelBlend::Over, 255, false});
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(opaque[i] & 0xFFFFFF, under[i]);
}

TEST(PixelBlendTest, AColourThroughCoverage)
{
    // Coverage as white text over black leaves it: 0, a grey, full.
    uint32_t coverage[3] = {0x000000, 0x808080, 0xFFFFFF}, pixels[3] = {0x112233, 0x112233, 0x112233};
    BlendColourSpan(pixels, coverage, 3, 0x0000FF /* red */, BlendSetting{PixelBlend::Over, 255, false});
    EXPECT_EQ(0x112233u, pixels[0]) << "no coverage: untouched";
    EXPECT_EQ(0xFF0000u, pixels[2]) << "full coverage: the colour, as 0x00RRGGBB";
    EXPECT_LE(Farthest(pixels[1], 0x881119), 1) << "half: half of each";
}

TEST(PixelBlendTest, TurnsByQuartersAndWholeScalesMovePixelsExactly)
{
    const int32_t w = 4, h = 3;
    std::vector<uint32_t> sheet(w * h);
    for (int i = 0; i < w * h; ++i)
        sheet[i] = 0xFF000000u | uint32_t(i * 0x0A0B0C + 1);
    PixelImage source{sheet.data(), w, h, w};
    const BlendSetting copy{PixelBlend::Over, 255, false};
    for (int quarter = 0; quarter < 4; ++quarter) {
        std::vector<uint32_t> screen(20 * 20, 0);
        PixelImage destination{screen.data(), 20, 20, 20};
        PixelRect touched;
        BlendTransformed(destination, source, PixelRect{0, 0, w, h}, 10, 10, 2.0, 2.0, quarter * M_PI / 2, copy, &touched);
        int wrong = 0, drawn = 0;
        for (int32_t y = 0; y < 20; ++y)
            for (int32_t x = 0; x < 20; ++x) {
                // Where this pixel's centre was before the turn, at scale 2.
                double px = x + 0.5 - 10, py = y + 0.5 - 10, u = px, v = py;
                for (int k = 0; k < quarter; ++k) { double t = u; u = v; v = -t; }
                int su = int(std::floor(u / 2 + w / 2.0)), sv = int(std::floor(v / 2 + h / 2.0));
                bool inside = su >= 0 && su < w && sv >= 0 && sv < h;
                uint32_t expected = inside ? sheet[sv * w + su] & 0xFFFFFF : 0;
                wrong += screen[y * 20 + x] != expected;
                drawn += inside;
            }
        EXPECT_EQ(0, wrong) << "a turn by " << quarter << " quarters at scale 2";
        EXPECT_EQ(w * h * 4, drawn) << "every source pixel a 2 x 2 block";
        EXPECT_LE(touched.Right - touched.Left, quarter % 2 ? 2 * h + 1 : 2 * w + 1);
    }
    // Bad scales and angles draw nothing.
    std::vector<uint32_t> screen(16, 0x123456);
    PixelImage destination{screen.data(), 4, 4, 4};
    PixelRect touched;
    for (double scale : {0.0, -1.0, double(NAN), double(INFINITY)}) {
        BlendTransformed(destination, source, PixelRect{0, 0, w, h}, 2, 2, scale, 1.0, 0, copy, &touched);
        EXPECT_EQ(touched.Left, touched.Right) << "scale " << scale;
    }
    BlendTransformed(destination, source, PixelRect{0, 0, w, h}, 2, 2, 1, 1, NAN, copy, &touched);
    EXPECT_EQ(0x123456u, screen[5]);
}

} // namespace
