#include "support/gdi_count.h"

#include <windows.h>

#include <vector>

namespace {

long ObjectsStillAvailable()
{
    std::vector<HBRUSH> probes;
    probes.reserve(70000);
    while (HBRUSH probe = CreateSolidBrush(RGB(1, 2, 3)))
        probes.push_back(probe);
    for (auto it = probes.rbegin(); it != probes.rend(); ++it)
        DeleteObject(*it);
    return static_cast<long>(probes.size());
}

} // namespace

GdiSnapshot TakeGdiSnapshot()
{
    GdiSnapshot snapshot;
    long fromPlatform = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    snapshot.FromPlatform = fromPlatform != 0;
    snapshot.Count = snapshot.FromPlatform ? fromPlatform : ObjectsStillAvailable();
    return snapshot;
}

int GdiObjectsAddedSince(const GdiSnapshot& before)
{
    if (before.FromPlatform)
        return static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) - before.Count);
    return static_cast<int>(before.Count - ObjectsStillAvailable());
}
