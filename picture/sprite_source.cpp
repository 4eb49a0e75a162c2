#include "picture/sprite_source.h"

#include <unordered_map>

#include "picture/image_loader.h"
#include "runtime/dib.h"
#include "runtime/lock.h"
#include "runtime/owners.h"

namespace {

struct SpriteCopy {
    HBITMAP Source;   // the image the copy was made of
    COLORREF Key;     // the colour made transparent in it, or CLR_INVALID
    HBITMAP Copy;     // null while the image is read where it is
    PixelImage Pixels;
};

struct SpriteRecord {
    COLORREF Key = CLR_INVALID; // PictureSetKey's
    SpriteCopy Made{};
    HBITMAP Direct = nullptr;   // the image last read where it is, and how
    PixelImage DirectPixels{};
};

// Pictures belong to one thread each, but the table is the process's: any
// program thread, under Lock.
struct SpriteTable {
    Lock Lock;
    std::unordered_map<const Picture*, SpriteRecord> Records;
};

SpriteTable Table;

// A picture with alpha holds one of the runtime's own 32-bit DIB sections,
// which are made top-down (MakeDibSection); GetObject does not say which way
// up everywhere (Wine answers a positive height), so that is not asked.
bool DirectPixels(HBITMAP bitmap, PixelImage* pixels)
{
    DIBSECTION section{};
    if (GetObjectW(bitmap, sizeof section, &section) != sizeof section || section.dsBm.bmBitsPixel != 32 ||
        !section.dsBm.bmBits)
        return false;
    *pixels = PixelImage{static_cast<uint32_t*>(section.dsBm.bmBits), section.dsBm.bmWidth, section.dsBm.bmHeight,
                         section.dsBm.bmWidth};
    return true;
}

bool MakeCopy(HBITMAP source, COLORREF key, SpriteCopy* made)
{
    BITMAP info{};
    if (!GetObjectW(source, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        return false;
    void* bits = nullptr;
    GdiOwner<HBITMAP> copy(MakeDibSection(nullptr, info.bmWidth, info.bmHeight, &bits));
    MemoryDc from(nullptr), to(nullptr);
    if (!copy.Object || !from.Dc || !to.Dc)
        return false;
    {
        Selection in(from.Dc, source), out(to.Dc, copy.Object);
        if (!in.Held() || !out.Held())
            return false;
        BitBlt(to.Dc, 0, 0, info.bmWidth, info.bmHeight, from.Dc, 0, 0, SRCCOPY);
        GdiFlush();
    }
    // Opaque, but for the key colour, which becomes transparent (0: premultiplied).
    const DWORD keyPixel = key == CLR_INVALID ? 0xFFFFFFFF : (GetRValue(key) << 16 | GetGValue(key) << 8 | GetBValue(key));
    uint32_t* pixels = static_cast<uint32_t*>(bits);
    for (size_t i = 0, n = size_t(info.bmWidth) * info.bmHeight; i < n; ++i) {
        uint32_t colour = pixels[i] & 0xFFFFFF;
        pixels[i] = colour == keyPixel ? 0 : colour | 0xFF000000u;
    }
    made->Source = source;
    made->Key = key;
    made->Copy = copy.Release();
    made->Pixels = PixelImage{pixels, info.bmWidth, info.bmHeight, info.bmWidth};
    return true;
}

void FreeCopy(SpriteCopy* made)
{
    if (made->Copy)
        DeleteObject(made->Copy);
    *made = SpriteCopy{};
}

} // namespace

bool SpritePixels(Picture* picture, COLORREF key, PixelImage* pixels)
{
    if (!picture || !picture->Bitmap)
        return false;
    LockHold hold(Table.Lock);
    SpriteRecord& record = Table.Records[picture];
    if (key == UseOwnKey)
        key = record.Key;
    const bool withAlpha = picture->Loader && picture->Loader->Decoding == DecodedWithAlpha;
    if (withAlpha) { // its own alpha says what shows: read where it is, its shape asked once
        if (record.Direct != picture->Bitmap) {
            if (!DirectPixels(picture->Bitmap, &record.DirectPixels))
                return false;
            record.Direct = picture->Bitmap;
        }
        *pixels = record.DirectPixels;
        return true;
    }
    SpriteCopy& made = record.Made;
    if (made.Copy && made.Source == picture->Bitmap && made.Key == key) {
        *pixels = made.Pixels;
        return true;
    }
    FreeCopy(&made);
    if (!MakeCopy(picture->Bitmap, key, &made))
        return false;
    *pixels = made.Pixels;
    return true;
}

void SpriteForgetImage(Picture* picture)
{
    LockHold hold(Table.Lock);
    auto found = Table.Records.find(picture);
    if (found != Table.Records.end()) {
        FreeCopy(&found->second.Made);
        found->second.Direct = nullptr;
    }
}

void SpriteForget(Picture* picture)
{
    LockHold hold(Table.Lock);
    auto found = Table.Records.find(picture);
    if (found == Table.Records.end())
        return;
    FreeCopy(&found->second.Made);
    Table.Records.erase(found);
}

int PictureSetKey(Picture* picture, COLORREF key)
{
    if (!picture)
        return 0;
    LockHold hold(Table.Lock);
    Table.Records[picture].Key = key;
    return 1;
}
