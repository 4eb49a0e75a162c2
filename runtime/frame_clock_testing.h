#pragma once
// Test hooks of the frame clock (runtime/frame_clock.cpp), for tests only.

// The clock starts again at the next FrameWait: on the high-resolution
// waitable timer where the system has one, or with sleepOnly on Sleep, as on
// systems without it (Windows 7, 8.1, 10 before 1803).
void FrameClockRestart(bool sleepOnly);
// Whether the clock waits on the high-resolution timer.
bool FrameClockOnTimer();
