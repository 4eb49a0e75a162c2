#include "screen/pixel_blend.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// x * y / 255, rounded, for 16-bit lanes holding values up to 255 * 255:
// (t + (t >> 8)) >> 8 with t = x * y + 128, as Times below. The high half of
// t * 257 is the same number for every such t, in one multiply instead of two
// shifts and an add.
inline __m128i Divide255(__m128i product)
{
    __m128i rounded = _mm_add_epi16(product, _mm_set1_epi16(128));
    return _mm_mulhi_epu16(rounded, _mm_set1_epi16(257));
}

inline __m128i Scale(__m128i pixels16, __m128i factor16)
{
    return Divide255(_mm_mullo_epi16(pixels16, factor16));
}

// Each pixel's alpha in all four of its 16-bit lanes.
inline __m128i SpreadAlpha(__m128i pixels16)
{
    __m128i alpha = _mm_shufflelo_epi16(pixels16, _MM_SHUFFLE(3, 3, 3, 3));
    return _mm_shufflehi_epi16(alpha, _MM_SHUFFLE(3, 3, 3, 3));
}

inline uint32_t Channel(uint32_t pixel, int shift) { return (pixel >> shift) & 0xFF; }
inline uint32_t Times(uint32_t a, uint32_t b) { uint32_t t = a * b + 128; return (t + (t >> 8)) >> 8; }

// The first n (1 to 3) pixels at p in the first n lanes, and back. Nothing
// past the n pixels is read or written (they may be past the image's end),
// and no branch asks how many: the second and third lanes' places are
// clamped to the last of the n, and the lanes are stored from the third to
// the first, so that each place ends holding its own lane.
inline __m128i LoadFew(const uint32_t* p, int32_t n)
{
    const int32_t second = n > 1 ? 1 : 0, third = n > 2 ? 2 : n - 1;
    return _mm_setr_epi32(int(p[0]), int(p[second]), int(p[third]), 0);
}

inline void StoreFew(uint32_t* p, __m128i pixels, int32_t n)
{
    const int32_t second = n > 1 ? 1 : 0, third = n > 2 ? 2 : n - 1;
    p[third] = uint32_t(_mm_cvtsi128_si32(_mm_shuffle_epi32(pixels, _MM_SHUFFLE(2, 2, 2, 2))));
    p[second] = uint32_t(_mm_cvtsi128_si32(_mm_shuffle_epi32(pixels, _MM_SHUFFLE(1, 1, 1, 1))));
    p[0] = uint32_t(_mm_cvtsi128_si32(pixels));
}

// The blend of four pixels, the mode and the opacity's use fixed at compile
// time. Each channel comes out in a 16-bit lane, 0 to 510: over 255 only
// where a source pixel was not premultiplied (a colour above its alpha), a
// case kept exactly as it has always been drawn (see Saturated and Carried).
template <PixelBlend Mode, bool Scaled>
class FourBlend {
public:
    explicit FourBlend(const BlendSetting& setting)
        : Opacity(_mm_set1_epi16(setting.Opacity)), KeepAlpha(setting.KeepAlpha),
          AlphaMask(_mm_set1_epi32(setting.KeepAlpha ? -1 : 0x00FFFFFF))
    {
    }

    void Channels(__m128i src, __m128i dst, __m128i out[2]) const
    {
        const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi16(255);
        for (int half = 0; half < 2; ++half) {
            __m128i s = half ? _mm_unpackhi_epi8(src, zero) : _mm_unpacklo_epi8(src, zero);
            __m128i d = half ? _mm_unpackhi_epi8(dst, zero) : _mm_unpacklo_epi8(dst, zero);
            if (Scaled)
                s = Scale(s, Opacity);
            __m128i inverse = _mm_sub_epi16(full, SpreadAlpha(s));
            if (Mode == PixelBlend::Over) {
                out[half] = _mm_add_epi16(s, Scale(d, inverse));
            } else if (Mode == PixelBlend::Add) {
                out[half] = _mm_min_epi16(_mm_add_epi16(s, d), full);
            } else { // multiply: by the source where it covers, unchanged where it does not
                out[half] = Scale(d, _mm_min_epi16(_mm_add_epi16(s, inverse), full));
                if (KeepAlpha) // the picture's own coverage stays
                    out[half] = _mm_or_si128(_mm_and_si128(out[half], _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1)),
                                             _mm_and_si128(d, _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0)));
            }
        }
    }

    // Four at once, as the four-lane steps always stored them: a channel over
    // 255 is 255.
    __m128i Saturated(__m128i src, __m128i dst) const
    {
        if (Mode == PixelBlend::Over && !Scaled)
            return OverSaturated(src, dst);
        __m128i out[2];
        Channels(src, dst, out);
        return _mm_and_si128(_mm_packus_epi16(out[0], out[1]), AlphaMask);
    }

    // The one to three pixels that end a span, as the pixel-at-a-time steps
    // that used to blend them did: the channels' bytes put side by side, a
    // channel over 255 carrying its 256 into the next one's lowest bit (the
    // alpha's carry is lost). Where no channel passes 255, as for any
    // premultiplied source, the same as Saturated.
    __m128i Carried(__m128i src, __m128i dst) const
    {
        __m128i out[2];
        Channels(src, dst, out);
        const __m128i lowBytes = _mm_set1_epi16(0xFF);
        const __m128i bytes = _mm_packus_epi16(_mm_and_si128(out[0], lowBytes), _mm_and_si128(out[1], lowBytes));
        const __m128i carries = _mm_packus_epi16(_mm_srli_epi16(out[0], 8), _mm_srli_epi16(out[1], 8));
        return _mm_or_si128(_mm_and_si128(bytes, AlphaMask), _mm_slli_epi32(carries, 8));
    }

private:
    // Over at full opacity, Saturated's numbers in fewer steps: each 16-bit
    // lane holds one channel of the destination (blue and red, then green
    // and alpha, of each pixel) times that pixel's 255 - alpha, and the
    // source is added with saturation, as the packing of 16-bit lanes
    // saturates.
    __m128i OverSaturated(__m128i src, __m128i dst) const
    {
        const __m128i inverse = _mm_srli_epi32(_mm_xor_si128(src, _mm_set1_epi32(-1)), 24);
        const __m128i factor = _mm_or_si128(inverse, _mm_slli_epi32(inverse, 16));
        const __m128i evens = _mm_and_si128(dst, _mm_set1_epi16(0xFF)), odds = _mm_srli_epi16(dst, 8);
        const __m128i under = _mm_or_si128(Divide255(_mm_mullo_epi16(evens, factor)),
                                           _mm_slli_epi16(Divide255(_mm_mullo_epi16(odds, factor)), 8));
        return _mm_and_si128(_mm_adds_epu8(src, under), AlphaMask);
    }

    const __m128i Opacity;
    const bool KeepAlpha;
    const __m128i AlphaMask;
};

// How BlendFours treats four transparent source pixels (which leave what is
// there, whatever the mode) and, drawing over at full opacity, four opaque
// ones (which are copied): skipped and copied by a branch, or blended and
// then put back by a mask where transparent. Branches pay where such fours
// come in long runs, as in a picture's rows; at a turned sprite's edges
// they alternate with others every few pixels, and a branch guessed wrong
// costs more than the blend.
enum class Shortcuts { Branch, Mask };

// count pixels of source onto destination, four at a time, so that nothing is
// decided per pixel; the one to three left over are blended in lanes too,
// without the shortcuts (the pixel-at-a-time steps that used to blend them
// had none).
template <PixelBlend Mode, bool Scaled, Shortcuts Way>
void BlendFours(uint32_t* destination, const uint32_t* source, int32_t count, const BlendSetting& setting)
{
    const FourBlend<Mode, Scaled> blend(setting);
    const __m128i zero = _mm_setzero_si128();
    const __m128i alphaBits = _mm_set1_epi32(int(0xFF000000u));
    const __m128i alphaMask = _mm_set1_epi32(setting.KeepAlpha ? -1 : 0x00FFFFFF);
    const int32_t fours = count & ~3;
    for (int32_t x = 0; x < fours; x += 4) {
        const __m128i src = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + x));
        const __m128i alpha = _mm_and_si128(src, alphaBits);
        __m128i* at = reinterpret_cast<__m128i*>(destination + x);
        if (Way == Shortcuts::Branch) {
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha, zero)) == 0xFFFF)
                continue; // all four transparent
            if (Mode == PixelBlend::Over && !Scaled &&
                _mm_movemask_epi8(_mm_cmpeq_epi32(alpha, alphaBits)) == 0xFFFF) {
                _mm_storeu_si128(at, _mm_and_si128(src, alphaMask));
                continue; // all four opaque
            }
            _mm_storeu_si128(at, blend.Saturated(src, _mm_loadu_si128(at)));
        } else {
            // Four opaque need nothing: drawn over at full opacity, the
            // blend gives the source. Where all four are transparent, every
            // lane of clear is set (each lane's test and'ed with the
            // others') and the destination is kept.
            const __m128i dst = _mm_loadu_si128(at);
            __m128i clear = _mm_cmpeq_epi32(alpha, zero);
            clear = _mm_and_si128(clear, _mm_shuffle_epi32(clear, _MM_SHUFFLE(1, 0, 3, 2)));
            clear = _mm_and_si128(clear, _mm_shuffle_epi32(clear, _MM_SHUFFLE(2, 3, 0, 1)));
            const __m128i blended = blend.Saturated(src, dst);
            _mm_storeu_si128(at, _mm_or_si128(_mm_and_si128(clear, dst), _mm_andnot_si128(clear, blended)));
        }
    }
    if (const int32_t rest = count - fours)
        StoreFew(destination + fours, blend.Carried(LoadFew(source + fours, rest), LoadFew(destination + fours, rest)),
                 rest);
}

template <PixelBlend Mode, Shortcuts Way>
void BlendFoursOf(uint32_t* destination, const uint32_t* source, int32_t count, const BlendSetting& setting)
{
    if (setting.Opacity == 255)
        BlendFours<Mode, false, Way>(destination, source, count, setting);
    else
        BlendFours<Mode, true, Way>(destination, source, count, setting);
}

template <Shortcuts Way>
void BlendWith(uint32_t* destination, const uint32_t* source, int32_t count, const BlendSetting& setting)
{
    switch (setting.Mode) {
    case PixelBlend::Over: BlendFoursOf<PixelBlend::Over, Way>(destination, source, count, setting); break;
    case PixelBlend::Add: BlendFoursOf<PixelBlend::Add, Way>(destination, source, count, setting); break;
    case PixelBlend::Multiply: BlendFoursOf<PixelBlend::Multiply, Way>(destination, source, count, setting); break;
    }
}

} // namespace

void BlendSpan(uint32_t* destination, const uint32_t* source, int32_t count, const BlendSetting& setting)
{
    BlendWith<Shortcuts::Branch>(destination, source, count, setting);
}

void BlendColourSpan(uint32_t* destination, const uint32_t* coverage, int32_t count, uint32_t colour,
                     const BlendSetting& setting)
{
    // The colour as a premultiplied source pixel at each coverage.
    const uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF; // a COLORREF
    for (int32_t x = 0; x < count;) {
        uint32_t run[64];
        int32_t n = count - x < 64 ? count - x : 64;
        for (int32_t i = 0; i < n; ++i) {
            uint32_t a = (coverage[x + i] >> 8) & 0xFF;
            run[i] = Times(b, a) | Times(g, a) << 8 | Times(r, a) << 16 | a << 24;
        }
        BlendSpan(destination + x, run, n, setting);
        x += n;
    }
}

namespace {

const double FixedOne = 65536.0;

// Whole numbers of reals in the ranges a drawing meets, without the library's
// calls (which the compiler does not inline for SSE2).
inline int32_t Ceiling(double x)
{
    int32_t i = int32_t(x);
    return i + (x > i);
}

inline int32_t Rounded(double x)
{
    return x >= 0 ? int32_t(x + 0.5) : -int32_t(0.5 - x);
}

// The first k of 0..count-1 with 0 <= start + k * step < limit, and one past
// the last; first >= last when none. perStep is 1 / step.
void InsideSpan(double start, double step, double perStep, double limit, int32_t count, int32_t* first,
                int32_t* last)
{
    const double epsilon = 1e-9;
    if (std::fabs(step) < epsilon) {
        bool inside = start >= 0 && start < limit;
        *first = inside ? 0 : count;
        *last = inside ? count : 0;
        return;
    }
    double a = -start * perStep, b = (limit - start) * perStep;
    if (a > b)
        std::swap(a, b);
    // start + k * step inside [0, limit): k in [a, b), with the open end taken as it falls.
    a = a < -1 ? -1 : a > count + 1 ? count + 1 : a;
    b = b < -1 ? -1 : b > count + 1 ? count + 1 : b;
    const int32_t lo = Ceiling(a - epsilon), hi = Ceiling(b - epsilon);
    *first = lo < 0 ? 0 : lo > count ? count : lo;
    *last = hi < 0 ? 0 : hi > count ? count : hi;
}

// a + k * step, wrapping as k int32_t adds of step do.
inline int32_t Stepped(int32_t a, int32_t step, int32_t k)
{
    return int32_t(uint32_t(a) + uint32_t(step) * uint32_t(k));
}

// Whether GatherRun can take pixels from a part of this size in a sheet of
// this stride: its 16-bit multiply-add needs both coordinates and the stride
// below 32,768.
inline bool GatherFits(int32_t width, int32_t height, int32_t stride)
{
    return width <= 32768 && height <= 32768 && stride < 32768;
}

// The sheet's pixels under a run of count destination pixels into run: the
// k-th takes the pixel at (u + k * stepU, v + k * stepV), 16.16 fixed point,
// and every one of them maps inside the part. Four at a time: four lanes hold
// (u, v) of four pixels and step by four steps (the same sums as one step at
// a time); each lane's index in the sheet, (v >> 16) * stride + (u >> 16),
// comes from one multiply-add of 16-bit halves. SSE2 has no gather: the four
// indices are stored and the four pixels loaded one by one. The last four
// may reach up to 3 past count; those lanes, which may map outside the part,
// read its first pixel.
void GatherRun(uint32_t* run, int32_t count, const uint32_t* sheet, int32_t stride, int32_t u, int32_t v,
               int32_t stepU, int32_t stepV)
{
    __m128i us = _mm_setr_epi32(u, Stepped(u, stepU, 1), Stepped(u, stepU, 2), Stepped(u, stepU, 3));
    __m128i vs = _mm_setr_epi32(v, Stepped(v, stepV, 1), Stepped(v, stepV, 2), Stepped(v, stepV, 3));
    const __m128i stepU4 = _mm_set1_epi32(Stepped(0, stepU, 4)), stepV4 = _mm_set1_epi32(Stepped(0, stepV, 4));
    const __m128i rowStep = _mm_set1_epi32(stride << 16 | 1), highHalves = _mm_set1_epi32(int(0xFFFF0000u));
    const __m128i lane = _mm_setr_epi32(0, 1, 2, 3);
    alignas(16) int32_t at[4];
    for (int32_t k = 0; k < count; k += 4) {
        // u >> 16 in each lane's low half and v >> 16 in its high half, both
        // 0 to 32,767 inside the part; times (1, stride), summed.
        __m128i index = _mm_madd_epi16(_mm_or_si128(_mm_srli_epi32(us, 16), _mm_and_si128(vs, highHalves)), rowStep);
        index = _mm_and_si128(index, _mm_cmplt_epi32(lane, _mm_set1_epi32(count - k))); // past count: 0
        _mm_store_si128(reinterpret_cast<__m128i*>(at), index);
        run[k] = sheet[at[0]];
        run[k + 1] = sheet[at[1]];
        run[k + 2] = sheet[at[2]];
        run[k + 3] = sheet[at[3]];
        us = _mm_add_epi32(us, stepU4);
        vs = _mm_add_epi32(vs, stepV4);
    }
}

} // namespace

void BlendTransformed(const PixelImage& destination, const PixelImage& source, const PixelRect& part,
                      double centreX, double centreY, double scaleX, double scaleY, double radians,
                      const BlendSetting& setting, PixelRect* touched)
{
    *touched = PixelRect{0, 0, 0, 0};
    const int32_t width = part.Right - part.Left, height = part.Bottom - part.Top;
    if (width <= 0 || height <= 0 || !(scaleX > 0) || !(scaleY > 0) || !std::isfinite(scaleX) ||
        !std::isfinite(scaleY) || !std::isfinite(radians) || !std::isfinite(centreX) || !std::isfinite(centreY))
        return;
    const double c = std::cos(radians), s = std::sin(radians);
    const double halfW = width * scaleX / 2, halfH = height * scaleY / 2;
    const double reachX = std::fabs(c) * halfW + std::fabs(s) * halfH;
    const double reachY = std::fabs(s) * halfW + std::fabs(c) * halfH;
    double left = std::floor(centreX - reachX), top = std::floor(centreY - reachY);
    double right = std::ceil(centreX + reachX), bottom = std::ceil(centreY + reachY);
    left = std::fmax(left, 0), top = std::fmax(top, 0);
    right = std::fmin(right, destination.Width), bottom = std::fmin(bottom, destination.Height);
    if (left >= right || top >= bottom)
        return;
    *touched = PixelRect{int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)};

    // Destination (x, y) maps to source (u, v): the turn undone, then the scale.
    const double du = c / scaleX, dv = -s / scaleY; // per pixel to the right
    const int32_t columns = int32_t(right - left);
    const bool gathered = GatherFits(width, height, source.Stride);
    static thread_local std::vector<uint32_t> rowBuffer;
    if (rowBuffer.size() < size_t(columns) + 3) // and GatherRun's last four
        rowBuffer.resize(size_t(columns) + 3);
    uint32_t* const row = rowBuffer.data(); // asked once: a thread-local costs a call where it is emulated
    const uint32_t* sheet = source.Pixels + size_t(part.Top) * source.Stride + part.Left;
    const double perU = std::fabs(du) < 1e-9 ? 0 : 1 / du, perV = std::fabs(dv) < 1e-9 ? 0 : 1 / dv;
    const int32_t stepU = Rounded(du * FixedOne), stepV = Rounded(dv * FixedOne);
    const int32_t maxU = width - 1, maxV = height - 1;
    // Where the first pixel of each row maps, one step a row down.
    const double px = left + 0.5 - centreX, py0 = top + 0.5 - centreY;
    double u0 = (px * c + py0 * s) / scaleX + width / 2.0, v0 = (-px * s + py0 * c) / scaleY + height / 2.0;
    const double rowU = s / scaleX, rowV = c / scaleY;
    for (int32_t y = int32_t(top); y < int32_t(bottom); ++y, u0 += rowU, v0 += rowV) {
        int32_t firstU, lastU, firstV, lastV;
        InsideSpan(u0, du, perU, width, columns, &firstU, &lastU);
        InsideSpan(v0, dv, perV, height, columns, &firstV, &lastV);
        int32_t first = std::max(firstU, firstV), last = std::min(lastU, lastV);
        if (first >= last)
            continue;
        // 16.16 fixed point along the row, one add a pixel. The span is
        // straight, so if its ends map inside the part every pixel between
        // does: an end that rounding put one step over is left out.
        int32_t u = Rounded((u0 + first * du) * FixedOne), v = Rounded((v0 + first * dv) * FixedOne);
        auto inside = [maxU, maxV](int32_t uu, int32_t vv) {
            return uint32_t(uu >> 16) <= uint32_t(maxU) && uint32_t(vv >> 16) <= uint32_t(maxV);
        };
        int32_t from = first, to = last;
        while (from < to && !inside(u, v)) {
            ++from;
            u += stepU;
            v += stepV;
        }
        while (from < to && !inside(u + (to - 1 - from) * stepU, v + (to - 1 - from) * stepV))
            --to;
        if (from >= to)
            continue;
        if (gathered) {
            GatherRun(row, to - from, sheet, source.Stride, u, v, stepU, stepV);
        } else { // a sheet too large for GatherRun: one pixel at a time
            for (int32_t k = 0; k < to - from; ++k, u += stepU, v += stepV)
                row[k] = sheet[size_t(v >> 16) * source.Stride + (u >> 16)];
        }
        // Masks, not branches, for transparent fours: the row crosses the
        // sprite's edges every few pixels.
        uint32_t* out = destination.Pixels + size_t(y) * destination.Stride + int32_t(left) + from;
        BlendWith<Shortcuts::Mask>(out, row, to - from, setting);
    }
}

void BlendImage(const PixelImage& destination, const PixelImage& source, const PixelRect& part, int32_t x, int32_t y,
                const BlendSetting& setting, PixelRect* touched)
{
    const int64_t left = std::max<int64_t>(x, 0), top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(int64_t(x) + part.Right - part.Left, destination.Width);
    const int64_t bottom = std::min<int64_t>(int64_t(y) + part.Bottom - part.Top, destination.Height);
    if (left >= right || top >= bottom) {
        *touched = PixelRect{0, 0, 0, 0};
        return;
    }
    *touched = PixelRect{int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)};
    for (int64_t row = top; row < bottom; ++row) {
        const uint32_t* in = source.Pixels + size_t(part.Top + (row - y)) * source.Stride + part.Left + (left - x);
        BlendSpan(destination.Pixels + size_t(row) * destination.Stride + left, in, int32_t(right - left), setting);
    }
}
