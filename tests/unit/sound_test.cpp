// Music through the media control interface: what a failed open leaves
// behind. Sounds for the mixer: what loads, what is refused, and that a
// refusal keeps nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "runtime/lock.h"
#include "sound/mixer_testing.h"
#include "sound/sound.h"
#include "sound/wav_decode.h"
#include "support/files.h"
#include "support/process.h"

namespace {

// Runs action in a thread of its own and answers the message box it shows; its text.
std::string AnswerTheBox(void (*action)() = MusicPlay)
{
    std::thread play(action);
    MessageBoxSeen box;
    bool shown = WaitForMessageBox(GetCurrentProcessId(), 30000, &box);
    if (shown)
        PressMessageBoxButton(box.Box);
    play.join();
    return shown ? box.Text : "(no message box)";
}

TEST(MusicTest, FailedOpenLeavesNoDeviceBehind)
{
    lstrcpynA(MusicFileName, "no such music.mp3", MusicFileNameBytes);
    EXPECT_EQ("デバイスのオープンに失敗", AnswerTheBox());
    EXPECT_EQ(0u, MusicDevice) << "as if no device had been opened";
    EXPECT_EQ("デバイスのオープンに失敗", AnswerTheBox()) << "the next play stops nothing that is not ours";
    EXPECT_EQ(0u, MusicDevice);
}

DWORD WINAPI StopMusic(LPVOID)
{
    MusicStop();
    return 0;
}

TEST(MusicTest, PlayFileCutsALongNameAndStopWithNothingOpenIsQuiet)
{
    EXPECT_EQ("デバイスのオープンに失敗", AnswerTheBox([] { MusicPlayFile(std::string(300, 'a').c_str()); }));
    EXPECT_EQ(MusicFileNameBytes - 1, lstrlenA(MusicFileName));
    ASSERT_EQ(0u, MusicDevice);
    HANDLE stop = CreateThread(nullptr, 0, StopMusic, nullptr, 0, nullptr);
    bool returned = WaitForSingleObject(stop, 10000) == WAIT_OBJECT_0;
    if (!returned)
        AnswerTheBox([] {}); // a box holds the stop: answer it so that the test can end
    WaitForSingleObject(stop, INFINITE);
    CloseHandle(stop);
    EXPECT_TRUE(returned) << "MusicStop returned without a message box";
}

std::string SoundFile(const char* name)
{
    return TestDataFile(std::string("sounds/") + name);
}

// Bytes in use in the process heap, where the mixer keeps its sounds.
SIZE_T ProcessHeapBytes()
{
    SIZE_T bytes = 0;
    PROCESS_HEAP_ENTRY entry{};
    HeapLock(GetProcessHeap());
    while (HeapWalk(GetProcessHeap(), &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
            bytes += entry.cbData;
    HeapUnlock(GetProcessHeap());
    return bytes;
}

TEST(SoundLoadTest, RefusesWhatIsNotAnEightOrSixteenBitPcmWavAndKeepsNothing)
{
    const char* refused[] = {"no such sound.wav", "bad-truncated.wav", "bad-header-only.wav", "bad-empty.wav",
                             "bad-not-riff.wav", "bad-float.wav", "bad-adpcm.wav", "bad-24-bits.wav",
                             "bad-3-channels.wav", "bad-block-align.wav", "bad-no-data.wav",
                             "bad-empty-data.wav", "bad-zero-rate.wav", "bad-chunk-past-end.wav"};
    int loaded = MixerSoundsLoaded();
    SoundLoad(SoundFile("bad-truncated.wav").c_str()); // the platform's first-use allocations
    for (const char* name : refused) {
        std::string path = SoundFile(name);
        SIZE_T heap = ProcessHeapBytes();
        EXPECT_EQ(0, SoundLoad(path.c_str())) << name;
        EXPECT_EQ(heap, ProcessHeapBytes()) << name << ": the heap holds what it did before";
        EXPECT_EQ(loaded, MixerSoundsLoaded()) << name;
    }
    EXPECT_EQ(0, SoundLoad(nullptr));
}

TEST(SoundLoadTest, TakesEveryLayoutAtTheMixersRateInStereo)
{
    struct Case {
        const char* Name;
        LONG Frames;
    } cases[] = {{"tone-500.wav", 13230}, {"tone-800.wav", 13230},     {"tone-1250.wav", 13232},
                 {"blip.wav", 4410},      {"ok-extensible.wav", 441}, {"ok-data-first.wav", 441}};
    int loaded = MixerSoundsLoaded();
    SIZE_T held = MixerBytesHeld();
    for (const Case& c : cases) {
        std::string path = SoundFile(c.Name);
        int sound = SoundLoad(path.c_str());
        ASSERT_GT(sound, 0) << c.Name;
        const LoadedSound* kept = MixerSound(sound);
        ASSERT_NE(nullptr, kept);
        EXPECT_EQ(c.Frames, kept->Frames) << c.Name;
        // Asked of the block itself: the sound thread may take and give back
        // memory of the same heap meanwhile.
        EXPECT_GE(HeapSize(GetProcessHeap(), 0, kept->Samples), SIZE_T(c.Frames) * 4)
            << "the samples are in the heap the refusals watch";
        EXPECT_EQ(loaded + 1, MixerSoundsLoaded());
        SoundRelease(sound);
        EXPECT_EQ(nullptr, MixerSound(sound)) << "released";
        EXPECT_EQ(held, MixerBytesHeld()) << c.Name;
    }
}

// The 8-bit, 11,025 Hz mono tone becomes the same wave at 44,100 Hz on both channels.
TEST(SoundLoadTest, ConversionKeepsTheWave)
{
    int sound = SoundLoad(SoundFile("tone-1250.wav").c_str());
    ASSERT_GT(sound, 0);
    const LoadedSound* kept = MixerSound(sound);
    double worst = 0;
    for (LONG i = 0; i < kept->Frames - 8; ++i) {
        double expected = 0.25 * 127 * 256 * std::sin(2 * 3.14159265358979 * 1250 * i / 44100.0);
        worst = std::max(worst, std::fabs(kept->Samples[2 * i] - expected));
        ASSERT_EQ(kept->Samples[2 * i], kept->Samples[2 * i + 1]) << "frame " << i;
    }
    // Linear interpolation at 8.8 source samples a period, and 8-bit steps.
    EXPECT_LT(worst, 900.0);
    SoundRelease(sound);
}

// Every cut of a file and random damage to its header: never a read outside
// the bytes, and what is accepted lies inside them.
TEST(SoundLoadTest, CutOrDamagedBytesAreReadSafely)
{
    std::string file = ReadWholeFile(SoundFile("ok-data-first.wav"));
    ASSERT_GT(file.size(), 100u);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(file.data());
    WavFormat format;
    for (size_t size = 0; size < file.size(); ++size) {
        std::string cut = file.substr(0, size); // its own block, so that a read past it could be caught
        int parsed = WavParse(reinterpret_cast<const unsigned char*>(cut.data()), cut.size(), &format);
        EXPECT_EQ(0, parsed) << "cut to " << size << " bytes";
    }
    EXPECT_EQ(1, WavParse(bytes, file.size(), &format));

    std::mt19937 random(22);
    int accepted = 0;
    for (int trial = 0; trial < 5000; ++trial) {
        std::string damaged = file;
        for (int n = 0; n < 1 + trial % 4; ++n)
            damaged[random() % 60] = static_cast<char>(random());
        const unsigned char* start = reinterpret_cast<const unsigned char*>(damaged.data());
        if (!WavParse(start, damaged.size(), &format))
            continue;
        ++accepted;
        size_t frameBytes = format.Channels * format.BitsPerSample / 8;
        ASSERT_GE(format.Data, start);
        ASSERT_LE(format.Data + format.Frames * frameBytes, start + damaged.size()) << "trial " << trial;
        uint32_t frames = WavMixFrames(format);
        if (frames && frames < 1000000) {
            std::vector<int16_t> out(2 * frames);
            WavConvert(format, out.data());
        }
    }
    EXPECT_GT(accepted, 0) << "some damage leaves a playable file";
}

TEST(SoundPlayTest, NumbersThatAreNotLoadedDoNothing)
{
    int sound = SoundLoad(SoundFile("blip.wav").c_str());
    ASSERT_GT(sound, 0);
    SoundRelease(sound);
    for (int number : {0, -1, MaxSounds + 1, sound}) {
        EXPECT_EQ(0, SoundPlay(number)) << number;
        EXPECT_EQ(0, SoundPlayLooped(number)) << number;
        EXPECT_EQ(0, SoundSetVolume(number, 50)) << number;
        SoundStop(number);
        SoundRelease(number);
    }
    EXPECT_EQ(0, MixerVoicesSounding());
}

// Stand-in waveOut devices, numbered by their opens: each plays a buffer
// every 10 ms until the test makes it fail as an unplugged device fails.
struct StandInDevices {
    Lock Guard;
    std::vector<DWORD> OpenTimes; // each attempt, failed ones too
    std::vector<UINT> OpenedOn;   // the device asked for, by open
    int OpensFail = 0;            // no device at all
    int WritesFail = 0;           // this device's calls answer MMSYSERR_NODRIVER
    int GivesNothingBack = 0;     // this one takes buffers and never plays them
    int ResetHangs = 0;           // this one's reset waits for ResetGate
    HANDLE ResetGate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE Callback = nullptr;
    std::vector<std::pair<int, WAVEHDR*>> Playing;
    int Writes[16] = {}, Prepared[16] = {};
    DWORD ResetOn[16] = {};       // the thread that reset it
    bool Closed[16] = {};
};
StandInDevices Devices;

int DeviceOf(HWAVEOUT output)
{
    return static_cast<int>(reinterpret_cast<INT_PTR>(output));
}

MMRESULT WINAPI StandInOpen(LPHWAVEOUT output, UINT device, LPCWAVEFORMATEX, DWORD_PTR callback, DWORD_PTR, DWORD)
{
    LockHold hold(Devices.Guard);
    Devices.OpenTimes.push_back(GetTickCount());
    if (Devices.OpensFail || Devices.OpenedOn.size() >= 15)
        return MMSYSERR_NODRIVER;
    Devices.OpenedOn.push_back(device);
    Devices.Callback = reinterpret_cast<HANDLE>(callback);
    *output = reinterpret_cast<HWAVEOUT>(static_cast<INT_PTR>(Devices.OpenedOn.size()));
    return MMSYSERR_NOERROR;
}

MMRESULT Answer(HWAVEOUT output)
{
    return DeviceOf(output) == Devices.WritesFail ? MMSYSERR_NODRIVER : MMSYSERR_NOERROR;
}

MMRESULT WINAPI StandInPrepare(HWAVEOUT output, LPWAVEHDR header, UINT)
{
    LockHold hold(Devices.Guard);
    header->dwFlags |= WHDR_PREPARED;
    ++Devices.Prepared[DeviceOf(output)];
    return Answer(output);
}

MMRESULT WINAPI StandInUnprepare(HWAVEOUT output, LPWAVEHDR header, UINT)
{
    LockHold hold(Devices.Guard);
    header->dwFlags &= ~WHDR_PREPARED;
    --Devices.Prepared[DeviceOf(output)];
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI StandInWrite(HWAVEOUT output, LPWAVEHDR header, UINT)
{
    LockHold hold(Devices.Guard);
    if (Answer(output) != MMSYSERR_NOERROR)
        return Answer(output);
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    Devices.Playing.push_back({DeviceOf(output), header});
    ++Devices.Writes[DeviceOf(output)];
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI StandInPauseOrRestart(HWAVEOUT output)
{
    LockHold hold(Devices.Guard);
    return Answer(output);
}

// As the platform's: every buffer comes back done.
MMRESULT WINAPI StandInReset(HWAVEOUT output)
{
    if (DeviceOf(output) == Devices.ResetHangs)
        WaitForSingleObject(Devices.ResetGate, INFINITE);
    LockHold hold(Devices.Guard);
    Devices.ResetOn[DeviceOf(output)] = GetCurrentThreadId();
    for (auto& playing : Devices.Playing)
        if (playing.first == DeviceOf(output))
            playing.second->dwFlags = (playing.second->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    auto& list = Devices.Playing;
    list.erase(std::remove_if(list.begin(), list.end(), [&](auto& p) { return p.first == DeviceOf(output); }), list.end());
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI StandInClose(HWAVEOUT output)
{
    LockHold hold(Devices.Guard);
    Devices.Closed[DeviceOf(output)] = true;
    return MMSYSERR_NOERROR;
}

// The stand-in's player: the oldest buffer done every 10 ms, unless its device gives nothing back.
void PlayBuffers(std::atomic<bool>* stop)
{
    while (!*stop) {
        Sleep(10);
        LockHold hold(Devices.Guard);
        if (!Devices.Playing.empty() && Devices.Playing.front().first != Devices.GivesNothingBack) {
            WAVEHDR* header = Devices.Playing.front().second;
            header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
            Devices.Playing.erase(Devices.Playing.begin());
            SetEvent(Devices.Callback);
        }
    }
}

// Changes the stand-in's behaviour as the sound thread sees it.
void Make(int StandInDevices::*field, int value)
{
    LockHold hold(Devices.Guard);
    Devices.*field = value;
}

template <typename Condition>
bool WaitUntil(Condition condition, DWORD milliseconds)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(2)) {
        LockHold hold(Devices.Guard);
        if (condition())
            return true;
    }
    return false;
}

// Unplugged, a device fails every call and its reset may never return; one
// that is gone may also take buffers and give none back. Either way the
// stream goes, closed off the program's threads and the sound thread alike,
// and a new one opens on the default device; with none there, the opens are
// tried again, less and less often; the looped voice sounds on throughout.
// A new default device is followed the same way.
TEST(MixerDeviceTest, AFailingStreamIsClosedAsideAndTheDefaultDeviceOpenedAgain)
{
    int loop = SoundLoad(SoundFile("loop.wav").c_str());
    ASSERT_GT(loop, 0);
    ASSERT_EQ(1, SoundPlayLooped(loop));
    for (DWORD start = GetTickCount(); !MixerStreamNow().OutputOpen && GetTickCount() - start < 30000; Sleep(5)) {
    }
    ASSERT_TRUE(MixerStreamNow().OutputOpen) << "the system's device first";
    LONG givenUp = MixerStreamNow().StreamsGivenUp;
    WinmmFunctions standIn = Winmm();
    standIn.WaveOutOpen = StandInOpen;
    standIn.WaveOutPrepareHeader = StandInPrepare;
    standIn.WaveOutUnprepareHeader = StandInUnprepare;
    standIn.WaveOutWrite = StandInWrite;
    standIn.WaveOutPause = StandInPauseOrRestart;
    standIn.WaveOutRestart = StandInPauseOrRestart;
    standIn.WaveOutReset = StandInReset;
    standIn.WaveOutClose = StandInClose;
    Make(&StandInDevices::ResetHangs, 1);
    std::atomic<bool> stop{false};
    std::thread player(PlayBuffers, &stop);
    MixerUseWinmm(&standIn);

    EXPECT_TRUE(WaitUntil([] { return Devices.Writes[1] >= 20; }, 10000)) << "device 1 played";
    Make(&StandInDevices::WritesFail, 1);
    EXPECT_TRUE(WaitUntil([] { return Devices.Writes[2] >= 20; }, 10000)) << "device 2 plays after device 1 failed";
    double start = NowMicroseconds();
    SoundSetVolume(loop, 80);
    SoundSetMasterVolume(100);
    SoundPlay(loop); // over in 0.25 s
    double calls = (NowMicroseconds() - start) / 1000;
    {
        LockHold hold(Devices.Guard);
        printf("device 1: %d buffers, then a write failed; device 2 opened on %d (WAVE_MAPPER %d), %d buffers, "
               "while device 1's reset still hangs (%ld streams closing); three calls took %.2f ms\n",
               Devices.Writes[1], Devices.OpenedOn[1], WAVE_MAPPER, Devices.Writes[2], MixerStreamNow().StreamsClosing, calls);
        EXPECT_EQ(UINT(WAVE_MAPPER), Devices.OpenedOn[1]);
        EXPECT_FALSE(Devices.Closed[1]);
        EXPECT_EQ(1, MixerStreamNow().StreamsClosing);
    }
    EXPECT_LT(calls, 50.0) << "the program's calls do not wait for the device";
    SetEvent(Devices.ResetGate);
    EXPECT_TRUE(WaitUntil([] { return Devices.Closed[1] && Devices.Prepared[1] == 0; }, 10000))
        << "device 1 reset, its headers unprepared and closed once its reset returned";
    EXPECT_NE(GetThreadId(MixerThread()), Devices.ResetOn[1]) << "not on the sound thread";
    EXPECT_NE(GetCurrentThreadId(), Devices.ResetOn[1]);

    DWORD stalled = GetTickCount();
    Make(&StandInDevices::GivesNothingBack, 2);
    EXPECT_TRUE(WaitUntil([] { return Devices.OpenedOn.size() >= 3; }, 10000));
    stalled = GetTickCount() - stalled;
    EXPECT_TRUE(WaitUntil([] { return Devices.Writes[3] >= 10 && Devices.Closed[2]; }, 10000));
    printf("device 2 gave nothing back: device 3 opened %lu ms later, and plays\n", stalled);
    EXPECT_GE(stalled, 150u);
    EXPECT_LE(stalled, 1000u);

    size_t attempts;
    {
        LockHold hold(Devices.Guard);
        attempts = Devices.OpenTimes.size();
        Devices.OpensFail = true; // a device that is gone, and no other
        Devices.WritesFail = 3;
    }
    EXPECT_TRUE(WaitUntil([attempts] { return Devices.OpenTimes.size() >= attempts + 6; }, 10000));
    DWORD back = GetTickCount();
    Make(&StandInDevices::OpensFail, false);
    EXPECT_TRUE(WaitUntil([] { return Devices.Writes[4] >= 10; }, 10000)) << "a device again";
    back = GetTickCount() - back;
    std::vector<DWORD> gaps;
    {
        LockHold hold(Devices.Guard);
        for (size_t i = attempts + 1; i < attempts + 6; ++i)
            gaps.push_back(Devices.OpenTimes[i] - Devices.OpenTimes[i - 1]);
    }
    printf("no device: opens tried again after %lu %lu %lu %lu %lu ms; a device back, heard %lu ms later; "
           "%d voice sounding\n", gaps[0], gaps[1], gaps[2], gaps[3], gaps[4], back, MixerVoicesSounding());
    EXPECT_GE(gaps[0], 70u);
    for (size_t i = 1; i < gaps.size(); ++i)
        EXPECT_GE(gaps[i] + 30, gaps[i - 1]) << "less and less often";
    EXPECT_LE(*std::max_element(gaps.begin(), gaps.end()), 600u);
    EXPECT_LE(back, 600u);
    EXPECT_EQ(1, MixerVoicesSounding()) << "the looped voice went on";
    MixerTellDefaultDeviceChanged();
    EXPECT_TRUE(WaitUntil([] { return Devices.Writes[5] >= 10 && Devices.Closed[4]; }, 10000))
        << "a new default device: device 4 closed, device 5 plays";
    EXPECT_EQ(5, MixerStreamNow().StreamsGivenUp - givenUp) << "the system's stream, devices 1 to 4";

    SoundRelease(loop);
    MixerUseWinmm(nullptr);
    EXPECT_TRUE(WaitUntil([] { return Devices.Closed[5] && MixerStreamNow().OutputOpen; }, 10000)) << "the system's device again";
    stop = true;
    player.join();
}

} // namespace
