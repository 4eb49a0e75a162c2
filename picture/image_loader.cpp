#include "picture/image_loader.h"

#include "picture/image_check.h"
#include "runtime/code_page.h"
#include "runtime/owners.h"

namespace {

// Where the bitmap of a plainly loaded image lives.
enum class BitmapHome {
    Nowhere,    // nothing is decoded
    Loader,     // the loader's Bitmap
    OlePicture, // inside the OLE picture, which owns it
};

// The formats the loader knows by their first bytes. A new format is its
// ImageFormat value and one row here.
struct FormatRow {
    ImageFormat Format;
    BYTE Signature[8];
    DWORD SignatureLength;
    // The look at the structure before any decoder sees the file; nullptr: none.
    bool (*LooksSound)(HANDLE file);
    // The plain route: a decoder that opens the file by its name (the loader
    // closes it first, as it holds it without sharing), or one that reads it open.
    int (*ReadByName)(ImageLoader* loader, const char* name);
    int (*ReadOpened)(ImageLoader* loader, HANDLE file);
    BitmapHome Home;
};

const FormatRow Formats[] = {
    {FormatBmp, {'B', 'M'}, 2, BmpFileLooksSound, LoaderReadBmp, nullptr, BitmapHome::Loader},
    {FormatJpeg, {0xFF, 0xD8}, 2, JpegFileLooksSound, nullptr, LoaderReadOle, BitmapHome::OlePicture},
    {FormatGif, {'G', 'I', 'F'}, 3, GifFileLooksSound, nullptr, LoaderReadOle, BitmapHome::OlePicture},
    // The plain decoders do not take PNG: only its size is read.
    {FormatPng, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, 8, nullptr, nullptr, LoaderReadPngSize,
     BitmapHome::Nowhere},
};

// The format's row; nullptr for FormatNone.
const FormatRow* RowOf(ImageFormat format)
{
    for (const FormatRow& row : Formats)
        if (row.Format == format)
            return &row;
    return nullptr;
}

BitmapHome HomeOf(ImageFormat format)
{
    const FormatRow* row = RowOf(format);
    return row ? row->Home : BitmapHome::Nowhere;
}

void Rewind(HANDLE file)
{
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
}

DWORD ReadBigEndian32(HANDLE file)
{
    BYTE bytes[4] = {0, 0, 0, 0};
    DWORD read = 0;
    ReadFile(file, bytes, 4, &read, nullptr);
    return (DWORD(bytes[0]) << 24) | (DWORD(bytes[1]) << 16) | (DWORD(bytes[2]) << 8) | bytes[3];
}

// Whether handle still names a bitmap described as before: the same size,
// format and address of bits. The record is compared, not the pixels.
bool SameBitmap(HBITMAP handle, const BITMAP& before)
{
    BITMAP now{};
    return GetObjectType(handle) == OBJ_BITMAP && GetObjectA(handle, sizeof now, &now) == sizeof now &&
           memcmp(&now, &before, sizeof now) == 0;
}

// Gives back the OLE picture, and its bitmap where the picture does not delete it itself.
void ReleaseOlePicture(ImageLoader* loader)
{
    SHORT type = PICTYPE_UNINITIALIZED;
    loader->OlePicture->get_Type(&type);
    HBITMAP inside = type == PICTYPE_BITMAP ? LoaderHandle(loader) : nullptr;
    BITMAP before{};
    bool described = inside && GetObjectA(inside, sizeof before, &before) == sizeof before;
    loader->OlePicture->Release();
    loader->OlePicture = nullptr;
    // The picture owns its bitmap and should delete it with itself; some
    // implementations keep it when the picture was loaded in run mode.
    // Another thread may have been given the freed handle's value since,
    // so the survivor must also still describe itself as before.
    if (described && SameBitmap(inside, before))
        DeleteObject(inside);
}

bool HasDrawableBitmap(ImageLoader* loader)
{
    BITMAP info{};
    return GetObjectA(LoaderHandle(loader), sizeof info, &info) == sizeof info && info.bmWidth > 0 &&
           info.bmHeight > 0;
}

} // namespace

void LoaderInit(ImageLoader* loader)
{
    loader->Format = FormatNone;
    loader->Bitmap = nullptr;
    loader->Decoding = DecodedPlainly;
}

HANDLE ImageFileOpen(const char* name)
{
    // The name is code page 932, whatever the system's code page.
    return CreateFileW(WideFromText(name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

int LoaderLoadOpened(ImageLoader* loader, HANDLE opened, const char* name, ImageDecoding decoding)
{
    HandleOwner file(opened);
    LoaderRelease(loader);
    loader->Format = DetectFormat(file.Handle);
    const FormatRow* row = RowOf(loader->Format);
    // A format without a row goes only to the imaging component, which tells
    // the formats it decodes itself and holds the image to the size limits.
    if (!row && decoding == DecodedPlainly)
        return 0; // nothing held
    if (row && row->LooksSound && !row->LooksSound(file.Handle))
        return 0; // refused as the platform would refuse it: nothing held

    // The decoders that read by name get the file closed first.
    if (decoding == DecodedWithAlpha) {
        CloseHandle(file.Release());
        return LoaderReadWithAlpha(loader, name);
    }
    if (row->ReadOpened)
        return row->ReadOpened(loader, file.Handle);
    CloseHandle(file.Release());
    return row->ReadByName(loader, name);
}

int LoaderLoad(ImageLoader* loader, const char* name)
{
    HANDLE file = ImageFileOpen(name);
    return file == INVALID_HANDLE_VALUE ? 0 : LoaderLoadOpened(loader, file, name, DecodedPlainly);
}

int LoaderLoadWithAlpha(ImageLoader* loader, const char* name)
{
    HANDLE file = ImageFileOpen(name);
    return file == INVALID_HANDLE_VALUE ? 0 : LoaderLoadOpened(loader, file, name, DecodedWithAlpha);
}

HBITMAP LoaderHandle(ImageLoader* loader)
{
    if (loader->Decoding == DecodedWithAlpha)
        return loader->Bitmap;
    switch (HomeOf(loader->Format)) {
    case BitmapHome::Loader:
        return loader->Bitmap;
    case BitmapHome::OlePicture: {
        if (!loader->OlePicture)
            return nullptr;
        OLE_HANDLE handle = 0;
        loader->OlePicture->get_Handle(&handle);
        return reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    }
    default:
        return nullptr;
    }
}

void LoaderRelease(ImageLoader* loader)
{
    if (loader->Bitmap) {
        DeleteObject(loader->Bitmap);
        loader->Bitmap = nullptr;
    }
    if (HomeOf(loader->Format) == BitmapHome::OlePicture && loader->OlePicture)
        ReleaseOlePicture(loader);
    loader->Format = FormatNone;
    loader->Decoding = DecodedPlainly;
    loader->Width = 0;
    loader->Height = 0;
}

ImageFormat DetectFormat(HANDLE file)
{
    BYTE head[sizeof FormatRow::Signature] = {};
    DWORD read = 0;
    Rewind(file);
    ReadFile(file, head, sizeof head, &read, nullptr);
    Rewind(file);
    for (const FormatRow& row : Formats)
        if (read >= row.SignatureLength && memcmp(head, row.Signature, row.SignatureLength) == 0)
            return row.Format;
    return FormatNone;
}

int LoaderReadBmp(ImageLoader* loader, const char* name)
{
    loader->Bitmap = static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), WideFromText(name).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (!loader->Bitmap)
        return 0;
    BITMAP info{};
    GetObjectA(loader->Bitmap, sizeof info, &info);
    if (info.bmWidth <= 0 || info.bmHeight <= 0) { // no drawable image, whatever the platform says
        DeleteObject(loader->Bitmap);
        loader->Bitmap = nullptr;
        return 0;
    }
    loader->Width = info.bmWidth;
    loader->Height = info.bmHeight;
    return 1;
}

int LoaderReadOle(ImageLoader* loader, HANDLE file)
{
    DWORD size = GetFileSize(file, nullptr);
    // A file too large for memory is no picture, never a read through a null block.
    HGLOBAL block = size == INVALID_FILE_SIZE ? nullptr : GlobalAlloc(GMEM_ZEROINIT, size);
    if (!block)
        return 0;
    BYTE* bytes = static_cast<BYTE*>(GlobalLock(block));
    DWORD read = 0;
    ReadFile(file, bytes, size, &read, nullptr);
    // Run mode only decides whether the picture keeps its original data, but
    // some implementations give a picture loaded in run mode no ownership of
    // the mask and second bitmap a transparent GIF makes, and never free them.
    BOOL runMode = !(loader->Format == FormatGif && GifFirstFrameIsTransparent(bytes, size));
    GlobalUnlock(block);

    IPicture* picture = nullptr;
    {
        ComOwner<IStream> stream;
        if (FAILED(CreateStreamOnHGlobal(block, TRUE, stream.Out()))) {
            GlobalFree(block); // the stream never took it over
            return 0;
        }
        OleLoadPicture(stream.Pointer, static_cast<LONG>(size), runMode, IID_IPicture,
                       reinterpret_cast<void**>(&picture));
        loader->OlePicture = picture; // the loader's one reference
    }

    int result = 0;
    if (picture) {
        SHORT type = PICTYPE_UNINITIALIZED;
        picture->get_Type(&type);
        if (type == PICTYPE_BITMAP) {
            OLE_XSIZE_HIMETRIC width = 0;
            OLE_YSIZE_HIMETRIC height = 0;
            picture->get_Width(&width);
            picture->get_Height(&height);
            SIZEL himetric{width, height}, pixels{};
            HiMetricToPixel(&himetric, &pixels);
            if (pixels.cx > 0 && pixels.cy > 0 && HasDrawableBitmap(loader)) {
                loader->Width = pixels.cx;
                loader->Height = pixels.cy;
                result = 1;
            } else { // a bitmap picture with no drawable bitmap is a refusal
                ReleaseOlePicture(loader);
            }
        }
    }
    Rewind(file);
    return result;
}

int LoaderReadPngSize(ImageLoader* loader, HANDLE file)
{
    SetFilePointer(file, 16, nullptr, FILE_BEGIN);
    loader->Width = static_cast<LONG>(ReadBigEndian32(file));
    loader->Height = static_cast<LONG>(ReadBigEndian32(file));
    return 0;
}
