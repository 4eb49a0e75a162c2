// The demo as a user starts it, watched from a second program on the same desktop.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "e2e/demo_driver.h"
#include "support/files.h"
#include "support/reference_text.h"

namespace {

const char CaptionBytes[] = "\x83\x5E\x83\x43\x83\x67\x83\x8B\x96\xBC"; // "タイトル名" in code page 932

std::string Caption(HWND window)
{
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

struct IconImage {
    int Size = 16;
    COLORREF Colour[16][16];
    bool Opaque[16][16];
};

// Resource 102 of the demo drawn at 16 x 16, over black and over white to tell
// its transparent pixels.
bool LoadSmallIcon(const std::string& exe, IconImage* image)
{
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return false;
    HICON icon = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(102), IMAGE_ICON, 16, 16, 0));
    if (!icon)
        return false;
    Canvas canvas(32, 16);
    HDC memory = canvas.Dc;
    RECT left{0, 0, 16, 16}, right{16, 0, 32, 16};
    FillRect(memory, &left, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    FillRect(memory, &right, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(memory, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
    DrawIconEx(memory, 16, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            COLORREF overBlack = GetPixel(memory, x, y), overWhite = GetPixel(memory, x + 16, y);
            image->Opaque[y][x] = overBlack == overWhite;
            image->Colour[y][x] = overBlack;
        }
    DestroyIcon(icon);
    FreeLibrary(module);
    return true;
}

// Where the icon's opaque pixels all stand in the strip, if anywhere.
bool FindIcon(const ScreenPixels& strip, const IconImage& icon, POINT* at)
{
    for (LONG top = strip.Top; top + 16 <= strip.Top + strip.Height; ++top)
        for (LONG left = strip.Left; left + 16 <= strip.Left + strip.Width; ++left) {
            bool match = true;
            for (int y = 0; y < 16 && match; ++y)
                for (int x = 0; x < 16 && match; ++x)
                    match = !icon.Opaque[y][x] || strip.At(left + x, top + y) == icon.Colour[y][x];
            if (match) {
                *at = POINT{left, top};
                return true;
            }
        }
    return false;
}

class StartupTest : public testing::Test {
protected:
    void SetUp() override
    {
        exe = WindowsPath(EnvironmentValue("DEMO_EXE"));
        ASSERT_FALSE(exe.empty()) << "DEMO_EXE names the demo to start";
        ASSERT_TRUE(demo.Start(PrepareWorkingDirectory(DemoFiles{}))) << "no captioned PROMPT window within 60 s";
        window = demo.Window();
        printf("start-up: first paint done and caption set %lu ms after the process started\n",
               static_cast<unsigned long>(GetTickCount() - demo.StartTick()));
        // The sprite is drawn last: start-up is over and the window placed.
        ASSERT_TRUE(WaitForSpriteAt(demo, LoadSpriteImage(), 100, 200, 30000));
    }

    std::string exe;
    DemoRun demo;
    HWND window = nullptr;
};

TEST_F(StartupTest, WindowIsShapedPlacedAndBlack)
{
    char className[32] = "";
    GetClassNameA(window, className, sizeof className);
    EXPECT_STREQ("PROMPT", className);

    std::string caption = Caption(window);
    EXPECT_EQ(std::string(CaptionBytes), caption);
    wchar_t wide[32] = L"";
    GetWindowTextW(window, wide, 32);
    EXPECT_STREQ(L"タイトル名", wide) << "read as Unicode: the demo's texts are code page 932 on any system";
    EXPECT_EQ(10u, caption.size()) << "five double-byte characters";

    // 640 x 460 in the demo's pixels: at a scale its client area, the outer
    // size less the frame, is that many times larger; the frame is not.
    const LONG n = ExpectedScale();
    LONG style = GetWindowLongA(window, GWL_STYLE);
    RECT border{0, 0, 0, 0};
    AdjustWindowRectEx(&border, style, FALSE, GetWindowLongA(window, GWL_EXSTYLE));
    const LONG frameWidth = border.right - border.left, frameHeight = border.bottom - border.top;
    RECT frame{}, client{};
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    printf("window (%ld, %ld)-(%ld, %ld), client %ld x %ld, frame %ld x %ld, scale %ld\n", frame.left, frame.top,
           frame.right, frame.bottom, client.right, client.bottom, frameWidth, frameHeight, n);
    EXPECT_EQ(0, frame.left);
    EXPECT_EQ(0, frame.top);
    EXPECT_EQ((640 - frameWidth) * n + frameWidth, frame.right);
    EXPECT_EQ((460 - frameHeight) * n + frameHeight, frame.bottom);
    EXPECT_EQ((640 - frameWidth) * n, client.right);
    EXPECT_EQ((460 - frameHeight) * n, client.bottom);

    printf("style %08lx, extended style %08lx\n", static_cast<unsigned long>(style),
           static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)));
    EXPECT_EQ(0, style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_EQ(static_cast<LONG>(WS_CAPTION), style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

    ScreenPixels pixels;
    EXPECT_TRUE(WaitForSteadyClient(window, 10000, &pixels)) << "the client area settles";
    POINT origin = demo.ClientOrigin();
    size_t lit = 0;
    for (LONG y = 0; y < pixels.Height; ++y)
        for (LONG x = 0; x < pixels.Width; ++x) {
            bool sprite = x >= 100 * n && x < 132 * n && y >= 200 * n && y < 248 * n;
            lit += !sprite && pixels.At(origin.x + x, origin.y + y) != 0;
        }
    EXPECT_GT(pixels.Width, 600 * n);
    EXPECT_GT(pixels.Height, 400 * n);
    EXPECT_EQ(0u, lit) << "client pixels that are not black, the sprite's place aside";
    size_t mixed = MixedBlocks(pixels, n);
    printf("%ld x %ld blocks of more than one colour: %u\n", n, n, unsigned(mixed));
    EXPECT_EQ(0u, mixed) << "each of the demo's pixels an exact block of the window";

    std::string screenshot = ArtifactFile("startup.bmp");
    if (!screenshot.empty())
        SaveBitmapFile(CaptureWholeScreen(), screenshot);
}

TEST_F(StartupTest, CaptionShowsTheSmallIcon)
{
    if (GetSystemMetrics(SM_CXSMICON) != 16)
        GTEST_SKIP() << "the caption's icon is drawn " << GetSystemMetrics(SM_CXSMICON)
                     << " pixels wide at this dpi, stretched from the 16 x 16 image looked for";
    IconImage icon;
    ASSERT_TRUE(LoadSmallIcon(exe, &icon));
    int opaque = 0;
    for (auto& row : icon.Opaque)
        for (bool o : row)
            opaque += o;
    ASSERT_GT(opaque, 100) << "the icon has a body to look for";

    RECT frame{};
    GetWindowRect(window, &frame);
    RECT caption{frame.left, frame.top, frame.left + 80, frame.top + GetSystemMetrics(SM_CYCAPTION) + 8};
    // The frame is drawn by the window manager, in its own time.
    POINT at{};
    bool found = false;
    for (DWORD start = GetTickCount(); !found && GetTickCount() - start < 10000; Sleep(20))
        found = FindIcon(CaptureScreen(caption), icon, &at);
    EXPECT_TRUE(found) << "resource 102 is not in the caption";
    if (found)
        printf("small icon found in the caption at (%ld, %ld)\n", at.x, at.y);
}

TEST_F(StartupTest, CloseEndsTheProcessWithZero)
{
    DWORD start = GetTickCount();
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, WaitForExit(&demo.Process(), 10000));
    printf("exit after WM_CLOSE took %lu ms\n", static_cast<unsigned long>(GetTickCount() - start));
}

} // namespace
