#include "runtime/image_save.h"

#include <wincodec.h>

#include <vector>

#include "runtime/code_page.h"
#include "runtime/owners.h"

namespace {

bool EndsInPng(const char* name)
{
    size_t length = lstrlenA(name);
    return length >= 4 && lstrcmpiA(name + length - 4, ".png") == 0;
}

// The pixels as a file's rows: BGRA with straight (not premultiplied) alpha,
// or BGR padded to four bytes, from the top.
std::vector<BYTE> FileRows(const SavedPixels& image, bool withAlpha, UINT* stride)
{
    *stride = withAlpha ? image.Width * 4 : (image.Width * 3 + 3) & ~3u;
    std::vector<BYTE> rows(static_cast<size_t>(*stride) * image.Height);
    for (LONG y = 0; y < image.Height; ++y) {
        const uint32_t* in = image.Pixels + static_cast<size_t>(y) * image.Stride;
        BYTE* out = rows.data() + static_cast<size_t>(y) * *stride;
        for (LONG x = 0; x < image.Width; ++x) {
            uint32_t pixel = in[x];
            BYTE alpha = static_cast<BYTE>(pixel >> 24);
            for (int c = 0; c < 3; ++c) {
                BYTE value = static_cast<BYTE>(pixel >> (8 * c));
                if (withAlpha) // undo the premultiplication, rounded
                    value = alpha ? static_cast<BYTE>((value * 255u + alpha / 2) / alpha) : 0;
                *out++ = value;
            }
            if (withAlpha)
                *out++ = alpha;
        }
    }
    return rows;
}

bool WriteWholeFile(const char* name, const std::vector<BYTE>& bytes)
{
    HandleOwner file(CreateFileW(WideFromText(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Held())
        return false;
    DWORD written = 0;
    return WriteFile(file.Handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// 24-bit, or 32-bit with its alpha; bottom-up, as BMP files are read most widely.
bool SaveBmp(const char* name, const SavedPixels& image)
{
    UINT stride = 0;
    std::vector<BYTE> rows = FileRows(image, image.Alpha, &stride);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = image.Width;
    header.biHeight = image.Height;
    header.biPlanes = 1;
    header.biBitCount = image.Alpha ? 32 : 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = stride * image.Height;
    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = 0x4D42; // "BM"
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = fileHeader.bfOffBits + header.biSizeImage;
    std::vector<BYTE> file(reinterpret_cast<const BYTE*>(&fileHeader),
                           reinterpret_cast<const BYTE*>(&fileHeader) + sizeof fileHeader);
    file.insert(file.end(), reinterpret_cast<const BYTE*>(&header), reinterpret_cast<const BYTE*>(&header) + sizeof header);
    for (LONG y = image.Height - 1; y >= 0; --y)
        file.insert(file.end(), rows.begin() + static_cast<size_t>(y) * stride,
                    rows.begin() + static_cast<size_t>(y + 1) * stride);
    return WriteWholeFile(name, file);
}

bool EncodePng(IWICImagingFactory* factory, const wchar_t* name, const SavedPixels& image)
{
    UINT stride = 0;
    std::vector<BYTE> rows = FileRows(image, image.Alpha, &stride);
    ComOwner<IWICStream> stream;
    ComOwner<IWICBitmapEncoder> encoder;
    ComOwner<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = image.Alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
    HRESULT hr = factory->CreateStream(stream.Out());
    if (SUCCEEDED(hr))
        hr = stream->InitializeFromFilename(name, GENERIC_WRITE);
    if (SUCCEEDED(hr))
        hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Out());
    if (SUCCEEDED(hr))
        hr = encoder->Initialize(stream.Pointer, WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr))
        hr = encoder->CreateNewFrame(frame.Out(), nullptr);
    if (SUCCEEDED(hr))
        hr = frame->Initialize(nullptr);
    if (SUCCEEDED(hr))
        hr = frame->SetSize(image.Width, image.Height);
    if (SUCCEEDED(hr))
        hr = frame->SetPixelFormat(&format);
    bool asked = image.Alpha ? IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA)
                             : IsEqualGUID(format, GUID_WICPixelFormat24bppBGR);
    if (SUCCEEDED(hr) && asked)
        hr = frame->WritePixels(image.Height, stride, static_cast<UINT>(rows.size()), rows.data());
    if (SUCCEEDED(hr) && asked)
        hr = frame->Commit();
    if (SUCCEEDED(hr) && asked)
        hr = encoder->Commit();
    return SUCCEEDED(hr) && asked;
}

bool SavePng(const char* name, const SavedPixels& image)
{
    std::wstring wideName = WideFromText(name);
    // Balanced here, so that the caller's thread is left as it was found.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool saved = false;
    {
        ComOwner<IWICImagingFactory> factory;
        if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                       factory.OutVoid())))
            saved = EncodePng(factory.Pointer, wideName.c_str(), image);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    if (!saved)
        DeleteFileW(wideName.c_str()); // nothing half-written left behind
    return saved;
}

} // namespace

bool SaveImageFile(const char* name, const SavedPixels& image)
{
    if (!name || !*name || !image.Pixels || image.Width <= 0 || image.Height <= 0)
        return false;
    return EndsInPng(name) ? SavePng(name, image) : SaveBmp(name, image);
}
