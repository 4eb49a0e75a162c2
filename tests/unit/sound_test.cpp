// Music through the media control interface: what a failed open leaves
// behind. Sounds for the mixer: what loads, what is refused, and that a
// refusal keeps nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <thread>

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

} // namespace
