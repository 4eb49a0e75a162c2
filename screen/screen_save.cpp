// The screen as a file: what the window shows, graphics and rows, in the
// program's pixels; PNG when the name ends in .png, else BMP.
#include <prompt/screen.h>

#include <cstring>
#include <vector>

#include "runtime/image_save.h"
#include "screen/frame.h"

int ScreenSave(const char* name)
{
    if (!name)
        return 0;
    std::vector<uint32_t> pixels;
    LONG width = 0, height = 0;
    {
        TextStoreHold text;
        BackBufferHold hold;
        RECT client = ClientArea();
        width = client.right;
        height = client.bottom;
        if (width <= 0 || height <= 0)
            return 0;
        // What the window shows is what a repaint would draw now.
        TextScrollIntoViewLocked(client.bottom);
        const OffscreenImage* shown = ShownFrameLocked(client);
        if (!shown)
            return 0;
        GdiFlush();
        const LONG stride = BackBufferSize().cx;
        pixels.resize(static_cast<size_t>(width) * height);
        for (LONG y = 0; y < height; ++y) // copied out, so that the file is written without the locks
            memcpy(&pixels[static_cast<size_t>(y) * width], shown->Pixels + static_cast<size_t>(y) * stride,
                   width * sizeof(uint32_t));
    }
    return SaveImageFile(name, SavedPixels{pixels.data(), width, height, width, false}) ? 1 : 0;
}
