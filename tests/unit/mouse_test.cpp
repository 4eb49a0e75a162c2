#include <gtest/gtest.h>

#include <prompt/screen.h>

#include "input/mouse.h"
#include "screen/screen_scale.h"
#include "support/console_start.h"

namespace {

class MouseTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(StartConsole());
        EXPECT_EQ(reinterpret_cast<void*>(ConsoleWindowProc), reinterpret_cast<void*>(PreviousWndProc))
            << "before it is installed, the procedure behind is already the console's";
        MouseTrackingStart();
        MouseTrackingStart(); // a second start changes nothing
    }
    void SetUp() override
    {
        window = ConsoleWindowHandle();
        MouseState = MouseStateRecord{};
    }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return SendMessageA(window, message, wParam, lParam);
    }
    HWND window = nullptr;
};

TEST_F(MouseTest, ButtonsAreRecordedAndTakenOut)
{
    EXPECT_EQ(reinterpret_cast<void*>(ConsoleWindowProc), reinterpret_cast<void*>(PreviousWndProc));
    EXPECT_EQ(0, Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10)));
    EXPECT_EQ(1, MouseState.LeftButton);
    EXPECT_EQ(0, MouseState.RightButton);
    EXPECT_EQ(0, Send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10)));
    EXPECT_EQ(1, MouseState.RightButton);
    EXPECT_EQ(0, Send(WM_LBUTTONUP, 0, MAKELPARAM(10, 10)));
    EXPECT_EQ(0, MouseState.LeftButton);
    EXPECT_EQ(1, MouseState.RightButton);
    EXPECT_EQ(0, Send(WM_RBUTTONUP, 0, MAKELPARAM(10, 10)));
    EXPECT_EQ(0, MouseState.RightButton);
}

TEST_F(MouseTest, DoubleClickSecondPressIsPassedOnWithoutSettingTheButton)
{
    Send(WM_LBUTTONDOWN);
    Send(WM_LBUTTONUP);
    Send(WM_LBUTTONDBLCLK);
    EXPECT_EQ(0, MouseState.LeftButton);
    Send(WM_RBUTTONDBLCLK);
    EXPECT_EQ(0, MouseState.RightButton);
    Send(WM_LBUTTONDOWN);
    Send(WM_LBUTTONUP);
    EXPECT_EQ(0, MouseState.LeftButton) << "the release after a double click clears it";
}

TEST_F(MouseTest, OtherMessagesReachTheConsole)
{
    BYTE key = InputLastKey() == 'Q' ? 'R' : 'Q';
    EXPECT_EQ(0, Send(WM_KEYDOWN, key));
    EXPECT_EQ(key, InputLastKey()) << "WM_KEYDOWN went through to the console's procedure";
    Send(WM_NCLBUTTONDOWN, HTNOWHERE, 0);
    EXPECT_EQ(0, MouseState.LeftButton) << "non-client presses change nothing";
    EXPECT_EQ(0, Send(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5)));
    EXPECT_EQ(0, MouseState.MouseX) << "a move changes nothing until the next poll";
    char caption[64] = "";
    GetWindowTextA(window, caption, sizeof caption);
    EXPECT_STRNE("", caption) << "WM_GETTEXT still answered by DefWindowProcA behind the console";
}

// The runtime's reading of the pointer, polled until it is the point wanted
// or 2 s have passed. Under Wine the window's thread may report a move it
// was late to handle after the pointer reached the next point, so the
// position can go back for a moment.
POINT PolledPointer(LONG x, LONG y)
{
    POINT got{};
    for (DWORD start = GetTickCount();; Sleep(10)) {
        UpdateMousePosition();
        got = POINT{MouseState.MouseX, MouseState.MouseY};
        if ((got.x == x && got.y == y) || GetTickCount() - start > 2000)
            return got;
    }
}

TEST_F(MouseTest, PositionIsPolledInClientCoordinatesInsideAndOutside)
{
    SetWindowPos(window, nullptr, 100, 100, 400, 300, SWP_NOZORDER);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    struct Probe { LONG dx, dy; };
    for (Probe p : {Probe{37, 21}, Probe{-5, 3}, Probe{2, -10}}) {
        ASSERT_TRUE(SetCursorPos(origin.x + p.dx, origin.y + p.dy));
        const POINT got = PolledPointer(p.dx, p.dy);
        printf("client point (%ld, %ld): read (%ld, %ld)\n", p.dx, p.dy, got.x, got.y);
        EXPECT_EQ(p.dx, got.x);
        EXPECT_EQ(p.dy, got.y) << "left of and above the client area the position is negative";
    }
}

TEST_F(MouseTest, AtAScaleThePositionIsTheProgramsPixelUnderThePointer)
{
    SetWindowPos(window, nullptr, 100, 100, 400, 300, SWP_NOZORDER);
    ASSERT_EQ(1, ScreenSetScale(2));
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    struct Probe { LONG dx, dy, x, y; };
    for (Probe p : {Probe{2 * 37 + 1, 2 * 21, 37, 21}, Probe{2 * 50, 2 * 60 + 1, 50, 60}, Probe{-3, 5, -2, 2}}) {
        ASSERT_TRUE(SetCursorPos(origin.x + p.dx, origin.y + p.dy));
        const POINT got = PolledPointer(p.x, p.y);
        printf("window pixel (%ld, %ld): program pixel (%ld, %ld)\n", p.dx, p.dy, got.x, got.y);
        EXPECT_EQ(p.x, got.x);
        EXPECT_EQ(p.y, got.y);
    }
    // Full screen: the screen letterboxed, the black around it outside the program's pixels.
    ASSERT_EQ(1, ScreenFullscreen(true));
    const ScreenPlacement placement = CurrentScreenPlacement();
    origin = POINT{0, 0};
    ClientToScreen(window, &origin);
    ASSERT_TRUE(SetCursorPos(origin.x + placement.Offset.x + placement.Scale * 10 + placement.Scale - 1,
                             origin.y + placement.Offset.y + placement.Scale * 20));
    POINT got = PolledPointer(10, 20);
    EXPECT_EQ(10, got.x) << "at scale " << placement.Scale << ", offset " << placement.Offset.x;
    EXPECT_EQ(20, got.y);
    if (placement.Offset.x > 0) {
        const LONG border = -((placement.Offset.x + placement.Scale - 1) / placement.Scale);
        ASSERT_TRUE(SetCursorPos(origin.x, origin.y + placement.Offset.y));
        got = PolledPointer(border, 0);
        EXPECT_EQ(border, got.x) << "the border left of the screen";
    }
    EXPECT_EQ(1, ScreenFullscreen(false));
    EXPECT_EQ(1, ScreenSetScale(0));
}

// Posts a turn of the wheel, then a key behind it in the same queue: once the
// key is counted, the turn has been through the mouse's procedure and the console's.
bool PostWheelAndWait(HWND window, SHORT delta)
{
    const int marker = VK_F13;
    PostMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), 0);
    PostMessageW(window, WM_KEYDOWN, marker, 1);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(1))
        if (KeyPressed(marker))
            return true;
    return false;
}

TEST_F(MouseTest, WheelCountsWholeNotchesAndKeepsTheRest)
{
    MouseWheel(); // whatever came before
    struct Turn { SHORT delta; int notches; };
    const Turn turns[] = {{120, 1}, {-240, -2}, {60, 0}, {60, 1}, {-60, 0}, {-30, 0}, {-30, -1}};
    for (Turn turn : turns) {
        ASSERT_TRUE(PostWheelAndWait(window, turn.delta)) << "the message after the turn was not handled within 10 s";
        int notches = MouseWheel();
        printf("turn %d: %d notches\n", turn.delta, notches);
        EXPECT_EQ(turn.notches, notches) << "after a turn of " << turn.delta;
    }
    EXPECT_EQ(0, MouseWheel()) << "nothing turned since";
}

} // namespace
