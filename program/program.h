#pragma once
// The demo program: start-up, the scene, the main loop, and their state.
#include <windows.h>

#include <prompt/picture.h>
#include <prompt/strings.h>

const int StringSlotCount = 32;
extern TrackedString StringSlots[StringSlotCount];

extern Picture ScreenPicture;      // attached to the window, never loaded or drawn
extern Picture SpritePicture;      // the sprite the arrow keys move
extern TrackedString ProgramString;
extern SHORT SpriteX;              // the sprite's top-left corner, client pixels
extern SHORT SpriteY;
extern BYTE SpaceLatch;            // 1 from a played effect until the space bar is up

// The process's first thread: start-up, scene, main loop. Never returns.
[[noreturn]] void ProgramMain();

// After start-up: the pictures, the mouse procedure, the sprite's place, the music.
void SceneSetUp();

// -32768 while the key is down, 0 while it is up (the asynchronous key state).
LONG KeyDown(int virtualKey);
// One pass of the main loop, without its sleep.
void MainLoopPass();
[[noreturn]] void MainLoop();
