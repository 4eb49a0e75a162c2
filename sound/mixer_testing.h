#pragma once
// Test hooks of the mixer, for tests and the benchmark only: what it holds,
// how its stream fares, and a stand-in for the platform's waveOut calls.
// Programs on the runtime never call these.
#include <windows.h>

#include "runtime/system_library.h"
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
// has it open the output.
HANDLE MixerThread();
// How the stream fares, each figure read on its own (they move while read).
struct MixerStreamFigures {
    bool OutputOpen;     // once the output is open...
    bool OutputFailed;   // ...or once an open failed
    LONG TimesRanDry;    // the sound thread came too late to refill it while voices sounded: a gap heard
    LONG StreamsGivenUp; // a failed call, no buffer back in time, a new default device
    LONG StreamsClosing; // of those, still being reset and closed
    LONG OpensFailed;    // a stream could not be opened (no device)
};
MixerStreamFigures MixerStreamNow();

// The sound thread's waveOut calls go to functions instead of the system's
// (null: the system's again). The stream open now is given up through the
// functions it was opened with, and the next one opened through these.
void MixerUseWinmm(const WinmmFunctions* functions);
// As the platform tells the mixer when the default output device changes.
void MixerTellDefaultDeviceChanged();

// The newest voice started: when it was asked for, when its first frames went
// to the device, and when the device started on them (the buffer ahead of
// them reported done, or at the write when none was ahead); performance
// counter ticks, 0 while not yet.
struct VoiceTiming {
    LONGLONG Called;
    LONGLONG Written;
    LONGLONG Started;
};
VoiceTiming MixerNewestVoiceTiming();
