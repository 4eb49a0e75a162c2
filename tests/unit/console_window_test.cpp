#include <gtest/gtest.h>

#include <windows.h>
#include <imm.h>

#include <algorithm>
#include <cstring>

#include <prompt/screen.h>

#include "support/child_action.h"
#include "support/console_start.h"
#include "support/process.h"

namespace {

// The fewest live strings seen over a while: a message in progress holds one more.
LONG SettledStringCount()
{
    LONG fewest = RegistryCountNow();
    for (int i = 0; i < 100; ++i) {
        Sleep(2);
        fewest = std::min(fewest, RegistryCountNow());
    }
    return fewest;
}

class ConsoleWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartConsole()) << "no first paint within 60 s";
        window = ConsoleWindowHandle();
    }
    HWND window = nullptr;
};

TEST_F(ConsoleWindowTest, WindowHasClassCaptionAndStyles)
{
    char text[64] = "";
    GetClassNameA(window, text, sizeof text);
    EXPECT_STREQ("PROMPT", text);
    GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ("BASIC PROMPT", text);
    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(WS_OVERLAPPEDWINDOW, style & WS_OVERLAPPEDWINDOW) << std::hex << style;
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS, static_cast<int>(GetClassLongA(window, GCL_STYLE)));
    EXPECT_EQ(ConsoleThreadId(), GetWindowThreadProcessId(window, nullptr));
}

TEST_F(ConsoleWindowTest, SecondStartKeepsTheOneWindow)
{
    DWORD thread = ConsoleThreadId();
    EXPECT_TRUE(ConsoleStart(10000));
    EXPECT_EQ(window, ConsoleWindowHandle());
    EXPECT_EQ(thread, ConsoleThreadId());
    int ours = 0;
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "PROMPT", nullptr)) != nullptr;) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        ours += process == GetCurrentProcessId();
    }
    EXPECT_EQ(1, ours) << "console windows of this process";
}

TEST_F(ConsoleWindowTest, CellMeasuresComeFromTheConsoleFont)
{
    // Measured again here, independently, with the face the console asks for.
    LOGFONTA wanted{};
    wanted.lfHeight = -16;
    wanted.lfCharSet = SHIFTJIS_CHARSET;
    wanted.lfPitchAndFamily = FIXED_PITCH;
    lstrcpyA(wanted.lfFaceName, "ＭＳ ゴシック");
    HFONT font = CreateFontIndirectA(&wanted);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE space{};
    GetTextExtentPoint32A(dc, " ", 1, &space);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(font);

    ConsoleCellMetrics cell = ConsoleMetrics();
    printf("CellWidth %ld, LineHeight %ld\n", cell.CellWidth, cell.LineHeight);
    EXPECT_GT(cell.CellWidth, 0);
    EXPECT_GT(cell.LineHeight, 0);
    EXPECT_EQ(space.cx, cell.CellWidth);
    EXPECT_EQ(metrics.tmHeight, cell.LineHeight);
    EXPECT_EQ(SHIFTJIS_CHARSET, ConsoleFontDescription().lfCharSet);
    EXPECT_STREQ(L"ＭＳ ゴシック", ConsoleFontDescription().lfFaceName) << "the face by its Japanese name";
}

TEST_F(ConsoleWindowTest, BackBufferIsScreenSizedAndBlack)
{
    SIZE screen = BackBufferSize();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), screen.cx);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), screen.cy);
    BackBufferHold hold;
    BITMAP bitmap{};
    ASSERT_TRUE(GetObjectA(GetCurrentObject(BackBufferDc(), OBJ_BITMAP), sizeof bitmap, &bitmap));
    EXPECT_EQ(screen.cx, bitmap.bmWidth);
    EXPECT_EQ(screen.cy, bitmap.bmHeight);
    for (LONG y = 0; y < bitmap.bmHeight; y += 37)
        for (LONG x = 0; x < bitmap.bmWidth; x += 41)
            ASSERT_EQ(0u, GetPixel(BackBufferDc(), x, y)) << "at " << x << "," << y;
}

TEST_F(ConsoleWindowTest, EveryPaintSetsWindowReady)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(RepaintAndWait(window)) << "paint " << i << " did not set WindowReady";
}

TEST_F(ConsoleWindowTest, RepaintShowsTheBackBuffer)
{
    // Graphics live in the back buffer; a repaint copies them to the window.
    RECT square{10, 10, 30, 30};
    FillBackBuffer(square, RGB(255, 0, 0));
    ASSERT_TRUE(RepaintAndWait(window));
    EXPECT_EQ(RGB(255, 0, 0), WindowPixel(20, 20));
    EXPECT_EQ(0u, WindowPixel(40, 40));
    FillBackBuffer(square, 0);
}

TEST_F(ConsoleWindowTest, EnlargingKeepsTheSameBackBuffer)
{
    auto bitmap = [] {
        BackBufferHold hold;
        return GetCurrentObject(BackBufferDc(), OBJ_BITMAP);
    };
    HGDIOBJ before = bitmap();
    SetWindowPos(window, nullptr, 0, 0, BackBufferSize().cx, BackBufferSize().cy, SWP_NOZORDER);
    UpdateWindow(window);
    EXPECT_EQ(before, bitmap());
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(0u, WindowPixel(client.right - 2, client.bottom - 2)) << "the far corner shows the black buffer";
    SetWindowPos(window, nullptr, 0, 0, 640, 460, SWP_NOZORDER);
}

TEST_F(ConsoleWindowTest, MessagesBorrowOneStringEach)
{
    LONG before = SettledStringCount();
    for (int i = 0; i < 50; ++i)
        SendMessageA(window, WM_NULL, 0, 0);
    SendMessageA(window, WM_SIZE, 0, 0);
    EXPECT_EQ(before, SettledStringCount()) << "each message's empty string is released again";
}

TEST_F(ConsoleWindowTest, KeyDownWhileIdleNotesTheKey)
{
    EXPECT_EQ(0, SendMessageA(window, WM_KEYDOWN, 0x141, 0)); // only the low byte is kept
    EXPECT_EQ(0x41, InputLastKey());
    EXPECT_EQ(0, SendMessageA(window, WM_CHAR, 'x', 0));
    EXPECT_EQ(-1, ConsoleInputLength()) << "no line input runs";
}

CHILD_ACTION(close_console)
{
    StartConsole();
    PostMessageA(ConsoleWindowHandle(), WM_CLOSE, 0, 0);
    for (;;)
        Sleep(1000); // the console thread ends the process
}

// A program thread draws on at scale 2 (each draw composes the frame) while
// the window closes: a draw that saw the back buffer just before it went.
CHILD_ACTION(close_while_drawing)
{
    StartConsole();
    ScreenSetSize(300, 200);
    ScreenSetScale(2);
    struct Drawer {
        static DWORD WINAPI Draw(LPVOID)
        {
            for (LONG i = 0;; ++i) {
                FillBox(i % 250, 10, 40, 40, RGB(255, i % 256, 0));
                FillEllipse(i % 200, 60, 50, 30, RGB(0, 0, 255));
            }
        }
    };
    HANDLE drawer = CreateThread(nullptr, 0, Drawer::Draw, nullptr, 0, nullptr);
    Sleep(50 + GetCurrentProcessId() % 50);
    PostMessageA(ConsoleWindowHandle(), WM_CLOSE, 0, 0);
    WaitForSingleObject(drawer, INFINITE); // the console thread ends the process
    return 3;
}

TEST(ConsoleLifetimeTest, ClosingTheWindowEndsTheProcessWithZero)
{
    ChildProcess child;
    ASSERT_TRUE(StartChild(ChildCommandLine("close_console"), "", &child));
    EXPECT_EQ(0u, WaitForExit(&child, 60000));
    EndChild(&child);
    for (int run = 0; run < 8; ++run) {
        ASSERT_TRUE(StartChild(ChildCommandLine("close_while_drawing"), "", &child));
        DWORD code = WaitForExit(&child, 60000);
        EndChild(&child);
        printf("closed while drawing, run %d: exit code %#lx\n", run, static_cast<unsigned long>(code));
        EXPECT_EQ(0u, code) << "run " << run;
    }
}

CHILD_ACTION(class_taken)
{
    // Another class of the same name in this module makes the console's registration fail.
    WNDCLASSEXA other{};
    other.cbSize = sizeof other;
    other.lpfnWndProc = DefWindowProcA;
    other.hInstance = GetModuleHandleA(nullptr);
    other.lpszClassName = "PROMPT";
    RegisterClassExA(&other);
    StartConsole();
    return 0; // not reached when the console ends the process
}

TEST(ConsoleLifetimeTest, NoWindowEndsTheProcessWithAMessage)
{
    ExpectChildEndsWithMessage("class_taken", "エラー", "ウィンドウを作成できないため、プログラムを終了します。", 4);
}

CHILD_ACTION(no_room_for_a_thread)
{
    // Every free range of the address space reserved: a new thread finds no room for its stack.
    for (SIZE_T size = SIZE_T(1) << 30; size >= 65536; size /= 2)
        while (VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS))
            ;
    return ConsoleStart(INFINITE) ? 1 : 2;
}

TEST(ConsoleLifetimeTest, StartThatCannotMakeItsThreadAnswersFalse)
{
    ChildProcess child;
    ASSERT_TRUE(StartChild(ChildCommandLine("no_room_for_a_thread"), "", &child));
    EXPECT_EQ(2u, WaitForExit(&child, 60000)) << "false at once, not a wait for ever";
    EndChild(&child);
}

TEST(ConsoleFontTest, OnlyAFixedPitchFontOfSaneSizeMakesACellGrid)
{
    auto font = [](const char* face, LONG height) {
        LOGFONTA description{};
        description.lfHeight = height;
        description.lfCharSet = SHIFTJIS_CHARSET;
        lstrcpynA(description.lfFaceName, face, LF_FACESIZE);
        return CreateFontIndirectA(&description);
    };
    struct Case { const char* Face; LONG Height; bool Grid; };
    for (Case c : {Case{"IPAGothic", -16, true}, Case{"IPAPGothic", -16, false}, Case{"IPAGothic", -60, false}}) {
        HFONT candidate = font(c.Face, c.Height);
        EXPECT_EQ(c.Grid, FontMakesACellGrid(candidate)) << c.Face << " " << c.Height;
        DeleteObject(candidate);
    }
    ASSERT_TRUE(StartConsole());
    EXPECT_TRUE(FontMakesACellGrid(ConsoleMetrics().Font)) << "the console's own";
}

void SendKeyEvent(WORD key, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

// Answers of poll until it has said true count times (or the time is up).
int WaitForTrue(bool (*poll)(int), int key, int count)
{
    int seen = 0;
    for (DWORD start = GetTickCount(); seen < count && GetTickCount() - start < 10000; Sleep(5))
        seen += poll(key);
    return seen;
}

TEST_F(ConsoleWindowTest, KeyPressedCountsEachPressOnceWhateverItsLength)
{
    SetForegroundWindow(window);
    for (DWORD start = GetTickCount(); GetForegroundWindow() != window && GetTickCount() - start < 10000;)
        Sleep(10);
    ASSERT_EQ(window, GetForegroundWindow());
    const int key = 'Q';
    for (int i = 0; i < 3; ++i) { // taps far shorter than a poll: down and up at once
        SendKeyEvent(key, 0);
        SendKeyEvent(key, KEYEVENTF_KEYUP);
    }
    EXPECT_EQ(3, WaitForTrue(KeyReleased, key, 3));
    EXPECT_EQ(3, WaitForTrue(KeyPressed, key, 3));
    EXPECT_FALSE(KeyPressed(key)) << "each press answers once";

    for (int i = 0; i < 5; ++i) // held: the keyboard repeats its key-down
        SendKeyEvent(key, 0);
    SendKeyEvent(key, KEYEVENTF_KEYUP);
    EXPECT_EQ(1, WaitForTrue(KeyReleased, key, 1));
    EXPECT_TRUE(KeyPressed(key));
    EXPECT_FALSE(KeyPressed(key)) << "the repeats are not presses";
    EXPECT_FALSE(KeyReleased(key));
}

// With the input method on, the keys it takes arrive as VK_PROCESSKEY, the
// real key only in the scan code; outside a line it has no context to take them.
TEST_F(ConsoleWindowTest, KeysTheInputMethodTookStillCountAsTheirKeys)
{
    HIMC context = ImmGetContext(window);
    EXPECT_EQ(nullptr, context) << "no input method context while no line is read";
    if (context)
        ImmReleaseContext(window, context);
    const LPARAM zScan = 0x2C << 16, spaceScan = 0x39 << 16, leftScan = (0x4B << 16) | (1 << 24);
    SendMessageW(window, WM_KEYDOWN, VK_PROCESSKEY, 1 | zScan);
    SendMessageW(window, WM_KEYDOWN, VK_PROCESSKEY, 1 | spaceScan);
    SendMessageW(window, WM_KEYDOWN, VK_PROCESSKEY, 1 | leftScan);
    EXPECT_TRUE(KeyPressed('Z'));
    EXPECT_TRUE(KeyPressed(VK_SPACE));
    EXPECT_TRUE(KeyPressed(VK_LEFT));
    EXPECT_EQ(VK_LEFT, InputLastKey());
    EXPECT_FALSE(KeyPressed(VK_PROCESSKEY));
}

} // namespace
