#pragma once
// Test hooks of the picture; not for programs.
#include <windows.h>

// How long a stop waits for the capture to answer before it ends the thread
// by force (10 s; 0 puts that back).
void SetCaptureStopGrace(DWORD milliseconds);
