#pragma once
// Background music through the media control interface, and sound effects.
#include <windows.h>
#include <mmsystem.h>

const int MusicFileNameBytes = 256;

extern char MusicFileName[MusicFileNameBytes];   // written by the caller before MusicPlay
extern MCI_OPEN_PARMSA MusicOpenParms;           // the parameter block of every open
extern MCIDEVICEID& MusicDevice;                 // its wDeviceID: the open music device, 0 if none

// Closes any open music device, opens MusicFileName and plays it once in the background.
void MusicPlay();
// Stops and closes the open music device.
void MusicStop();
// Starts a WAV file playing asynchronously.
void SoundEffectPlay(const char* name);
