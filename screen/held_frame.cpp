#include <prompt/screen.h>

#include <atomic>

#include "screen/frame.h"
#include "screen/row_layer.h"
#include "screen/screen_scale.h"

namespace {

struct HeldFrame {
    std::atomic<bool> Held;  // under the text store's lock and the back buffer's
    OffscreenImage Shown;    // the last frame shown; made at the first need, kept for the process
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
// window; with both locks held, the rows scrolled into view.
void PaintComposedLocked(HDC dc, const RECT& client)
{
    const ScreenPlacement placement = CurrentScreenPlacement();
    PaintBorders(dc, placement);
    if (const OffscreenImage* shown = ShownFrameLocked(client)) {
        PresentArea(dc, shown->Dc, client, placement);
        return;
    }
    // No image to compose into: the platform draws the rows itself (onto the
    // window only where it is not stretched; else the graphics alone).
    PresentArea(dc, BackBufferDc(), client, placement);
    if (!PlacementStretches(placement))
        DrawRowsOverLocked(dc, -1, 0, client.right, client.bottom);
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
    }
    if (change != HoldChange::Keep)
        Frame.Held = change == HoldChange::Hold;
}

} // namespace

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
            PaintBorders(dc, placement);
            PresentArea(dc, Frame.Shown.Dc, client, placement);
            return;
        }
        const SIZE screen = BackBufferSize();
        BitBlt(dc, 0, 0, screen.cx, screen.cy, Frame.Shown.Dc, 0, 0, SRCCOPY);
        return;
    }
    TextScrollIntoViewLocked(client.bottom);
    PaintComposedLocked(dc, client);
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
        RECT written{};
        if (const OffscreenImage* shown = ShownFrameLocked(client, &written))
            PresentArea(window.Dc, shown->Dc, written, placement);
        return true;
    }
    if (rows.All) // every row: the whole frame composed, as a repaint
        PaintComposedLocked(window.Dc, client);
    else
        DrawRowsOverLocked(window.Dc, rows.First, rows.Last, client.right, client.bottom);
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
