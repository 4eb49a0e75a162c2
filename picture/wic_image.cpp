// Loading through the Windows Imaging Component: every format it decodes
// comes out as 32-bit premultiplied BGRA, alpha kept, ready for AlphaBlend.
#include <windows.h>
#include <wincodec.h>

#include "picture/image_check.h"
#include "picture/image_loader.h"
#include "runtime/code_page.h"
#include "runtime/dib.h"
#include "runtime/owners.h"

namespace {

// The first frame, converted; nullptr if the file does not decode.
IWICBitmapSource* DecodeFirstFrame(IWICImagingFactory* factory, const char* name)
{
    std::wstring wideName = WideFromText(name);
    if (wideName.empty())
        return nullptr;
    ComOwner<IWICBitmapDecoder> decoder;
    ComOwner<IWICBitmapFrameDecode> frame;
    ComOwner<IWICFormatConverter> converter;
    HRESULT hr = factory->CreateDecoderFromFilename(wideName.c_str(), nullptr, GENERIC_READ,
                                                    WICDecodeMetadataCacheOnDemand, decoder.Out());
    if (SUCCEEDED(hr))
        hr = decoder->GetFrame(0, frame.Out());
    if (SUCCEEDED(hr))
        hr = factory->CreateFormatConverter(converter.Out());
    if (SUCCEEDED(hr))
        hr = converter->Initialize(frame.Pointer, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                   0.0, WICBitmapPaletteTypeCustom);
    return SUCCEEDED(hr) ? converter.Release() : nullptr;
}

// A 32-bit top-down DIB section holding the source's pixels, or nullptr.
HBITMAP CopyToBitmap(IWICBitmapSource* source, LONG* width, LONG* height)
{
    UINT w = 0, h = 0;
    if (FAILED(source->GetSize(&w, &h)) || !ImageSizeWithinLimits(w, h))
        return nullptr;
    void* bits = nullptr;
    GdiOwner<HBITMAP> bitmap(MakeDibSection(nullptr, LONG(w), LONG(h), &bits));
    if (!bitmap.Object)
        return nullptr;
    UINT stride = w * 4;
    if (FAILED(source->CopyPixels(nullptr, stride, stride * h, static_cast<BYTE*>(bits))))
        return nullptr; // truncated or corrupt pixel data
    *width = LONG(w);
    *height = LONG(h);
    return bitmap.Release();
}

} // namespace

int LoaderReadWithAlpha(ImageLoader* loader, const char* name)
{
    // Balanced here, so that the caller's thread is left as it was found; a
    // thread already in another apartment keeps it (RPC_E_CHANGED_MODE).
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HBITMAP bitmap = nullptr;
    LONG width = 0, height = 0;
    {
        ComOwner<IWICImagingFactory> factory;
        if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IWICImagingFactory, factory.OutVoid()))) {
            ComOwner<IWICBitmapSource> source;
            *source.Out() = DecodeFirstFrame(factory.Pointer, name);
            if (source)
                bitmap = CopyToBitmap(source.Pointer, &width, &height);
        }
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    if (!bitmap)
        return 0;
    loader->Bitmap = bitmap;
    loader->Decoding = DecodedWithAlpha;
    loader->Width = width;
    loader->Height = height;
    return 1;
}
