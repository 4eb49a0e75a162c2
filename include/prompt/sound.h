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

// Music that plays again from its start each time it ends, until MusicStop or
// the next MusicPlay. The name is copied into MusicFileName; failures show the
// boxes of MusicPlay.
void MusicPlayLooped(const char* name);
// The volume of the music, 0 to 100 (percent of full amplitude), for the
// music open now and the music opened after it. 1 when the open music took
// it (or none is open), 0 when its device has no volume control.
int MusicSetVolume(int percent);

// Sound effects mixed by the runtime: any number at once (16 sounding; a new
// one past that ends the oldest), each with its own volume. Any thread may
// call them; none waits for the sound device.

// Reads a WAV file (PCM, 8 or 16 bits, mono or stereo, any rate) into memory:
// its sound number, above 0, or 0 when the file is missing or not such a WAV.
int SoundLoad(const char* name);
// Ends the sound's voices and frees it; its number means nothing afterwards.
void SoundRelease(int sound);
// Starts one more voice of the sound, at once: 1, or 0 for a number that is not loaded.
int SoundPlay(int sound);
// The same, for a voice that repeats until SoundStop.
int SoundPlayLooped(int sound);
// Ends every voice of the sound (each fades out over 5 ms).
void SoundStop(int sound);
// The sound's volume, 0 to 100, for its voices playing and to come: 1, or 0 for no such sound.
int SoundSetVolume(int sound, int percent);
// The volume of all sounds together (not the music), 0 to 100.
void SoundSetMasterVolume(int percent);
