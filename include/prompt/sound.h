#pragma once
// Background music through the media control interface, and sound effects.
// Call from the program's threads; a failed open shows "デバイスのオープンに失敗".
#include <windows.h>

const int MusicFileNameBytes = 256;

// The file MusicPlay opens (MP3, WAV, MIDI: whatever the platform plays).
extern char MusicFileName[MusicFileNameBytes];

// Closes any open music, opens MusicFileName and plays it once in the background.
void MusicPlay();
// Copies name (not consumed; longer ones are cut to fit) into MusicFileName, then MusicPlay.
void MusicPlayFile(const char* name);
// Stops and closes the open music; nothing when none is open.
void MusicStop();
// Starts a WAV file playing asynchronously; it replaces an effect still playing.
void SoundEffectPlay(const char* name);
