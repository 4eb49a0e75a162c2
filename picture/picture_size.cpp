// The picture's sizes: its natural one, and a drawn one kept in proportion.
// Both the drawing and the pixel capture ask.
#include "picture/picture.h"

namespace {

BITMAP BitmapInfo(HBITMAP bitmap)
{
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    return info;
}

} // namespace

LONG PictureWidth(Picture* picture)
{
    return picture->Bitmap ? BitmapInfo(picture->Bitmap).bmWidth : 0;
}

LONG PictureHeight(Picture* picture)
{
    return picture->Bitmap ? BitmapInfo(picture->Bitmap).bmHeight : 0;
}

void PictureFitSize(LONG* width, LONG* height, LONG naturalWidth, LONG naturalHeight)
{
    if (*width <= 0 && *height <= 0) {
        *width = naturalWidth;
        *height = naturalHeight;
        return;
    }
    if (*height <= 0)
        *height = static_cast<LONG>((static_cast<double>(naturalHeight) / naturalWidth) * *width);
    if (*width <= 0)
        *width = static_cast<LONG>((static_cast<double>(naturalWidth) / naturalHeight) * *height);
}
