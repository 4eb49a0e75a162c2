#pragma once
// Test hooks of the mixer, for tests and the benchmark only: what it holds,
// and how its stream fares.
// Programs on the runtime never call these.
#include <windows.h>

#include "sound/mixer.h"

// MixFrames, taking the mixer's lock itself.
void MixUnderLock(int16_t* out, int frames);

// A sound the program holds: null for a number that is not loaded.
const LoadedSound* MixerSound(int sound);
// What the mixer holds now: voices sounding (not fading), loaded sounds, bytes of samples.
int MixerVoicesSounding();
int MixerSoundsLoaded();
SIZE_T MixerBytesHeld();
// The sound thread, started by the first SoundLoad that succeeds, which also
// has it open the output; 1 once the output is open, or once an open failed.
HANDLE MixerThread();
int MixerOutputOpen();
int MixerOutputFailed();
// How often the stream ran dry while voices sounded: the sound thread came
// too late to refill it, and a gap was heard.
LONG MixerTimesRanDry();
