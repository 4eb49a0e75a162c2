#pragma once
// The runtime's own pixel loops, for what it draws between two 32-bit DIB
// sections it owns (the platform's blend, called per draw, costs several
// times the copy of the pixels). Sources are premultiplied BGRA (the
// imaging component's form; opaque pictures carry alpha 255). Destinations
// are the back buffer's 0x00RRGGBB (its alpha byte stays 0) or a picture's
// premultiplied BGRA.
#include <cstdint>

enum class PixelBlend : uint8_t { Over, Add, Multiply };

struct BlendSetting {
    PixelBlend Mode;
    uint8_t Opacity;      // 0 to 255, times every source pixel
    bool KeepAlpha;    // the destination is a picture's: its alpha is composed too
};

// count source pixels onto count destination pixels.
void BlendSpan(uint32_t* destination, const uint32_t* source, int32_t count, const BlendSetting& setting);
// One colour (a COLORREF, 0x00BBGGRR) through a coverage (0 to 255 a pixel, from the green of a white-on-black draw).
void BlendColourSpan(uint32_t* destination, const uint32_t* coverage, int32_t count, uint32_t colour,
                     const BlendSetting& setting);

// Pixels of a 32-bit image: rows of Stride pixels from the top.
struct PixelImage {
    uint32_t* Pixels;
    int32_t Width;
    int32_t Height;
    int32_t Stride;
};

struct PixelRect {
    int32_t Left;
    int32_t Top;
    int32_t Right;
    int32_t Bottom;
};

// The source rectangle of an image, scaled (scaleX by scaleY) and turned
// (radians, clockwise on the screen) about its centre, with that centre at
// (centreX, centreY) of the destination. Each destination pixel whose centre falls inside takes the
// source pixel under it (nearest neighbour: pixel art stays sharp), blended.
// The destination rectangle the draw could touch, clipped, in *touched (empty
// when nothing).
void BlendTransformed(const PixelImage& destination, const PixelImage& source, const PixelRect& part,
                      double centreX, double centreY, double scaleX, double scaleY, double radians,
                      const BlendSetting& setting, PixelRect* touched);

// The source rectangle at its natural size with its top-left corner at (x, y),
// blended; clipped to the destination; the rectangle touched in *touched.
void BlendImage(const PixelImage& destination, const PixelImage& source, const PixelRect& part, int32_t x, int32_t y,
                const BlendSetting& setting, PixelRect* touched);
