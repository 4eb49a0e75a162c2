// The sample program as a user runs it: text over a picture, a line typed in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "e2e/demo_driver.h"
#include "support/clipboard.h"
#include "support/files.h"

namespace {

std::string Transcript(const std::string& directory)
{
    return ReadWholeFile(directory + "\\transcript.txt");
}

void TypeText(const char* text)
{
    for (const char* p = text; *p; ++p) {
        // Letters are typed by their key, whose virtual-key code is the capital letter.
        WORD key = *p == ' ' ? VK_SPACE : static_cast<WORD>(*p - 'a' + 'A');
        TapKey(key, 30);
        Sleep(30);
    }
}

TEST(SampleTest, EchoesATypedLineOverItsPicture)
{
    std::string exe = WindowsPath(EnvironmentValue("SAMPLE_EXE"));
    std::string directory = PrepareWorkingDirectory(DemoFiles{});
    CreateDirectoryA((directory + "\\picture").c_str(), nullptr);
    for (const char* file : {"\\picture\\backdrop.jpg", "\\picture\\ball.png"})
        CopyFileA((WindowsPath(EnvironmentValue("ASSETS_DIR")) + file).c_str(), (directory + file).c_str(), FALSE);

    ChildProcess child;
    ASSERT_TRUE(StartChild("\"" + exe + "\"", directory, &child));
    HWND window = WaitForWindow(child.ProcessId, "PROMPT", 60000);
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(WaitForCaret(window, 30000)) << "the prompt is printed and the line input waits";

    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    auto pictureAt = [&](const ScreenPixels& p) { return p.At(origin.x + client.right / 2, origin.y + client.bottom / 2); };
    const LONG n = ExpectedScale();
    auto ballAt = [&](const ScreenPixels& p) {
        return p.At(origin.x + client.right - 100 * n, origin.y + client.bottom - 70 * n);
    };
    ScreenPixels before;
    WaitForSteadyClient(window, 30000, &before, [&](const ScreenPixels& p) {
        return pictureAt(p) != 0 && GetRValue(ballAt(p)) > 150;
    });
    EXPECT_NE(0u, pictureAt(before)) << "the picture is behind";
    EXPECT_GT(GetRValue(ballAt(before)), 150) << "the warm ball is blended over the hills: " << std::hex << ballAt(before);
    size_t mixed = MixedBlocks(before, n);
    printf("client %ld x %ld at scale %ld: %u blocks of more than one colour\n", client.right, client.bottom, n,
           unsigned(mixed));
    EXPECT_EQ(0u, mixed) << "each of the sample's pixels an exact block of the window";
    EXPECT_EQ(0, client.right % n);
    EXPECT_EQ(0, client.bottom % n);

    // The caret after the prompt "入力してください> " (18 bytes) on row 4,
    // its lowest row one above the cell's: in the program's pixels, column
    // 18 of cells of some width, and 7 above a multiple of four rows.
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread));
    const RECT caret = thread.rcCaret;
    printf("caret (%ld, %ld)-(%ld, %ld)\n", caret.left, caret.top, caret.right, caret.bottom);
    EXPECT_EQ(9 * n, caret.right - caret.left) << "the caret at the scale";
    EXPECT_EQ(6 * n, caret.bottom - caret.top);
    EXPECT_EQ(0, caret.left % n);
    EXPECT_EQ(0, caret.top % n);
    const LONG cellWidth = caret.left / n / 18, lineHeight = (caret.top / n + 7) / 5;
    EXPECT_EQ(18 * cellWidth, caret.left / n) << "on a cell's edge";
    EXPECT_EQ(5 * lineHeight - 7, caret.top / n) << "at the foot of the fifth row";
    EXPECT_GE(cellWidth, 6);
    EXPECT_GE(lineHeight, 12);

    // The title and the English line, drawn before any input: the same pixels
    // on every system (an English run compares with the Japanese run's).
    std::string band(reinterpret_cast<const char*>(before.Cells.data()), before.Width * 34 * sizeof(COLORREF));
    std::string reference = EnvironmentValue("SAMPLE_TEXT_REFERENCE");
    if (!reference.empty()) {
        std::string expected = ReadWholeFile(WindowsPath(reference));
        ASSERT_EQ(band.size(), expected.size()) << "the Japanese run left its text band in " << reference;
        size_t differ = 0, first = band.size();
        for (size_t i = 0; i < band.size(); i += sizeof(COLORREF))
            if (i + sizeof(COLORREF) > expected.size() || memcmp(&band[i], &expected[i], sizeof(COLORREF)) != 0) {
                first = std::min(first, i / sizeof(COLORREF));
                ++differ;
            }
        EXPECT_EQ(0u, differ) << "the text is drawn as on a Japanese system; first difference at (" << first % before.Width
                              << ", " << first / before.Width << ")";
        if (differ)
            std::ofstream(ArtifactFile("sample-text-band-differs.bin"), std::ios::binary) << band;
    } else if (n == 1 && !ArtifactFile("sample-text-band.bin").empty()) { // the English run's reference
        std::ofstream(ArtifactFile("sample-text-band.bin"), std::ios::binary) << band;
    }

    SetForegroundWindow(window);
    TypeText("hello world");
    TapKey(VK_RETURN, 30);
    auto waitForTranscript = [&](size_t bytes) {
        for (DWORD start = GetTickCount(); Transcript(directory).size() < bytes && GetTickCount() - start < 20000;)
            Sleep(50);
    };
    waitForTranscript(1);
    EXPECT_EQ("hello world\r\n", Transcript(directory));

    // Japanese pasted from a Unicode program arrives whole.
    ASSERT_TRUE(WaitForCaret(window, 30000)) << "the next line input waits";
    PutUnicodeOnClipboard(L"漢字のテキスト");
    PressKey(VK_CONTROL);
    TapKey('V', 30);
    ReleaseKey(VK_CONTROL);
    TapKey(VK_RETURN, 30);
    waitForTranscript(13 + 16);
    EXPECT_EQ("hello world\r\n漢字のテキスト\r\n", Transcript(directory));

    // Japanese typed through the input method arrives as its code page 932 bytes.
    ASSERT_TRUE(WaitForCaret(window, 30000)) << "the third line input waits";
    TypeCharacters(L"漢字とかなカナ");
    TapKey(VK_RETURN, 30);
    waitForTranscript(13 + 16 + 16);
    EXPECT_EQ("hello world\r\n漢字のテキスト\r\n漢字とかなカナ\r\n", Transcript(directory));

    auto changedPixels = [&](const ScreenPixels& p) {
        int changed = 0;
        for (size_t i = 0; i < p.Cells.size() && i < before.Cells.size(); ++i)
            changed += p.Cells[i] != before.Cells[i];
        return changed;
    };
    ScreenPixels after;
    WaitForSteadyClient(window, 30000, &after, [&](const ScreenPixels& p) { return changedPixels(p) > 200; });
    EXPECT_GT(changedPixels(after), 200) << "the echo and the answer were drawn";

    if (!ArtifactFile("sample.bmp").empty())
        SaveBitmapFile(after, ArtifactFile("sample.bmp"));

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, WaitForExit(&child, 10000));
    EndChild(&child);
}

// A program built outside this tree against the runtime's zip
// (examples/hello, built by hello_package_test.sh, which names it in HELLO_EXE).
TEST(HelloTest, OutsideProgramShowsItsTextAndClosesWithZero)
{
    std::string exe = WindowsPath(EnvironmentValue("HELLO_EXE"));
    ASSERT_FALSE(exe.empty()) << "HELLO_EXE names the program";
    ChildProcess child;
    ASSERT_TRUE(StartChild("\"" + exe + "\"", DirectoryOf(exe), &child));
    HWND window = WaitForWindow(child.ProcessId, "PROMPT", 60000);
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(WaitForCaret(window, 30000)) << "the question is printed and the line input waits";

    char caption[64] = "";
    GetWindowTextA(window, caption, sizeof caption);
    EXPECT_STREQ("こんにちは", caption);
    // The caret can show before the greeting has reached the screen.
    int whiteOnFirstRow = 0, litBelow = 0;
    auto count = [&](const ScreenPixels& pixels) {
        whiteOnFirstRow = litBelow = 0;
        for (LONG y = 0; y < pixels.Height; ++y)
            for (LONG x = 0; x < pixels.Width; ++x) {
                COLORREF c = pixels.Cells[y * pixels.Width + x];
                if (y < 16)
                    whiteOnFirstRow += c == RGB(255, 255, 255);
                else if (y >= 40)
                    litBelow += c != 0;
            }
        return whiteOnFirstRow > 100;
    };
    ScreenPixels pixels;
    WaitForSteadyClient(window, 30000, &pixels, count);
    count(pixels);
    printf("white pixels on the first row: %d, lit below it: %d\n", whiteOnFirstRow, litBelow);
    EXPECT_GT(whiteOnFirstRow, 100) << "the greeting is drawn in white";
    EXPECT_EQ(0, litBelow) << "on black, nothing else";

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, WaitForExit(&child, 10000));
    EndChild(&child);
}

// The game of examples/catch, built against the runtime's zip (by
// hello_package_test.sh, which names it in CATCH_EXE and its working folder,
// with sound\chime.wav, in CATCH_DIR).
TEST(CatchTest, StarsAreCaughtTheBasketFollowsTheKeysAndEscapeEndsWithZero)
{
    std::string exe = WindowsPath(EnvironmentValue("CATCH_EXE"));
    std::string directory = WindowsPath(EnvironmentValue("CATCH_DIR"));
    ASSERT_FALSE(exe.empty()) << "CATCH_EXE names the game";
    DeleteFileA((directory + "\\score.txt").c_str());
    ChildProcess child;
    ASSERT_TRUE(StartChild("\"" + exe + "\"", directory, &child));
    HWND window = WaitForWindow(child.ProcessId, "PROMPT", 60000);
    ASSERT_NE(nullptr, window);
    char caption[64] = "";
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(20))
        if (GetWindowTextA(window, caption, sizeof caption) && lstrcmpA(caption, "星をキャッチ") == 0)
            break;
    EXPECT_STREQ("星をキャッチ", caption);
    // The game fits its window to the field after the caption: 640 x 400 of
    // its pixels, shown at the display's scale.
    const LONG n = ExpectedScale();
    RECT client{};
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(20))
        if (GetClientRect(window, &client) && client.right == 640 * n && client.bottom == 400 * n)
            break;
    EXPECT_EQ(640 * n, client.right);
    EXPECT_EQ(400 * n, client.bottom);

    // The basket: its colour's first and last pixel on its middle line, in the
    // game's pixels: the field stands at offset in the client area, scale times as large.
    const COLORREF basket = RGB(200, 120, 50);
    LONG scale = n;
    POINT offset{0, 0};
    auto basketSpan = [&](const ScreenPixels& p, LONG* left, LONG* right) {
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        *left = *right = -1;
        for (LONG x = 0; x < 640 * scale; ++x)
            if (p.At(origin.x + offset.x + x, origin.y + offset.y + 368 * scale) == basket) {
                *left = *left < 0 ? x / scale : *left;
                *right = x / scale;
            }
        return *left >= 0;
    };
    LONG left = -1, right = -1;
    ScreenPixels seen;
    auto waitForBasket = [&](LONG wantedLeft) {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(20)) {
            seen = CaptureClientOf(window);
            if (basketSpan(seen, &left, &right) && left == wantedLeft)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(waitForBasket(280)) << "the basket starts in the middle; seen at " << left;
    EXPECT_EQ(359, right) << "80 pixels wide";

    // Left in the middle, it catches a star at frame 74: the score's white
    // text at the top left changes (the stars that fall through it are yellow).
    RECT scoreArea{0, 0, 160 * n, 30 * n};
    auto scorePixels = [&] {
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        std::vector<COLORREF> cells = CaptureScreen(RECT{origin.x + scoreArea.left, origin.y + scoreArea.top,
                                                         origin.x + scoreArea.right, origin.y + scoreArea.bottom}).Cells;
        for (COLORREF& c : cells)
            c = c == RGB(255, 255, 255);
        return cells;
    };
    // The first score drawn, once it holds still: before it, a change would
    // be the text's first drawing rather than a catch.
    std::vector<COLORREF> noScore;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(20)) {
        noScore = scorePixels();
        Sleep(40);
        if (std::count(noScore.begin(), noScore.end(), COLORREF(1)) > 20 && scorePixels() == noScore)
            break;
    }
    bool scored = false;
    for (DWORD start = GetTickCount(); !scored && GetTickCount() - start < 30000; Sleep(20)) {
        std::vector<COLORREF> now = scorePixels();
        Sleep(40); // over two frames: a new score stays
        scored = now != noScore && scorePixels() == now;
    }
    EXPECT_TRUE(scored) << "the score changed on the screen";


    SetForegroundWindow(window);
    PressKey(VK_RIGHT);
    EXPECT_TRUE(waitForBasket(560)) << "held right, the basket goes to the right edge; seen at " << left;
    ReleaseKey(VK_RIGHT);
    EXPECT_EQ(639, right);
    PressKey(VK_LEFT);
    EXPECT_TRUE(waitForBasket(0)) << "held left, to the left edge; seen at " << left;
    ReleaseKey(VK_LEFT);
    if (!ArtifactFile("catch.bmp").empty())
        SaveBitmapFile(seen, ArtifactFile("catch.bmp"));

    // Alt+Enter: the game covers the desktop, letterboxed at the largest
    // whole scale that fits; again, and its window is back where it was.
    RECT before{};
    GetWindowRect(window, &before);
    auto altEnter = [] {
        PressKey(VK_MENU);
        TapKey(VK_RETURN, 100);
        ReleaseKey(VK_MENU);
    };
    altEnter();
    const LONG desktopWidth = GetSystemMetrics(SM_CXSCREEN), desktopHeight = GetSystemMetrics(SM_CYSCREEN);
    RECT covered{};
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(20))
        if (GetWindowRect(window, &covered) && covered.right - covered.left == desktopWidth)
            break;
    printf("full screen: (%ld, %ld)-(%ld, %ld) on a desktop of %ld x %ld\n", covered.left, covered.top, covered.right,
           covered.bottom, desktopWidth, desktopHeight);
    EXPECT_EQ(0, covered.left);
    EXPECT_EQ(0, covered.top);
    EXPECT_EQ(desktopWidth, covered.right);
    EXPECT_EQ(desktopHeight, covered.bottom);
    scale = std::min(desktopWidth / 640, desktopHeight / 400);
    offset = POINT{(desktopWidth - 640 * scale) / 2, (desktopHeight - 400 * scale) / 2};
    EXPECT_TRUE(waitForBasket(0)) << "the field letterboxed at scale " << scale << "; basket seen at " << left;
    EXPECT_EQ(0u, CaptureScreen(RECT{0, 0, 1, 1}).Cells[0]) << "black around the field";
    altEnter();
    RECT after{};
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(20))
        if (GetWindowRect(window, &after) && EqualRect(&after, &before))
            break;
    printf("back: (%ld, %ld)-(%ld, %ld)\n", after.left, after.top, after.right, after.bottom);
    EXPECT_TRUE(EqualRect(&before, &after)) << "its old place and size";
    scale = n;
    offset = POINT{0, 0};
    EXPECT_TRUE(waitForBasket(0)) << "the field in the window again";

    TapKey(VK_ESCAPE, 100);
    EXPECT_EQ(0u, WaitForExit(&child, 20000));
    EndChild(&child);
    std::string score = ReadWholeFile(directory + "\\score.txt");
    printf("score.txt: %s", score.c_str());
    EXPECT_GT(atoi(score.c_str()), 0) << "stars caught: " << score;
}

// The shooter: its sheet drawn, rocks shot while the ship turns and fires,
// the weapon changed by the wheel, and Escape.
TEST(ShooterTest, RocksAreShotTheWeaponChangesAndEscapeEndsWithZero)
{
    std::string exe = WindowsPath(EnvironmentValue("SHOOTER_EXE"));
    std::string directory = WindowsPath(EnvironmentValue("SHOOTER_DIR"));
    if (exe.empty())
        GTEST_SKIP() << "SHOOTER_EXE names the game";
    DeleteFileA((directory + "\\score.txt").c_str());
    ChildProcess child;
    ASSERT_TRUE(StartChild("\"" + exe + "\"", directory, &child));
    HWND window = WaitForWindow(child.ProcessId, "PROMPT", 60000);
    ASSERT_NE(nullptr, window);
    RECT client{};
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(20))
        if (GetClientRect(window, &client) && client.right == 640 && client.bottom == 480)
            break;
    EXPECT_EQ(640, client.right);
    EXPECT_EQ(480, client.bottom);

    // The ship, turned about the middle of the field: pixels of its light grey
    // near the centre, none of them the sky's.
    auto shipShows = [&](const ScreenPixels& p) {
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        int light = 0;
        for (LONG y = 220; y < 260; ++y)
            for (LONG x = 300; x < 340; ++x)
                light += GetGValue(p.At(origin.x + x, origin.y + y)) > 120;
        return light > 40;
    };
    ScreenPixels seen;
    EXPECT_TRUE(WaitForSteadyClient(window, 30000, &seen, shipShows)) << "the ship in the middle";

    // The score's white text at the top left, as the catch test reads it.
    auto scorePixels = [&] {
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        std::vector<COLORREF> cells = CaptureScreen(RECT{origin.x, origin.y, origin.x + 140, origin.y + 36}).Cells;
        for (COLORREF& c : cells)
            c = c == RGB(255, 255, 255);
        return cells;
    };
    std::vector<COLORREF> first = scorePixels();
    SetForegroundWindow(window);
    PostMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0); // the spread
    PressKey(VK_SPACE);
    PressKey(VK_RIGHT);
    bool scored = false;
    for (DWORD start = GetTickCount(); !scored && GetTickCount() - start < 60000; Sleep(50)) {
        std::vector<COLORREF> now = scorePixels();
        scored = std::count(now.begin(), now.end(), COLORREF(1)) > 20 && now != first;
    }
    ReleaseKey(VK_RIGHT);
    ReleaseKey(VK_SPACE);
    EXPECT_TRUE(scored) << "the score changed on the screen";
    if (!ArtifactFile("shooter.bmp").empty())
        SaveBitmapFile(CaptureClientOf(window), ArtifactFile("shooter.bmp"));

    TapKey(VK_ESCAPE, 100);
    EXPECT_EQ(0u, WaitForExit(&child, 20000));
    EndChild(&child);
    std::string score = ReadWholeFile(directory + "\\score.txt");
    printf("score.txt: %s", score.c_str());
    int points = 0, changes = 0;
    EXPECT_EQ(2, sscanf(score.c_str(), "%d %d", &points, &changes));
    EXPECT_GT(points, 0) << "rocks shot";
    EXPECT_GE(changes, 1) << "the wheel changed the weapon";
}

} // namespace
