#pragma once
// Counts the GDI objects a stretch of code leaves behind.
//
// Windows answers GetGuiResources. Wine answers 0 there, so the count is
// taken the hard way: make GDI objects until the process may have no more,
// count them, and free them again (about 65,000, a tenth of a second). Fewer
// afterwards means objects were kept. Other threads of the process should
// stay away from GDI while a count runs.
struct GdiSnapshot {
    long Count = 0;
    bool FromPlatform = false;
};

GdiSnapshot TakeGdiSnapshot();
int GdiObjectsAddedSince(const GdiSnapshot& before);
