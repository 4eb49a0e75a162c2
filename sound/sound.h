#pragma once
// Music and sound effects: the parameter block behind the public calls.
#include <windows.h>
#include <mmsystem.h>

#include <prompt/sound.h>

extern MCI_OPEN_PARMSW MusicOpenParms;           // the parameter block of every open
extern MCIDEVICEID& MusicDevice;                 // its wDeviceID: the open music device, 0 if none

// How many times looped music has been started again at its end.
LONG MusicLoopRestarts();
