// The window's side of the program's screen at a whole scale: how large the
// window is made for it, the monitor's scale followed, a size the user drags,
// full screen and back. The console thread alone sizes the window; what it
// decides goes to the screen's placement (screen/screen_scale.h), which every
// present reads. Program threads ask through ConsoleScaleMessage.
#include "console/console.h"

#include <prompt/screen.h>

#include <algorithm>

#include "screen/back_buffer.h"
#include "screen/screen_scale.h"
#include "text/line_input.h"

namespace {

#ifndef WM_DPICHANGED
const UINT WM_DPICHANGED = 0x02E0;
#endif
#ifndef WM_GETDPISCALEDSIZE
const UINT WM_GETDPISCALEDSIZE = 0x02E4;
#endif

enum class SizedBy { Nobody, Program, Runtime, User };

enum ScaleRequest : WPARAM { SetScaleRequest, SetSizeRequest, AllowResizeRequest, FullscreenRequest };

const LONG SizingStyles = WS_THICKFRAME | WS_MAXIMIZEBOX;
const LONG FrameStyles = WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
const LONG FrameExStyles = WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME | WS_EX_STATICEDGE;

// The console thread's alone.
struct WindowScaleRecord {
    LONG Requested = 0;     // ScreenSetScale's; 0: the monitor's
    LONG MonitorScale = 1;
    bool Fullscreen = false;
    bool Letterboxed = false; // the user gave the window its size: the program's kept, shown at the scale that fits
    SizedBy Sizing = SizedBy::Nobody; // who moves the window now, between WM_WINDOWPOSCHANGING and its WM_SIZE
    int SystemSizing = 0;   // inside WM_SYSCOMMAND (a drag, maximise, restore): the user's
    bool Special = false;   // maximised or minimised at the last size: the way back is the system's too
    // What full screen puts back.
    RECT Restore{};
    LONG RestoreStyle = 0;
    LONG RestoreExStyle = 0;
    bool RestoreLetterboxed = false;
};

WindowScaleRecord Scale;

using DpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

// A function of user32 newer than Windows 7, or null.
template <typename Function>
Function User32Function(const char* name)
{
    FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

// Windows 10 1607 and later; before them the system's one scale.
UINT WindowDpi(HWND window)
{
    static const auto dpiForWindow = User32Function<DpiForWindowFunction>("GetDpiForWindow");
    if (dpiForWindow)
        if (UINT dpi = dpiForWindow(window))
            return dpi;
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// 1 at 100 % and 125 %, 2 from 150 % to 249 %, 3 from 250 %...
LONG ScaleForDpi(UINT dpi)
{
    LONG scale = static_cast<LONG>((dpi + 48) / 96);
    return scale < 1 ? 1 : scale;
}

// What the frame adds to a client area, at that dpi.
SIZE FrameSize(LONG style, LONG exStyle, UINT dpi)
{
    static const auto adjustForDpi = User32Function<AdjustForDpiFunction>("AdjustWindowRectExForDpi");
    RECT frame{0, 0, 0, 0};
    if (adjustForDpi)
        adjustForDpi(&frame, static_cast<DWORD>(style), FALSE, static_cast<DWORD>(exStyle), dpi);
    else
        AdjustWindowRectEx(&frame, static_cast<DWORD>(style), FALSE, static_cast<DWORD>(exStyle));
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

SIZE WindowFrameSize(HWND window, UINT dpi)
{
    return FrameSize(GetWindowLongW(window, GWL_STYLE), GetWindowLongW(window, GWL_EXSTYLE), dpi);
}

LONG TargetScale()
{
    return Scale.Requested ? Scale.Requested : Scale.MonitorScale;
}

LONG FitScale(SIZE client, SIZE logical)
{
    if (logical.cx <= 0 || logical.cy <= 0)
        return 1;
    LONG across = client.cx / logical.cx, down = client.cy / logical.cy;
    LONG fit = across < down ? across : down;
    return fit < 1 ? 1 : fit;
}

RECT MonitorArea(HWND window, bool workArea)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
    return workArea ? info.rcWork : info.rcMonitor;
}

// The program's size in its pixels, within the back buffer.
SIZE ClampedLogical(LONG width, LONG height)
{
    const SIZE most = BackBufferSize();
    width = width < 1 ? 1 : (most.cx > 0 && width > most.cx ? most.cx : width);
    height = height < 1 ? 1 : (most.cy > 0 && height > most.cy ? most.cy : height);
    return SIZE{width, height};
}

// The largest scale at which the program's screen and the frame fit the monitor's work area.
LONG LargestScale(HWND window)
{
    const RECT work = MonitorArea(window, true);
    const SIZE frame = WindowFrameSize(window, WindowDpi(window));
    const SIZE room{work.right - work.left - frame.cx, work.bottom - work.top - frame.cy};
    const SIZE logical = CurrentScreenPlacement().Logical;
    if (logical.cx <= 0 || logical.cy <= 0)
        return 1;
    LONG across = room.cx / logical.cx, down = room.cy / logical.cy;
    LONG largest = across < down ? across : down;
    return largest < 1 ? 1 : largest;
}

// The line's caret and the input method's windows follow the new placement.
void PlaceCaretAgain(HWND window)
{
    if (LineRunning() && GetFocus() == window)
        CaretShow(window);
}

// A size the runtime gives the window itself: taken as it is.
void RuntimeSize(HWND window, HWND after, LONG x, LONG y, LONG width, LONG height, UINT flags)
{
    SizedBy before = Scale.Sizing;
    Scale.Sizing = SizedBy::Runtime;
    SetWindowPos(window, after, x, y, width, height, flags | SWP_NOACTIVATE);
    Scale.Sizing = before;
}

void RestoreFromMaximised(HWND window)
{
    if (!IsZoomed(window))
        return;
    SizedBy before = Scale.Sizing;
    Scale.Sizing = SizedBy::Runtime;
    ShowWindow(window, SW_RESTORE);
    Scale.Sizing = before;
}

// The window made just large enough for the program's screen at the target
// scale (its top-left corner kept, or at x, y).
void SizeForTarget(HWND window, const POINT* at, UINT extraFlags = 0)
{
    const SIZE logical = CurrentScreenPlacement().Logical;
    const LONG scale = TargetScale();
    const SIZE frame = WindowFrameSize(window, WindowDpi(window));
    UINT flags = SWP_NOZORDER | extraFlags | (at ? 0 : SWP_NOMOVE);
    RuntimeSize(window, nullptr, at ? at->x : 0, at ? at->y : 0, logical.cx * scale + frame.cx,
                logical.cy * scale + frame.cy, flags);
}

// The placement for the client area as it is now.
void FollowClient(HWND window)
{
    ScreenPlacement placement = CurrentScreenPlacement();
    RECT client{};
    GetClientRect(window, &client);
    Scale.Special = IsZoomed(window) || IsIconic(window);
    if (IsIconic(window) || client.right <= 0 || client.bottom <= 0) {
        placement.Client = SIZE{0, 0}; // the program's size and scale wait for the window to come back
        SetScreenPlacement(placement);
        return;
    }
    placement.Client = SIZE{client.right, client.bottom};
    // A size the user gave (a drag, maximise) other than the screen's at its
    // scale keeps the screen's size; a minimised window restored does not.
    if (Scale.Sizing == SizedBy::User && !Scale.Fullscreen)
        Scale.Letterboxed = client.right != placement.Logical.cx * TargetScale() ||
                            client.bottom != placement.Logical.cy * TargetScale();
    if (Scale.Sizing == SizedBy::Program)
        Scale.Letterboxed = false;
    const bool keepLogical = Scale.Fullscreen || Scale.Letterboxed || Scale.Sizing == SizedBy::Runtime;
    if (keepLogical) {
        LONG fit = FitScale(placement.Client, placement.Logical);
        placement.Scale = Scale.Fullscreen || Scale.Letterboxed || fit < TargetScale() ? fit : TargetScale();
    } else { // the program's own size, or a frame it changed: the client area is its screen at the target scale
        placement.Scale = TargetScale();
        placement.Logical = ClampedLogical(client.right / placement.Scale, client.bottom / placement.Scale);
    }
    const LONG shownWidth = placement.Logical.cx * placement.Scale, shownHeight = placement.Logical.cy * placement.Scale;
    placement.Offset = POINT{shownWidth < client.right ? (client.right - shownWidth) / 2 : 0,
                             shownHeight < client.bottom ? (client.bottom - shownHeight) / 2 : 0};
    SetScreenPlacement(placement);
    InvalidateRect(window, nullptr, FALSE);
    PlaceCaretAgain(window);
}

// A size asked for by a program (SetWindowPos, MoveWindow from any thread):
// its outer size less the frame is its screen in its own pixels, shown at
// the target scale, so the window grows by that scale.
void ScaleProgramSize(HWND window, WINDOWPOS* position)
{
    const UINT dpi = WindowDpi(window);
    const SIZE frame = WindowFrameSize(window, dpi);
    const SIZE logical = ClampedLogical(position->cx - frame.cx, position->cy - frame.cy);
    if (Scale.Fullscreen) { // kept for the way back; full screen stays
        ScreenPlacement placement = CurrentScreenPlacement();
        placement.Logical = logical;
        SetScreenPlacement(placement);
        position->flags |= SWP_NOSIZE | SWP_NOMOVE;
        return;
    }
    const LONG scale = TargetScale();
    position->cx = logical.cx * scale + frame.cx;
    position->cy = logical.cy * scale + frame.cy;
}

void OnPositionChanging(HWND window, WINDOWPOS* position)
{
    if (position->flags & SWP_NOSIZE)
        return;
    if (Scale.Sizing == SizedBy::Runtime)
        return;
    // Maximised, minimised and back (ShowWindow from any thread too): the system's sizes.
    if (Scale.SystemSizing > 0 || Scale.Special || IsZoomed(window) || IsIconic(window)) {
        Scale.Sizing = SizedBy::User;
        return;
    }
    Scale.Sizing = SizedBy::Program;
    ScaleProgramSize(window, position);
}

LRESULT OnMinMaxInfo(HWND window, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = DefWindowProcW(window, WM_GETMINMAXINFO, wParam, lParam);
    // Never below one window pixel a program pixel, for the user's sizes: a
    // size the program or the runtime gives is the screen's own, and the
    // default handling of the move would clamp it to these limits.
    const bool ownSize = Scale.Sizing == SizedBy::Program || Scale.Sizing == SizedBy::Runtime;
    if (ownSize || Scale.Fullscreen || !(GetWindowLongW(window, GWL_STYLE) & WS_THICKFRAME))
        return result;
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    const SIZE logical = CurrentScreenPlacement().Logical;
    const SIZE frame = WindowFrameSize(window, WindowDpi(window));
    if (info->ptMinTrackSize.x < logical.cx + frame.cx)
        info->ptMinTrackSize.x = logical.cx + frame.cx;
    if (info->ptMinTrackSize.y < logical.cy + frame.cy)
        info->ptMinTrackSize.y = logical.cy + frame.cy;
    return result;
}

void OnDpiChanged(HWND window, WPARAM wParam, LPARAM lParam)
{
    Scale.MonitorScale = ScaleForDpi(LOWORD(wParam));
    const RECT suggested = *reinterpret_cast<const RECT*>(lParam);
    if (Scale.Fullscreen) {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        GetMonitorInfoW(MonitorFromRect(&suggested, MONITOR_DEFAULTTONEAREST), &info);
        const RECT& m = info.rcMonitor;
        RuntimeSize(window, nullptr, m.left, m.top, m.right - m.left, m.bottom - m.top, SWP_NOZORDER);
    } else if (Scale.Letterboxed) {
        RuntimeSize(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                    suggested.bottom - suggested.top, SWP_NOZORDER);
    } else {
        const POINT at{suggested.left, suggested.top};
        SizeForTarget(window, &at);
    }
    FollowClient(window); // the same size at another scale sends no WM_SIZE
}

// Per monitor v2: the size the window will have at the new dpi, asked before
// WM_DPICHANGED suggests it (so the suggestion is ours).
bool OnDpiScaledSize(HWND window, WPARAM wParam, LPARAM lParam)
{
    if (Scale.Fullscreen || Scale.Letterboxed)
        return false;
    const UINT dpi = LOWORD(wParam);
    const LONG scale = Scale.Requested ? Scale.Requested : ScaleForDpi(dpi);
    const SIZE logical = CurrentScreenPlacement().Logical;
    const SIZE frame = WindowFrameSize(window, dpi);
    auto* size = reinterpret_cast<SIZE*>(lParam);
    *size = SIZE{logical.cx * scale + frame.cx, logical.cy * scale + frame.cy};
    return true;
}

int SetScale(HWND window, LONG scale)
{
    if (scale < 0 || scale > LargestScale(window))
        return 0;
    Scale.Requested = scale;
    if (Scale.Fullscreen)
        return 1; // shown when full screen ends
    Scale.Letterboxed = false;
    RestoreFromMaximised(window);
    SizeForTarget(window, nullptr);
    FollowClient(window);
    return 1;
}

// The program's screen in its pixels; the window fits it at the target scale.
int SetSize(HWND window, LONG width, LONG height)
{
    const SIZE most = BackBufferSize();
    if (width < 1 || height < 1 || width > most.cx || height > most.cy)
        return 0;
    ScreenPlacement placement = CurrentScreenPlacement();
    placement.Logical = SIZE{width, height};
    SetScreenPlacement(placement);
    if (Scale.Fullscreen)
        return 1; // shown at its size when full screen ends
    Scale.Letterboxed = false;
    RestoreFromMaximised(window);
    // Its corner kept, but moved back onto the work area where it fits.
    const RECT work = MonitorArea(window, true);
    const SIZE frame = WindowFrameSize(window, WindowDpi(window));
    RECT now{};
    GetWindowRect(window, &now);
    POINT at{now.left, now.top};
    at.x = std::max(work.left, std::min(at.x, work.right - (width * TargetScale() + frame.cx)));
    at.y = std::max(work.top, std::min(at.y, work.bottom - (height * TargetScale() + frame.cy)));
    SizeForTarget(window, &at);
    FollowClient(window);
    return 1;
}

// Whether the user may size the window is its sizing border, whoever set it.
int AllowResize(HWND window, bool allow)
{
    if (Scale.Fullscreen) {
        Scale.RestoreStyle = allow ? Scale.RestoreStyle | SizingStyles : Scale.RestoreStyle & ~SizingStyles;
        if (!allow)
            Scale.RestoreLetterboxed = false;
        return 1;
    }
    if (!allow)
        RestoreFromMaximised(window);
    LONG style = GetWindowLongW(window, GWL_STYLE);
    SetWindowLongW(window, GWL_STYLE, allow ? style | SizingStyles : style & ~SizingStyles);
    if (!allow)
        Scale.Letterboxed = false;
    if (Scale.Letterboxed) { // the client area stays as the user left it
        RECT client{};
        GetClientRect(window, &client);
        const SIZE frame = WindowFrameSize(window, WindowDpi(window));
        RuntimeSize(window, nullptr, 0, 0, client.right + frame.cx, client.bottom + frame.cy,
                    SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    } else {
        SizeForTarget(window, nullptr, SWP_FRAMECHANGED);
    }
    FollowClient(window);
    return 1;
}

int Fullscreen(HWND window, bool on)
{
    if (on == Scale.Fullscreen)
        return 1;
    if (on) {
        RestoreFromMaximised(window);
        GetWindowRect(window, &Scale.Restore);
        Scale.RestoreStyle = GetWindowLongW(window, GWL_STYLE);
        Scale.RestoreExStyle = GetWindowLongW(window, GWL_EXSTYLE);
        Scale.RestoreLetterboxed = Scale.Letterboxed;
        Scale.Fullscreen = true;
        SetWindowLongW(window, GWL_STYLE, (Scale.RestoreStyle & ~FrameStyles) | WS_POPUP);
        SetWindowLongW(window, GWL_EXSTYLE, Scale.RestoreExStyle & ~FrameExStyles);
        const RECT m = MonitorArea(window, false);
        RuntimeSize(window, HWND_TOP, m.left, m.top, m.right - m.left, m.bottom - m.top, SWP_FRAMECHANGED);
    } else {
        Scale.Fullscreen = false;
        Scale.Letterboxed = Scale.RestoreLetterboxed;
        SetWindowLongW(window, GWL_STYLE, Scale.RestoreStyle);
        SetWindowLongW(window, GWL_EXSTYLE, Scale.RestoreExStyle);
        const RECT& r = Scale.Restore;
        if (Scale.Letterboxed) {
            RuntimeSize(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                        SWP_NOZORDER | SWP_FRAMECHANGED);
        } else { // the size for the program's screen as it is now (its size or the dpi may have changed)
            const POINT at{r.left, r.top};
            SizeForTarget(window, &at, SWP_FRAMECHANGED);
        }
    }
    FollowClient(window);
    return 1;
}

bool IsAltEnter(WPARAM wParam, LPARAM lParam)
{
    const LPARAM altDown = LPARAM(1) << 29, repeated = LPARAM(1) << 30;
    return wParam == VK_RETURN && (lParam & altDown) && !(lParam & repeated);
}

LRESULT OnScaleRequest(HWND window, WPARAM request, LPARAM value)
{
    switch (request) {
    case SetScaleRequest: return SetScale(window, static_cast<LONG>(value));
    case SetSizeRequest: return SetSize(window, LOWORD(value), HIWORD(value));
    case AllowResizeRequest: return AllowResize(window, value != 0);
    case FullscreenRequest: return Fullscreen(window, value != 0);
    default: return 0;
    }
}

LRESULT AskConsole(ScaleRequest request, LPARAM value)
{
    HWND window = Console.Window;
    if (!window)
        return 0;
    DWORD_PTR result = 0;
    // A console thread that no longer answers (the process ending) fails the call.
    if (!SendMessageTimeoutW(window, ConsoleScaleMessage, request, value, SMTO_NORMAL, 10000, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

} // namespace

void WindowScaleStart(HWND window)
{
    Scale.MonitorScale = ScaleForDpi(WindowDpi(window));
    ScreenPlacement placement{};
    RECT client{};
    GetClientRect(window, &client);
    placement.Scale = TargetScale();
    placement.Logical = ClampedLogical(client.right / placement.Scale, client.bottom / placement.Scale);
    placement.Client = SIZE{client.right, client.bottom};
    SetScreenPlacement(placement);
}

bool WindowScaleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_WINDOWPOSCHANGING:
        OnPositionChanging(window, reinterpret_cast<WINDOWPOS*>(lParam));
        return false; // the default clamps the size to the tracking limits
    case WM_WINDOWPOSCHANGED:
        *result = DefWindowProcW(window, message, wParam, lParam); // sends WM_SIZE
        Scale.Sizing = SizedBy::Nobody;
        return true;
    case WM_SIZE: FollowClient(window); *result = 0; return true;
    case WM_GETMINMAXINFO: *result = OnMinMaxInfo(window, wParam, lParam); return true;
    case WM_SYSCOMMAND: // a drag, maximise or restore by the user runs inside it
        ++Scale.SystemSizing;
        *result = DefWindowProcW(window, message, wParam, lParam);
        --Scale.SystemSizing;
        return true;
    case WM_DPICHANGED: OnDpiChanged(window, wParam, lParam); *result = 0; return true;
    case WM_GETDPISCALEDSIZE: *result = OnDpiScaledSize(window, wParam, lParam); return true;
    case WM_SYSKEYDOWN:
        if (!IsAltEnter(wParam, lParam))
            return false;
        Fullscreen(window, !Scale.Fullscreen);
        *result = 0;
        return true;
    case WM_SYSCHAR: // Alt+Enter's character: no menu to beep about
        if (wParam != '\r')
            return false;
        *result = 0;
        return true;
    case ConsoleScaleMessage: *result = OnScaleRequest(window, wParam, lParam); return true;
    default: return false;
    }
}

int ScreenSetScale(LONG scale)
{
    return static_cast<int>(AskConsole(SetScaleRequest, scale));
}

int ScreenSetSize(LONG width, LONG height)
{
    if (width < 1 || height < 1 || width > 0xFFFF || height > 0xFFFF)
        return 0;
    return static_cast<int>(AskConsole(SetSizeRequest, MAKELPARAM(width, height)));
}

LONG ScreenScale()
{
    return Console.Window ? CurrentScreenPlacement().Scale : 0;
}

int ScreenAllowResize(bool allow)
{
    return static_cast<int>(AskConsole(AllowResizeRequest, allow ? 1 : 0));
}

int ScreenFullscreen(bool on)
{
    return static_cast<int>(AskConsole(FullscreenRequest, on ? 1 : 0));
}
