#pragma once
// For games: a steady frame clock, and key presses that no poll misses.
#include <windows.h>

// Waits for the next tick of a steady clock at that many frames a second and
// returns. Each deadline is the previous one plus the period, so a loop does
// not drift; one that falls more than a frame behind starts again from now
// instead of racing to catch up. From one program thread.
void FrameWait(LONG framesPerSecond);
// How many frames FrameWait has waited for.
LONG FrameCount();

// True once for each time the key (a virtual-key code, VK_LEFT, 'A') went
// down while the console window had the focus, auto-repeat aside, since the
// call before: three taps between two frames answer true three times. Recorded
// from the window's key messages, so no press is lost however short.
// KeyReleased: the same for the key going up. From one program thread.
bool KeyPressed(int virtualKey);
bool KeyReleased(int virtualKey);
