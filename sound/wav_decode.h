#pragma once
// WAV files as the mixer plays them: parsing that trusts nothing in the file,
// and conversion to the mixer's own format (44,100 Hz, stereo, 16 bits).
// Plain code on bytes in memory, no platform calls.
#include <cstddef>
#include <cstdint>

const uint32_t MixRate = 44100;
// The longest sound the mixer keeps: ten minutes (about 106 MB).
const uint32_t MaxMixFrames = MixRate * 600;

struct WavFormat {
    uint32_t Channels;      // 1 or 2
    uint32_t BitsPerSample; // 8 (unsigned) or 16 (signed)
    uint32_t SampleRate;    // 1,000 to 384,000
    const unsigned char* Data; // the first frame, inside the bytes given to WavParse
    uint32_t Frames;        // whole frames, all inside the bytes
};

// 1 with format filled when bytes hold a PCM WAV of 8 or 16 bits, mono or
// stereo, whose sample data lies wholly inside them; 0 for anything else.
int WavParse(const unsigned char* bytes, size_t size, WavFormat* format);

// How many mixer frames the sound becomes; 0 when more than MaxMixFrames.
uint32_t WavMixFrames(const WavFormat& format);

// Fills out with WavMixFrames(format) interleaved stereo frames: channels
// doubled or kept, 8 bits widened, the rate changed by linear interpolation.
void WavConvert(const WavFormat& format, int16_t* out);
