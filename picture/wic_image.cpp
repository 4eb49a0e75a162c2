// Loading through the Windows Imaging Component: every format it decodes
// comes out as 32-bit premultiplied BGRA, alpha kept, ready for AlphaBlend.
#include <windows.h>
#include <wincodec.h>

#include "picture/image_check.h"
#include "picture/image_loader.h"

namespace {

template <typename T>
void Release(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

bool FormatTheLoaderTakes(DWORD format)
{
    return format == FormatBmp || format == FormatJpeg || format == FormatGif || format == FormatPng;
}

// The first frame, converted; nullptr if the file does not decode.
IWICBitmapSource* DecodeFirstFrame(IWICImagingFactory* factory, const char* name)
{
    WCHAR wideName[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, MAX_PATH) == 0)
        return nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    HRESULT hr = factory->CreateDecoderFromFilename(wideName, nullptr, GENERIC_READ,
                                                    WICDecodeMetadataCacheOnDemand, &decoder);
    if (SUCCEEDED(hr))
        hr = decoder->GetFrame(0, &frame);
    if (SUCCEEDED(hr))
        hr = factory->CreateFormatConverter(&converter);
    if (SUCCEEDED(hr))
        hr = converter->Initialize(frame, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom);
    Release(frame);
    Release(decoder);
    if (FAILED(hr))
        Release(converter);
    return converter;
}

// A 32-bit top-down DIB section holding the source's pixels, or nullptr.
HBITMAP CopyToBitmap(IWICBitmapSource* source, LONG* width, LONG* height)
{
    UINT w = 0, h = 0;
    if (FAILED(source->GetSize(&w, &h)) || w == 0 || h == 0 || w > UINT(MaxImageSide) || h > UINT(MaxImageSide) ||
        LONGLONG(w) * h > MaxImagePixels)
        return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = LONG(w);
    info.bmiHeader.biHeight = -LONG(h);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    UINT stride = w * 4;
    if (FAILED(source->CopyPixels(nullptr, stride, stride * h, static_cast<BYTE*>(bits)))) {
        DeleteObject(bitmap); // truncated or corrupt pixel data
        return nullptr;
    }
    *width = LONG(w);
    *height = LONG(h);
    return bitmap;
}

} // namespace

int LoaderLoadWithAlpha(ImageLoader* loader, const char* name)
{
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    LoaderRelease(loader);
    DWORD format = DetectFormat(file);
    bool sound = FormatTheLoaderTakes(format) && ImageFileLooksSound(file, format);
    CloseHandle(file);
    if (!sound)
        return 0;

    // Balanced here, so that the caller's thread is left as it was found; a
    // thread already in another apartment keeps it (RPC_E_CHANGED_MODE).
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IWICImagingFactory* factory = nullptr;
    HBITMAP bitmap = nullptr;
    LONG width = 0, height = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                   reinterpret_cast<void**>(&factory)))) {
        IWICBitmapSource* source = DecodeFirstFrame(factory, name);
        if (source)
            bitmap = CopyToBitmap(source, &width, &height);
        Release(source);
        Release(factory);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    if (!bitmap)
        return 0;
    loader->Bitmap = bitmap;
    loader->Format = FormatAlpha;
    loader->Width = width;
    loader->Height = height;
    return 1;
}
