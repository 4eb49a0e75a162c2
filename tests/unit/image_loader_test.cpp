#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "picture/image_loader.h"
#include "runtime/code_page.h"
#include "support/files.h"
#include "support/gdi_count.h"

namespace {

struct LoadOutcome {
    int Result;
    ImageLoader Loader;
    HBITMAP Handle;
};

class ImageLoaderTest : public testing::Test {
protected:
    void SetUp() override { LoaderInit(&loader); }
    void TearDown() override { LoaderRelease(&loader); }

    int Load(const std::string& path) { return LoaderLoad(&loader, path.c_str()); }

    ImageLoader loader{};
};

DWORD FormatOfBytes(const std::string& bytes)
{
    HANDLE file = CreateFileA(ScratchFile("sniff.bin", bytes).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD format = DetectFormat(file);
    DWORD position = SetFilePointer(file, 0, nullptr, FILE_CURRENT);
    CloseHandle(file);
    EXPECT_EQ(0u, position) << "the file is left at its start";
    return format;
}

const std::string PngSignature("\x89PNG\r\n\x1a\n", 8);

TEST(DetectFormatTest, FirstBytesDecide)
{
    EXPECT_EQ(FormatBmp, FormatOfBytes("BM"));
    EXPECT_EQ(FormatBmp, FormatOfBytes("BMGIF89a"));
    EXPECT_EQ(FormatGif, FormatOfBytes("GIF\x01\x02junk"));
    EXPECT_EQ(FormatJpeg, FormatOfBytes("\xFF\xD8garbage"));
    EXPECT_EQ(FormatPng, FormatOfBytes(PngSignature + "rest"));
    EXPECT_EQ(FormatNone, FormatOfBytes("GI"));
    EXPECT_EQ(FormatNone, FormatOfBytes(PngSignature.substr(0, 7)));
    EXPECT_EQ(FormatNone, FormatOfBytes(""));
    EXPECT_EQ(FormatNone, FormatOfBytes("hello world"));
}

TEST_F(ImageLoaderTest, LoadsBmpJpegAndGifAtTheirSizes)
{
    struct Expected { const char* File; DWORD Format; LONG Width, Height; };
    for (Expected e : {Expected{"images/sprite32x48.bmp", FormatBmp, 32, 48},
                       Expected{"images/photo40x30.jpg", FormatJpeg, 40, 30},
                       Expected{"images/flag20x10.gif", FormatGif, 20, 10}}) {
        SCOPED_TRACE(e.File);
        ASSERT_EQ(1, Load(TestDataFile(e.File)));
        EXPECT_EQ(e.Format, loader.Format);
        EXPECT_EQ(e.Width, loader.Width);
        EXPECT_EQ(e.Height, loader.Height);
        HBITMAP handle = LoaderHandle(&loader);
        EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(handle));
        BITMAP info{};
        GetObjectA(handle, sizeof info, &info);
        EXPECT_EQ(e.Width, info.bmWidth);
        EXPECT_EQ(e.Height, info.bmHeight);
    }
}

TEST(HiMetricTest, ConvertsByTheScreenResolution)
{
    HDC screen = GetDC(nullptr);
    int perInch = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    SIZEL fortyByThirty{MulDiv(40, 2540, perInch), MulDiv(30, 2540, perInch)}, pixels{};
    HiMetricToPixel(&fortyByThirty, &pixels);
    EXPECT_EQ(40, pixels.cx);
    EXPECT_EQ(30, pixels.cy);

    // What ATL.DLL itself answers for one inch, for the record.
    using Conversion = void(WINAPI*)(const SIZEL*, SIZEL*);
    HMODULE atl = LoadLibraryA("atl.dll");
    auto atlConvert = atl ? reinterpret_cast<Conversion>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlHiMetricToPixel"))) : nullptr;
    if (atlConvert) {
        SIZEL inch{2540, 2540}, fromAtl{};
        atlConvert(&inch, &fromAtl);
        printf("one inch: ATL.DLL says %ld x %ld pixels, the screen has %d per inch%s\n", fromAtl.cx, fromAtl.cy,
               perInch, fromAtl.cx == perInch ? "" : " (ATL.DLL is not used)");
    }
}

TEST_F(ImageLoaderTest, PngGivesItsSizeButNoBitmap)
{
    EXPECT_EQ(0, Load(TestDataFile("images/big640x480.png")));
    EXPECT_EQ(FormatPng, loader.Format);
    EXPECT_EQ(640, loader.Width);
    EXPECT_EQ(480, loader.Height);
    EXPECT_EQ(nullptr, LoaderHandle(&loader));

    // 20 bytes: the width is there (640), the height is past the end.
    EXPECT_EQ(0, Load(ScratchFile("short.png", PngSignature + std::string("\0\0\0\x0dIHDR\0\0\x02\x80", 12))));
    EXPECT_EQ(FormatPng, loader.Format);
    EXPECT_EQ(640, loader.Width);
    EXPECT_EQ(0, loader.Height) << "unread size bytes stay zero";
}

// A copy of a test image under a Japanese name, made through the W call so
// that the name is right whatever this system's code page; its name in code page 932.
std::string CopyUnderJapaneseName(const char* image, const char* name)
{
    std::string path = ScratchFile("any.bin", "");
    path.resize(path.rfind('\\') + 1);
    path += name;
    std::string bytes = ReadWholeFile(TestDataFile(image));
    HANDLE file = CreateFileW(WideFromText(path.c_str()).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return path;
}

TEST_F(ImageLoaderTest, JapaneseFileNamesLoadOnAnySystem)
{
    EXPECT_EQ(1, Load(CopyUnderJapaneseName("images/sprite32x48.bmp", "画像.bmp")));
    EXPECT_EQ(32, loader.Width);
    EXPECT_EQ(1, Load(CopyUnderJapaneseName("images/photo40x30.jpg", "写真.jpg")));
    EXPECT_EQ(40, loader.Width);
    EXPECT_EQ(1, LoaderLoadWithAlpha(&loader, CopyUnderJapaneseName("images/alpha64x8.png", "透明.png").c_str()));
    EXPECT_EQ(64, loader.Width);
}

TEST_F(ImageLoaderTest, FileThatDoesNotOpenKeepsThePreviousImage)
{
    ASSERT_EQ(1, Load(TestDataFile("images/sprite32x48.bmp")));
    HBITMAP before = LoaderHandle(&loader);
    EXPECT_EQ(0, Load(TestDataFile("images/no-such-file.bmp")));
    EXPECT_EQ(before, LoaderHandle(&loader));
    EXPECT_EQ(32, loader.Width);

    // A file that another program holds open without sharing does not open either.
    std::string held = ScratchFile("held.gif", ReadWholeFile(TestDataFile("images/flag20x10.gif")));
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_EQ(0, Load(held));
    EXPECT_EQ(before, LoaderHandle(&loader));
    CloseHandle(holder);
    EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(before));
}

TEST_F(ImageLoaderTest, UnrecognisedFileDropsThePreviousImage)
{
    ASSERT_EQ(1, Load(TestDataFile("images/sprite32x48.bmp")));
    HBITMAP before = LoaderHandle(&loader);
    EXPECT_EQ(0, Load(ScratchFile("text.txt", "just text")));
    EXPECT_EQ(FormatNone, loader.Format);
    EXPECT_EQ(nullptr, LoaderHandle(&loader));
    EXPECT_EQ(0, loader.Width);
    EXPECT_EQ(0u, GetObjectType(before)) << "the old bitmap was deleted";
}

TEST_F(ImageLoaderTest, RefusedFilesLeaveNothingHeld)
{
    EXPECT_EQ(0, Load(ScratchFile("two.bmp", "BM")));
    EXPECT_EQ(FormatBmp, loader.Format);
    EXPECT_EQ(nullptr, LoaderHandle(&loader));

    EXPECT_EQ(0, Load(ScratchFile("junk.jpg", "\xFF\xD8 this is no picture")));
    EXPECT_EQ(FormatJpeg, loader.Format);
    EXPECT_EQ(nullptr, LoaderHandle(&loader));
    LoaderRelease(&loader);
    LoaderRelease(&loader); // on an empty loader: nothing to do
    EXPECT_EQ(FormatNone, loader.Format);
}

TEST_F(ImageLoaderTest, JpegTooLargeForMemoryIsRefused)
{
    // 3 GB, most of it a hole in the file: no 32-bit process can hold it in one block.
    std::string path = ScratchFile("huge.jpg", "\xFF\xD8");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LONG high = 0;
    SetFilePointer(file, static_cast<LONG>(0xC0000000u), &high, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    EXPECT_EQ(0, Load(path));
    EXPECT_EQ(FormatJpeg, loader.Format);
    EXPECT_EQ(nullptr, LoaderHandle(&loader));
    DeleteFileA(path.c_str());
}

// Damaged copies of the good files: cut at each structural point, or with a
// header field made impossible.
std::vector<std::pair<std::string, std::string>> MalformedCorpus()
{
    std::string bmp = ReadWholeFile(TestDataFile("images/sprite32x48.bmp"));
    std::string gif = ReadWholeFile(TestDataFile("images/flag20x10.gif"));
    std::string jpeg = ReadWholeFile(TestDataFile("images/photo40x30.jpg"));
    std::vector<std::pair<std::string, std::string>> corpus;
    auto cut = [&](const char* kind, const std::string& whole, size_t length) {
        corpus.emplace_back(std::string(kind) + " cut at " + std::to_string(length), whole.substr(0, length));
    };
    auto patch32 = [&](const char* what, size_t offset, uint32_t value) {
        std::string copy = bmp;
        std::memcpy(&copy[offset], &value, 4);
        corpus.emplace_back(what, copy);
    };
    auto patch16 = [&](const char* what, size_t offset, uint16_t value) {
        std::string copy = bmp;
        std::memcpy(&copy[offset], &value, 2);
        corpus.emplace_back(what, copy);
    };
    for (size_t length : {2, 6, 14, 18, 26, 30, 54, 100, 2000, 4661})
        cut("BMP", bmp, length);
    patch32("BMP 65536 wide", 18, 65536);
    patch32("BMP 1 x 100000", 18, 1);
    patch32("BMP 100000 high", 22, 100000);
    patch32("BMP 0 wide", 18, 0);
    patch32("BMP 0 high", 22, 0);
    patch32("BMP negative width", 18, static_cast<uint32_t>(-32));
    patch32("BMP header size 12", 14, 12);
    patch32("BMP header size 0", 14, 0);
    patch32("BMP header size 4000", 14, 4000);
    patch32("BMP pixels beyond the file", 10, 1u << 30);
    patch32("BMP compression 99", 30, 99);
    patch16("BMP 3 bits per pixel", 28, 3);
    for (size_t length : {size_t(3), size_t(6), size_t(10), size_t(13), size_t(19), size_t(25), size_t(35), gif.size() - 1})
        cut("GIF", gif, length);
    {
        std::string copy = gif;
        copy[6] = copy[7] = copy[8] = copy[9] = '\xFF';
        corpus.emplace_back("GIF screen 65535 x 65535", copy);
    }
    for (size_t length : {size_t(2), size_t(4), size_t(20), size_t(100), size_t(160), size_t(250), jpeg.size() / 2, jpeg.size() - 2})
        cut("JPEG", jpeg, length);
    return corpus;
}

TEST_F(ImageLoaderTest, MalformedFilesLoadConsistentlyAndLeakNothing)
{
    auto corpus = MalformedCorpus();
    ASSERT_GE(corpus.size(), 30u);
    for (auto& [name, bytes] : corpus) // once to warm the platform's caches
        Load(ScratchFile("warm.bin", bytes));
    LoaderRelease(&loader);

    GdiSnapshot before = TakeGdiSnapshot();
    int loaded = 0;
    for (auto& [name, bytes] : corpus) {
        SCOPED_TRACE(name);
        int result = Load(ScratchFile("malformed.bin", bytes));
        HBITMAP handle = LoaderHandle(&loader);
        if (result == 1) {
            ++loaded;
            EXPECT_NE(FormatNone, loader.Format);
            EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(handle));
            EXPECT_GT(loader.Width, 0);
            EXPECT_GT(loader.Height, 0);
        } else {
            EXPECT_EQ(0, loader.Width);
            EXPECT_EQ(0, loader.Height);
            if (loader.Format == FormatBmp) {
                EXPECT_EQ(nullptr, handle);
            }
        }
        LoaderRelease(&loader);
    }
    int added = GdiObjectsAddedSince(before);
    printf("%zu malformed files: %d loaded anyway, %d GDI objects left behind\n", corpus.size(), loaded, added);
    EXPECT_EQ(0, added);
}

TEST_F(ImageLoaderTest, WhatNoValidFileCanBeIsRefusedBeforeThePlatformSeesIt)
{
    // Each of these crashes, drains or misleads the platform's decoders.
    const char* refused[] = {"BMP 65536 wide", "BMP 100000 high", "BMP 0 wide", "BMP 0 high", "BMP negative width",
                             "BMP header size 0", "BMP header size 4000", "BMP pixels beyond the file",
                             "BMP compression 99", "BMP 3 bits per pixel",
                             "BMP cut at 2000", "GIF screen 65535 x 65535", "GIF cut at 35", "JPEG cut at 100"};
    auto corpus = MalformedCorpus();
    for (const char* name : refused) {
        auto file = std::find_if(corpus.begin(), corpus.end(), [&](auto& entry) { return entry.first == name; });
        ASSERT_NE(corpus.end(), file) << name;
        EXPECT_EQ(0, Load(ScratchFile("refused.bin", file->second))) << name;
        EXPECT_NE(FormatNone, loader.Format) << name << ": refused as the platform refuses, format known";
        EXPECT_EQ(nullptr, LoaderHandle(&loader)) << name;
    }
    std::string bmp = ReadWholeFile(TestDataFile("images/sprite32x48.bmp"));
    uint32_t impossible = 0x80000000u;
    std::memcpy(&bmp[18], &impossible, 4);
    EXPECT_EQ(0, Load(ScratchFile("wide.bmp", bmp))) << "a width of -2^31";
    EXPECT_EQ(0, loader.Width);
}

// An 8-bit BMP, 8 x 4, with a full grey palette; colours used as given.
std::string EightBitBmp(uint32_t coloursUsed)
{
    const uint32_t width = 8, height = 4, paletteBytes = 256 * 4, pixelsAt = 14 + 40 + paletteBytes;
    std::string file(pixelsAt + width * height, '\0');
    auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&file[at], &v, 2); };
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&file[at], &v, 4); };
    file[0] = 'B', file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, pixelsAt);
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    put16(26, 1);
    put16(28, 8);
    put32(46, coloursUsed);
    for (uint32_t i = 0; i < 256; ++i)
        file[54 + 4 * i] = file[55 + 4 * i] = file[56 + 4 * i] = static_cast<char>(i);
    for (uint32_t i = 0; i < width * height; ++i)
        file[pixelsAt + i] = static_cast<char>(i * 8);
    return file;
}

std::vector<COLORREF> BitmapPixels(HBITMAP bitmap, LONG width, LONG height)
{
    std::vector<COLORREF> pixels;
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    for (LONG y = 0; y < height; ++y)
        for (LONG x = 0; x < width; ++x)
            pixels.push_back(GetPixel(memory, x, y));
    SelectObject(memory, previous);
    DeleteDC(memory);
    return pixels;
}

TEST_F(ImageLoaderTest, PaletteClaimingTooManyColoursLoadsAsThePlatformShowsIt)
{
    ASSERT_EQ(1, Load(ScratchFile("grey.bmp", EightBitBmp(0))));
    std::vector<COLORREF> expected = BitmapPixels(LoaderHandle(&loader), 8, 4);
    std::vector<COLORREF> distinct(expected);
    std::sort(distinct.begin(), distinct.end());
    EXPECT_EQ(32, std::unique(distinct.begin(), distinct.end()) - distinct.begin()) << "32 greys of the palette";
    for (uint32_t claimed : {300u, 0x80000000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(claimed);
        ASSERT_EQ(1, Load(ScratchFile("claims.bmp", EightBitBmp(claimed))));
        EXPECT_EQ(8, loader.Width);
        EXPECT_EQ(4, loader.Height);
        EXPECT_EQ(expected, BitmapPixels(LoaderHandle(&loader), 8, 4)) << "256 colours read, the pixels intact";
    }
    // The pixels must still lie inside the file.
    std::string cut = EightBitBmp(300);
    cut.resize(cut.size() - 1);
    EXPECT_EQ(0, Load(ScratchFile("cut.bmp", cut)));
}

TEST_F(ImageLoaderTest, FormatOnlyTheImagingComponentKnowsLoadsWithAlphaAlone)
{
    // An icon: no row of the loader's formats, but the imaging component decodes it.
    std::string icon = TestDataFile("images/icon24x12.ico");
    ASSERT_EQ(1, LoaderLoadWithAlpha(&loader, icon.c_str()));
    EXPECT_EQ(FormatNone, loader.Format);
    EXPECT_EQ(DecodedWithAlpha, loader.Decoding);
    EXPECT_EQ(24, loader.Width);
    EXPECT_EQ(12, loader.Height);
    std::vector<COLORREF> pixels = BitmapPixels(LoaderHandle(&loader), 24, 12);
    EXPECT_EQ(RGB(0xFF, 0xD0, 0x40), pixels.front()) << "the yellow quarter at the top left";
    EXPECT_EQ(RGB(0x20, 0x80, 0xC0), pixels.back());

    EXPECT_EQ(0, Load(icon)) << "the plain route takes only the formats it knows";
    EXPECT_EQ(FormatNone, loader.Format);
    EXPECT_EQ(nullptr, LoaderHandle(&loader));
    EXPECT_EQ(0, loader.Width);
}

TEST_F(ImageLoaderTest, EverySeedOfTheFuzzerLoadsAsAValidFile)
{
    WIN32_FIND_DATAA found{};
    std::string directory = TestDataFile("fuzz-seeds");
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    int seeds = 0;
    do {
        std::string name = found.cFileName;
        if (name[0] == '.')
            continue;
        ++seeds;
        bool png = name.rfind("png", 0) == 0, jpeg = name.rfind("jpeg", 0) == 0;
        EXPECT_EQ(png ? 0 : 1, Load(directory + "\\" + name)) << name;
        EXPECT_EQ(jpeg ? 39 : 13, loader.Width) << name;
        EXPECT_EQ(jpeg ? 21 : 7, loader.Height) << name;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(27, seeds);
}

TEST_F(ImageLoaderTest, TransparentGifKeepsNoGdiObjects)
{
    // The platform's picture makes a mask and a second bitmap for a transparent
    // GIF, which its interface never hands out: the picture must own them.
    std::string gif = TestDataFile("fuzz-seeds/gif-transparent.gif");
    Load(gif);
    LoaderRelease(&loader);
    GdiSnapshot before = TakeGdiSnapshot();
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(1, Load(gif));
        EXPECT_EQ(13, loader.Width);
        LoaderRelease(&loader);
    }
    int kept = GdiObjectsAddedSince(before);
    printf("10 loads of a transparent GIF kept %d GDI objects\n", kept);
    EXPECT_EQ(0, kept);
}

TEST(GdiCountTest, SeesObjectsThatAreKept)
{
    GdiSnapshot before = TakeGdiSnapshot();
    HBRUSH kept[5];
    for (HBRUSH& brush : kept)
        brush = CreateSolidBrush(RGB(1, 2, 3));
    HBRUSH freed = CreateSolidBrush(RGB(4, 5, 6));
    DeleteObject(freed);
    EXPECT_EQ(5, GdiObjectsAddedSince(before));
    for (HBRUSH brush : kept)
        DeleteObject(brush);
}

TEST_F(ImageLoaderTest, ManyLoadsLeaveNoGdiObjects)
{
    const char* files[] = {"images/sprite32x48.bmp", "images/photo40x30.jpg", "images/flag20x10.gif", "images/big640x480.png"};
    for (const char* file : files)
        Load(TestDataFile(file));
    GdiSnapshot before = TakeGdiSnapshot();
    for (int i = 0; i < 100; ++i)
        Load(TestDataFile(files[i % 4]));
    LoaderRelease(&loader);
    EXPECT_EQ(0, GdiObjectsAddedSince(before));
}

// A picture object that frees its bitmap on Release, after which someone else
// gets a bitmap under the same handle value (the platform's handles recur
// after a few hundred reuses of a slot).
class PictureThatFreesItsBitmap : public IPicture {
public:
    HBITMAP Own = CreateBitmap(4, 4, 1, 32, nullptr);
    HBITMAP Foreign = nullptr;

    ULONG STDMETHODCALLTYPE Release() override
    {
        HBITMAP freed = Own;
        DeleteObject(Own);
        for (int i = 0; i < 100000 && !Foreign; ++i) {
            HBITMAP other = CreateBitmap(8, 2, 1, 32, nullptr);
            if (other == freed)
                Foreign = other;
            else
                DeleteObject(other);
        }
        return 0;
    }
    HRESULT STDMETHODCALLTYPE get_Handle(OLE_HANDLE* handle) override
    {
        *handle = static_cast<OLE_HANDLE>(reinterpret_cast<UINT_PTR>(Own));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Type(SHORT* type) override
    {
        *type = PICTYPE_BITMAP;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    HRESULT STDMETHODCALLTYPE get_hPal(OLE_HANDLE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Width(OLE_XSIZE_HIMETRIC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Height(OLE_YSIZE_HIMETRIC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Render(HDC, LONG, LONG, LONG, LONG, OLE_XPOS_HIMETRIC, OLE_YPOS_HIMETRIC,
                                     OLE_XSIZE_HIMETRIC, OLE_YSIZE_HIMETRIC, LPCRECT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE set_hPal(OLE_HANDLE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_CurDC(HDC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SelectPicture(HDC, HDC*, OLE_HANDLE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_KeepOriginalFormat(BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_KeepOriginalFormat(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PictureChanged() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SaveAsFile(LPSTREAM, BOOL, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Attributes(DWORD*) override { return E_NOTIMPL; }
};

TEST_F(ImageLoaderTest, ReleaseDeletesNoBitmapButItsOwn)
{
    PictureThatFreesItsBitmap picture;
    loader.Format = FormatGif;
    loader.OlePicture = &picture;
    LoaderRelease(&loader);
    ASSERT_NE(nullptr, picture.Foreign) << "the freed handle value never came back";
    EXPECT_EQ(OBJ_BITMAP, GetObjectType(picture.Foreign)) << "another's bitmap under the old value survives";
    DeleteObject(picture.Foreign);
}

} // namespace
