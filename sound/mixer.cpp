#include "sound/mixer.h"

#include <mmsystem.h>

#include <atomic>
#include <cstring>

#include "runtime/code_page.h"
#include "runtime/lock.h"
#include "runtime/system_library.h"
#include "sound/mixer_testing.h"
#include "sound/wav_decode.h"

namespace {

// A sound file larger than this is refused before it is read.
const DWORD MaxFileBytes = 256u << 20;
// After a failed open, plays are dropped for this long before the output is tried again.
const DWORD RetryOpenMilliseconds = 1000;

struct MixerRecord {
    LoadedSound Sounds[MaxSounds];
    Voice Voices[VoiceSlots];
    DWORD NextSerial;
    LONG MasterVolume = 100;
    LONG PendingReleases; // sounds released while their voices fade
    HANDLE Thread;
    HANDLE WakeEvent;
    HANDLE DoneEvent;
    bool OutputWanted;    // a sound is loaded: open the output before the first play
    // The sound thread's alone:
    HWAVEOUT Output;
    std::atomic<bool> OutputOpen, OutputFailed; // read by other threads
    DWORD FailedAt;
    WAVEHDR Headers[MixBufferCount];
    LONG Queued[MixBufferCount];
    int16_t Buffers[MixBufferCount][MixBufferFrames * 2];
    int SilentTail;
    LONG Used;            // the stream has been written to since it opened
    std::atomic<LONG> RanDry; // times every buffer came back while voices still sounded
};

MixerRecord Mixer;
Lock MixerLock;

LONG ClampPercent(int percent)
{
    return percent < 0 ? 0 : percent > 100 ? 100 : percent;
}

// The loaded sound of a number the program holds, or null.
LoadedSound* FindSound(int sound)
{
    if (sound < 1 || sound > MaxSounds || Mixer.Sounds[sound - 1].State != SoundState::Loaded)
        return nullptr;
    return &Mixer.Sounds[sound - 1];
}

void FreeSound(LoadedSound* sound)
{
    HeapFree(GetProcessHeap(), 0, sound->Samples);
    *sound = LoadedSound{};
}

bool AnyVoice()
{
    for (const Voice& voice : Mixer.Voices)
        if (voice.Sound)
            return true;
    return false;
}

// Sounds released while they played go once their last voice has faded.
void FreeReleasedSounds()
{
    if (Mixer.PendingReleases == 0)
        return;
    for (int s = 0; s < MaxSounds; ++s) {
        if (Mixer.Sounds[s].State != SoundState::Released)
            continue;
        bool playing = false;
        for (const Voice& voice : Mixer.Voices)
            playing = playing || voice.Sound == s + 1;
        if (!playing) {
            FreeSound(&Mixer.Sounds[s]);
            --Mixer.PendingReleases;
        }
    }
}

void DropAllVoices()
{
    for (Voice& voice : Mixer.Voices)
        voice = Voice{};
    FreeReleasedSounds();
}

// One voice into the sums; 0 when it has ended.
int MixVoice(Voice* voice, int32_t* sums, int frames, float master)
{
    const LoadedSound& sound = Mixer.Sounds[voice->Sound - 1];
    float target = voice->Stopping ? 0.0f : sound.Volume / 100.0f * master;
    const float step = 1.0f / RampFrames;
    if (voice->Stopping && voice->Gain <= 0.0f)
        return 0;
    for (int f = 0; f < frames; ++f) {
        if (voice->Position >= sound.Frames) {
            if (!voice->Looped)
                return 0;
            voice->Position = 0;
        }
        if (voice->Gain < target)
            voice->Gain = voice->Gain + step < target ? voice->Gain + step : target;
        else if (voice->Gain > target)
            voice->Gain = voice->Gain - step > target ? voice->Gain - step : target;
        float gain = voice->Gain;
        LONG remaining = sound.Frames - voice->Position;
        if (!voice->Looped && remaining < EndTaperFrames)
            gain *= static_cast<float>(remaining) / EndTaperFrames;
        const int16_t* frame = sound.Samples + 2 * voice->Position;
        sums[2 * f] += static_cast<int32_t>(frame[0] * gain);
        sums[2 * f + 1] += static_cast<int32_t>(frame[1] * gain);
        ++voice->Position;
        if (voice->Stopping && voice->Gain <= 0.0f)
            return 0;
    }
    return 1;
}

void MixChunk(int16_t* out, int frames)
{
    int32_t sums[MixBufferFrames * 2] = {};
    float master = Mixer.MasterVolume / 100.0f;
    for (Voice& voice : Mixer.Voices) {
        if (voice.Sound && !MixVoice(&voice, sums, frames, master))
            voice = Voice{};
    }
    // Saturating: many loud voices flatten at full scale instead of wrapping into noise.
    for (int i = 0; i < 2 * frames; ++i)
        out[i] = static_cast<int16_t>(sums[i] > 32767 ? 32767 : sums[i] < -32768 ? -32768 : sums[i]);
    FreeReleasedSounds();
}

bool OpenOutput()
{
    if (Mixer.OutputFailed && GetTickCount() - Mixer.FailedAt < RetryOpenMilliseconds)
        return false;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = MixRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = MixRate * 4;
    if (Winmm().WaveOutOpen(&Mixer.Output, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(Mixer.DoneEvent), 0,
                    CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        Mixer.Output = nullptr;
        Mixer.OutputFailed = true;
        Mixer.FailedAt = GetTickCount();
        return false;
    }
    for (int i = 0; i < MixBufferCount; ++i) {
        WAVEHDR& header = Mixer.Headers[i];
        header = WAVEHDR{};
        header.lpData = reinterpret_cast<LPSTR>(Mixer.Buffers[i]);
        header.dwBufferLength = sizeof Mixer.Buffers[i];
        Winmm().WaveOutPrepareHeader(Mixer.Output, &header, sizeof header);
        Mixer.Queued[i] = 0;
    }
    Mixer.OutputFailed = false;
    Mixer.OutputOpen = true;
    Mixer.SilentTail = 2; // nothing to follow out yet
    Mixer.Used = 0;
    return true;
}

void CloseOutput()
{
    for (WAVEHDR& header : Mixer.Headers)
        Winmm().WaveOutUnprepareHeader(Mixer.Output, &header, sizeof header);
    Winmm().WaveOutClose(Mixer.Output);
    Mixer.Output = nullptr;
    Mixer.OutputOpen = false;
}

// Refills every buffer the device has finished with. When nothing plays, two
// buffers of silence follow the last sound out; once they have played, the
// stream is exchanged for a fresh one, which starts its first sound sooner
// (under Wine about 10 ms sooner than a stream that has run dry).
void Feed()
{
    if (!Mixer.Output) {
        bool wanted;
        {
            LockHold hold(MixerLock);
            wanted = AnyVoice() || Mixer.OutputWanted;
        }
        if (!wanted)
            return;
        if (!OpenOutput()) {
            LockHold hold(MixerLock);
            DropAllVoices(); // no device: what was asked for is not saved up for later
            return;
        }
    }
    int queued = 0;
    for (int i = 0; i < MixBufferCount; ++i) {
        if (Mixer.Queued[i] && (Mixer.Headers[i].dwFlags & WHDR_DONE))
            Mixer.Queued[i] = 0;
        queued += Mixer.Queued[i];
    }
    if (queued == 0 && Mixer.SilentTail == 0 && Mixer.Used)
        ++Mixer.RanDry; // the device played all it had before the thread refilled it
    // A stream at rest is paused while every buffer goes in, so that it starts
    // with all of them: started with one, or with 60 ms, it ran dry under Wine
    // before more reached the sound server. (With buffers of 10 ms instead of
    // 20, a running stream lost a whole one now and then.)
    bool priming = queued == 0, paused = false;
    for (int i = 0; i < MixBufferCount; ++i) {
        if (!priming && queued >= MixBuffersRunning)
            break;
        if (Mixer.Queued[i])
            continue;
        bool active;
        {
            LockHold hold(MixerLock);
            active = AnyVoice();
            if (active)
                MixFrames(Mixer.Buffers[i], MixBufferFrames);
        }
        if (active) {
            Mixer.SilentTail = 0;
        } else if (Mixer.SilentTail < 2) {
            std::memset(Mixer.Buffers[i], 0, sizeof Mixer.Buffers[i]);
            ++Mixer.SilentTail;
        } else {
            if (queued == 0 && Mixer.Used) {
                CloseOutput();
                OpenOutput();
            }
            break;
        }
        if (priming && !paused)
            paused = Winmm().WaveOutPause(Mixer.Output) == MMSYSERR_NOERROR;
        if (Winmm().WaveOutWrite(Mixer.Output, &Mixer.Headers[i], sizeof Mixer.Headers[i]) == MMSYSERR_NOERROR) {
            Mixer.Queued[i] = 1;
            Mixer.Used = 1;
            ++queued;
        }
    }
    if (paused && Mixer.Output)
        Winmm().WaveOutRestart(Mixer.Output);
}

DWORD WINAPI SoundThreadMain(LPVOID)
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    HANDLE events[2] = {Mixer.WakeEvent, Mixer.DoneEvent};
    for (;;) {
        WaitForMultipleObjects(2, events, FALSE, INFINITE);
        Feed();
    }
}

// Under the lock: the sound thread, started by the first play.
bool StartSoundThread()
{
    if (Mixer.Thread)
        return true;
    if (!Mixer.WakeEvent)
        Mixer.WakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!Mixer.DoneEvent)
        Mixer.DoneEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!Mixer.WakeEvent || !Mixer.DoneEvent)
        return false;
    Mixer.Thread = CreateThread(nullptr, 0, SoundThreadMain, nullptr, 0, nullptr);
    return Mixer.Thread != nullptr;
}

// Under the lock: a slot for a new voice, ending the oldest when MaxVoices sound.
Voice* TakeVoiceSlot()
{
    Voice* oldest = nullptr;
    int sounding = 0;
    for (Voice& voice : Mixer.Voices) {
        if (voice.Sound && !voice.Stopping) {
            ++sounding;
            if (!oldest || voice.Serial - oldest->Serial > 0x80000000u)
                oldest = &voice;
        }
    }
    if (sounding >= MaxVoices) {
        if (oldest->Gain <= 0.0f)
            *oldest = Voice{}; // never heard: nothing to fade
        else
            oldest->Stopping = 1;
    }
    Voice* fading = nullptr;
    for (Voice& voice : Mixer.Voices) {
        if (!voice.Sound)
            return &voice;
        if (voice.Stopping && (!fading || voice.Serial - fading->Serial > 0x80000000u))
            fading = &voice;
    }
    // Every slot holds a voice fading out: the oldest of them ends now.
    *fading = Voice{};
    return fading;
}

int StartVoice(int sound, LONG looped)
{
    {
        LockHold hold(MixerLock);
        if (!FindSound(sound) || !StartSoundThread())
            return 0;
        Voice* voice = TakeVoiceSlot();
        *voice = Voice{};
        voice->Sound = sound;
        voice->Looped = looped;
        voice->Serial = ++Mixer.NextSerial;
    }
    SetEvent(Mixer.WakeEvent);
    return 1;
}

// The whole file in a block of the process heap, or null.
unsigned char* ReadSoundFile(const char* name, DWORD* size)
{
    HANDLE file = OpenSoundFile(name);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    LARGE_INTEGER length{};
    unsigned char* bytes = nullptr;
    if (GetFileSizeEx(file, &length) && length.QuadPart > 0 && length.QuadPart <= MaxFileBytes) {
        *size = static_cast<DWORD>(length.QuadPart);
        bytes = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, *size));
        DWORD done = 0;
        while (bytes && done < *size) {
            DWORD read = 0;
            if (!ReadFile(file, bytes + done, *size - done, &read, nullptr) || read == 0) {
                HeapFree(GetProcessHeap(), 0, bytes);
                bytes = nullptr;
            }
            done += read;
        }
    }
    CloseHandle(file);
    return bytes;
}

} // namespace

HANDLE OpenSoundFile(const char* name)
{
    if (!name)
        return INVALID_HANDLE_VALUE;
    return CreateFileW(WideFromText(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

void MixFrames(int16_t* out, int frames)
{
    for (int done = 0; done < frames; done += MixBufferFrames) {
        int chunk = frames - done < MixBufferFrames ? frames - done : MixBufferFrames;
        MixChunk(out + 2 * done, chunk);
    }
}

void MixUnderLock(int16_t* out, int frames)
{
    LockHold hold(MixerLock);
    MixFrames(out, frames);
}

const LoadedSound* MixerSound(int sound)
{
    LockHold hold(MixerLock);
    return FindSound(sound);
}

int MixerVoicesSounding()
{
    LockHold hold(MixerLock);
    int sounding = 0;
    for (const Voice& voice : Mixer.Voices)
        sounding += voice.Sound && !voice.Stopping;
    return sounding;
}

int MixerSoundsLoaded()
{
    LockHold hold(MixerLock);
    int loaded = 0;
    for (const LoadedSound& sound : Mixer.Sounds)
        loaded += sound.State != SoundState::Free;
    return loaded;
}

SIZE_T MixerBytesHeld()
{
    LockHold hold(MixerLock);
    SIZE_T bytes = 0;
    for (const LoadedSound& sound : Mixer.Sounds)
        bytes += sound.State != SoundState::Free ? HeapSize(GetProcessHeap(), 0, sound.Samples) : 0;
    return bytes;
}

HANDLE MixerThread()
{
    LockHold hold(MixerLock);
    return Mixer.Thread;
}

int MixerOutputFailed()
{
    return Mixer.OutputFailed;
}

LONG MixerTimesRanDry()
{
    return Mixer.RanDry;
}

int MixerOutputOpen()
{
    return Mixer.OutputOpen;
}

int SoundLoad(const char* name)
{
    DWORD size = 0;
    unsigned char* bytes = ReadSoundFile(name, &size);
    if (!bytes)
        return 0;
    WavFormat format;
    uint32_t frames = WavParse(bytes, size, &format) ? WavMixFrames(format) : 0;
    int16_t* samples = frames ? static_cast<int16_t*>(HeapAlloc(GetProcessHeap(), 0, frames * 4)) : nullptr;
    if (samples)
        WavConvert(format, samples);
    HeapFree(GetProcessHeap(), 0, bytes);
    if (!samples)
        return 0;

    LockHold hold(MixerLock);
    for (int s = 0; s < MaxSounds; ++s) {
        LoadedSound& sound = Mixer.Sounds[s];
        if (sound.State == SoundState::Free) {
            sound.Samples = samples;
            sound.Frames = static_cast<LONG>(frames);
            sound.Volume = 100;
            sound.State = SoundState::Loaded;
            if (!Mixer.OutputWanted && StartSoundThread()) {
                Mixer.OutputWanted = true;
                SetEvent(Mixer.WakeEvent);
            }
            return s + 1;
        }
    }
    HeapFree(GetProcessHeap(), 0, samples);
    return 0;
}

void SoundRelease(int sound)
{
    LockHold hold(MixerLock);
    LoadedSound* loaded = FindSound(sound);
    if (!loaded)
        return;
    bool playing = false;
    for (Voice& voice : Mixer.Voices) {
        if (voice.Sound == sound) {
            voice.Stopping = 1;
            playing = true;
        }
    }
    if (playing) {
        loaded->State = SoundState::Released; // freed by the sound thread once its voices have faded
        ++Mixer.PendingReleases;
    } else {
        FreeSound(loaded);
    }
}

int SoundPlay(int sound)
{
    return StartVoice(sound, 0);
}

int SoundPlayLooped(int sound)
{
    return StartVoice(sound, 1);
}

void SoundStop(int sound)
{
    LockHold hold(MixerLock);
    if (!FindSound(sound))
        return;
    for (Voice& voice : Mixer.Voices)
        if (voice.Sound == sound)
            voice.Stopping = 1;
}

int SoundSetVolume(int sound, int percent)
{
    LockHold hold(MixerLock);
    LoadedSound* loaded = FindSound(sound);
    if (!loaded)
        return 0;
    loaded->Volume = ClampPercent(percent);
    return 1;
}

void SoundSetMasterVolume(int percent)
{
    LockHold hold(MixerLock);
    Mixer.MasterVolume = ClampPercent(percent);
}
