#include <prompt/screen.h>

#include <atomic>

#include "screen/frame.h"
#include "screen/row_layer.h"
#include "screen/screen_scale.h"
#include "screen/screen_testing.h"
#include "text/line_input.h"
#include "text/text_font.h"

namespace {

struct HeldFrame {
    std::atomic<bool> Held;  // under the text store's lock and the back buffer's
    OffscreenImage Shown;    // the last frame shown; made at the first need, kept for the process
    std::atomic<LONG> ScrollsOnWindow; // written by the console thread; read by tests
    std::atomic<bool> WindowAsComposed; // the window shows the last compose one to one, and
                                        // nothing was drawn on it since but rows
};

HeldFrame Frame;

// With the back buffer's lock held. False once the window has closed too:
// a frame composed then would read the back buffer's freed pixels.
bool MakeShownImage()
{
    if (!BackBufferDc())
        return false; // no console yet, or its window closed
    if (Frame.Shown.Dc)
        return true;
    const SIZE screen = BackBufferSize();
    return MakeOffscreenImage(BackBufferDc(), screen.cx, screen.cy, &Frame.Shown);
}

// The frame the window shows when not held, onto a device context of the
// window; with both locks held, the rows scrolled into view. wholeWindow:
// the device context reaches all of the client area (a paint's may not).
void PaintComposedLocked(HDC dc, const RECT& client, bool wholeWindow)
{
    const ScreenPlacement placement = CurrentScreenPlacement();
    PaintBorders(dc, placement);
    if (const OffscreenImage* shown = ShownFrameLocked(client)) {
        PresentArea(dc, shown->Dc, client, placement);
        Frame.WindowAsComposed = wholeWindow && !PlacementStretches(placement);
        return;
    }
    Frame.WindowAsComposed = false;
    // No image to compose into: the platform draws the rows itself (onto the
    // window only where it is not stretched; else the graphics alone).
    PresentArea(dc, BackBufferDc(), client, placement);
    if (!PlacementStretches(placement))
        DrawRowsOverLocked(dc, -1, 0, client.right, client.bottom);
}

// After a scroll over a back buffer of one colour, drawn on since by
// nothing but rows: the window's own pixels move up with the rows (the
// copy a repaint would make anyway), and only the rows that came into view
// or changed are drawn. False where a compose must show the scroll.
bool ScrollRowsOnWindow(HDC dc, const PendingRows& rows, const RECT& client)
{
    const LONG lineHeight = ConsoleMetrics().LineHeight;
    const LONG rowsBottom = client.bottom < TextRowCount * lineHeight ? client.bottom : TextRowCount * lineHeight;
    const LONG shift = rows.Scrolled * lineHeight;
    if (!Frame.WindowAsComposed || rows.Cleared || rows.Scrolled <= 0 || shift >= rowsBottom ||
        !BackBufferStillAndPlainLocked(client.right, rowsBottom))
        return false;
    // Drawn afterwards: the rows that came into view (the one the bottom
    // edge cut before among them), and those that changed above them.
    const LONG cameInto = (rowsBottom - shift) / lineHeight, lastShown = (rowsBottom - 1) / lineHeight;
    const HWND window = BackBufferWindow();
    // Only a line's caret is ours, and asking for one costs a call to the system.
    const bool caretHidden = LineRunning() && HideCaret(window); // else its inverted pixels would move too
    const RECT kept{0, shift, client.right, cameInto * lineHeight + shift};
    RECT uncovered{};
    ScrollDC(dc, 0, -shift, &kept, nullptr, nullptr, &uncovered);
    // What the copy could not take (a window over this one, without a
    // compositor) is painted again later; the rows below are drawn now.
    const RECT drawn{0, cameInto * lineHeight, client.right, rowsBottom};
    RECT extra;
    if (SubtractRect(&extra, &uncovered, &drawn) && !IsRectEmpty(&extra))
        InvalidateRect(window, &extra, FALSE);
    // One call from the first changed row down: each platform call on the
    // window costs more than the pixels it draws, and the pending rows reach
    // the cursor's, at the bottom.
    const LONG first = rows.First <= rows.Last && rows.First < cameInto ? rows.First : cameInto;
    DrawRowsOverLocked(dc, first, lastShown, client.right, client.bottom);
    if (caretHidden)
        ShowCaret(window);
    Frame.ScrollsOnWindow += 1;
    return true;
}

enum class HoldChange { Keep, Hold, Release };

// Composes the frame into the shown image and puts it on the window; the
// rows that waited are now shown.
void ShowFrame(HoldChange change)
{
    TextStoreHold text;
    BackBufferHold hold;
    if (!MakeShownImage())
        return; // no console yet
    RECT client = ClientArea();
    TextScrollIntoViewLocked(client.bottom); // as a repaint does first
    RECT written{};
    ComposeFrameLocked(&Frame.Shown, client.right, client.bottom, &written);
    if (change == HoldChange::Hold) { // from now on repaints show this frame: beyond the client area too
        const SIZE screen = BackBufferSize();
        BitBlt(Frame.Shown.Dc, client.right, 0, screen.cx, screen.cy, BackBufferDc(), client.right, 0, SRCCOPY);
        BitBlt(Frame.Shown.Dc, 0, client.bottom, client.right, screen.cy, BackBufferDc(), 0, client.bottom, SRCCOPY);
    }
    TextTakePendingLocked();
    {
        // Stretched, the window already shows the rest of this image.
        const ScreenPlacement placement = CurrentScreenPlacement();
        WindowDc window(BackBufferWindow());
        PresentArea(window.Dc, Frame.Shown.Dc, PlacementStretches(placement) ? written : client, placement);
        Frame.WindowAsComposed = !PlacementStretches(placement);
    }
    if (change != HoldChange::Keep)
        Frame.Held = change == HoldChange::Hold;
}

} // namespace

LONG ScrollsOnWindow()
{
    return Frame.ScrollsOnWindow;
}

void FrameWindowDrawnApart()
{
    Frame.WindowAsComposed = false;
}

bool FrameHeld()
{
    return Frame.Held;
}

const OffscreenImage* ShownFrameLocked(const RECT& client, RECT* written)
{
    if (written)
        SetRectEmpty(written);
    if (!MakeShownImage())
        return nullptr;
    if (!Frame.Held)
        ComposeFrameLocked(&Frame.Shown, client.right, client.bottom, written);
    return &Frame.Shown;
}

void FramePaint(HDC dc)
{
    TextStoreHold text;
    BackBufferHold hold;
    RECT client = ClientArea();
    if (Frame.Held && MakeShownImage()) {
        const ScreenPlacement placement = CurrentScreenPlacement();
        if (PlacementStretches(placement)) {
            Frame.WindowAsComposed = false;
            PaintBorders(dc, placement);
            PresentArea(dc, Frame.Shown.Dc, client, placement);
            return;
        }
        const SIZE screen = BackBufferSize();
        BitBlt(dc, 0, 0, screen.cx, screen.cy, Frame.Shown.Dc, 0, 0, SRCCOPY);
        return;
    }
    TextScrollIntoViewLocked(client.bottom);
    RECT reach{};
    const bool wholeWindow = GetClipBox(dc, &reach) == SIMPLEREGION && reach.left <= 0 && reach.top <= 0 &&
                             reach.right >= client.right && reach.bottom >= client.bottom;
    PaintComposedLocked(dc, client, wholeWindow);
    if (wholeWindow)
        TextTakePendingLocked(); // all shown: a scroll waiting to be drawn is drawn
}

bool FrameDrawPendingRows()
{
    TextStoreHold text;
    if (Frame.Held)
        return false; // ScreenShow draws them
    RECT client = ClientArea();
    TextScrollIntoViewLocked(client.bottom);
    PendingRows rows = TextTakePendingLocked();
    if (!rows.Any)
        return false;
    BackBufferHold hold;
    WindowDc window(BackBufferWindow());
    const ScreenPlacement placement = CurrentScreenPlacement();
    if (PlacementStretches(placement)) { // the rows reach the window in the composed frame
        Frame.WindowAsComposed = false;
        RECT written{};
        if (const OffscreenImage* shown = ShownFrameLocked(client, &written))
            PresentArea(window.Dc, shown->Dc, written, placement);
        return true;
    }
    if (rows.All) { // every row: the whole frame composed, as a repaint, unless the rows only moved
        if (!ScrollRowsOnWindow(window.Dc, rows, client))
            PaintComposedLocked(window.Dc, client, true);
    } else {
        DrawRowsOverLocked(window.Dc, rows.First, rows.Last, client.right, client.bottom);
    }
    return true;
}

void FramePresentChanges()
{
    TextStoreHold text;
    if (Frame.Held)
        return;
    BackBufferHold hold;
    const ScreenPlacement placement = CurrentScreenPlacement();
    if (!PlacementStretches(placement))
        return;
    Frame.WindowAsComposed = false;
    RECT written{};
    if (const OffscreenImage* shown = ShownFrameLocked(ClientArea(), &written)) {
        WindowDc window(BackBufferWindow());
        PresentArea(window.Dc, shown->Dc, written, placement);
    }
}

void ScreenHold()
{
    if (!Frame.Held)
        ShowFrame(HoldChange::Hold);
}

void ScreenShow()
{
    ShowFrame(HoldChange::Keep);
}

void ScreenRelease()
{
    ShowFrame(HoldChange::Release);
}

void RenderRows(HDC dc, LONG first, LONG last)
{
    TextStoreHold text;
    RECT client = ClientArea();
    if (TextScrollIntoViewLocked(client.bottom))
        first = -1;
    BackBufferHold hold;
    if (first == -1) // every row: one block copy for the whole client, not one per row
        BitBlt(dc, 0, 0, client.right, client.bottom, BackBufferDc(), 0, 0, SRCCOPY);
    DrawRowsOverLocked(dc, first, last, client.right, client.bottom);
}
