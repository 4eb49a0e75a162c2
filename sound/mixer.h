#pragma once
// The mixer behind SoundLoad and SoundPlay: loaded sounds, the voices playing
// them, and the sound thread that mixes them into one waveOut stream.
#include <windows.h>

#include <cstdint>

#include <prompt/sound.h>

const int MaxSounds = 1024;
const int MaxVoices = 16;      // sounding at once; a new one past that ends the oldest
const int FadingVoices = 8;    // room for voices still fading out after a stop
const int VoiceSlots = MaxVoices + FadingVoices;
// Buffers of 20 ms: a stream starts with 5 of them, then keeps 3 in
// flight. A voice started while the stream runs is heard up to 60 ms later
// (100 ms just after a start); one started on a stream at rest, at once.
const int MixBufferFrames = 882;
const int MixBufferCount = 5;
const int MixBuffersRunning = 3;
// Starts, stops and volume changes ramp over 5 ms; a sound's last 2 ms taper to 0.
const int RampFrames = 220;
const int EndTaperFrames = 88;

struct LoadedSound {
    int16_t* Samples; // interleaved stereo at 44,100 Hz, from the process heap
    LONG Frames;
    LONG Volume;      // percent
    LONG State;       // 0 free, 1 loaded, 2 released while its voices fade
};

struct Voice {
    LONG Sound;       // the sound number; 0: the slot is free
    LONG Position;    // next frame
    LONG Looped;
    LONG Stopping;    // fading out; freed at silence
    DWORD Serial;     // order of starting: the oldest ends first
    float Gain;       // now; moves towards the target by one ramp step a frame
};

// Mixes the next frames into out (interleaved stereo) and moves the voices
// on. The sound thread calls it under the mixer's lock; for tests and the
// benchmark, MixUnderLock takes the lock itself.
void MixFrames(int16_t* out, int frames);
void MixUnderLock(int16_t* out, int frames);

// A sound the program holds, for tests: null for a number that is not loaded.
const LoadedSound* MixerSound(int sound);
// What the mixer holds now: voices sounding (not fading), loaded sounds, bytes of samples.
int MixerVoicesSounding();
int MixerSoundsLoaded();
SIZE_T MixerBytesHeld();
// The sound thread, started by the first SoundLoad that succeeds, which also
// has it open the output; 1 once the output is open, or once it failed.
HANDLE MixerThread();
int MixerOutputOpen();
int MixerOutputFailed();
// How often the stream ran dry while voices sounded: the sound thread came
// too late to refill it, and a gap was heard.
LONG MixerTimesRanDry();

// Opens a sound file for reading: the one place a name reaches the platform.
HANDLE OpenSoundFile(const char* name);
