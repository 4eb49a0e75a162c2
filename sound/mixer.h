#pragma once
// The mixer behind SoundLoad and SoundPlay: loaded sounds, the voices playing
// them, and the sound thread that mixes them into one waveOut stream.
// Its test hooks are in sound/mixer_testing.h.
#include <windows.h>

#include <cstdint>

#include <prompt/sound.h>

const int MaxSounds = 1024;
const int MaxVoices = 16;      // sounding at once; a new one past that ends the oldest
const int FadingVoices = 8;    // room for voices still fading out after a stop
const int VoiceSlots = MaxVoices + FadingVoices;
// Buffers of 10 ms: a stream starts with 10 of them, then keeps 3 in
// flight. A voice started while the stream runs is heard up to 30 ms later
// (100 ms just after a start); one started on a stream at rest, at once.
// Under Wine less than 30 ms in flight (2 buffers of 10 ms, 5 of 5 ms, 4 of
// 6.7 ms) lost 25 ms at each stream start, and starting with 60 ms lost some.
const int MixBufferFrames = 441;
const int MixBufferCount = 10;
const int MixBuffersRunning = 3;
// Starts, stops and volume changes ramp over 5 ms; a sound's last 2 ms taper to 0.
const int RampFrames = 220;
const int EndTaperFrames = 88;

enum class SoundState : LONG {
    Free,
    Loaded,
    Released, // by the program while its voices still fade; freed at their silence
};

struct LoadedSound {
    int16_t* Samples; // interleaved stereo at 44,100 Hz, from the process heap
    LONG Frames;
    LONG Volume;      // percent
    SoundState State;
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
// on. The sound thread calls it under the mixer's lock.
void MixFrames(int16_t* out, int frames);

// Opens a sound file for reading: the one place a name reaches the platform.
HANDLE OpenSoundFile(const char* name);
