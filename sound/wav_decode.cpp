#include "sound/wav_decode.h"

#include <cstring>

namespace {

const uint16_t FormatPcm = 1;
const uint16_t FormatExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_PCM, as it lies in the file.
const unsigned char PcmSubformat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                        0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t Read16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t Read32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

bool IsId(const unsigned char* p, const char* id)
{
    return std::memcmp(p, id, 4) == 0;
}

// The fmt chunk's body (size bytes, all inside the file): 1 when it is PCM we play.
int ParseFormat(const unsigned char* body, uint32_t size, WavFormat* format)
{
    if (size < 16)
        return 0;
    uint16_t tag = Read16(body);
    uint16_t channels = Read16(body + 2);
    uint32_t rate = Read32(body + 4);
    uint16_t blockAlign = Read16(body + 12);
    uint16_t bits = Read16(body + 14);
    if (tag == FormatExtensible) {
        // cbSize, valid bits, channel mask, then the subformat.
        if (size < 40 || Read16(body + 16) < 22 || std::memcmp(body + 24, PcmSubformat, 16) != 0)
            return 0;
        uint16_t validBits = Read16(body + 18);
        if (validBits != 0 && validBits != bits)
            return 0;
    } else if (tag != FormatPcm) {
        return 0;
    }
    if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate < 1000 || rate > 384000)
        return 0;
    if (blockAlign != channels * (bits / 8))
        return 0;
    format->Channels = channels;
    format->BitsPerSample = bits;
    format->SampleRate = rate;
    return 1;
}

// One channel of one source frame as a signed 16-bit value.
int32_t SourceSample(const WavFormat& format, uint32_t frame, uint32_t channel)
{
    uint32_t bytes = format.BitsPerSample / 8;
    const unsigned char* p = format.Data + (static_cast<size_t>(frame) * format.Channels + channel) * bytes;
    if (bytes == 1)
        return (static_cast<int32_t>(p[0]) - 128) * 256;
    return static_cast<int16_t>(Read16(p));
}

} // namespace

int WavParse(const unsigned char* bytes, size_t size, WavFormat* format)
{
    *format = WavFormat{};
    if (!bytes || size < 12 || !IsId(bytes, "RIFF") || !IsId(bytes + 8, "WAVE"))
        return 0;
    // Bytes past the RIFF chunk are not the file's; a RIFF size past the end is not trusted.
    size_t end = size;
    uint32_t riffSize = Read32(bytes + 4);
    if (riffSize >= 4 && riffSize <= size - 8)
        end = static_cast<size_t>(riffSize) + 8;

    int haveFormat = 0;
    const unsigned char* data = nullptr;
    uint32_t dataSize = 0;
    size_t position = 12;
    while (end - position >= 8) {
        const unsigned char* header = bytes + position;
        uint32_t chunkSize = Read32(header + 4);
        size_t body = position + 8;
        if (chunkSize > end - body)
            return 0; // a chunk that runs past the end: a cut or a broken file
        if (IsId(header, "fmt ") && !haveFormat) {
            if (!ParseFormat(bytes + body, chunkSize, format))
                return 0;
            haveFormat = 1;
        } else if (IsId(header, "data") && !data) {
            data = bytes + body;
            dataSize = chunkSize;
        }
        position = body + chunkSize;
        if (chunkSize & 1) {
            if (position == end)
                break; // the pad byte of the last chunk may be missing
            ++position;
        }
    }
    if (!haveFormat || !data)
        return 0;
    uint32_t frameBytes = format->Channels * (format->BitsPerSample / 8);
    uint32_t frames = dataSize / frameBytes;
    if (frames == 0) {
        *format = WavFormat{};
        return 0;
    }
    format->Data = data;
    format->Frames = frames;
    return 1;
}

uint32_t WavMixFrames(const WavFormat& format)
{
    if (format.Frames == 0 || format.SampleRate == 0)
        return 0;
    uint64_t frames = static_cast<uint64_t>(format.Frames) * MixRate / format.SampleRate;
    if (frames == 0)
        frames = 1;
    return frames > MaxMixFrames ? 0 : static_cast<uint32_t>(frames);
}

void WavConvert(const WavFormat& format, int16_t* out)
{
    uint32_t frames = WavMixFrames(format);
    uint32_t last = format.Frames - 1;
    for (uint32_t i = 0; i < frames; ++i) {
        // Where output frame i falls in the source, in 1/MixRate steps of a source frame.
        uint64_t at = static_cast<uint64_t>(i) * format.SampleRate;
        uint32_t index = static_cast<uint32_t>(at / MixRate);
        int32_t fraction = static_cast<int32_t>(at % MixRate);
        uint32_t next = index < last ? index + 1 : last;
        for (uint32_t c = 0; c < 2; ++c) {
            uint32_t channel = format.Channels == 2 ? c : 0;
            int32_t a = SourceSample(format, index, channel);
            int32_t b = SourceSample(format, next, channel);
            out[2 * i + c] = static_cast<int16_t>(a + static_cast<int64_t>(b - a) * fraction / static_cast<int32_t>(MixRate));
        }
    }
}
