#include "screen/draw_door.h"

#include <prompt/screen.h>

#include <vector>

#include "screen/back_buffer.h"
#include "screen/frame.h"
#include "screen/screen_scale.h"

namespace {

// Where draws go: the screen, or a picture's 32-bit bitmap selected into a
// device context of the door's.
struct DrawTarget {
    HBITMAP Bitmap;    // null: the screen
    HDC Dc;
    PixelImage Pixels;
};

// A white-on-black image of what a draw in one colour covers.
struct Scratch {
    OffscreenImage Image;
    LONG Width;
    LONG Height;
};

// Everything under the back buffer's lock, from any program thread.
struct DoorState {
    bool FillBrush;      // the back buffer has the DC brush selected, else the default one
    COLORREF FillColour; // the DC brush's colour; CLR_INVALID: not known
    PixelBlend Mode;     // ScreenSetBlend's
    BYTE Opacity;
    bool Normal;         // BlendNormal or BlendAlpha at 255: no blend
    DrawTarget Target;
    Scratch Coverage;
    std::vector<DWORD> FullCoverage; // a row of full coverage, for fills
};

DoorState Door{false, CLR_INVALID, PixelBlend::Over, 255, true, {}, {}, {}};

// Whether a draw that is not held goes onto the window as it goes into the
// back buffer: only where the window shows the program's pixels one to one.
bool WindowDrawnDirectly()
{
    return !PlacementStretches(CurrentScreenPlacement());
}

// Declared before the back buffer's hold, so that it acts after the hold is
// let go: a draw on a stretched window is put there through the composed
// frame, which takes the text store's lock first.
struct PresentAfter : NotCopied {
    bool Wanted = false;
    ~PresentAfter()
    {
        if (Wanted)
            FramePresentChanges();
    }
};

// A new device context's brush, for a draw whose raster operation uses it.
void PutDefaultBrush(HDC back)
{
    if (Door.FillBrush) {
        SelectObject(back, GetStockObject(WHITE_BRUSH));
        Door.FillBrush = false;
    }
}

bool Plain()
{
    return !Door.Target.Bitmap && Door.Normal;
}

BlendSetting Setting(BYTE opacity)
{
    const DWORD times = (static_cast<DWORD>(Door.Opacity) * opacity + 127) / 255;
    return BlendSetting{Door.Mode, static_cast<BYTE>(times), Door.Target.Bitmap != nullptr};
}

PixelImage TargetPixels()
{
    if (Door.Target.Bitmap)
        return Door.Target.Pixels;
    const OffscreenImage& back = BackBufferImage();
    const SIZE size = BackBufferSize();
    return PixelImage{reinterpret_cast<uint32_t*>(back.Pixels), size.cx, size.cy, size.cx};
}

// What the runtime's loop changed reaches the screen: the next frame composes
// it again (GDI does not see these pixels change), and the window shows it
// unless held.
void Touched(const PixelRect& touched, PresentAfter* present)
{
    if (Door.Target.Bitmap || touched.Left >= touched.Right || touched.Top >= touched.Bottom)
        return;
    const RECT area{touched.Left, touched.Top, touched.Right, touched.Bottom};
    HDC back = BackBufferDc();
    BackBufferTouched(area);
    FrameWindowDrawnApart();
    if (!FrameHeld() && !WindowDrawnDirectly()) {
        present->Wanted = true;
    } else if (!FrameHeld()) {
        WindowDc window(BackBufferWindow());
        BitBlt(window.Dc, area.left, area.top, area.right - area.left, area.bottom - area.top, back, area.left,
               area.top, SRCCOPY);
    }
}

PixelRect Clipped(const RECT& reach, const PixelImage& target)
{
    PixelRect r{reach.left < 0 ? 0 : reach.left, reach.top < 0 ? 0 : reach.top,
                reach.right > target.Width ? target.Width : reach.right,
                reach.bottom > target.Height ? target.Height : reach.bottom};
    if (r.Left >= r.Right || r.Top >= r.Bottom)
        r = PixelRect{0, 0, 0, 0};
    return r;
}

bool CoverageOfSize(LONG width, LONG height)
{
    Scratch& scratch = Door.Coverage;
    if (scratch.Image.Dc && scratch.Width >= width && scratch.Height >= height)
        return true;
    FreeOffscreenImage(&scratch.Image);
    scratch.Width = width > scratch.Width ? width : scratch.Width;
    scratch.Height = height > scratch.Height ? height : scratch.Height;
    return MakeOffscreenImage(BackBufferDc(), scratch.Width, scratch.Height, &scratch.Image);
}

void FillOn(HDC dc, HDC back, LONG x, LONG y, LONG width, LONG height, COLORREF color)
{
    if (dc != back) {
        Selection brush(dc, GetStockObject(DC_BRUSH));
        SetDCBrushColor(dc, color);
        PatBlt(dc, x, y, width, height, PATCOPY);
        return;
    }
    if (!Door.FillBrush) {
        SelectObject(back, GetStockObject(DC_BRUSH));
        Door.FillBrush = true;
        Door.FillColour = CLR_INVALID;
    }
    if (Door.FillColour != color) {
        SetDCBrushColor(back, color);
        Door.FillColour = color;
    }
    PatBlt(back, x, y, width, height, PATCOPY);
}

// Makes every pixel of the area opaque: a platform draw into a picture leaves
// the alpha of what it drew at 0.
void MakeOpaque(const PixelImage& target, const PixelRect& area)
{
    GdiFlush();
    for (int32_t y = area.Top; y < area.Bottom; ++y)
        for (int32_t x = area.Left; x < area.Right; ++x)
            target.Pixels[size_t(y) * target.Stride + x] |= 0xFF000000u;
}

} // namespace

int ScreenDrawThrough(DrawStep step, void* context, const RECT* reach)
{
    PresentAfter present;
    BackBufferHold hold;
    HDC back = BackBufferDc();
    if (!back)
        return 0; // no console yet, or its window closed
    if (Door.Target.Bitmap) {
        int result = step(Door.Target.Dc, context);
        if (reach)
            MakeOpaque(Door.Target.Pixels, Clipped(*reach, Door.Target.Pixels));
        return result;
    }
    PutDefaultBrush(back);
    FrameWindowDrawnApart();
    int result = 0;
    const bool direct = !FrameHeld() && WindowDrawnDirectly();
    if (direct) {
        WindowDc window(BackBufferWindow());
        result = step(window.Dc, context);
    }
    int intoBack = step(back, context);
    if (reach)
        SetBoundsRect(back, reach, DCB_ACCUMULATE);
    present.Wanted = !FrameHeld() && !direct;
    return direct ? result : intoBack;
}

int ScreenDrawInColourThrough(ColourStep step, void* context, COLORREF colour, const RECT& reach)
{
    {
        PresentAfter present;
        BackBufferHold hold;
        if (!BackBufferDc())
            return 0;
        if (!Plain()) {
            const PixelImage target = TargetPixels();
            const PixelRect area = Clipped(reach, target);
            const LONG width = area.Right - area.Left, height = area.Bottom - area.Top;
            if (width <= 0 || !CoverageOfSize(width, height))
                return 0;
            HDC dc = Door.Coverage.Image.Dc;
            PatBlt(dc, 0, 0, width, height, BLACKNESS);
            POINT origin;
            SetViewportOrgEx(dc, -area.Left, -area.Top, &origin);
            int result = step(dc, RGB(255, 255, 255), context);
            SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
            GdiFlush();
            const BlendSetting setting = Setting(255);
            for (LONG y = 0; y < height; ++y)
                BlendColourSpan(target.Pixels + size_t(area.Top + y) * target.Stride + area.Left,
                                reinterpret_cast<const uint32_t*>(Door.Coverage.Image.Pixels) +
                                    size_t(y) * Door.Coverage.Width,
                                width, colour, setting);
            Touched(area, &present);
            return result;
        }
    }
    auto plain = [&](HDC dc) { return step(dc, colour, context); };
    return ScreenDraw(plain, &reach);
}

void ScreenFill(LONG x, LONG y, LONG width, LONG height, COLORREF color)
{
    PresentAfter present;
    BackBufferHold hold;
    HDC back = BackBufferDc();
    if (!back)
        return;
    if (!Plain()) {
        const PixelImage target = TargetPixels();
        const PixelRect area = Clipped(RECT{x, y, x + width, y + height}, target);
        const LONG columns = area.Right - area.Left;
        if (columns <= 0)
            return;
        if (Door.FullCoverage.size() < static_cast<size_t>(columns))
            Door.FullCoverage.assign(columns, 0xFFFFFF);
        const BlendSetting setting = Setting(255);
        for (int32_t row = area.Top; row < area.Bottom; ++row)
            BlendColourSpan(target.Pixels + size_t(row) * target.Stride + area.Left,
                            reinterpret_cast<const uint32_t*>(Door.FullCoverage.data()), columns, color, setting);
        Touched(area, &present);
        return;
    }
    FrameWindowDrawnApart();
    if (!FrameHeld() && WindowDrawnDirectly()) {
        WindowDc window(BackBufferWindow());
        FillOn(window.Dc, back, x, y, width, height, color);
    }
    FillOn(back, back, x, y, width, height, color);
    present.Wanted = !FrameHeld() && !WindowDrawnDirectly();
}

int ScreenDrawPixelsThrough(PixelStep step, void* context, BYTE opacity)
{
    PresentAfter present;
    BackBufferHold hold; // this thread's drawing is unbatched from here on: what it drew is in the pixels
    if (!BackBufferDc())
        return 0;
    PixelRect touched{};
    step(TargetPixels(), Setting(opacity), context, &touched);
    Touched(touched, &present);
    return 1;
}

bool ScreenDrawsPlainly()
{
    BackBufferHold hold;
    return Plain();
}

bool ScreenDrawsInto(HBITMAP bitmap)
{
    BackBufferHold hold;
    return bitmap && Door.Target.Bitmap == bitmap;
}

void ScreenForgetTarget(HBITMAP bitmap)
{
    if (ScreenDrawsInto(bitmap)) {
        BackBufferHold hold;
        DeleteDC(Door.Target.Dc);
        Door.Target = DrawTarget{};
    }
}

int ScreenSetBlend(int mode, LONG opacity)
{
    if (mode < BlendNormal || mode > BlendMultiply || opacity < 0 || opacity > 255)
        return 0;
    BackBufferHold hold;
    const PixelBlend modes[] = {PixelBlend::Over, PixelBlend::Over, PixelBlend::Add, PixelBlend::Multiply};
    Door.Mode = modes[mode];
    Door.Opacity = static_cast<BYTE>(opacity);
    Door.Normal = (mode == BlendNormal || mode == BlendAlpha) && opacity == 255;
    return 1;
}

int ScreenDrawToBitmap(HBITMAP bitmap)
{
    BackBufferHold hold;
    if (!bitmap) {
        if (Door.Target.Dc)
            DeleteDC(Door.Target.Dc);
        Door.Target = DrawTarget{};
        return 1;
    }
    DIBSECTION section{};
    if (GetObjectW(bitmap, sizeof section, &section) != sizeof section || section.dsBm.bmBitsPixel != 32 ||
        !section.dsBm.bmBits || !BackBufferDc())
        return 0; // only a 32-bit DIB section (the caller's, made top-down): its pixels are read and written directly
    MemoryDc dc(BackBufferDc());
    if (!dc.Dc || !SelectObject(dc.Dc, bitmap))
        return 0;
    if (Door.Target.Dc)
        DeleteDC(Door.Target.Dc);
    Door.Target = DrawTarget{bitmap, dc.Release(),
                             PixelImage{static_cast<uint32_t*>(section.dsBm.bmBits), section.dsBm.bmWidth,
                                        section.dsBm.bmHeight, section.dsBm.bmWidth}};
    return 1;
}
