#include "program.h"

#include <prompt/mouse.h>
#include <prompt/sound.h>

BYTE SpaceLatch;

namespace {

const LONG TopBound = -30;   // the sprite may rise 30 pixels above the client area
const LONG BottomBound = 400;
const LONG LeftBound = 0;
const LONG RightBound = 600;
const LONG Step = 2;

void Move(SHORT* position, int key, bool allowed, LONG delta)
{
    if (KeyDown(key) != 0 && allowed)
        *position = static_cast<SHORT>(*position + delta);
}

} // namespace

LONG KeyDown(int virtualKey)
{
    return static_cast<SHORT>(GetAsyncKeyState(virtualKey) & 0x8000);
}

void MainLoopPass()
{
    UpdateMousePosition();

    if (KeyDown(VK_SPACE) == 0) {
        SpaceLatch = 0;
    } else if (SpaceLatch == 0) {
        SoundEffectPlay("sound\\zapper.wav");
        SpaceLatch = 1;
    }

    // Each step reads the position as the step before left it.
    Move(&SpriteY, VK_UP, SpriteY > TopBound, -Step);
    Move(&SpriteY, VK_DOWN, SpriteY < BottomBound, Step);
    Move(&SpriteX, VK_LEFT, SpriteX > LeftBound, -Step);
    Move(&SpriteX, VK_RIGHT, SpriteX < RightBound, Step);

    PictureDraw(&SpritePicture, SpriteX, SpriteY, 0);
}

void MainLoop()
{
    for (;;) {
        MainLoopPass();
        Sleep(1);
    }
}
