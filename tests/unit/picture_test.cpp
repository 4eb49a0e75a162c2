#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "picture/picture.h"
#include "picture/picture_testing.h"
#include "support/console_start.h"
#include "support/files.h"
#include "support/screen.h"
#include "support/gdi_count.h"
#include "support/process.h"
#include "support/reference_text.h"

#include <tlhelp32.h>

namespace {

const std::string Sprite = TestDataFile("images/sprite32x48.bmp");
const std::string Dots = TestDataFile("images/dots3x2.bmp");


void FillBackBuffer(COLORREF colour)
{
    ::FillBackBuffer(RECT{0, 0, BackBufferSize().cx, BackBufferSize().cy}, colour);
    RepaintAndWait(ConsoleWindowHandle());
}

void ClearBackBuffer()
{
    FillBackBuffer(0);
}

int ThreadsOfThisProcess()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}

bool WaitForPixels(Picture* picture, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    while (!PixelsReadyNow(picture)) {
        if (GetTickCount() - start > milliseconds)
            return false;
        Sleep(1);
    }
    return true;
}

// Attached, with the capture delay given and the platform's caches warmed by
// one load, and holding nothing: the GDI count to compare with.
GdiSnapshot WarmedUp(Picture* picture, LONG delay)
{
    PictureAttachWindow(picture);
    PictureSetCaptureDelay(picture, delay);
    PictureLoad(picture, Sprite.c_str());
    PictureDropBitmap(picture);
    LoaderRelease(picture->Loader);
    return TakeGdiSnapshot();
}

// A handle of the picture's capture thread of the test's own, to close.
HANDLE CaptureThreadOf(Picture* picture)
{
    HANDLE thread = nullptr;
    DuplicateHandle(GetCurrentProcess(), picture->CaptureThread, GetCurrentProcess(), &thread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    return thread;
}

class PictureTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartConsole());
        PictureCreate(&picture);
    }
    void TearDown() override { PictureDestroy(&picture); }

    Picture picture{};
};

TEST(PictureFitSizeTest, DerivesTheMissingSideByTruncation)
{
    struct Case { LONG w, h, wantW, wantH; };
    for (Case c : {Case{20, 0, 20, 30}, Case{0, 10, 6, 10}, Case{0, 0, 32, 48}, Case{-5, -7, 32, 48},
                   Case{-4, 24, 16, 24}, Case{20, -1, 20, 30}, Case{10, 10, 10, 10}, Case{1, 0, 1, 1}}) {
        LONG w = c.w, h = c.h;
        PictureFitSize(&w, &h, 32, 48);
        EXPECT_EQ(c.wantW, w) << c.w << " x " << c.h;
        EXPECT_EQ(c.wantH, h) << c.w << " x " << c.h;
    }
}

// The loader block's header layout (count, element size, clean-up) is fixed by design.
TEST_F(PictureTest, CreateWritesTheLoaderBlockHeader)
{
    ASSERT_NE(nullptr, picture.Loader);
    auto* block = reinterpret_cast<LoaderBlock*>(reinterpret_cast<char*>(picture.Loader) - offsetof(LoaderBlock, Element));
    EXPECT_EQ(1u, block->Header.Count);
    EXPECT_EQ(sizeof(ImageLoader), block->Header.ElementSize);
    EXPECT_NE(nullptr, block->Header.CleanUp);
    EXPECT_EQ(0, picture.CaptureDelay);
    EXPECT_EQ(0, picture.Mirror);
    EXPECT_EQ(1, PictureSetCaptureDelay(&picture, 25)) << "no capture has ever run";
}

TEST_F(PictureTest, DrawGoesToTheWindowAndTheBackBuffer)
{
    ClearBackBuffer();
    PictureSetCaptureDelay(&picture, -1);
    PictureAttachWindow(&picture);
    EXPECT_EQ(ConsoleWindowHandle(), picture.Window);
    EXPECT_EQ(BackBufferDc(), picture.BackDC);
    ASSERT_EQ(1, PictureLoad(&picture, Sprite.c_str()));
    EXPECT_EQ(32, PictureWidth(&picture));
    EXPECT_EQ(48, PictureHeight(&picture));
    EXPECT_NE(0, PictureDraw(&picture, 50, 60, 0));

    for (POINT p : {POINT{0, 0}, POINT{31, 0}, POINT{5, 20}, POINT{0, 47}, POINT{31, 47}}) {
        COLORREF expected = BitmapPixel(picture.Bitmap, p.x, p.y);
        EXPECT_EQ(expected, WindowPixel(50 + p.x, 60 + p.y)) << p.x << "," << p.y;
        EXPECT_EQ(expected, BackBufferPixel(50 + p.x, 60 + p.y)) << p.x << "," << p.y;
    }
    EXPECT_EQ(0u, WindowPixel(50 + 32, 60)) << "natural size: nothing right of it";

    ASSERT_TRUE(RepaintAndWait(ConsoleWindowHandle()));
    EXPECT_EQ(BitmapPixel(picture.Bitmap, 31, 47), WindowPixel(81, 107)) << "a repaint shows it again";
}

TEST_F(PictureTest, SizedDrawStretchesAndATargetGetsItAlone)
{
    ClearBackBuffer();
    PictureSetCaptureDelay(&picture, -1);
    PictureAttachWindow(&picture);
    ASSERT_EQ(1, PictureLoad(&picture, Sprite.c_str()));
    PictureDrawSized(&picture, 200, 100, 64, 0, 0); // 64 wide, so 96 high
    EXPECT_EQ(BitmapPixel(picture.Bitmap, 31, 47), WindowPixel(200 + 63, 100 + 95));
    EXPECT_EQ(0u, WindowPixel(200 + 64, 100 + 95));
    EXPECT_EQ(0u, WindowPixel(200 + 63, 100 + 96));

    Canvas target(100, 100);
    EXPECT_NE(0, PictureDrawTo(&picture, 400, 10, 0, 0, 0, target.Dc));
    EXPECT_EQ(0u, BackBufferPixel(400, 10)) << "with a target, the back buffer is left alone";
    EXPECT_NE(0, PictureDrawTo(&picture, 10, 10, 0, 0, 0, target.Dc));
    EXPECT_EQ(BitmapPixel(picture.Bitmap, 0, 47), GetPixel(target.Dc, 10, 57));
    EXPECT_EQ(0u, BackBufferPixel(10, 57));
}

TEST_F(PictureTest, UnattachedPictureDrawsOnlyToItsTarget)
{
    PictureSetCaptureDelay(&picture, -1);
    ASSERT_EQ(1, PictureLoad(&picture, Sprite.c_str()));
    Canvas target(40, 60);
    EXPECT_NE(0, PictureDrawTo(&picture, 0, 0, 0, 0, 0, target.Dc));
    EXPECT_EQ(BitmapPixel(picture.Bitmap, 3, 40), GetPixel(target.Dc, 3, 40));
}

TEST_F(PictureTest, FailedLoadsNeverDrawAStaleBitmap)
{
    PictureSetCaptureDelay(&picture, -1);
    PictureAttachWindow(&picture);
    EXPECT_EQ(0, PictureDraw(&picture, 0, 0, 0)) << "no bitmap yet";
    ASSERT_EQ(1, PictureLoad(&picture, Sprite.c_str()));
    HBITMAP sprite = picture.Bitmap;

    EXPECT_EQ(0, PictureLoad(&picture, "no-such-file.bmp"));
    EXPECT_EQ(sprite, picture.Bitmap) << "a file that does not open changes nothing";
    EXPECT_NE(0, PictureDraw(&picture, 0, 0, 0));

    EXPECT_EQ(0, PictureLoad(&picture, TestDataFile("images/big640x480.png").c_str()));
    EXPECT_EQ(nullptr, picture.Bitmap) << "the loader gave the sprite up; the picture forgot it";
    EXPECT_EQ(0u, GetObjectType(sprite)) << "deleted once, by its loader";
    EXPECT_EQ(0, PictureDraw(&picture, 0, 0, 0));
    EXPECT_EQ(0, PictureWidth(&picture));

    Picture withoutLoader{};
    PictureInit(&withoutLoader);
    EXPECT_EQ(0, PictureLoad(&withoutLoader, Sprite.c_str())) << "a picture made by PictureInit loads nothing";
    EXPECT_EQ(0, PictureLoadWithAlpha(&withoutLoader, Sprite.c_str()));
    PictureTeardown(&withoutLoader);
}

TEST_F(PictureTest, CreateLoadDrawDestroyLeavesNoGdiObjects)
{
    PictureDestroy(&picture);
    auto cycle = [] {
        Picture p{};
        PictureCreate(&p);
        PictureSetCaptureDelay(&p, 0);
        PictureAttachWindow(&p);
        PictureLoad(&p, Sprite.c_str());
        PictureDraw(&p, 300, 300, 0);
        PictureLoad(&p, TestDataFile("images/photo40x30.jpg").c_str());
        PictureDrawSized(&p, 300, 300, 80, 0, 0);
        PictureDestroy(&p);
    };
    cycle();
    // A kept object shows in every round. The platform's cache of window device
    // contexts grows as threads meet in GetDC, in one round at the most.
    int rounds[3];
    for (int& added : rounds) {
        GdiSnapshot before = TakeGdiSnapshot();
        for (int i = 0; i < 20; ++i)
            cycle();
        added = GdiObjectsAddedSince(before);
    }
    printf("GDI objects added in three rounds of 20 cycles: %d, %d, %d\n", rounds[0], rounds[1], rounds[2]);
    EXPECT_LE(std::count_if(rounds, rounds + 3, [](int added) { return added != 0; }), 1);
    PictureCreate(&picture);
}

TEST_F(PictureTest, CaptureReadsEveryCellInOrder)
{
    PictureAttachWindow(&picture);
    ASSERT_EQ(1, PictureSetCaptureDelay(&picture, 0));
    ASSERT_EQ(1, PictureLoad(&picture, Dots.c_str()));
    ASSERT_TRUE(WaitForPixels(&picture, 10000));
    const COLORREF expected[6] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255),
                                  RGB(255, 255, 0), RGB(0, 255, 255), RGB(255, 255, 255)};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(expected[i], picture.PixelBuffer[i]) << "cell " << i;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(picture.CaptureThread, 5000));
    DWORD code = 99;
    GetExitCodeThread(picture.CaptureThread, &code);
    EXPECT_EQ(0u, code);
}

TEST_F(PictureTest, CaptureSleepsAfterEveryRowAndKeepsItsDelay)
{
    PictureAttachWindow(&picture);
    ASSERT_EQ(1, PictureSetCaptureDelay(&picture, 150));
    DWORD start = GetTickCount();
    ASSERT_EQ(1, PictureLoad(&picture, Dots.c_str()));
    EXPECT_EQ(0, PictureSetCaptureDelay(&picture, 0)) << "refused while the capture runs";
    EXPECT_EQ(150, picture.CaptureDelay);
    EXPECT_EQ(0, PixelsReadyNow(&picture));
    ASSERT_TRUE(WaitForPixels(&picture, 10000));
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 290u) << "two rows, 150 ms after each";
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(picture.CaptureThread, 5000));
    EXPECT_EQ(1, PictureSetCaptureDelay(&picture, 0)) << "the finished capture no longer counts";
}

TEST_F(PictureTest, NegativeDelayStartsNoCapture)
{
    PictureAttachWindow(&picture);
    PictureSetCaptureDelay(&picture, -1);
    ASSERT_EQ(1, PictureLoad(&picture, Dots.c_str()));
    EXPECT_EQ(nullptr, picture.CaptureThread);
    EXPECT_EQ(nullptr, picture.PixelBuffer);
    EXPECT_EQ(0, PixelsReadyNow(&picture));
}

TEST_F(PictureTest, NewLoadRestartsARunningCapture)
{
    PictureAttachWindow(&picture);
    PictureSetCaptureDelay(&picture, 40); // 48 rows: about two seconds
    ASSERT_EQ(1, PictureLoad(&picture, Sprite.c_str()));
    HANDLE first = CaptureThreadOf(&picture);
    DWORD start = GetTickCount();
    ASSERT_EQ(1, PictureLoad(&picture, Dots.c_str()));
    EXPECT_LT(GetTickCount() - start, 5000u) << "the old capture stops between rows, not by force after 10 s";
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first, 0)) << "the old thread has ended";
    CloseHandle(first);
    EXPECT_EQ(0, PixelsReadyNow(&picture));
    ASSERT_TRUE(WaitForPixels(&picture, 10000));
    EXPECT_EQ(RGB(255, 255, 255), picture.PixelBuffer[5]) << "the new bitmap's cells";
}

TEST_F(PictureTest, StoppedCaptureFreesEverything)
{
    GdiSnapshot before = WarmedUp(&picture, 5000);
    ASSERT_EQ(1, PictureLoad(&picture, Sprite.c_str()));
    for (DWORD start = GetTickCount(); !picture.PixelBuffer && GetTickCount() - start < 10000;)
        Sleep(1); // the thread has begun its rows
    DWORD start = GetTickCount();
    PictureDropBitmap(&picture);
    EXPECT_LT(GetTickCount() - start, 5000u) << "stopped between rows, not by force after 10 s";
    EXPECT_EQ(nullptr, picture.CaptureThread);
    EXPECT_EQ(nullptr, picture.PixelBuffer);
    EXPECT_EQ(0, PixelsReadyNow(&picture));
    ASSERT_TRUE(TryEnterCriticalSection(&picture.PixelLock));
    LeaveCriticalSection(&picture.PixelLock);
    LoaderRelease(picture.Loader);
    EXPECT_EQ(0, GdiObjectsAddedSince(before)) << "device contexts and the copy were freed";
}

TEST_F(PictureTest, LoadStopsARunningCaptureBeforeTheOldImageGoes)
{
    PictureAttachWindow(&picture);
    PictureSetCaptureDelay(&picture, 5000);
    ASSERT_EQ(1, PictureLoad(&picture, Sprite.c_str()));
    HBITMAP old = picture.Bitmap;
    HANDLE capture = CaptureThreadOf(&picture);
    // A JPEG without its end marker, long enough that the loader's look at it
    // takes a while after the loader has given up the old image.
    std::string jpeg = ReadWholeFile(TestDataFile("images/photo40x30.jpg"));
    jpeg = jpeg.substr(0, jpeg.size() - 2) + std::string(24 << 20, '\0');
    std::string slow = ScratchFile("unended.jpg", jpeg);

    std::atomic<bool> loading{true}, overlapped{false};
    std::thread watch([&] {
        // The old bitmap gone, and only then the capture seen alive: the capture outlived it.
        while (loading)
            if (GetObjectType(old) == 0 && WaitForSingleObject(capture, 0) == WAIT_TIMEOUT)
                overlapped = true;
    });
    EXPECT_EQ(0, PictureLoad(&picture, slow.c_str()));
    loading = false;
    watch.join();
    EXPECT_FALSE(overlapped) << "the old bitmap was deleted while its capture still ran";
    EXPECT_EQ(0u, GetObjectType(old)) << "given up by the loader";
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(capture, 0));
    CloseHandle(capture);
}

TEST_F(PictureTest, CaptureEndedByForceLeavesNothingBehind)
{
    GdiSnapshot before = WarmedUp(&picture, 0);
    SetCaptureStopGrace(300);
    // With its heap held, the capture waits for its buffer and cannot answer a stop.
    ASSERT_TRUE(HeapLock(picture.PrivateHeap));
    ASSERT_EQ(1, PictureLoad(&picture, Sprite.c_str()));
    HANDLE capture = CaptureThreadOf(&picture);
    DWORD start = GetTickCount();
    PictureDropBitmap(&picture);
    DWORD took = GetTickCount() - start;
    HeapUnlock(picture.PrivateHeap);
    SetCaptureStopGrace(0);
    EXPECT_GE(took, 290u) << "the capture did not answer: it was ended by force after the grace";
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(capture, 0));
    CloseHandle(capture);
    LoaderRelease(picture.Loader);
    EXPECT_EQ(0, GdiObjectsAddedSince(before)) << "the copy was freed after the forced end";
}

// Program threads draw into the back buffer while the console thread copies
// it to the window: one device context in two threads at once loses draws.
TEST_F(PictureTest, DrawsWhileTheConsoleRepaintsAllReachTheBackBuffer)
{
    ClearBackBuffer();
    PictureSetCaptureDelay(&picture, -1);
    PictureAttachWindow(&picture);
    ASSERT_EQ(1, PictureLoad(&picture, Dots.c_str()));
    HWND window = ConsoleWindowHandle();
    std::atomic<bool> drawing{true};
    std::thread repaint([&] {
        while (drawing)
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    });
    const int columns = 100, rows = 60; // 3 x 2 dots, 6000 draws
    for (int i = 0; i < columns * rows; ++i)
        PictureDraw(&picture, (i % columns) * 4, (i / columns) * 3, 0);
    drawing = false;
    repaint.join();
    int missing = 0;
    for (int i = 0; i < columns * rows; ++i)
        missing += BackBufferPixel((i % columns) * 4 + 2, (i / columns) * 3 + 1) != RGB(255, 255, 255);
    EXPECT_EQ(0, missing) << "draws that did not reach the back buffer";
}

TEST_F(PictureTest, TwoHundredLoadsWhileCapturingLeaveNothingBehind)
{
    PictureAttachWindow(&picture);
    PictureSetCaptureDelay(&picture, 1);
    PictureLoad(&picture, Sprite.c_str());
    PictureDropBitmap(&picture);
    LoaderRelease(picture.Loader);
    int threadsBefore = ThreadsOfThisProcess();
    GdiSnapshot before = TakeGdiSnapshot();
    PROCESS_HEAP_ENTRY entry{};
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(1, PictureLoad(&picture, (i % 2 ? Dots : Sprite).c_str())) << "load " << i;
    ASSERT_TRUE(WaitForPixels(&picture, 20000));
    SIZE_T busy = 0;
    while (HeapWalk(picture.PrivateHeap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
            busy += entry.cbData;
    EXPECT_EQ(3u * 2 * sizeof(COLORREF), busy) << "only the last capture's buffer (3 x 2 cells) is left";
    PictureDropBitmap(&picture);
    LoaderRelease(picture.Loader);
    EXPECT_EQ(threadsBefore, ThreadsOfThisProcess());
    EXPECT_EQ(0, GdiObjectsAddedSince(before));
}

TEST_F(PictureTest, BitmapThatCannotBeSelectedIsReported)
{
    PictureSetCaptureDelay(&picture, 0);
    // A bitmap selected into another device context cannot join a new one.
    HBITMAP bitmap = CreateBitmap(4, 4, 1, 32, nullptr);
    HDC holder = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(holder, bitmap);
    std::thread adopt([&] { PictureAdoptBitmap(&picture, bitmap); });
    MessageBoxSeen box;
    bool shown = WaitForMessageBox(GetCurrentProcessId(), 30000, &box);
    EXPECT_TRUE(shown);
    if (shown) {
        EXPECT_EQ("エラー", box.Title);
        EXPECT_EQ("ピクセル情報の取得に失敗。与えられたHBITMAPが新規DCに結合できない。", box.Text);
        PressMessageBoxButton(box.Box);
    }
    adopt.join();
    EXPECT_TRUE(WaitForPixels(&picture, 10000)) << "the capture still runs, on the blank copy";
    PictureDropBitmap(&picture);
    SelectObject(holder, previous);
    DeleteDC(holder);
    DeleteObject(bitmap);
}

TEST_F(PictureTest, BitmapTooLargeForACopyStartsNoCapture)
{
    PictureSetCaptureDelay(&picture, 0);
    HBITMAP huge = CreateBitmap(32768, 16384, 1, 1, nullptr); // 2^29 pixels: 2 GB as a copy, 2 GB of cells
    ASSERT_NE(nullptr, huge);
    GdiSnapshot before = TakeGdiSnapshot();
    PictureAdoptBitmap(&picture, huge);
    EXPECT_EQ(nullptr, picture.CaptureThread) << "no copy could be made: nothing to capture from";
    EXPECT_EQ(nullptr, picture.CaptureCopy);
    EXPECT_EQ(0, PixelsReadyNow(&picture));
    EXPECT_EQ(nullptr, picture.PixelBuffer);
    PictureDropBitmap(&picture);
    EXPECT_EQ(0, GdiObjectsAddedSince(before));
    DeleteObject(huge);
}

TEST_F(PictureTest, DropLeavesNothingReadyWhenTheCaptureEndsMeanwhile)
{
    // A one-cell capture ends within microseconds; drops at varied moments
    // catch it ending while the drop is under way.
    PictureSetCaptureDelay(&picture, 0);
    HBITMAP cell = CreateBitmap(1, 1, 1, 32, nullptr);
    int stale = 0;
    for (int i = 0; i < 500; ++i) {
        PictureAdoptBitmap(&picture, cell);
        for (volatile int spin = 0; spin < (i % 100) * 100; ++spin)
            ;
        PictureDropBitmap(&picture);
        stale += PixelsReadyNow(&picture) != 0 || picture.PixelBuffer != nullptr;
    }
    EXPECT_EQ(0, stale) << "drops that left PixelsReady set or a buffer behind";
    DeleteObject(cell);
}

// PNG through the imaging component. The expected pixels follow the formulas
// of scripts/make-png-images.py: straight colour and alpha, blended here.
struct Straight {
    int R, G, B, A;
};

COLORREF Blend(Straight p, COLORREF background)
{
    auto mix = [&](int c, int b) { return (c * p.A + b * (255 - p.A) + 127) / 255; };
    return RGB(mix(p.R, GetRValue(background)), mix(p.G, GetGValue(background)), mix(p.B, GetBValue(background)));
}

bool Near(COLORREF a, COLORREF b)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= 1 && std::abs(GetGValue(a) - GetGValue(b)) <= 1 &&
           std::abs(GetBValue(a) - GetBValue(b)) <= 1;
}

// Draws the picture blended at (x, y) over background and counts the pixels,
// in the back buffer and on the window, that are not what straight() blends to.
template <typename Pixel>
int BlendedMisses(Picture* picture, LONG x, LONG y, COLORREF background, Pixel straight)
{
    FillBackBuffer(background);
    EXPECT_NE(0, PictureDrawBlended(picture, x, y, 0, 0, 255));
    int misses = 0;
    for (LONG py = 0; py < PictureHeight(picture); ++py)
        for (LONG px = 0; px < PictureWidth(picture); ++px) {
            COLORREF expected = Blend(straight(px, py), background);
            for (COLORREF got : {BackBufferPixel(x + px, y + py), WindowPixel(x + px, y + py)})
                if (!Near(expected, got) && ++misses <= 5)
                    printf("(%ld,%ld): expected %06lx, got %06lx\n", px, py, expected, got);
        }
    return misses;
}

TEST_F(PictureTest, AlphaPngBlendsOverTheBackground)
{
    PictureSetCaptureDelay(&picture, -1);
    PictureAttachWindow(&picture);
    ASSERT_EQ(1, PictureLoadWithAlpha(&picture, TestDataFile("images/alpha64x8.png").c_str()));
    EXPECT_EQ(64, PictureWidth(&picture));
    EXPECT_EQ(8, PictureHeight(&picture));
    auto gradient = [](LONG x, LONG y) {
        return y < 4 ? Straight{200, 100, 50, int(x * 255 / 63)} : Straight{30, 220, 140, int(x * 255 / 63)};
    };
    EXPECT_EQ(0, BlendedMisses(&picture, 100, 50, RGB(60, 140, 230), gradient));
    EXPECT_EQ(RGB(60, 140, 230), BackBufferPixel(100, 50)) << "alpha 0 leaves the background";
    EXPECT_EQ(0, BlendedMisses(&picture, 7, 300, RGB(255, 255, 0), gradient));

    ASSERT_TRUE(RepaintAndWait(ConsoleWindowHandle()));
    EXPECT_TRUE(Near(Blend(gradient(40, 6), RGB(255, 255, 0)), WindowPixel(47, 306))) << "a repaint keeps it";
}

TEST_F(PictureTest, PalettePngAndSixteenBitPngKeepTheirAlpha)
{
    PictureSetCaptureDelay(&picture, -1);
    PictureAttachWindow(&picture);
    ASSERT_EQ(1, PictureLoadWithAlpha(&picture, TestDataFile("images/palette4x4.png").c_str()));
    const Straight palette[4] = {{255, 0, 0, 0}, {0, 255, 0, 128}, {0, 0, 255, 255}, {250, 250, 250, 255}};
    EXPECT_EQ(0, BlendedMisses(&picture, 20, 20, RGB(100, 50, 25),
                               [&](LONG x, LONG y) { return palette[(x + y) % 4]; }));

    ASSERT_EQ(1, PictureLoadWithAlpha(&picture, TestDataFile("images/deep4x2.png").c_str()));
    const Straight deep[4] = {{200, 100, 50, 255}, {30, 220, 140, 128}, {0, 0, 0, 0}, {255, 255, 255, 64}};
    EXPECT_EQ(0, BlendedMisses(&picture, 20, 20, RGB(10, 90, 170), [&](LONG x, LONG y) { return deep[(x + y) % 4]; }));

    ASSERT_EQ(1, PictureLoadWithAlpha(&picture, TestDataFile("images/dot1x1.png").c_str()));
    EXPECT_EQ(0, BlendedMisses(&picture, 0, 0, 0, [](LONG, LONG) { return Straight{10, 20, 30, 255}; }));

    // The other formats come the same way, opaque.
    ASSERT_EQ(1, PictureLoadWithAlpha(&picture, Sprite.c_str()));
    auto reference = static_cast<HBITMAP>(LoadImageA(nullptr, Sprite.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    EXPECT_EQ(0, BlendedMisses(&picture, 0, 0, RGB(1, 2, 3), [&](LONG x, LONG y) {
        COLORREF c = BitmapPixel(reference, x, y);
        return Straight{GetRValue(c), GetGValue(c), GetBValue(c), 255};
    }));
    DeleteObject(reference);
    EXPECT_EQ(1, PictureLoadWithAlpha(&picture, TestDataFile("images/photo40x30.jpg").c_str()));
    EXPECT_EQ(1, PictureLoadWithAlpha(&picture, TestDataFile("images/flag20x10.gif").c_str()));
    EXPECT_EQ(20, PictureWidth(&picture));
}

TEST_F(PictureTest, LargePngLoadsAndBrokenPngsLeaveNothing)
{
    PictureSetCaptureDelay(&picture, -1);
    PictureAttachWindow(&picture);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    ASSERT_EQ(1, PictureLoadWithAlpha(&picture, TestDataFile("images/big4096.png").c_str()));
    QueryPerformanceCounter(&end);
    printf("4096 x 4096 PNG loaded in %.0f ms\n", (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart);
    EXPECT_EQ(4096, PictureWidth(&picture));
    EXPECT_EQ(4096, PictureHeight(&picture));
    HDC probe = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(probe, picture.Bitmap);
    EXPECT_EQ(RGB(40, 80, 120), GetPixel(probe, 0, 0));
    EXPECT_EQ(RGB(250, 240, 230), GetPixel(probe, 4095, 4095));
    SelectObject(probe, previous);
    DeleteDC(probe);

    EXPECT_EQ(0, PictureLoadWithAlpha(&picture, TestDataFile("images/truncated.png").c_str()));
    GdiSnapshot before = TakeGdiSnapshot(); // the large image is given up by now
    for (int i = 0; i < 10; ++i)
        for (const char* broken : {"images/truncated.png", "images/corrupt.png"}) {
            ASSERT_EQ(0, PictureLoadWithAlpha(&picture, TestDataFile(broken).c_str())) << broken;
            ASSERT_EQ(nullptr, picture.Bitmap) << broken << ": no handle";
        }
    EXPECT_EQ(0, GdiObjectsAddedSince(before)) << "no GDI object kept by a failed load";
    EXPECT_EQ(0, PictureDrawBlended(&picture, 0, 0, 0, 0, 255));
}

TEST_F(PictureTest, KeyedDrawLeavesTheKeyColour)
{
    FillBackBuffer(RGB(0, 128, 0));
    PictureSetCaptureDelay(&picture, -1);
    PictureAttachWindow(&picture);
    ASSERT_EQ(1, PictureLoad(&picture, Sprite.c_str()));
    EXPECT_NE(0, PictureDrawKeyed(&picture, 10, 10, 64, 96, RGB(0, 0, 255))); // twice the size
    for (auto pixel : {BackBufferPixel, WindowPixel}) {
        EXPECT_EQ(RGB(255, 0, 0), pixel(10 + 63, 10 + 4)) << "red: drawn";
        EXPECT_EQ(RGB(0, 128, 0), pixel(10 + 20, 10 + 80)) << "blue, the key: the background stays";
    }
}

} // namespace
