// Pictures as sprites: parts, cells, turned and scaled, blended, drawn by
// the runtime's own loops through the screen's door; and pictures made to
// draw into, and saved.
#include <prompt/picture.h>
#include <prompt/screen.h>

#include <cmath>

#include "picture/image_check.h"
#include "picture/image_loader.h"
#include "picture/picture.h"
#include "picture/sprite_source.h"
#include "runtime/dib.h"
#include "runtime/image_save.h"
#include "screen/draw_door.h"

namespace {

bool PartInside(const PixelImage& pixels, LONG x, LONG y, LONG width, LONG height)
{
    return width > 0 && height > 0 && x >= 0 && y >= 0 && x <= pixels.Width - width && y <= pixels.Height - height;
}

// The pixels to draw from, unless the picture cannot be drawn now.
bool Drawable(Picture* picture, PixelImage* pixels)
{
    return picture && !ScreenDrawsInto(picture->Bitmap) && SpritePixels(picture, UseOwnKey, pixels);
}

int DrawPartFrom(const PixelImage& source, LONG x, LONG y, LONG srcX, LONG srcY, LONG width, LONG height)
{
    if (!PartInside(source, srcX, srcY, width, height))
        return 0;
    const PixelRect part{srcX, srcY, srcX + width, srcY + height};
    auto draw = [&](const PixelImage& target, const BlendSetting& blend, PixelRect* touched) {
        BlendImage(target, source, part, x, y, blend, touched);
    };
    return ScreenDrawPixels(draw);
}

int DrawTurned(Picture* picture, LONG centreX, LONG centreY, const PixelRect* part, double scale, double radians,
               LONG opacity)
{
    PixelImage source;
    if (!(scale > 0) || !std::isfinite(scale) || !std::isfinite(radians) || opacity < 0 || opacity > 255 ||
        !Drawable(picture, &source))
        return 0;
    const PixelRect whole{0, 0, source.Width, source.Height};
    const PixelRect& from = part ? *part : whole;
    if (!PartInside(source, from.Left, from.Top, from.Right - from.Left, from.Bottom - from.Top))
        return 0;
    auto draw = [&](const PixelImage& target, const BlendSetting& blend, PixelRect* touched) {
        BlendTransformed(target, source, from, centreX, centreY, scale, scale, radians, blend, touched);
    };
    return ScreenDrawPixels(draw, static_cast<BYTE>(opacity));
}

} // namespace

int PictureDrawPart(Picture* picture, LONG x, LONG y, LONG srcX, LONG srcY, LONG width, LONG height)
{
    PixelImage source;
    return Drawable(picture, &source) ? DrawPartFrom(source, x, y, srcX, srcY, width, height) : 0;
}

int PictureDrawCell(Picture* picture, LONG x, LONG y, LONG cellWidth, LONG cellHeight, LONG index)
{
    PixelImage source;
    if (cellWidth <= 0 || cellHeight <= 0 || index < 0 || !Drawable(picture, &source))
        return 0;
    const LONG across = source.Width / cellWidth, down = source.Height / cellHeight;
    if (across <= 0 || index >= across * down)
        return 0;
    return DrawPartFrom(source, x, y, index % across * cellWidth, index / across * cellHeight, cellWidth, cellHeight);
}

int PictureDrawRotated(Picture* picture, LONG centreX, LONG centreY, double scale, double radians, LONG opacity)
{
    return DrawTurned(picture, centreX, centreY, nullptr, scale, radians, opacity);
}

int PictureDrawPartRotated(Picture* picture, LONG centreX, LONG centreY, LONG srcX, LONG srcY, LONG width,
                           LONG height, double scale, double radians, LONG opacity)
{
    if (width <= 0 || height <= 0)
        return 0;
    const PixelRect part{srcX, srcY, srcX + width, srcY + height};
    return DrawTurned(picture, centreX, centreY, &part, scale, radians, opacity);
}

int PictureMake(Picture* picture, LONG width, LONG height)
{
    if (!picture || !picture->Loader || !ImageSizeWithinLimits(width, height))
        return 0;
    void* bits = nullptr;
    HBITMAP bitmap = MakeDibSection(nullptr, width, height, &bits); // zero-filled: transparent
    if (!bitmap)
        return 0;
    StopPixelCapture(picture);
    ImageLoader* loader = picture->Loader;
    LoaderRelease(loader); // the old image goes; the loader owns the new one as if it had loaded it
    loader->Bitmap = bitmap;
    loader->Decoding = DecodedWithAlpha;
    loader->Width = width;
    loader->Height = height;
    PictureAdoptBitmap(picture, bitmap);
    return 1;
}

int PictureSave(Picture* picture, const char* name)
{
    PixelImage pixels;
    if (!picture || !name || !SpritePixels(picture, CLR_INVALID, &pixels))
        return 0;
    GdiFlush(); // what was drawn into it is in its pixels
    const bool alpha = picture->Loader && picture->Loader->Decoding == DecodedWithAlpha;
    return SaveImageFile(name, SavedPixels{pixels.Pixels, pixels.Width, pixels.Height, pixels.Stride, alpha}) ? 1 : 0;
}

int ScreenDrawTo(Picture* picture)
{
    if (!picture)
        return ScreenDrawToBitmap(nullptr);
    // A picture with alpha holds one of the runtime's own top-down 32-bit images.
    const bool withAlpha = picture->Loader && picture->Loader->Decoding == DecodedWithAlpha;
    return withAlpha && picture->Bitmap ? ScreenDrawToBitmap(picture->Bitmap) : 0;
}
