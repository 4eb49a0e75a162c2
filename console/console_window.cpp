#include "console/console.h"

#include "console/console_api.h"
#include "input/input.h"
#include "runtime/code_page.h"
#include "runtime/fatal.h"
#include "runtime/system_library.h"
#include "screen/back_buffer.h"
#include "screen/frame.h"
#include "text/line_input.h"
#include "text/text_font.h"
#include "text/text_store.h"

ConsoleWindowRecord Console;

namespace {

// The window is a Unicode one, so its texts and characters do not pass
// through the system's own code page, which may be anything.
const wchar_t ClassName[] = L"PROMPT";
const wchar_t InitialCaption[] = L"BASIC PROMPT";
const char NoWindowText[] = "ウィンドウを作成できないため、プログラムを終了します。";

bool RegisterConsoleClass()
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = ConsoleWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    // The system's icons and cursor by number (the names are the A form's).
    windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    windowClass.hIconSm = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_WINLOGO));
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = ClassName;
    return RegisterClassExW(&windowClass) != 0;
}

// False when the back buffer cannot be made: then there is no window.
bool OnCreate(HWND window)
{
    SIZE screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (!BackBufferCreate(window, screen))
        return false;
    WindowScaleStart(window);
    TextFontMeasure(BackBufferDc());
    InputMethodDetach(window);
    return true;
}

void OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    FramePaint(dc);
    EndPaint(window, &paint);
    Console.WindowReady = 1;
}

void OnDestroy()
{
    if (!BackBufferDc())
        return; // WM_CREATE refused the window: ConsoleThreadMain says so and ends
    BackBufferDestroy();
    PostQuitMessage(0);
}

// A line input has started: with the focus here, the caret shows at once
// rather than at the next focus change.
void OnLineStarted(HWND window)
{
    if (GetFocus() == window)
        CaretShow(window);
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, TrackedString* echo)
{
    LRESULT scaled = 0;
    if (message != WM_CREATE && BackBufferDc() && WindowScaleMessage(window, message, wParam, lParam, &scaled))
        return scaled;
    switch (message) {
    case WM_CREATE: return OnCreate(window) ? 0 : -1; // -1: CreateWindowExW fails
    case WM_PAINT: OnPaint(window); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_KEYDOWN: return 0; // recorded by the input's keys
    case WM_CHAR: LineCharacter(window, wParam, echo); return 0;
    case WM_SETFOCUS: CaretShow(window); return 0;
    case WM_KILLFOCUS: CaretHide(window); return 0;
    // What program threads ask of the console (console.h).
    case ConsoleDrawMessage: DrawSoon(); return 0;
    case ConsoleFlushMessage: DrawPendingRows(); return 0;
    case WM_TIMER:
        if (IsDrawTimer(wParam))
            DrawTick();
        return 0;
    case ConsoleLineMessage: OnLineStarted(window); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

LRESULT CALLBACK ConsoleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The echo of line input: every message gets its own, released on return.
    TrackedString echo = AllocString(0);
    InputTakeMessage(message, wParam, lParam, LineRunning());
    LRESULT result = HandleMessage(window, message, wParam, lParam, &echo);
    ReleaseString(echo);
    return result;
}

DWORD WINAPI ConsoleThreadMain(LPVOID)
{
    TextStoreStart();
    TextFontCreate();

    // Without a window the program thread would wait for a first paint for ever.
    if (!RegisterConsoleClass())
        FatalError(NoWindowText, ExitNoWindow);
    // Sizable from the start; a program fixes its size by taking the border
    // away (its own SetWindowLong, or ScreenAllowResize(false)).
    HWND window = CreateWindowExW(WS_EX_CLIENTEDGE, ClassName, InitialCaption, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window)
        FatalError(NoWindowText, ExitNoWindow);
    Console.Window = window;
    ShowWindow(window, SW_SHOW);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    TextStoreEnd();
    Winmm().TimeEndPeriod(1);
    ExitProcess(0);
}

WNDPROC ConsoleSubclass(WNDPROC procedure)
{
    return reinterpret_cast<WNDPROC>(
        SetWindowLongW(Console.Window, GWL_WNDPROC, reinterpret_cast<LONG>(procedure)));
}

DWORD ConsoleThreadId()
{
    return Console.ThreadId;
}

LONG ConsoleWindowReady()
{
    return Console.WindowReady;
}

void ConsoleClearWindowReady()
{
    Console.WindowReady = 0;
}
