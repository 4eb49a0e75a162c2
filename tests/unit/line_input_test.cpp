// Reading a line: characters, Backspace, Enter, paste, caret and IME window.
#include <gtest/gtest.h>

#include <cstring>
#include <atomic>
#include <string>
#include <thread>

#include "support/clipboard.h"
#include "screen/screen_scale.h"
#include "support/console_start.h"

#include <imm.h>

#include <prompt/screen.h>

namespace {

void PutOnClipboard(const std::string* text)
{
    ASSERT_TRUE(PutTextOnClipboard(text));
}

LONG Column() { return ConsoleCursor().Column; }
LONG Row() { return ConsoleCursor().Row; }

class LineInputTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartConsole());
        window = ConsoleWindowHandle();
        ResetTextScreen(0, 3);
        ASSERT_TRUE(ConsoleBeginLine()); // a line input starts
    }
    void TearDown() override { ConsoleEndLine(); }

    // A character as the keyboard and the input method deliver it: UTF-16.
    void Char(WPARAM code) { EXPECT_EQ(0, SendMessageW(window, WM_CHAR, code, 0)); }
    std::string Line() const { return std::string(ConsoleInputBuffer(), ConsoleInputLength()); }

    HWND window = nullptr;
};

TEST_F(LineInputTest, IdleConsoleOnlyNotesTheKey)
{
    ConsoleEndLine();
    Char('x');
    EXPECT_EQ("", RowText(3)) << "nothing printed while idle";
    SendMessageA(window, WM_KEYDOWN, 'Q', 0);
    EXPECT_EQ('Q', InputLastKey());
    ASSERT_TRUE(ConsoleBeginLine());
    SendMessageA(window, WM_KEYDOWN, 'Z', 0);
    EXPECT_EQ('Q', InputLastKey()) << "while reading, LastKey stays";
}

TEST_F(LineInputTest, TypedCharactersAreStoredAndEchoed)
{
    Char('a');
    Char('b');
    EXPECT_EQ("ab", Line());
    EXPECT_EQ(2, Column());
    EXPECT_EQ("ab", RowText(3));
    EXPECT_EQ(RGB(255, 255, 255), ConsoleCell(3, 1).Foreground);

    Char(8);
    EXPECT_EQ(1, ConsoleInputLength());
    EXPECT_EQ(0, ConsoleInputBuffer()[1]);
    EXPECT_EQ(1, Column());
    EXPECT_EQ("a", RowText(3));
    Char(8);
    Char(8); // nothing left to take back
    EXPECT_EQ(0, ConsoleInputLength());
    EXPECT_EQ(0, Column());

    Char('\t');
    EXPECT_EQ(1, ConsoleInputLength()) << "a typed tab is one byte";
    EXPECT_EQ(8, Column()) << "and moves to the next tab stop";
}

TEST_F(LineInputTest, KanjiArrivesAsItsTwoBytesAndBackspaceTakesItBackWhole)
{
    Char('a');
    Char(L'漢');
    Char(L'é'); // no code page 932 form: left out, not turned into "?"
    EXPECT_EQ("a漢", Line());
    EXPECT_EQ(3, Column());
    Char(8);
    EXPECT_EQ("a", Line()) << "both bytes of the pair";
    EXPECT_EQ(1, Column());
    EXPECT_EQ("a", RowText(3)) << "both cells cleared";

    std::string cut = "b\x93"; // a paste cut after a lead byte leaves it alone
    PutOnClipboard(&cut);
    Char(22);
    EXPECT_EQ("ab\x93", Line());
    Char(8);
    EXPECT_EQ("ab", Line()) << "a lone lead byte is one byte";
    EXPECT_EQ(2, Column());
}

TEST_F(LineInputTest, EnterEndsTheLineAndTakesTheCaretAway)
{
    SendMessageA(window, WM_SETFOCUS, 0, 0);
    Char('o');
    Char('k');
    Char(13);
    EXPECT_EQ(-1, ConsoleInputLength());
    EXPECT_STREQ("ok", ConsoleInputBuffer());
    EXPECT_EQ(0, Column());
    EXPECT_EQ(4, Row());
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetGUIThreadInfo(ConsoleThreadId(), &info));
    EXPECT_EQ(nullptr, info.hwndCaret) << "no caret remains";
}

TEST_F(LineInputTest, CaretAndCompositionWindowStandOnTheCursorCell)
{
    Char('h');
    Char('i');
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetGUIThreadInfo(ConsoleThreadId(), &info));
    EXPECT_EQ(window, info.hwndCaret);
    ConsoleCellMetrics cell = ConsoleMetrics();
    LONG x = 2 * cell.CellWidth, bottom = 4 * cell.LineHeight;
    EXPECT_EQ(x, info.rcCaret.left);
    EXPECT_EQ(bottom - 7, info.rcCaret.top) << "its lowest row one above the cell's";
    EXPECT_EQ(9, info.rcCaret.right - info.rcCaret.left);
    EXPECT_EQ(6, info.rcCaret.bottom - info.rcCaret.top);

    HIMC context = ImmGetContext(window);
    if (!context)
        GTEST_SKIP() << "no input context for the window here";
    COMPOSITIONFORM form{};
    EXPECT_TRUE(ImmGetCompositionWindow(context, &form));
    EXPECT_EQ(static_cast<DWORD>(CFS_POINT), form.dwStyle);
    EXPECT_EQ(x, form.ptCurrentPos.x);
    EXPECT_EQ(3 * cell.LineHeight, form.ptCurrentPos.y);
    ImmReleaseContext(window, context);
}

TEST_F(LineInputTest, PasteTakesTheClipboardText)
{
    PutOnClipboard(nullptr);
    Char(22);
    EXPECT_EQ(0, ConsoleInputLength()) << "an empty clipboard changes nothing";
    EXPECT_EQ(0, Column());

    std::string text = "x\ty";
    PutOnClipboard(&text);
    Char(22);
    EXPECT_EQ("x\ty", Line());
    EXPECT_EQ(9, Column()) << "y stands at the tab stop";
    EXPECT_EQ(0, ConsoleCell(3, 9).Byte);
    EXPECT_EQ('y', ConsoleCell(3, 8).Byte);
}

TEST_F(LineInputTest, PasteWaitsForABusyClipboardAndReadsBytesInTheirLocale)
{
    // Another program holds the clipboard open for a moment.
    std::string text = "busy";
    PutOnClipboard(&text);
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder(HoldClipboardOpen, 100, opened);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(opened, 10000));
    Char(22);
    holder.join();
    CloseHandle(opened);
    EXPECT_EQ("busy", Line()) << "pasted once the clipboard was free";

    // Bytes an English program put there, in code page 1252: degree, plus-minus, times.
    Char(13);
    ASSERT_TRUE(ConsoleBeginLine());
    std::string western = "1\xb0\xb1\xd7";
    ASSERT_TRUE(PutTextOnClipboard(&western, 0x0409));
    Char(22);
    EXPECT_EQ("1\x81\x8b\x81\x7d\x81\x7e", Line()) << "read in code page 1252, not as half-width kana";
}

TEST_F(LineInputTest, UnicodeTextIsPastedInTheProgramsCodePage)
{
    ASSERT_TRUE(PutUnicodeOnClipboard(L"漢字とかな"));
    Char(22);
    EXPECT_EQ("漢字とかな", Line()) << "code page 932 bytes, whatever the keyboard's locale";
    // The wave dash, minus and double bar of web and Mac text.
    ASSERT_TRUE(PutUnicodeOnClipboard(L"\u301C\u2212\u2016"));
    Char(22);
    EXPECT_EQ("漢字とかな\x81\x60\x81\x7c\x81\x61", Line()) << "each kept as Windows' own form";
}

TEST_F(LineInputTest, LongPasteIsCutToWholeCharactersThatFit)
{
    std::string big(10240, 'p');
    PutOnClipboard(&big);
    Char(22);
    EXPECT_EQ(255, ConsoleInputLength());
    EXPECT_EQ(0, ConsoleInputBuffer()[255]);
    EXPECT_EQ(0, ConsoleCell(3, 254).Byte);
    Char('q');
    EXPECT_EQ(255, ConsoleInputLength()) << "a full line takes no more";
    Char(13);

    ASSERT_TRUE(ConsoleBeginLine());
    std::string japanese = "ab";
    for (int i = 0; i < 200; ++i)
        japanese += "日";
    PutOnClipboard(&japanese);
    Char(22);
    EXPECT_EQ(254, ConsoleInputLength()) << "ab and 126 characters; the 127th does not fit whole";
    EXPECT_EQ('\xfa', ConsoleInputBuffer()[253]) << "ends on a trail byte";
}

TEST_F(LineInputTest, TypingPastTheEndOfTheBufferStopsStoring)
{
    for (int i = 0; i < 300; ++i)
        Char('k');
    EXPECT_EQ(255, ConsoleInputLength());
    EXPECT_LE(Column(), 254);
    EXPECT_EQ(0, ConsoleCell(3, 254).Byte);
    Char(13);
    EXPECT_EQ(255u, strlen(ConsoleInputBuffer()));
}

TEST_F(LineInputTest, BackspaceAtColumnZeroNeverGoesLeft)
{
    std::string text = "ab\r\n";
    PutOnClipboard(&text);
    Char(22);
    EXPECT_EQ(4, ConsoleInputLength());
    EXPECT_EQ(0, Column());
    EXPECT_EQ(4, Row());
    Char(8);
    EXPECT_EQ(3, ConsoleInputLength());
    EXPECT_EQ(0, Column());
    EXPECT_EQ("ab", RowText(3)) << "the row above is left alone";
}

TEST_F(LineInputTest, LeadByteWithoutRoomDropsOnlyItsOwnTrailByte)
{
    for (int i = 0; i < 254; ++i)
        Char('k');
    // The lead byte of a kanji, with one byte of room left: straight to the
    // handler, as the platform holds a lone lead byte sent as a message back.
    TrackedString echo = AllocString(0);
    ConsoleChar(window, 0x93, &echo);
    ReleaseString(echo);
    Char(13); // Enter instead of its trail byte
    EXPECT_EQ(254u, strlen(ConsoleInputBuffer()));

    ASSERT_TRUE(ConsoleBeginLine());
    Char('x');
    EXPECT_EQ("x", Line()) << "the next line starts clean";
}

TEST_F(LineInputTest, TwoReadersTakeTurns)
{
    ConsoleEndLine();
    std::atomic<int> returned{0};
    std::atomic<bool> go{false};
    auto reader = [&] {
        while (!go)
            ;
        ReleaseString(ReadLine());
        ++returned;
    };
    std::thread first(reader), second(reader);
    go = true;
    auto waitFor = [](auto done) {
        for (DWORD start = GetTickCount(); !done(); Sleep(1))
            if (GetTickCount() - start > 20000)
                return false;
        return true;
    };
    ASSERT_TRUE(waitFor([] { return ConsoleInputLength() == 0; })) << "a line input starts";
    Char('a');
    Char(13);
    ASSERT_TRUE(waitFor([&] { return returned >= 1; })) << "Enter ends the first reader's line";
    ASSERT_TRUE(waitFor([] { return ConsoleInputLength() == 0; })) << "then the second reader's starts";
    EXPECT_EQ(1, returned.load()) << "one Enter, one line";
    Char(13);
    first.join();
    second.join();
    EXPECT_EQ(2, returned.load());
}

// At a scale the caret and the input method's window stand on the cell as the
// window shows it; Alt+Enter while the line is read keeps the line whole.
TEST_F(LineInputTest, AtScaleTwoTheCaretStandsOnTheScaledCellAndAltEnterKeepsTheLine)
{
    SetWindowPos(window, nullptr, 0, 0, 400, 300, SWP_NOZORDER | SWP_NOMOVE);
    ASSERT_EQ(1, ScreenSetScale(2));
    Char('h');
    Char('i');
    const ConsoleCellMetrics cell = ConsoleMetrics();
    auto caret = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        EXPECT_TRUE(GetGUIThreadInfo(ConsoleThreadId(), &info));
        printf("caret (%ld, %ld)-(%ld, %ld)\n", info.rcCaret.left, info.rcCaret.top, info.rcCaret.right,
               info.rcCaret.bottom);
        return info.rcCaret;
    };
    RECT at = caret();
    EXPECT_EQ(2 * 2 * cell.CellWidth, at.left);
    EXPECT_EQ(2 * (4 * cell.LineHeight - 7), at.top);
    EXPECT_EQ(2 * 9, at.right - at.left) << "the caret at the scale too";
    EXPECT_EQ(2 * 6, at.bottom - at.top);
    if (HIMC context = ImmGetContext(window)) {
        COMPOSITIONFORM form{};
        EXPECT_TRUE(ImmGetCompositionWindow(context, &form));
        EXPECT_EQ(2 * 2 * cell.CellWidth, form.ptCurrentPos.x);
        EXPECT_EQ(2 * 3 * cell.LineHeight, form.ptCurrentPos.y);
        ImmReleaseContext(window, context);
    }

    SendMessageW(window, WM_SYSKEYDOWN, VK_RETURN, (LPARAM(1) << 29) | 1); // full screen
    const ScreenPlacement placement = CurrentScreenPlacement();
    EXPECT_EQ("hi", Line()) << "the line goes on";
    at = caret();
    EXPECT_EQ(placement.Offset.x + 2 * cell.CellWidth * placement.Scale, at.left);
    EXPECT_EQ(placement.Offset.y + (4 * cell.LineHeight - 7) * placement.Scale, at.top);
    SendMessageW(window, WM_SYSKEYDOWN, VK_RETURN, (LPARAM(1) << 29) | 1); // and back
    Char('!');
    EXPECT_EQ("hi!", Line());
    EXPECT_EQ(2 * 3 * cell.CellWidth, caret().left);
    EXPECT_EQ(1, ScreenSetScale(0));
}

} // namespace
