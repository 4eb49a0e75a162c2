// What one main-loop pass, one repaint, one print and one start-up cost,
// each against the floor the platform allows, measured in one run:
//   runtime_bench.exe        (under Wine: scripts/run-bench.sh)
// Every figure is the median of several repetitions.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <prompt/screen.h>
#include <prompt/text.h>

#include "console/console_api.h"
#include "console/console_testing.h"
#include "runtime/code_page.h"
#include "input/input.h"
#include "screen/back_buffer.h"
#include "screen/frame.h"
#include "screen/row_layer.h"
#include "screen/screen_testing.h"
#include "text/fonts.h"
#include "text/line_input.h"
#include "text/text_font.h"
#include "text/text_testing.h"
#include "e2e/demo_driver.h"
#include "input/mouse.h"
#include "program/program.h"
#include "sound/mixer_testing.h"
#include "support/reference_text.h"

namespace {

const int Repetitions = 7;

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Microseconds per call of work, the median over the repetitions.
double PerCall(int calls, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int r = 0; r < Repetitions; ++r) {
        double start = NowMicroseconds();
        for (int i = 0; i < calls; ++i)
            work();
        times.push_back((NowMicroseconds() - start) / calls);
    }
    return Median(times);
}

struct Pair {
    double Ours;
    double Baseline;
};

// Both, in turns, so that neither gains from running second or first.
Pair Compare(int calls, const std::function<void()>& ours, const std::function<void()>& baseline)
{
    std::vector<double> oursTimes, baselineTimes;
    for (int r = 0; r < Repetitions; ++r) {
        double start = NowMicroseconds();
        for (int i = 0; i < calls; ++i)
            ours();
        double middle = NowMicroseconds();
        for (int i = 0; i < calls; ++i)
            baseline();
        double end = NowMicroseconds();
        oursTimes.push_back((middle - start) / calls);
        baselineTimes.push_back((end - middle) / calls);
    }
    return Pair{Median(oursTimes), Median(baselineTimes)};
}

struct Row {
    std::string Name;
    double Ours;
    double Baseline;
    const char* Unit;
    std::string BaselineName;
};

std::vector<Row> Table;

void Report(const std::string& name, double ours, const std::string& baselineName, double baseline, const char* unit)
{
    Table.push_back(Row{name, ours, baseline, unit, baselineName});
    std::printf("  measured: %s\n", name.c_str());
    std::fflush(stdout);
}

// The platform calls of one main-loop pass, made directly: the floor.
void FloorPass(HWND window, HBITMAP bitmap, HDC backDc)
{
    POINT point;
    GetCursorPos(&point);
    ScreenToClient(window, &point);
    for (int key : {VK_SPACE, VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT})
        GetAsyncKeyState(key);
    BITMAP info;
    GetObjectA(bitmap, sizeof info, &info);
    HDC dc = GetDC(window);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, 100, 200, info.bmWidth, info.bmHeight, memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SetStretchBltMode(backDc, COLORONCOLOR);
    StretchBlt(backDc, 100, 200, info.bmWidth, info.bmHeight, memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(window, dc);
}

void MeasureMainLoopPass(const std::string& assets)
{
    PictureCreate(&SpritePicture);
    PictureSetCaptureDelay(&SpritePicture, -1);
    PictureAttachWindow(&SpritePicture);
    PictureLoad(&SpritePicture, (assets + "\\bmp\\chr01.bmp").c_str());
    MouseTrackingStart();
    SpriteX = 100;
    SpriteY = 200;
    PerCall(100, MainLoopPass); // warm-up
    Pair pass = Compare(300, MainLoopPass,
                        [] { FloorPass(ConsoleWindowHandle(), SpritePicture.Bitmap, BackBufferDc()); });
    Report("main-loop pass (no sleep)", pass.Ours, "the same platform calls", pass.Baseline, "us");
}

void FillScreenWithColouredText()
{
    const COLORREF colours[] = {RGB(255, 255, 255), RGB(255, 200, 0), RGB(0, 255, 255), RGB(255, 120, 200)};
    RECT client;
    GetClientRect(ConsoleWindowHandle(), &client);
    int rows = client.bottom / ConsoleMetrics().LineHeight;
    for (int row = 0; row < rows - 1; ++row) {
        for (int part = 0; part < 4; ++part) {
            ConsoleSetColors(colours[(row + part) % 4], part % 2 ? -1 : 0);
            ConsolePrint("テキスト and text 0123");
        }
        ConsolePrint("\r\n");
    }
}

// The whole back buffer onto the window, as a repaint begins.
void CopyBackBufferTo(HDC dc)
{
    SIZE screen = BackBufferSize();
    BackBufferHold hold;
    BitBlt(dc, 0, 0, screen.cx, screen.cy, BackBufferDc(), 0, 0, SRCCOPY);
}

// Every visible row drawn by the platform over what dc holds, as a repaint does.
void DrawRowsOver(HDC dc)
{
    RECT client;
    GetClientRect(ConsoleWindowHandle(), &client);
    TextStoreHold text;
    BackBufferHold hold;
    DrawRowsOverLocked(dc, -1, 0, client.right, client.bottom);
}

// The repaint's work, done here while the console thread waits for messages:
// the back-buffer copy and the rows, by the console's drawing or cell by cell.
void Repaint(bool cellByCell)
{
    HWND window = ConsoleWindowHandle();
    HDC dc = GetDC(window);
    CopyBackBufferTo(dc);
    if (cellByCell)
        DrawRowsCellByCell(dc);
    else
        DrawRowsOver(dc);
    ReleaseDC(window, dc);
}

void CopyBackBuffer()
{
    HDC dc = GetDC(ConsoleWindowHandle());
    CopyBackBufferTo(dc);
    ReleaseDC(ConsoleWindowHandle(), dc);
}

// The console thread's time in WM_PAINT, from a procedure in front of the console's.
WNDPROC BehindTimer;
double PaintMicroseconds;

bool PaintAsFloor; // the timed paint is the floor's: one copy, not the console's paint

LRESULT CALLBACK TimePaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT)
        return CallWindowProcW(BehindTimer, window, message, wParam, lParam);
    double start = NowMicroseconds();
    LRESULT result = 0;
    if (PaintAsFloor) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        {
            BackBufferHold hold;
            BitBlt(dc, 0, 0, client.right, client.bottom, BackBufferDc(), 0, 0, SRCCOPY);
        }
        EndPaint(window, &paint);
    } else {
        result = CallWindowProcW(BehindTimer, window, message, wParam, lParam);
    }
    PaintMicroseconds += NowMicroseconds() - start;
    return result;
}

void CopyClientArea();

void MeasureRepaint()
{
    if (!BehindTimer)
        BehindTimer = ConsoleSubclass(TimePaint);
    FillScreenWithColouredText();
    ConsoleFlush();
    Pair paint = Compare(10, [] { Repaint(false); }, CopyBackBuffer);
    Report("full repaint, screen of coloured text, rows by ExtTextOutW", paint.Ours, "the back-buffer copy alone",
           paint.Baseline, "us");
    Pair painted = Compare(10, [] { RedrawWindow(ConsoleWindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); },
                           CopyBackBuffer);
    Report("the same through WM_PAINT: the frame composed from the row layer", painted.Ours, "the back-buffer copy alone",
           painted.Baseline, "us");
    // What the console thread itself spends in that WM_PAINT, without the
    // round trip from this thread: nothing changed since the last frame.
    // Against the least a WM_PAINT on that window costs: BeginPaint, one copy
    // of the client area from the back buffer, EndPaint.
    auto timedPaints = [](bool floor) {
        PaintAsFloor = floor;
        double before = PaintMicroseconds;
        for (int i = 0; i < 10; ++i)
            RedrawWindow(ConsoleWindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        PaintAsFloor = false;
        return (PaintMicroseconds - before) / 10;
    };
    std::vector<double> ours, floors;
    for (int r = 0; r < Repetitions; ++r) {
        ours.push_back(timedPaints(false));
        floors.push_back(timedPaints(true));
    }
    Report("WM_PAINT's own time, nothing changed since the last frame", Median(ours),
           "a WM_PAINT that copies the client area from the back buffer", Median(floors), "us");
    Pair old = Compare(10, [] { Repaint(true); }, CopyBackBuffer);
    Report("the same, drawn cell by cell (before)", old.Ours, "the back-buffer copy alone", old.Baseline, "us");

    // What bounds it: one ExtTextOutA per run of shared colours, here alone.
    struct Run {
        LONG Row;
        LONG Column;
        std::string Text; // from the run's first cell on
    };
    std::vector<Run> runs;
    for (LONG row = 0; ConsoleCell(row, 0).Byte && row < TextRowCount; ++row) {
        char text[TextRowBytes] = "";
        ConsoleRowText(row, text);
        for (LONG j = 0; text[j]; ++j) {
            TextCell cell = ConsoleCell(row, j), before = ConsoleCell(row, j > 0 ? j - 1 : 0);
            if (j == 0 || cell.Foreground != before.Foreground || cell.Background != before.Background)
                runs.push_back(Run{row, j, std::string(text + j) + std::string(20, '\0')});
        }
    }
    auto textCalls = [&runs] {
        ConsoleCellMetrics cell = ConsoleMetrics();
        HDC dc = GetDC(ConsoleWindowHandle());
        HGDIOBJ previous = SelectObject(dc, cell.Font);
        static INT advances[64];
        for (INT& advance : advances)
            advance = cell.CellWidth;
        for (const Run& run : runs)
            ExtTextOutA(dc, run.Column * cell.CellWidth, run.Row * cell.LineHeight, 0, nullptr, run.Text.c_str(), 20,
                        advances);
        SelectObject(dc, previous);
        ReleaseDC(ConsoleWindowHandle(), dc);
    };
    Pair bound = Compare(10, textCalls, CopyBackBuffer);
    Report("its " + std::to_string(runs.size()) + " ExtTextOutA calls alone, 20 bytes each", bound.Ours,
           "the back-buffer copy alone", bound.Baseline, "us");

    // Worst case: the colours change at every cell.
    RECT client;
    GetClientRect(ConsoleWindowHandle(), &client);
    ConsoleSetCursor(CellPosition{0, 0});
    for (int row = 0; row < client.bottom / ConsoleMetrics().LineHeight - 1; ++row) {
        for (int cell = 0; cell < 79; ++cell) {
            ConsoleSetColors(RGB(cell * 3, 255 - cell, row * 9), cell % 2 ? -1 : RGB(0, 0, cell));
            ConsolePrint(cell % 4 ? "x" : "字");
        }
        ConsolePrint("\r\n");
    }
    ConsoleFlush();
    Pair worst = Compare(5, [] { Repaint(false); }, [] { Repaint(true); });
    Report("full repaint, colours changing at every cell", worst.Ours, "the same cell by cell (before)", worst.Baseline,
           "us");
}

// The whole client area of the back buffer onto the window: what a shown frame costs at least.
void CopyClientArea()
{
    HWND window = ConsoleWindowHandle();
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    {
        BackBufferHold hold;
        BitBlt(dc, 0, 0, client.right, client.bottom, BackBufferDc(), 0, 0, SRCCOPY);
    }
    ReleaseDC(window, dc);
}

void MeasureHeldFrames()
{
    ConsoleClear();
    RECT client;
    GetClientRect(ConsoleWindowHandle(), &client);
    for (LONG x = 0; x < client.right; x += 3) // graphics behind the text
        FillBox(x, 0, 3, client.bottom, RGB(x * 7 % 256, 90, 255 - x % 256));
    FillScreenWithColouredText();
    ConsoleFlush();
    ScreenHold();
    Pair show = Compare(20, ScreenShow, CopyClientArea);
    Report("ScreenShow, screen of coloured text over graphics", show.Ours, "the back-buffer copy of the client area",
           show.Baseline, "us");
    // A diagonal line changes the whole client area at the cost of a line:
    // the frame is composed whole, as after a game's ScreenClear.
    auto diagonal = [client] { DrawLine(0, 0, client.right - 1, client.bottom - 1, RGB(255, 255, 0)); };
    Pair whole = Compare(
        20, [&diagonal] { diagonal(); ScreenShow(); }, [&diagonal] { diagonal(); CopyClientArea(); });
    Report("ScreenShow, the same after a line across the whole client area", whole.Ours,
           "the same line and the back-buffer copy", whole.Baseline, "us");

    HDC back = BackBufferDc();
    HBRUSH brush = CreateSolidBrush(RGB(200, 120, 50));
    Pair boxes = Compare(
        5,
        [] {
            for (int i = 0; i < 1000; ++i)
                FillBox((i * 37) % 600, (i * 23) % 380, 20, 14, RGB(200, 120, 50));
        },
        [back, brush] {
            BackBufferHold hold;
            HGDIOBJ previous = SelectObject(back, brush);
            for (int i = 0; i < 1000; ++i)
                PatBlt(back, (i * 37) % 600, (i * 23) % 380, 20, 14, PATCOPY);
            SelectObject(back, previous);
        });
    Report("1,000 FillBox while held", boxes.Ours, "1,000 PatBlt on the back buffer", boxes.Baseline, "us");
    DeleteObject(brush);
    ScreenRelease();
    ConsoleClear();
    ScreenClear(0);
    ConsoleFlush();
}

// The program's screen at a whole scale: the window's client area that many
// times the screen, every present one StretchBlt. Against one StretchBlt of
// the whole screen onto the client area at the same scale (COLORONCOLOR),
// what any shown frame costs there at least.
LONG FloorScale = 1;

void StretchClientArea()
{
    HWND window = ConsoleWindowHandle();
    RECT screen = ClientArea();
    HDC dc = GetDC(window);
    {
        BackBufferHold hold;
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, 0, 0, screen.right * FloorScale, screen.bottom * FloorScale, BackBufferDc(), 0, 0, screen.right,
                   screen.bottom, SRCCOPY);
    }
    ReleaseDC(window, dc);
}

// A WM_PAINT that does nothing but that StretchBlt, timed by TimePaint.
WNDPROC BehindStretchTimer;
bool PaintAsStretchFloor;

LRESULT CALLBACK TimeStretchPaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT || !PaintAsStretchFloor)
        return CallWindowProcW(BehindStretchTimer, window, message, wParam, lParam);
    double start = NowMicroseconds();
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT screen = ClientArea();
    {
        BackBufferHold hold;
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, 0, 0, screen.right * FloorScale, screen.bottom * FloorScale, BackBufferDc(), 0, 0, screen.right,
                   screen.bottom, SRCCOPY);
    }
    EndPaint(window, &paint);
    PaintMicroseconds += NowMicroseconds() - start;
    return 0;
}

// The program's screen of that size in its pixels, at that scale.
bool SizeScreen(LONG width, LONG height, LONG scale)
{
    HWND window = ConsoleWindowHandle();
    ScreenSetScale(1);
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, GetWindowLongW(window, GWL_STYLE), FALSE, GetWindowLongW(window, GWL_EXSTYLE));
    SetWindowPos(window, HWND_TOP, 0, 0, frame.right - frame.left, frame.bottom - frame.top, 0);
    FloorScale = scale;
    return ScreenSetScale(scale) == 1 && ScreenScale() == scale;
}

void MeasureScaledFrames()
{
    if (!BehindTimer)
        BehindTimer = ConsoleSubclass(TimePaint);
    if (!BehindStretchTimer)
        BehindStretchTimer = ConsoleSubclass(TimeStretchPaint);
    auto fill = [] {
        ConsoleClear();
        RECT screen = ClientArea();
        for (LONG x = 0; x < screen.right; x += 3) // graphics behind the text
            FillBox(x, 0, 3, screen.bottom, RGB(x * 7 % 256, 90, 255 - x % 256));
        FillScreenWithColouredText();
        ConsoleFlush();
    };
    if (!SizeScreen(480, 340, 2)) {
        std::printf("  no room for a 480 x 340 screen at scale 2 here\n");
        return;
    }
    fill();
    ScreenHold();
    RECT screen = ClientArea();
    auto diagonal = [screen] { DrawLine(0, 0, screen.right - 1, screen.bottom - 1, RGB(255, 255, 0)); };
    Pair whole = Compare(
        20, [&diagonal] { diagonal(); ScreenShow(); }, [&diagonal] { diagonal(); StretchClientArea(); });
    Report("ScreenShow at scale 2 (480 x 340 shown 960 x 680), after a line across the whole screen", whole.Ours,
           "the same line and one StretchBlt of the client area at scale 2", whole.Baseline, "us");
    Pair still = Compare(20, ScreenShow, StretchClientArea);
    Report("ScreenShow at scale 2, nothing changed since the last frame", still.Ours,
           "one StretchBlt of the client area at scale 2", still.Baseline, "us");
    ScreenRelease();

    if (!SizeScreen(320, 230, 3)) {
        std::printf("  no room for a 320 x 230 screen at scale 3 here\n");
        return;
    }
    fill();
    auto timedPaints = [](bool floor) {
        PaintAsStretchFloor = floor;
        double before = PaintMicroseconds;
        for (int i = 0; i < 10; ++i)
            RedrawWindow(ConsoleWindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        PaintAsStretchFloor = false;
        return (PaintMicroseconds - before) / 10;
    };
    std::vector<double> ours, floors;
    for (int r = 0; r < Repetitions; ++r) {
        ours.push_back(timedPaints(false));
        floors.push_back(timedPaints(true));
    }
    Report("WM_PAINT's own time at scale 3 (320 x 230 shown 960 x 690), screen of coloured text over graphics",
           Median(ours), "a WM_PAINT that does one StretchBlt of the client area at scale 3", Median(floors), "us");
    Pair painted = Compare(10, [] { RedrawWindow(ConsoleWindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); },
                           StretchClientArea);
    Report("the same repaint through WM_PAINT, from a program thread", painted.Ours,
           "one StretchBlt of the client area at scale 3, GetDC and all", painted.Baseline, "us");
    ScreenSetScale(1);
    SetWindowPos(ConsoleWindowHandle(), HWND_TOP, 0, 0, 640, 460, 0);
    FloorScale = 1;
    ConsoleClear();
    ScreenClear(0);
    ConsoleFlush();
}

// A game's line of text in a font of its own, drawn while held: 100 lines of
// 20 Japanese characters in a 24-pixel font, against the same ExtTextOutW
// calls with a font made from the same description, selected on the back
// buffer under its lock.
void MeasureTextInAFont()
{
    const char* line = "日本語の文字を二十個ならべた一行テキスト";
    const std::wstring wide = WideFromText(line);
    int font = FontMake("ＭＳ ゴシック", 24, 0);
    LOGFONTW description{};
    FontDescription(font, &description);
    HFONT platform = CreateFontIndirectW(&description);
    const COLORREF colour = RGB(255, 255, 255);
    ScreenHold();
    Pair lines = Compare(
        5,
        [font, line, colour] {
            for (int i = 0; i < 100; ++i)
                DrawTextIn(font, 10 + i % 7, (i * 37) % 400, line, colour);
        },
        [platform, &wide, colour] {
            BackBufferHold hold;
            HDC back = BackBufferDc();
            HGDIOBJ previous = SelectObject(back, platform);
            SetTextColor(back, colour);
            SetBkMode(back, TRANSPARENT);
            for (int i = 0; i < 100; ++i)
                ExtTextOutW(back, 10 + i % 7, (i * 37) % 400, 0, nullptr, wide.data(), UINT(wide.size()), nullptr);
            SelectObject(back, previous);
        });
    Report("100 DrawTextIn of a 20-character Japanese line, 24-pixel font, while held", lines.Ours,
           "100 ExtTextOutW of it, the font selected on the back buffer", lines.Baseline, "us");
    ScreenRelease();
    ScreenClear(0);
    FontRelease(font);
    DeleteObject(platform);
}

void MeasurePrinting()
{
    std::string line(80, 'x');
    HWND window = ConsoleWindowHandle();
    auto floor = [window, &line] {
        HDC dc = GetDC(window);
        HGDIOBJ previous = SelectObject(dc, ConsoleMetrics().Font);
        TextOutA(dc, 0, 0, line.c_str(), static_cast<int>(line.size()));
        SelectObject(dc, previous);
        ReleaseDC(window, dc);
    };
    double baseline = PerCall(50, floor);
    // What a print that waits for its drawing costs at least: the round trip
    // of a message to the console thread, and the text drawn.
    const std::string roundTripName = "one round trip to the console thread and one TextOutA";
    double stored = PerCall(50, [&line] {
        ConsoleSetCursor(CellPosition{0, 0});
        ConsolePrint(line.c_str());
    });
    ConsoleFlush();
    Report("print an 80-byte line (returns once stored)", stored, "one TextOutA of it", baseline, "us");
    // Each in turns with its floor: the round trip's cost varies with the host's load.
    auto roundTripAndText = [window, &floor] {
        SendMessageW(window, WM_NULL, 0, 0);
        floor();
    };
    const Pair inPlace = Compare(50, [&line] {
        ConsoleSetCursor(CellPosition{0, 0}); // the console thread is idle between prints
        ConsolePrint(line.c_str());
        ConsoleFlush();
    }, roundTripAndText);
    Report("print an 80-byte line and wait until it is drawn", inPlace.Ours, roundTripName, inPlace.Baseline, "us");
    std::string scrolling = line + "\r\n";
    const Pair scrolled = Compare(20, [&scrolling] {
        RECT client;
        GetClientRect(ConsoleWindowHandle(), &client);
        ConsoleSetCursor(CellPosition{0, client.bottom / ConsoleMetrics().LineHeight - 1});
        ConsolePrint(scrolling.c_str());
        ConsoleFlush();
    }, roundTripAndText);
    Report("print a line that scrolls and wait until it is drawn", scrolled.Ours, roundTripName, scrolled.Baseline,
           "us");

    // A burst: a listing of 10,000 lines, each scrolling, as fast as a program thread can print.
    std::vector<double> rates, bounds;
    for (int r = 0; r < 3; ++r) {
        double start = NowMicroseconds();
        for (int i = 0; i < 10000; ++i)
            ConsolePrint(scrolling.c_str());
        ConsoleFlush();
        rates.push_back(10000 / ((NowMicroseconds() - start) / 1e6));
        start = NowMicroseconds();
        for (int i = 0; i < 10000; ++i) // what a message per print would cost: one round trip each
            SendMessageA(ConsoleWindowHandle(), WM_NULL, 0, 0);
        bounds.push_back(10000 / ((NowMicroseconds() - start) / 1e6));
    }
    Report("lines printed per second, a burst of 10,000 that scroll", Median(rates),
           "round trips of a message to the console thread per second", Median(bounds), "/s");

    // Latency: from the return of ConsolePrint to the text on the window.
    std::vector<double> latencies;
    for (int r = 0; r < Repetitions; ++r) {
        Sleep(50); // an idle console, as for a program that prints now and then
        ConsoleSetCursor(CellPosition{0, 0});
        ConsoleSetColors(RGB(255, 255, 255), r % 2 ? RGB(255, 0, 0) : RGB(0, 0, 255));
        ConsolePrint("#");
        double start = NowMicroseconds();
        HDC dc = GetDC(window);
        while (GetPixel(dc, 1, 1) != (r % 2 ? RGB(255, 0, 0) : RGB(0, 0, 255)) && NowMicroseconds() - start < 1e6)
            ;
        ReleaseDC(window, dc);
        latencies.push_back((NowMicroseconds() - start) / 1000);
    }
    Report("from ConsolePrint's return to the text on the window", Median(latencies), "one frame", 16.7, "ms");
}

void MeasureStrings()
{
    for (int live : {33, 1000, 10000}) {
        std::vector<TrackedString> kept;
        for (int i = 0; i < live; ++i)
            kept.push_back(AllocString(8));
        Pair pairs = Compare(2000, [] { ReleaseString(AllocString(8)); }, // the newest: a full search
                             [] { HeapFree(ProcessHeap, 0, HeapAlloc(ProcessHeap, HEAP_ZERO_MEMORY, 13)); });
        for (TrackedString s : kept)
            ReleaseString(s);
        Report("AllocString/ReleaseString, " + std::to_string(live) + " live", pairs.Ours, "HeapAlloc/HeapFree",
               pairs.Baseline, "us");
    }
}

std::string BuildDirectory()
{
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.find_last_of('\\'));
}

// Milliseconds from process start until the window has the caption.
double TimeToCaption(const std::string& exe, const std::string& directory, const char* className, const char* caption,
                     double* spriteMilliseconds)
{
    ChildProcess child;
    double start = NowMicroseconds();
    if (!StartChild("\"" + exe + "\"", directory, &child))
        return -1;
    HWND window = nullptr;
    char text[64] = "";
    double captioned = -1;
    while (NowMicroseconds() - start < 60e6) {
        if (!window)
            window = WaitForWindow(child.ProcessId, className, 0);
        if (window && GetWindowTextA(window, text, sizeof text) && lstrcmpA(text, caption) == 0) {
            captioned = (NowMicroseconds() - start) / 1000;
            break;
        }
        Sleep(1);
    }
    if (spriteMilliseconds && window) {
        SpriteImage sprite = LoadSpriteImage();
        DemoRun view;
        while (NowMicroseconds() - start < 60e6) {
            POINT origin{0, 0};
            ClientToScreen(window, &origin);
            RECT area{origin.x + 100, origin.y + 200, origin.x + 132, origin.y + 248};
            ScreenPixels pixels = CaptureScreen(area);
            bool same = true;
            for (LONG y = 0; y < 48 && same; y += 3)
                for (LONG x = 0; x < 32 && same; x += 3)
                    same = pixels.At(area.left + x, area.top + y) == sprite.At(x, y);
            if (same) {
                *spriteMilliseconds = (NowMicroseconds() - start) / 1000;
                break;
            }
            Sleep(1);
        }
    }
    if (window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    WaitForExit(&child, 10000);
    EndChild(&child);
    return captioned;
}

void MeasureStartUp(const std::string& assets)
{
    std::string build = BuildDirectory();
    std::vector<double> paint, sprite, minimal;
    for (int r = 0; r < 5; ++r) {
        double spriteMs = -1;
        paint.push_back(TimeToCaption(build + "\\demo.exe", assets, "PROMPT", "\x83\x5E\x83\x43\x83\x67\x83\x8B\x96\xBC", &spriteMs));
        sprite.push_back(spriteMs);
        minimal.push_back(TimeToCaption(build + "\\minimal_window.exe", assets, "MINIMAL", "painted", nullptr));
    }
    Report("start-up to first paint", Median(paint), "a minimal window's first paint", Median(minimal), "ms");
    Report("start-up to the sprite", Median(sprite), "a minimal window's first paint", Median(minimal), "ms");
}

void MeasurePassRate(const std::string& assets)
{
    // The sleep's own rate: passes of a loop that only sleeps.
    std::vector<double> sleepRates;
    for (int r = 0; r < 3; ++r) {
        int passes = 0;
        double start = NowMicroseconds();
        while (NowMicroseconds() - start < 1e6) {
            Sleep(1);
            ++passes;
        }
        sleepRates.push_back(passes / ((NowMicroseconds() - start) / 1e6));
    }
    std::vector<double> rates;
    SpriteImage sprite = LoadSpriteImage();
    for (int r = 0; r < 3; ++r) {
        DemoRun demo;
        if (!demo.Start(assets))
            continue;
        Sleep(1000);
        double start = NowMicroseconds();
        PressKey(VK_RIGHT);
        while (NowMicroseconds() - start < 60e6 &&
               !SpriteAt(demo.CaptureClient(), demo.ClientOrigin(), sprite, 600, 200))
            Sleep(1);
        double seconds = (NowMicroseconds() - start) / 1e6;
        ReleaseKey(VK_RIGHT);
        rates.push_back(250 / seconds); // 100 to 600 in steps of 2
        PostMessageA(demo.Window(), WM_CLOSE, 0, 0);
        WaitForExit(&demo.Process(), 10000);
    }
    Report("main-loop passes per second, key held", Median(rates), "Sleep(1) loop passes per second", Median(sleepRates), "/s");
}

struct FrameFigures {
    double MeanMs;        // mean interval between frames
    double P99DeviationMs; // 99th percentile of |interval - 1/60 s|
    double EndErrorMs;    // |time of frame 600 - 10 s|
};

template <typename Wait>
FrameFigures MeasureFrames(Wait wait)
{
    const double period = 1000.0 / 60;
    std::vector<double> deviations;
    wait(); // the clock starts at the first frame
    double start = NowMicroseconds(), last = start;
    for (int frame = 1; frame <= 600; ++frame) {
        wait();
        double now = NowMicroseconds();
        deviations.push_back(std::fabs((now - last) / 1000 - period));
        last = now;
    }
    std::sort(deviations.begin(), deviations.end());
    return FrameFigures{(last - start) / 1000 / 600, deviations[deviations.size() * 99 / 100],
                        std::fabs((last - start) / 1000 - 10000)};
}

// A sprite of the program's own: a soft-edged ball with alpha, made in memory.
void MakeBall(Picture* ball, LONG size)
{
    PictureCreate(ball);
    PictureSetCaptureDelay(ball, -1);
    PictureAttachWindow(ball);
    PictureMake(ball, size, size);
    ScreenDrawTo(ball);
    for (LONG ring = 0; ring < size / 2; ring += 2) {
        ScreenSetBlend(BlendAlpha, 60 + ring * 190 / (size / 2));
        FillEllipse(ring, ring, size - 2 * ring, size - 2 * ring, RGB(255, 200 - ring * 3, 80));
    }
    ScreenSetBlend(BlendNormal, 255);
    ScreenDrawTo(nullptr);
}

// A frame of the shooter's kind: 500 sprites turned and scaled, some of them
// adding their light, at 60 frames a second: does the clock still hold?
void MeasureSpriteFrames()
{
    Picture sheet;
    MakeBall(&sheet, 32);
    ScreenHold();
    int frame = 0;
    FrameFigures busy = MeasureFrames([&] {
        ScreenClear(RGB(8, 8, 24));
        for (int i = 0; i < 500; ++i) {
            if (i == 400)
                ScreenSetBlend(BlendAdd, 255);
            PictureDrawRotated(&sheet, (i * 37 + frame) % 640, (i * 23) % 480, 1.5, (i + frame) * 0.05, 255);
        }
        ScreenSetBlend(BlendNormal, 255);
        ScreenShow();
        ++frame;
        FrameWait(60);
    });
    ScreenRelease();
    PictureDestroy(&sheet);
    Report("FrameWait(60) with 500 turned sprites a frame: 99th percentile of the distance from 16.667 ms",
           busy.P99DeviationMs, "the 2 ms it must stay within", 2.0, "ms");
}

void MeasureFrameWait()
{
    FrameFigures steady = MeasureFrames([] { FrameWait(60); });
    FrameFigures sleeping = MeasureFrames([] { Sleep(16); });
    Report("FrameWait(60): mean frame interval", steady.MeanMs, "Sleep(16) loop", sleeping.MeanMs, "ms");
    Report("FrameWait(60): 99th percentile of the interval's distance from 16.667 ms", steady.P99DeviationMs, "Sleep(16) loop",
           sleeping.P99DeviationMs, "ms");
    Report("FrameWait(60): frame 600 away from 10 s", steady.EndErrorMs, "Sleep(16) loop", sleeping.EndErrorMs, "ms");
}

double ThreadCpuMicroseconds(HANDLE thread)
{
    FILETIME created, ended, kernel, user;
    if (!thread || !GetThreadTimes(thread, &created, &ended, &kernel, &user))
        return 0;
    auto micro = [](FILETIME t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10.0; };
    return micro(kernel) + micro(user);
}

// Milliseconds of the sound thread's CPU time per second, over seconds of wall time.
double SoundThreadLoad(double seconds)
{
    HANDLE thread = MixerThread();
    double cpu = ThreadCpuMicroseconds(thread), start = NowMicroseconds();
    Sleep(static_cast<DWORD>(seconds * 1000));
    return (ThreadCpuMicroseconds(thread) - cpu) / (NowMicroseconds() - start) * 1000;
}

void MeasureMixer(const std::string& assets)
{
    int sound = SoundLoad((assets + "\\sound\\zapper.wav").c_str());
    for (DWORD start = GetTickCount(); sound && !MixerStreamNow().OutputOpen && GetTickCount() - start < 30000;)
        Sleep(5);
    if (!sound || !MixerStreamNow().OutputOpen) {
        std::printf("  no sound output: the mixer is not measured\n");
        return;
    }
    SoundSetVolume(sound, 5); // sixteen at once stay below full scale
    for (int i = 0; i < MaxVoices; ++i)
        SoundPlayLooped(sound);
    double load = SoundThreadLoad(10); // Wine counts thread time in 10 ms ticks
    static int16_t out[441 * 2];
    double mix = PerCall(200, [] { MixUnderLock(out, 441); });
    SoundStop(sound);
    Sleep(500);
    double rest = SoundThreadLoad(5);
    Report("mixing 10 ms of 16 voices", mix, "the 10 ms they last", 10000, "us");
    Report("the sound thread, 16 voices playing", load, "one core", 1000, "ms/s");
    Report("the sound thread at rest, a sound loaded", rest, "one core", 1000, "ms/s");

    // A voice started while 8 play, at random points of the stream's 10 ms
    // steps: from SoundPlay to its first frames handed to the device (mixed
    // into a buffer and written), and to the device starting on that buffer
    // (the buffer queued ahead of it reported done). Both are when the sound
    // thread saw them: on a loaded host it may wake late.
    int voice = SoundLoad((assets + "\\sound\\zapper.wav").c_str());
    if (!voice)
        return;
    SoundSetVolume(voice, 5);
    for (int i = 0; i < 8; ++i)
        SoundPlayLooped(sound);
    Sleep(500); // the stream is past its start
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> handed, started;
    for (int r = 0; r < 20; ++r) {
        Sleep(100 + (r * 7) % 13); // past the last voice's end: 8 looped and at most 3 more sound
        SoundPlay(voice);
        VoiceTiming timing{};
        for (double start = NowMicroseconds(); NowMicroseconds() - start < 1e6; Sleep(1))
            if ((timing = MixerNewestVoiceTiming()).Started)
                break;
        if (!timing.Started)
            continue;
        handed.push_back((timing.Written - timing.Called) * 1000.0 / frequency.QuadPart);
        started.push_back((timing.Started - timing.Called) * 1000.0 / frequency.QuadPart);
    }
    SoundStop(sound);
    if (started.size() < 20)
        std::printf("  only %u of 20 voices were started by the device\n", static_cast<unsigned>(started.size()));
    auto worst = [](const std::vector<double>& values) {
        return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    };
    Report("SoundPlay to its first frames handed to the device, 8 playing: median of 20", Median(handed),
           "one buffer", 10, "ms");
    Report("the same, worst of 20", worst(handed), "one buffer", 10, "ms");
    Report("SoundPlay to the device starting on them: median of 20", Median(started), "the 30 ms allowed", 30, "ms");
    Report("the same, worst of 20", worst(started), "the 30 ms allowed", 30, "ms");
}

// 1,000 BitBlt of the same rectangles from the picture's bitmap onto the back buffer.
void CopyRectangles(Picture* picture, LONG width, LONG height, const std::vector<POINT>& at)
{
    HDC source = CreateCompatibleDC(BackBufferDc());
    HGDIOBJ previous = SelectObject(source, picture->Bitmap);
    {
        BackBufferHold hold;
        for (const POINT& p : at)
            BitBlt(BackBufferDc(), p.x, p.y, width, height, source, 0, 0, SRCCOPY);
    }
    SelectObject(source, previous);
    DeleteDC(source);
}

void MeasureSprites()
{
    Picture ball, sheet, reach;
    MakeBall(&ball, 40);
    MakeBall(&sheet, 32);
    MakeBall(&reach, 68); // as large as a turned sprite's rectangle, for its baseline
    std::vector<POINT> at;
    for (int i = 0; i < 1000; ++i)
        at.push_back(POINT{(i * 37) % 600, (i * 23) % 420});
    ScreenHold();
    Pair blended = Compare(
        5, [&] { for (const POINT& p : at) PictureDrawBlended(&ball, p.x, p.y, 0, 0, 255); },
        [&] { CopyRectangles(&ball, 40, 40, at); });
    Report("1,000 PictureDrawBlended of a 40 x 40 sprite with alpha, held", blended.Ours,
           "1,000 BitBlt of the same rectangles", blended.Baseline, "us");
    Pair frame = Compare(
        5,
        [&] {
            ScreenClear(RGB(10, 10, 40));
            for (const POINT& p : at)
                PictureDrawBlended(&ball, p.x, p.y, 0, 0, 255);
            ScreenShow();
        },
        [&] {
            ScreenClear(RGB(10, 10, 40));
            for (const POINT& p : at)
                FillBox(p.x, p.y, 40, 40, RGB(200, 120, 50));
            ScreenShow();
        });
    Report("a frame: clear, 1,000 blended sprites, show", frame.Ours, "the same frame with FillBox for the sprites",
           frame.Baseline, "us");
    Pair cells = Compare(
        5, [&] { for (const POINT& p : at) PictureDrawCell(&sheet, p.x, p.y, 32, 32, 0); },
        [&] { CopyRectangles(&sheet, 32, 32, at); });
    Report("1,000 sheet cells of 32 x 32, held", cells.Ours, "1,000 BitBlt of the same rectangles", cells.Baseline,
           "us");
    // Turned by varied angles at scale 1.5: each covers up to 68 x 68 pixels.
    Pair turned = Compare(
        5,
        [&] {
            int i = 0;
            for (const POINT& p : at)
                PictureDrawRotated(&sheet, p.x + 24, p.y + 24, 1.5, (i++ % 64) * 0.1, 255);
        },
        [&] { CopyRectangles(&reach, 68, 68, at); });
    Report("1,000 sprites of 32 x 32 turned, at scale 1.5, with alpha, held", turned.Ours,
           "1,000 BitBlt of their destination rectangles (68 x 68)", turned.Baseline, "us");
    ScreenRelease();
    PictureDestroy(&ball);
    PictureDestroy(&sheet);
    PictureDestroy(&reach);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    StringsInit();
    char processor[128] = "";
    DWORD size = sizeof processor;
    RegGetValueA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", "ProcessorNameString",
                 RRF_RT_REG_SZ, nullptr, processor, &size);
    SYSTEM_INFO system;
    GetNativeSystemInfo(&system);
    std::printf("machine: %s, %lu processors\n", processor, system.dwNumberOfProcessors);
    std::printf("measuring, a few minutes...\n");
    std::fflush(stdout);
    std::string assets = EnvironmentValue("ASSETS_DIR");
    assets = assets.empty() ? BuildDirectory() + "\\..\\assets" : WindowsPath(assets);
    SetEnvironmentVariableA("ASSETS_DIR", assets.c_str());
    SetEnvironmentVariableA("DEMO_EXE", (BuildDirectory() + "\\demo.exe").c_str());
    if (!ConsoleStart(60000))
        return 1;
    SetWindowPos(ConsoleWindowHandle(), HWND_TOP, 0, 0, 640, 460, 0);

    // BENCH_ONLY=console, sound, held, scaled, sprites or text: those rows alone.
    const std::string only = EnvironmentValue("BENCH_ONLY");
    if (only.empty())
        MeasureMainLoopPass(assets);
    if (only.empty() || only == "console")
        MeasureRepaint();
    if (only.empty() || only == "held")
        MeasureHeldFrames();
    if (only.empty() || only == "scaled")
        MeasureScaledFrames();
    if (only.empty() || only == "sprites") {
        MeasureSprites();
        MeasureSpriteFrames();
    }
    if (only.empty() || only == "text")
        MeasureTextInAFont();
    if (only.empty() || only == "console")
        MeasurePrinting();
    if (only.empty()) {
        MeasureStrings();
        ShowWindow(ConsoleWindowHandle(), SW_HIDE); // out of the way of the programs started next
        MeasureStartUp(assets);
        MeasurePassRate(assets);
        MeasureFrameWait();
    }
    if (only.empty() || only == "sound")
        MeasureMixer(assets);

    std::printf("\n| what | ours | baseline | ratio |\n|---|---|---|---|\n");
    for (const Row& row : Table)
        std::printf(row.Ours / row.Baseline < 0.01 ? "| %s | %.1f %s | %.1f %s (%s) | %.4f |\n"
                                                   : "| %s | %.1f %s | %.1f %s (%s) | %.2f |\n",
                    row.Name.c_str(), row.Ours, row.Unit, row.Baseline, row.Unit, row.BaselineName.c_str(),
                    row.Ours / row.Baseline);
    std::fflush(stdout);
    ExitProcess(0);
}
