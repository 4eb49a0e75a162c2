#include "sound/mixer.h"

#include <mmsystem.h>
#include <mmdeviceapi.h>

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
// With no device the output is tried again after 100 ms, then after twice as
// long each time, up to 500 ms: a device that comes back is heard within
// about half a second, and one that stays away costs a call every 500 ms.
const DWORD FirstRetryMilliseconds = 100;
const DWORD LastRetryMilliseconds = 500;
// A stream with buffers queued that gives none back for this long has lost
// its device, whatever its calls answer; before its first comes back it is
// given longer, as some devices (a wireless headset) take a while to start.
// The sound thread looks this often.
const DWORD StallMilliseconds = 200;
const DWORD FirstBackMilliseconds = 1000;
const DWORD WatchMilliseconds = 50;
// Streams given up are reset and closed on threads of their own: a dead
// device's waveOutReset may take its time, or never return, and the sound
// thread must go on to the next device. A stream's buffers stay its own until
// it is closed, so a few records are kept; with none free, none opens.
const int StreamRecords = 4;

struct Stream {
    std::atomic<bool> Held;          // open, or still being closed
    const WinmmFunctions* Functions; // what it was opened with, and is closed with
    HWAVEOUT Output;
    int Prepared;                    // headers prepared, from the first
    WAVEHDR Headers[MixBufferCount];
    bool Queued[MixBufferCount];
    int16_t Buffers[MixBufferCount][MixBufferFrames * 2];
};

Stream Streams[StreamRecords];

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
    VoiceTiming Newest;   // of the newest voice, for the benchmark
    bool NewestUnmixed;   // its first frames are not in a buffer yet
    int NewestAhead;      // the buffer queued ahead of its first frames; -1: none
    // The sound thread's alone:
    Stream* Current;
    DWORD LastBack;       // when a buffer last came back, or the queue was empty
    bool CameBack;        // a buffer of the stream has come back
    DWORD RetryAt;
    DWORD RetryDelay;     // 0: no open has failed since the last stream
    bool Silent;          // no stream, voices sounding: their time passes unheard
    DWORD SilentSince;
    int SilentTail;
    bool Used;            // the stream has been written to since it opened
    int LastWritten;
    // Read by other threads:
    std::atomic<bool> OutputOpen, OutputFailed;
    std::atomic<LONG> RanDry;  // times every buffer came back while voices still sounded
    std::atomic<LONG> GivenUp, Closing, OpensFailed;
    std::atomic<const WinmmFunctions*> StandIn{nullptr};
    std::atomic<bool> DefaultChanged;
};

MixerRecord Mixer;
Lock MixerLock;

LONGLONG Ticks()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

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

const WinmmFunctions& WaveFunctions()
{
    const WinmmFunctions* standIn = Mixer.StandIn;
    return standIn ? *standIn : Winmm();
}

// Told by the platform when the default output device changes (a headset
// plugged in or out, a remote session begun or ended): the stream is then
// given up for one on the new default, as after a fault.
struct DefaultDeviceWatch final : IMMNotificationClient {
    // One for the process, never freed: the counts mean nothing.
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IMMNotificationClient)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) override
    {
        // WAVE_MAPPER plays on the console role's device.
        if (flow == eRender && role == eConsole) {
            Mixer.DefaultChanged = true;
            SetEvent(Mixer.WakeEvent);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }
};

DefaultDeviceWatch DeviceWatch;

// On the sound thread, once. Without the device enumerator (or its
// notifications) a change of default is noticed only when the old device fails.
void WatchDefaultDevice()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return;
    IMMDeviceEnumerator* devices = nullptr;
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(&devices))))
        return;
    if (FAILED(devices->RegisterEndpointNotificationCallback(&DeviceWatch)))
        devices->Release(); // else kept, as the watch is, for the life of the process
}

// Resets and closes a stream, then frees its record: on a thread of its own
// when it was given up.
void CloseStream(Stream* stream)
{
    const WinmmFunctions& winmm = *stream->Functions;
    winmm.WaveOutReset(stream->Output);
    for (int i = 0; i < stream->Prepared; ++i)
        winmm.WaveOutUnprepareHeader(stream->Output, &stream->Headers[i], sizeof stream->Headers[i]);
    winmm.WaveOutClose(stream->Output);
    stream->Held = false;
}

DWORD WINAPI CloseStreamThread(LPVOID stream)
{
    CloseStream(static_cast<Stream*>(stream));
    --Mixer.Closing;
    return 0;
}

void GiveUp(Stream* stream)
{
    ++Mixer.Closing;
    HANDLE thread = CreateThread(nullptr, 0, CloseStreamThread, stream, 0, nullptr);
    if (thread)
        CloseHandle(thread);
    else
        CloseStreamThread(stream); // no thread to spare: the risk is taken here
}

// The stream failed a call, stopped giving buffers back, or plays on a device
// that is no longer the default: it goes, with its headers and what they
// held, and the next one is opened at once.
void GiveUpStream(DWORD now)
{
    Stream* stream = Mixer.Current;
    Mixer.Current = nullptr;
    Mixer.OutputOpen = false;
    ++Mixer.GivenUp;
    GiveUp(stream);
    Mixer.RetryDelay = 0;
    Mixer.Silent = true;
    Mixer.SilentSince = now;
    LockHold hold(MixerLock);
    Mixer.NewestAhead = -1;
}

// A stream on the default device (WAVE_MAPPER: the new one after a change),
// unless an open failed a short while ago.
bool OpenStream(DWORD now)
{
    if (Mixer.RetryDelay && static_cast<LONG>(now - Mixer.RetryAt) < 0)
        return false;
    Stream* stream = nullptr;
    for (Stream& record : Streams)
        if (!stream && !record.Held)
            stream = &record;
    const WinmmFunctions& winmm = WaveFunctions();
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = MixRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = MixRate * 4;
    bool opened = stream && winmm.WaveOutOpen(&stream->Output, WAVE_MAPPER, &format,
                                              reinterpret_cast<DWORD_PTR>(Mixer.DoneEvent), 0,
                                              CALLBACK_EVENT) == MMSYSERR_NOERROR;
    if (opened) {
        stream->Held = true;
        stream->Functions = &winmm;
        stream->Prepared = 0;
        for (int i = 0; i < MixBufferCount && opened; ++i) {
            WAVEHDR& header = stream->Headers[i];
            header = WAVEHDR{};
            header.lpData = reinterpret_cast<LPSTR>(stream->Buffers[i]);
            header.dwBufferLength = sizeof stream->Buffers[i];
            stream->Queued[i] = false;
            opened = winmm.WaveOutPrepareHeader(stream->Output, &header, sizeof header) == MMSYSERR_NOERROR;
            stream->Prepared += opened;
        }
        if (!opened)
            GiveUp(stream);
    }
    if (!opened) {
        ++Mixer.OpensFailed;
        Mixer.OutputFailed = true;
        Mixer.RetryDelay = Mixer.RetryDelay == 0 ? FirstRetryMilliseconds
                           : Mixer.RetryDelay * 2 < LastRetryMilliseconds ? Mixer.RetryDelay * 2
                                                                          : LastRetryMilliseconds;
        Mixer.RetryAt = now + Mixer.RetryDelay;
        return false;
    }
    Mixer.Current = stream;
    Mixer.RetryDelay = 0;
    Mixer.Silent = false;
    Mixer.SilentTail = 2; // nothing to follow out yet
    Mixer.Used = false;
    Mixer.LastWritten = -1;
    Mixer.LastBack = now;
    Mixer.CameBack = false;
    Mixer.OutputFailed = false;
    Mixer.OutputOpen = true;
    return true;
}

// With no stream, the voices' time passes as if heard: a looped voice is
// heard again where it has got to, a short one that ended meanwhile is not.
void PassTimeUnheard(DWORD now)
{
    if (!Mixer.Silent) {
        Mixer.Silent = true;
        Mixer.SilentSince = now;
        return;
    }
    DWORD milliseconds = now - Mixer.SilentSince;
    int frames = static_cast<int>((milliseconds < 1000 ? milliseconds : 1000) * MixRate / 1000);
    Mixer.SilentSince = now;
    static int16_t unheard[MixBufferFrames * 2];
    for (int done = 0; done < frames; done += MixBufferFrames) {
        LockHold hold(MixerLock); // given back between chunks: a play waits microseconds at most
        MixFrames(unheard, frames - done < MixBufferFrames ? frames - done : MixBufferFrames);
    }
}

// Refills every buffer the device has finished with; false when the stream
// failed and was given up. When nothing plays, two buffers of silence follow
// the last sound out; once they have played, the stream is exchanged for a
// fresh one, which starts its first sound sooner (under Wine about 10 ms
// sooner than a stream that has run dry).
bool FillStream(DWORD now)
{
    Stream& stream = *Mixer.Current;
    const WinmmFunctions& winmm = *stream.Functions;
    int queued = 0;
    bool back = false;
    for (int i = 0; i < MixBufferCount; ++i) {
        if (stream.Queued[i] && (stream.Headers[i].dwFlags & WHDR_DONE)) {
            stream.Queued[i] = false;
            back = true;
            LockHold hold(MixerLock);
            if (Mixer.NewestAhead == i) {
                Mixer.Newest.Started = Ticks();
                Mixer.NewestAhead = -1;
            }
        }
        queued += stream.Queued[i];
    }
    Mixer.CameBack = Mixer.CameBack || back;
    if (back || queued == 0) {
        Mixer.LastBack = now;
    } else if (now - Mixer.LastBack >= (Mixer.CameBack ? StallMilliseconds : FirstBackMilliseconds)) {
        GiveUpStream(now);
        return false;
    }
    if (queued == 0 && Mixer.SilentTail == 0 && Mixer.Used)
        ++Mixer.RanDry; // the device played all it had before the thread refilled it
    // A stream at rest is paused while every buffer goes in, so that it starts
    // with all of them: started with one, or with 60 ms, it ran dry under Wine
    // before more reached the sound server.
    bool priming = queued == 0, paused = false, exchange = false, startsAtOnce = false;
    for (int i = 0; i < MixBufferCount; ++i) {
        if (!priming && queued >= MixBuffersRunning)
            break;
        if (stream.Queued[i])
            continue;
        bool active, newest = false;
        {
            LockHold hold(MixerLock);
            active = AnyVoice();
            if (active) {
                MixFrames(stream.Buffers[i], MixBufferFrames);
                newest = Mixer.NewestUnmixed;
                Mixer.NewestUnmixed = false;
            }
        }
        if (active) {
            Mixer.SilentTail = 0;
        } else if (Mixer.SilentTail < 2) {
            std::memset(stream.Buffers[i], 0, sizeof stream.Buffers[i]);
            ++Mixer.SilentTail;
        } else {
            exchange = queued == 0 && Mixer.Used;
            break;
        }
        if (priming && !paused) {
            MMRESULT result = winmm.WaveOutPause(stream.Output);
            if (result != MMSYSERR_NOERROR && result != MMSYSERR_NOTSUPPORTED) {
                GiveUpStream(now);
                return false;
            }
            paused = result == MMSYSERR_NOERROR;
        }
        if (winmm.WaveOutWrite(stream.Output, &stream.Headers[i], sizeof stream.Headers[i]) != MMSYSERR_NOERROR) {
            GiveUpStream(now);
            return false;
        }
        if (newest) {
            LockHold hold(MixerLock);
            Mixer.Newest.Written = Ticks();
            bool ahead = Mixer.LastWritten >= 0 && stream.Queued[Mixer.LastWritten];
            Mixer.NewestAhead = ahead ? Mixer.LastWritten : -1;
            if (!ahead && !paused)
                Mixer.Newest.Started = Mixer.Newest.Written;
            startsAtOnce = !ahead && paused;
        }
        stream.Queued[i] = true;
        Mixer.LastWritten = i;
        Mixer.Used = true;
        ++queued;
    }
    if (paused && winmm.WaveOutRestart(stream.Output) != MMSYSERR_NOERROR) {
        GiveUpStream(now);
        return false;
    }
    if (startsAtOnce) {
        LockHold hold(MixerLock);
        Mixer.Newest.Started = Ticks();
    }
    if (exchange) {
        Mixer.Current = nullptr;
        Mixer.OutputOpen = false;
        CloseStream(&stream); // nothing queued: the close is at once
        OpenStream(now);
    }
    return true;
}

// One look at the output; how long the sound thread may then wait for an event.
DWORD Feed()
{
    DWORD now = GetTickCount();
    bool defaultChanged = Mixer.DefaultChanged.exchange(false);
    if (Mixer.Current && (defaultChanged || Mixer.Current->Functions != &WaveFunctions()))
        GiveUpStream(now);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!Mixer.Current) {
            bool sounding, wanted;
            {
                LockHold hold(MixerLock);
                sounding = AnyVoice();
                wanted = sounding || Mixer.OutputWanted;
            }
            if (!wanted) {
                Mixer.Silent = false;
                return INFINITE;
            }
            if (!OpenStream(now)) {
                if (sounding)
                    PassTimeUnheard(now);
                else
                    Mixer.Silent = false;
                LONG left = static_cast<LONG>(Mixer.RetryAt - now);
                return left > 0 ? static_cast<DWORD>(left) : 1;
            }
        }
        if (FillStream(now)) {
            if (!Mixer.Current)
                return FirstRetryMilliseconds; // the exchange's open failed
            for (bool queued : Mixer.Current->Queued)
                if (queued)
                    return WatchMilliseconds;
            return INFINITE;
        }
    }
    return 1; // given up twice in one look: look again soon
}

DWORD WINAPI SoundThreadMain(LPVOID)
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    WatchDefaultDevice();
    HANDLE events[2] = {Mixer.WakeEvent, Mixer.DoneEvent};
    DWORD wait = INFINITE;
    for (;;) {
        WaitForMultipleObjects(2, events, FALSE, wait);
        wait = Feed();
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
        Mixer.Newest = VoiceTiming{Ticks(), 0, 0};
        Mixer.NewestUnmixed = true;
        Mixer.NewestAhead = -1;
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

MixerStreamFigures MixerStreamNow()
{
    return MixerStreamFigures{Mixer.OutputOpen, Mixer.OutputFailed, Mixer.RanDry,
                              Mixer.GivenUp,    Mixer.Closing,      Mixer.OpensFailed};
}

void MixerUseWinmm(const WinmmFunctions* functions)
{
    Mixer.StandIn = functions;
    LockHold hold(MixerLock);
    if (Mixer.WakeEvent)
        SetEvent(Mixer.WakeEvent);
}

void MixerTellDefaultDeviceChanged()
{
    DeviceWatch.OnDefaultDeviceChanged(eRender, eConsole, L"");
}

VoiceTiming MixerNewestVoiceTiming()
{
    LockHold hold(MixerLock);
    return Mixer.Newest;
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
