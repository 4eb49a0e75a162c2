#include "console/console.h"

#include "console/key_presses.h"
#include "console/line_input.h"
#include "runtime/code_page.h"
#include "runtime/fatal.h"
#include "runtime/owners.h"
#include "runtime/system_library.h"

ConsoleState Console;

namespace {

// The window is a Unicode one, so its texts and characters do not pass
// through the system's own code page, which may be anything.
const wchar_t ClassName[] = L"PROMPT";
const wchar_t InitialCaption[] = L"BASIC PROMPT";
const wchar_t FontFace[] = L"ＭＳ ゴシック";
// The face's own name on a system that does not know it by its Japanese one.
const wchar_t FontFaceInEnglish[] = L"MS Gothic";
const char NoWindowText[] = "ウィンドウを作成できないため、プログラムを終了します。";

ConsoleSurface& Surface = Console.Surface;

void AllocateTextRows()
{
    std::lock_guard<std::recursive_mutex> hold(Console.Text.Lock);
    for (int r = 0; r < TextRowCount; ++r)
        GiveRowNewBlocks(r);
}

void FreeTextRows()
{
    std::lock_guard<std::recursive_mutex> hold(Console.Text.Lock);
    TextRows& rows = Console.Text.TextScreen;
    for (int r = 0; r < TextRowCount; ++r) {
        FreeBlock(rows.Text[r]);
        FreeBlock(rows.Foreground[r]);
        FreeBlock(rows.Background[r]);
    }
}

// Where no Japanese fixed-pitch face is installed the platform may substitute
// anything (Wine without Japanese fonts gives a proportional maths face 69
// pixels high): then the first of these common fixed-pitch faces that is there.
const wchar_t* const FallbackFaces[] = {L"Courier New", L"Consolas", L"DejaVu Sans Mono", L"Liberation Mono"};

int CALLBACK NoteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FamilyInstalled(const wchar_t* face)
{
    LOGFONTW wanted{};
    wanted.lfCharSet = SHIFTJIS_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    WindowDc screen(nullptr);
    EnumFontFamiliesExW(screen.Dc, &wanted, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

void CreateConsoleFont()
{
    LOGFONTW& font = Surface.ConsoleFontDescription;
    font = LOGFONTW{};
    font.lfHeight = -16;
    font.lfWeight = FW_DONTCARE;
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = FIXED_PITCH;
    bool englishName = !FamilyInstalled(FontFace) && FamilyInstalled(FontFaceInEnglish);
    lstrcpynW(font.lfFaceName, englishName ? FontFaceInEnglish : FontFace, LF_FACESIZE);
    Surface.ConsoleFont = CreateFontIndirectW(&font);
    if (FontMakesACellGrid(Surface.ConsoleFont))
        return;
    for (const wchar_t* face : FallbackFaces) {
        LOGFONTW fallback = font;
        fallback.lfCharSet = DEFAULT_CHARSET;
        lstrcpynW(fallback.lfFaceName, face, LF_FACESIZE);
        HFONT candidate = CreateFontIndirectW(&fallback);
        if (FontMakesACellGrid(candidate)) {
            DeleteObject(Surface.ConsoleFont);
            Surface.ConsoleFont = candidate;
            font = fallback;
            return;
        }
        DeleteObject(candidate);
    }
}

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
    OffscreenImage& back = Surface.BackBuffer;
    WindowDc windowDc(window);
    // A DIB section, so that a shown frame is composed from its pixels directly.
    if (!MakeOffscreenImage(windowDc.Dc, Surface.ScreenSize.Width, Surface.ScreenSize.Height, &back))
        return false;
    {
        Selection brush(back.Dc, GetStockObject(BLACK_BRUSH));
        PatBlt(back.Dc, 0, 0, Surface.ScreenSize.Width, Surface.ScreenSize.Height, PATCOPY);
    }
    Selection font(back.Dc, Surface.ConsoleFont);
    SIZE space{};
    GetTextExtentPoint32W(back.Dc, L" ", 1, &space);
    TEXTMETRICW metrics{};
    GetTextMetricsW(back.Dc, &metrics);
    Surface.CellWidth = space.cx;
    Surface.LineHeight = metrics.tmHeight;
    return true;
}

void OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (!PaintFrame(dc)) {
        {
            BackBufferHold hold;
            BitBlt(dc, 0, 0, Surface.ScreenSize.Width, Surface.ScreenSize.Height, Surface.BackBuffer.Dc, 0, 0, SRCCOPY);
        }
        RenderRowsOver(dc, -1, 0, true);
    }
    EndPaint(window, &paint);
    Surface.WindowReady = 1;
}

void OnDestroy()
{
    if (!Surface.BackBuffer.Dc)
        return; // WM_CREATE refused the window: ConsoleThreadMain says so and ends
    {
        BackBufferHold hold;
        DeleteDC(Surface.BackBuffer.Dc);
        DeleteObject(Surface.BackBuffer.Bitmap);
    }
    PostQuitMessage(0);
}

// A line input has started: with the focus here, the caret shows at once
// rather than at the next focus change.
void OnLineStarted(HWND window)
{
    if (GetFocus() == window)
        ConsoleSetFocus(window);
}

// Characters arrive as UTF-16, from the keyboard and the input method alike;
// line input takes their code page 932 bytes one at a time, as a
// double-byte character's two bytes arrive in an ANSI window. A character
// with no code page 932 form is left out.
void OnChar(HWND window, WPARAM code, TrackedString* echo)
{
    wchar_t character = static_cast<wchar_t>(code);
    for (char byte : TextFromWide(&character, 1))
        ConsoleChar(window, static_cast<BYTE>(byte), echo);
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, TrackedString* echo)
{
    switch (message) {
    case WM_CREATE: return OnCreate(window) ? 0 : -1; // -1: CreateWindowExA fails
    case WM_PAINT: OnPaint(window); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_KEYDOWN: ConsoleKeyDown(wParam); return 0;
    case WM_CHAR: OnChar(window, wParam, echo); return 0;
    case WM_SETFOCUS: ConsoleSetFocus(window); return 0;
    case WM_KILLFOCUS: ConsoleKillFocus(window); return 0;
    // What program threads ask of the console (console.h).
    case ConsoleDrawMessage: DrawSoon(); return 0;
    case ConsoleFlushMessage: DrawPendingRows(); return 0;
    case WM_TIMER:
        if (IsDrawTimer(wParam))
            DrawPendingRows();
        return 0;
    case ConsoleLineMessage: OnLineStarted(window); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

bool FontMakesACellGrid(HFONT font)
{
    MemoryDc dc(nullptr);
    TEXTMETRICW metrics{};
    bool measured = false;
    if (font) {
        Selection selected(dc.Dc, font);
        measured = GetTextMetricsW(dc.Dc, &metrics) != 0;
    }
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
    {
        std::lock_guard<std::recursive_mutex> hold(Console.Text.Lock);
        Console.Text.ColorPair = TextColors{0xFFFFFF, 0};
    }
    Surface.ScreenSize.Width = GetSystemMetrics(SM_CXSCREEN);
    Surface.ScreenSize.Height = GetSystemMetrics(SM_CYSCREEN);
    CreateConsoleFont();

    // Without a window the program thread would wait for a first paint for ever.
    if (!RegisterConsoleClass())
        FatalError(NoWindowText, ExitNoWindow);
    HWND window = CreateWindowExW(WS_EX_CLIENTEDGE, ClassName, InitialCaption, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window)
        FatalError(NoWindowText, ExitNoWindow);
    Surface.ConsoleWindow = window;
    ShowWindow(window, SW_SHOW);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }

    FreeTextRows();
    Winmm().TimeEndPeriod(1);
    ExitProcess(0);
}

bool MakeOffscreenImage(HDC compatible, LONG width, LONG height, OffscreenImage* image)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiOwner<HBITMAP> bitmap(CreateDIBSection(compatible, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    MemoryDc dc(compatible);
    if (!bitmap.Object || !dc.Dc || !bits)
        return false;
    image->Bitmap = bitmap.Release();
    image->Dc = dc.Release();
    image->Pixels = static_cast<DWORD*>(bits);
    SelectObject(image->Dc, image->Bitmap); // for the image's whole life
    return true;
}

HDC BackBufferDc()
{
    return Surface.BackBuffer.Dc;
}

SIZE BackBufferSize()
{
    return SIZE{Surface.ScreenSize.Width, Surface.ScreenSize.Height};
}

void LockBackBuffer()
{
    // The back buffer's pixels are read directly, by whichever thread shows a
    // frame: a thread that draws into it has its drawing done at each call,
    // not batched until later (Windows batches a thread's GDI calls; GdiFlush
    // at every release would do the same, but under Wine it also pushes every
    // window's pixels to the display each time).
    static thread_local bool unbatched = false;
    if (!unbatched) {
        GdiSetBatchLimit(1);
        unbatched = true;
    }
    Surface.BackBufferLock.lock();
}

void UnlockBackBuffer()
{
    Surface.BackBufferLock.unlock();
}

WNDPROC ConsoleSubclass(WNDPROC procedure)
{
    return reinterpret_cast<WNDPROC>(
        SetWindowLongW(Surface.ConsoleWindow, GWL_WNDPROC, reinterpret_cast<LONG>(procedure)));
}

ConsoleCellMetrics ConsoleMetrics()
{
    return ConsoleCellMetrics{Surface.CellWidth, Surface.LineHeight, Surface.ConsoleFont};
}

const LOGFONTW& ConsoleFontDescription()
{
    return Surface.ConsoleFontDescription;
}

DWORD ConsoleThreadId()
{
    return Surface.ConsoleThreadId;
}

LONG ConsoleWindowReady()
{
    return Surface.WindowReady;
}

void ConsoleClearWindowReady()
{
    Surface.WindowReady = 0;
}
