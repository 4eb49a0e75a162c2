#include "picture/image_loader.h"
#include "runtime/system_library.h"

#include "runtime/owners.h"

namespace {

const LONG HiMetricPerInch = 2540;

using AtlConversion = void(WINAPI*)(const SIZEL*, SIZEL*);

void ConvertByScreenResolution(const SIZEL* himetric, SIZEL* pixels)
{
    WindowDc screen(nullptr);
    int perInchX = screen.Dc ? GetDeviceCaps(screen.Dc, LOGPIXELSX) : 96;
    int perInchY = screen.Dc ? GetDeviceCaps(screen.Dc, LOGPIXELSY) : 96;
    pixels->cx = MulDiv(himetric->cx, perInchX, HiMetricPerInch);
    pixels->cy = MulDiv(himetric->cy, perInchY, HiMetricPerInch);
}

// ATL.DLL's conversion, if it is there and converts correctly. Why both: the
// loading must use the platform's own conversion, so that a picture has the
// size the platform gives it; but Wine's ATL.DLL divides by 100 instead of
// 2540 (a 40 x 30 JPEG comes out 1015 x 762). So four inches are converted
// once by both, and a different answer sends every conversion to our own,
// which computes what the platform's should.
AtlConversion TrustworthyAtlConversion()
{
    static AtlConversion checked = [] {
        FARPROC found = SystemFunction(L"atl.dll", "AtlHiMetricToPixel");
        auto convert = reinterpret_cast<AtlConversion>(reinterpret_cast<void*>(found));
        if (!convert)
            return AtlConversion(nullptr);
        SIZEL inch{HiMetricPerInch * 4, HiMetricPerInch * 4}, fromAtl{}, expected{};
        convert(&inch, &fromAtl);
        ConvertByScreenResolution(&inch, &expected);
        return fromAtl.cx == expected.cx && fromAtl.cy == expected.cy ? convert : nullptr;
    }();
    return checked;
}

} // namespace

void HiMetricToPixel(const SIZEL* himetric, SIZEL* pixels)
{
    if (AtlConversion convert = TrustworthyAtlConversion())
        convert(himetric, pixels);
    else
        ConvertByScreenResolution(himetric, pixels);
}
