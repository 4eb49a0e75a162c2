// The demo as a user runs it: sprite, arrow keys, trail, repaint, missing files.
#include <gtest/gtest.h>

#include "e2e/demo_driver.h"
#include "support/files.h"

namespace {

const LONG StartX = 100, StartY = 200;

// Holds a key until the sprite stands at (x, y); the time it took, or 0.
DWORD HoldUntilSpriteAt(DemoRun& demo, const SpriteImage& sprite, WORD key, LONG x, LONG y)
{
    DWORD start = GetTickCount();
    PressKey(key);
    bool reached = WaitForSpriteAt(demo, sprite, x, y, 60000);
    DWORD took = GetTickCount() - start;
    Sleep(300); // held on at the bound: it must not move further
    ReleaseKey(key);
    return reached ? took : 0;
}

// Polls until the whole sprite stands on its start row, right of x.
bool WaitForSpriteRightOf(const DemoRun& demo, const SpriteImage& sprite, LONG x, DWORD milliseconds)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(10)) {
        LONG found = 0;
        if (FindSpriteOnRow(demo.CaptureClient(), demo.ClientOrigin(), sprite, StartY, &found) && found > x)
            return true;
    }
    return false;
}

bool AnyMessageBox(DWORD processId, DWORD milliseconds)
{
    MessageBoxSeen box;
    return WaitForMessageBox(processId, milliseconds, &box);
}

class DemoTest : public testing::Test {
protected:
    void SetUp() override
    {
        sprite = LoadSpriteImage();
        ASSERT_EQ(32, sprite.Width) << "assets/bmp/chr01.bmp";
        ASSERT_EQ(48, sprite.Height);
    }
    void StartWith(const DemoFiles& files)
    {
        ASSERT_TRUE(demo.Start(PrepareWorkingDirectory(files)));
    }

    SpriteImage sprite;
    DemoRun demo;
};

TEST_F(DemoTest, SpriteAppearsAtItsStartOnBlack)
{
    StartWith(DemoFiles{});
    ASSERT_TRUE(WaitForSpriteAt(demo, sprite, StartX, StartY, 30000));
    printf("sprite first seen %lu ms after the process started\n",
           static_cast<unsigned long>(GetTickCount() - demo.StartTick()));
    ScreenPixels client = demo.CaptureClient();
    POINT origin = demo.ClientOrigin();
    size_t lit = 0;
    for (LONG y = 0; y < client.Height; ++y)
        for (LONG x = 0; x < client.Width; ++x) {
            bool onSprite = x >= StartX && x < StartX + 32 && y >= StartY && y < StartY + 48;
            lit += !onSprite && client.At(origin.x + x, origin.y + y) != 0;
        }
    EXPECT_EQ(0u, lit) << "pixels outside the sprite that are not black";
    EXPECT_FALSE(AnyMessageBox(demo.Process().ProcessId, 500)) << "the music opened without a message";
}

TEST_F(DemoTest, ArrowKeysMoveTheSpriteToEachBoundLeavingATrail)
{
    StartWith(DemoFiles{});
    ASSERT_TRUE(WaitForSpriteAt(demo, sprite, StartX, StartY, 30000));

    DWORD took = HoldUntilSpriteAt(demo, sprite, VK_RIGHT, 600, StartY);
    ASSERT_NE(0u, took) << "right arrow: the sprite did not reach x = 600";
    printf("right arrow: 250 passes in %lu ms, about %.0f passes per second\n", static_cast<unsigned long>(took),
           250000.0 / took);
    ScreenPixels client = demo.CaptureClient();
    POINT origin = demo.ClientOrigin();
    EXPECT_TRUE(SpriteAt(client, origin, sprite, 600, StartY)) << "stopped at the right bound";
    // Nothing erases: every earlier image left its first two columns behind.
    for (LONG x = StartX; x < 600; x += 37)
        for (LONG row : {5, 20, 30, 46})
            ASSERT_EQ(sprite.At((x - StartX) % 2, row), client.At(origin.x + x, origin.y + StartY + row))
                << "trail at x " << x << ", row " << row;

    ASSERT_NE(0u, HoldUntilSpriteAt(demo, sprite, VK_LEFT, 0, StartY)) << "left arrow: not at x = 0";
    EXPECT_TRUE(SpriteAt(demo.CaptureClient(), origin, sprite, 0, StartY));

    ASSERT_NE(0u, HoldUntilSpriteAt(demo, sprite, VK_UP, 0, -30)) << "up arrow: not at y = -30";
    LONG y = 0;
    ASSERT_TRUE(FindSpriteOnColumn(demo.CaptureClient(), origin, sprite, 0, &y));
    EXPECT_EQ(-30, y) << "partly above the client area, and no higher";

    ASSERT_NE(0u, HoldUntilSpriteAt(demo, sprite, VK_DOWN, 0, 400)) << "down arrow: not at y = 400";
    ASSERT_TRUE(FindSpriteOnColumn(demo.CaptureClient(), origin, sprite, 0, &y));
    EXPECT_EQ(400, y);
}

TEST_F(DemoTest, RepaintShowsTheSamePictureTrailIncluded)
{
    StartWith(DemoFiles{});
    ASSERT_TRUE(WaitForSpriteAt(demo, sprite, StartX, StartY, 30000));
    ASSERT_NE(0u, HoldUntilSpriteAt(demo, sprite, VK_DOWN, StartX, 400));
    ScreenPixels before;
    ASSERT_TRUE(WaitForSteadyClient(demo.Window(), 10000, &before)) << "the sprite has stopped";

    PaintOver(demo.Window(), RGB(255, 0, 255));
    POINT origin = demo.ClientOrigin();
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(10))
        if (demo.CaptureClient().At(origin.x + 5, origin.y + 5) == RGB(255, 0, 255))
            break; // our paint has reached the screen before the repaint is asked for
    InvalidateRect(demo.Window(), nullptr, TRUE);
    EXPECT_TRUE(WaitForClient(demo, before, 10000)) << "after InvalidateRect";

    // Cover the window with one of our own, then uncover it.
    RECT frame{};
    GetWindowRect(demo.Window(), &frame);
    HWND cover = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "cover", WS_POPUP | WS_VISIBLE | SS_WHITERECT, frame.left,
                                 frame.top, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, cover);
    UpdateWindow(cover);
    DestroyWindow(cover);
    EXPECT_TRUE(WaitForClient(demo, before, 10000)) << "after covering and uncovering";
}

TEST_F(DemoTest, WithoutTheSpriteNothingIsDrawnAndNothingSaid)
{
    DemoFiles files;
    files.Sprite = false;
    StartWith(files);
    EXPECT_FALSE(AnyMessageBox(demo.Process().ProcessId, 2000));
    TapKey(VK_RIGHT, 300);
    Sleep(300);
    ScreenPixels client = demo.CaptureClient();
    size_t lit = 0;
    for (COLORREF c : client.Cells)
        lit += c != 0;
    EXPECT_EQ(0u, lit) << "the client area stays black";
    EXPECT_EQ(STILL_ACTIVE, WaitForExit(&demo.Process(), 0)) << "still running";
}

TEST_F(DemoTest, WithoutTheMusicOneMessageThenTheKeysWork)
{
    DemoFiles files;
    files.Music = false;
    StartWith(files);
    MessageBoxSeen box;
    ASSERT_TRUE(WaitForMessageBox(demo.Process().ProcessId, 30000, &box));
    EXPECT_EQ("error", box.Title);
    EXPECT_EQ("デバイスのオープンに失敗", box.Text);
    PressMessageBoxButton(box.Box);
    EXPECT_FALSE(AnyMessageBox(demo.Process().ProcessId, 1500)) << "the message comes once";
    ASSERT_TRUE(WaitForSpriteAt(demo, sprite, StartX, StartY, 10000));
    PressKey(VK_RIGHT);
    bool moved = WaitForSpriteRightOf(demo, sprite, StartX, 30000);
    ReleaseKey(VK_RIGHT);
    EXPECT_TRUE(moved) << "the keys work after OK";
}

TEST_F(DemoTest, CloseWhileKeysAreHeldEndsWithZero)
{
    StartWith(DemoFiles{});
    ASSERT_TRUE(WaitForSpriteAt(demo, sprite, StartX, StartY, 30000));
    PressKey(VK_RIGHT);
    PressKey(VK_SPACE);
    EXPECT_TRUE(WaitForSpriteRightOf(demo, sprite, StartX, 30000)) << "the keys are being acted on";
    PostMessageA(demo.Window(), WM_CLOSE, 0, 0);
    DWORD code = WaitForExit(&demo.Process(), 10000);
    ReleaseKey(VK_SPACE);
    ReleaseKey(VK_RIGHT);
    EXPECT_EQ(0u, code);
}

void SendMouse(DWORD flags)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

TEST_F(DemoTest, ClickInTheClientAreaIsRecorded)
{
    StartWith(DemoFiles{});
    ASSERT_TRUE(WaitForSpriteAt(demo, sprite, StartX, StartY, 30000));
    // At a scale: the last window pixel of the program's pixel (300, 100).
    POINT origin = demo.ClientOrigin();
    const LONG n = ExpectedScale();
    SetCursorPos(origin.x + 300 * n + n - 1, origin.y + 100 * n + n - 1);
    SHORT state[4] = {-1, -1, -1, -1}; // LeftButton, RightButton, MouseX, MouseY
    auto waitForState = [&](SHORT left, SHORT x, SHORT y) {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(10))
            if (demo.ReadMouseState(state) && state[0] == left && state[2] == x && state[3] == y)
                return true;
        return false;
    };
    EXPECT_TRUE(waitForState(0, 300, 100)) << "polled by the main loop, in the program's pixels at scale " << n
                                           << "; saw left "
                                           << state[0] << " at " << state[2] << "," << state[3];
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    EXPECT_TRUE(waitForState(1, 300, 100)) << "left button down; saw " << state[0];
    SendMouse(MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(waitForState(0, 300, 100)) << "and up again; saw " << state[0];
}

// How many sounds the watcher of the recording has heard to their end (sound_test.sh).
bool WaitForSoundsHeard(int count, DWORD milliseconds)
{
    std::string progress = WindowsPath(EnvironmentValue("SOUND_PROGRESS"));
    int heard = -1;
    for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(20)) {
        heard = atoi(ReadWholeFile(progress).c_str());
        if (heard >= count)
            return true;
    }
    printf("waited for %d sounds heard to their end, heard %d\n", count, heard);
    return false;
}

// Run by tests/e2e/sound_test.sh while the audio sink is recorded.
TEST_F(DemoTest, SoundScript)
{
    if (EnvironmentValue("SOUND_SCRIPT").empty())
        GTEST_SKIP() << "run by sound_test.sh";
    StartWith(DemoFiles{});
    ASSERT_TRUE(WaitForSpriteAt(demo, sprite, StartX, StartY, 30000));
    ASSERT_TRUE(WaitForSoundsHeard(1, 60000)) << "the tune plays out first";
    TapKey(VK_SPACE, 150);
    ASSERT_TRUE(WaitForSoundsHeard(2, 30000)) << "a tap: one zap";
    TapKey(VK_SPACE, 150);
    ASSERT_TRUE(WaitForSoundsHeard(3, 30000)) << "another tap: another zap";
    TapKey(VK_SPACE, 1500);
    ASSERT_TRUE(WaitForSoundsHeard(4, 30000)) << "held: one zap";
    PostMessageA(demo.Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, WaitForExit(&demo.Process(), 10000));
}

} // namespace
