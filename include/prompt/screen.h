#pragma once
// Frames: a steady clock for a program's main loop.
#include <windows.h>

// Waits for the next tick of a steady clock at that many frames a second and
// returns. Each deadline is the previous one plus the period, so a loop does
// not drift; one that falls more than a frame behind starts again from now
// instead of racing to catch up. From one program thread.
void FrameWait(LONG framesPerSecond);
// How many frames FrameWait has waited for.
LONG FrameCount();
