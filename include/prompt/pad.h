#pragma once
// Gamepads (up to four), read through the system's XInput. Without XInput,
// or with no pad plugged in, every pad answers as not connected. The calls of
// one frame share one read of the pads. A pad number outside 0 to 3 answers
// as a pad not connected. From one program thread, the one that polls the keys.
#include <windows.h>

const int PadCount = 4;

// PadButtonDown's buttons (XInput's bits).
const int PadUp = 0x0001;
const int PadDown = 0x0002;
const int PadLeft = 0x0004;
const int PadRight = 0x0008;
const int PadStart = 0x0010;
const int PadBack = 0x0020;
const int PadLeftThumb = 0x0040;
const int PadRightThumb = 0x0080;
const int PadLeftShoulder = 0x0100;
const int PadRightShoulder = 0x0200;
const int PadA = 0x1000;
const int PadB = 0x2000;
const int PadX = 0x4000;
const int PadY = 0x8000;

const int PadStickLeft = 0;
const int PadStickRight = 1;
const int PadTriggerLeft = 0;
const int PadTriggerRight = 1;

// Whether pad 0 to 3 is plugged in. A pad plugged in while the program
// runs is found within a second.
bool PadConnected(int pad);
// Whether the button is held now: one of the buttons above, one at a time
// (false for any other value).
bool PadButtonDown(int pad, int button);
// True once for each time the button went down (or up) since the call before.
bool PadButtonPressed(int pad, int button);
bool PadButtonReleased(int pad, int button);
// The stick's position, x to the right and y up, each -1 to 1, 0 inside the
// dead zone; false (and 0, 0) for a pad not connected or a stick not 0 or 1,
// false and nothing written for a null x or y.
bool PadStick(int pad, int stick, double* x, double* y);
// How far the trigger is pressed, 0 to 1; 0 for a pad not connected or a
// side not 0 or 1.
double PadTrigger(int pad, int side);
