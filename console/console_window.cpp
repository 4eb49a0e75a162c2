#include "console/console.h"

#include "console/console_api.h"
#include "console/key_presses.h"
#include "console/line_input.h"
#include "runtime/fatal.h"
#include "runtime/system_library.h"

ConsoleState Console;

namespace {

const char ClassName[] = "PROMPT";
const char InitialCaption[] = "BASIC PROMPT";
const char FontFace[] = "ＭＳ ゴシック";
const char NoWindowText[] = "ウィンドウを作成できないため、プログラムを終了します。";

void AllocateTextRows()
{
    for (int r = 0; r < TextRowCount; ++r) {
        Console.TextScreen.Text[r] = static_cast<BYTE*>(AllocBlock(TextRowBytes));
        Console.TextScreen.Foreground[r] = static_cast<COLORREF*>(AllocBlock(TextRowBytes * sizeof(COLORREF)));
        Console.TextScreen.Background[r] = static_cast<LONG*>(AllocBlock(TextRowBytes * sizeof(LONG)));
    }
}

void FreeTextRows()
{
    for (int r = 0; r < TextRowCount; ++r) {
        FreeBlock(Console.TextScreen.Text[r]);
        FreeBlock(Console.TextScreen.Foreground[r]);
        FreeBlock(Console.TextScreen.Background[r]);
    }
}

// Where no Japanese fixed-pitch face is installed the platform may substitute
// anything (Wine without Japanese fonts gives a proportional maths face 69
// pixels high): then the first of these common fixed-pitch faces that is there.
const char* const FallbackFaces[] = {"Courier New", "Consolas", "DejaVu Sans Mono", "Liberation Mono"};

void CreateConsoleFont()
{
    LOGFONTA& font = Console.ConsoleFontDescription;
    font = LOGFONTA{};
    font.lfHeight = -16;
    font.lfWeight = FW_DONTCARE;
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = FIXED_PITCH;
    lstrcpynA(font.lfFaceName, FontFace, LF_FACESIZE);
    Console.ConsoleFont = CreateFontIndirectA(&font);
    if (FontMakesACellGrid(Console.ConsoleFont))
        return;
    for (const char* face : FallbackFaces) {
        LOGFONTA fallback = font;
        fallback.lfCharSet = DEFAULT_CHARSET;
        lstrcpynA(fallback.lfFaceName, face, LF_FACESIZE);
        HFONT candidate = CreateFontIndirectA(&fallback);
        if (FontMakesACellGrid(candidate)) {
            DeleteObject(Console.ConsoleFont);
            Console.ConsoleFont = candidate;
            font = fallback;
            return;
        }
        DeleteObject(candidate);
    }
}

bool RegisterConsoleClass()
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = ConsoleWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hIconSm = LoadIconA(nullptr, IDI_WINLOGO);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = ClassName;
    return RegisterClassExA(&windowClass) != 0;
}

void OnCreate(HWND window)
{
    HDC windowDc = GetDC(window);
    Console.BackBuffer.Bitmap = CreateCompatibleBitmap(windowDc, Console.ScreenSize.Width, Console.ScreenSize.Height);
    Console.BackBuffer.Dc = CreateCompatibleDC(windowDc);
    SelectObject(Console.BackBuffer.Dc, Console.BackBuffer.Bitmap);

    HGDIOBJ previousBrush = SelectObject(Console.BackBuffer.Dc, GetStockObject(BLACK_BRUSH));
    PatBlt(Console.BackBuffer.Dc, 0, 0, Console.ScreenSize.Width, Console.ScreenSize.Height, PATCOPY);
    SelectObject(Console.BackBuffer.Dc, previousBrush);

    HGDIOBJ previousFont = SelectObject(Console.BackBuffer.Dc, Console.ConsoleFont);
    SIZE space{};
    GetTextExtentPoint32A(Console.BackBuffer.Dc, " ", 1, &space);
    TEXTMETRICA metrics{};
    GetTextMetricsA(Console.BackBuffer.Dc, &metrics);
    Console.CellWidth = space.cx;
    Console.LineHeight = metrics.tmHeight;
    SelectObject(Console.BackBuffer.Dc, previousFont);

    ReleaseDC(window, windowDc);
}

void OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    BitBlt(dc, 0, 0, Console.ScreenSize.Width, Console.ScreenSize.Height, Console.BackBuffer.Dc, 0, 0, SRCCOPY);
    RenderRowsOver(dc, -1, 0, true);
    EndPaint(window, &paint);
    Console.WindowReady = 1;
}

void OnDestroy()
{
    DeleteDC(Console.BackBuffer.Dc);
    DeleteObject(Console.BackBuffer.Bitmap);
    PostQuitMessage(0);
}

// A line input has started: with the focus here, the caret shows at once
// rather than at the next focus change.
void OnLineStarted(HWND window)
{
    if (GetFocus() == window)
        ConsoleSetFocus(window);
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, TrackedString* echo)
{
    switch (message) {
    case WM_CREATE: OnCreate(window); return 0;
    case WM_PAINT: OnPaint(window); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_KEYDOWN: ConsoleKeyDown(wParam); return 0;
    case WM_CHAR: ConsoleChar(window, wParam, echo); return 0;
    case WM_SETFOCUS: ConsoleSetFocus(window); return 0;
    case WM_KILLFOCUS: ConsoleKillFocus(window); return 0;
    // What program threads ask of the console (console_api.h).
    case ConsoleDrawMessage: DrawSoon(); return 0;
    case ConsoleFlushMessage: DrawPendingRows(); return 0;
    case WM_TIMER:
        if (IsDrawTimer(wParam))
            DrawPendingRows();
        return 0;
    case ConsoleLineMessage: OnLineStarted(window); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

bool FontMakesACellGrid(HFONT font)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICA metrics{};
    bool measured = font && GetTextMetricsA(dc, &metrics);
    SelectObject(dc, previous);
    DeleteDC(dc);
    // TMPF_FIXED_PITCH set means a variable pitch, whatever its name says.
    return measured && !(metrics.tmPitchAndFamily & TMPF_FIXED_PITCH) && metrics.tmHeight >= 12 &&
           metrics.tmHeight <= 32 && metrics.tmAveCharWidth >= 4 && metrics.tmAveCharWidth <= 16;
}

LRESULT CALLBACK ConsoleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The echo of line input; every message gets its own, released on return.
    TrackedString echo = AllocString(0);
    RecordKeyMessage(message, wParam, lParam);
    LRESULT result = HandleMessage(window, message, wParam, lParam, &echo);
    ReleaseString(echo);
    return result;
}

DWORD WINAPI ConsoleThreadMain(LPVOID)
{
    AllocateTextRows();
    Console.ColorPair = TextColors{0xFFFFFF, 0};
    Console.ScreenSize.Width = GetSystemMetrics(SM_CXSCREEN);
    Console.ScreenSize.Height = GetSystemMetrics(SM_CYSCREEN);
    CreateConsoleFont();

    // Without a window the program thread would wait for a first paint for ever.
    if (!RegisterConsoleClass())
        FatalError(NoWindowText, ExitNoWindow);
    HWND window = CreateWindowExA(WS_EX_CLIENTEDGE, ClassName, InitialCaption, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window)
        FatalError(NoWindowText, ExitNoWindow);
    Console.ConsoleWindow = window;
    ShowWindow(window, SW_SHOW);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }

    FreeTextRows();
    Winmm().TimeEndPeriod(1);
    ExitProcess(0);
}
