// Run by tests/e2e/sound_test.sh while the audio sink is recorded: plays the
// mixer's test sounds on a fixed schedule and writes down when each call was
// made (in 100 ns units of the performance counter, which under Wine is the
// host's raw monotonic clock), for analyse_sound.py to find in the recording.
// And a looped voice that sounds on while the script takes the sink away and
// brings it back.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "sound/mixer_testing.h"
#include "sound/sound.h"
#include "support/files.h"
#include "support/process.h"

namespace {

LONGLONG Now100ns()
{
    return static_cast<LONGLONG>(NowMicroseconds() * 10);
}

struct Event {
    std::string Name;
    LONGLONG Time;
};

std::vector<Event> Events;

void Note(const std::string& name, LONGLONG time = Now100ns())
{
    Events.push_back(Event{name, time});
}

LONGLONG Start;
const int LatencyRounds = 10;

// The schedule: calls are made at fixed offsets from the start.
void At(int milliseconds)
{
    while (Now100ns() < Start + milliseconds * 10000LL)
        Sleep(1);
}

int Load(const char* name)
{
    int sound = SoundLoad(TestDataFile(std::string("sounds/") + name).c_str());
    EXPECT_GT(sound, 0) << name;
    return sound;
}

bool WaitForRestarts(LONG count, DWORD milliseconds)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(5))
        if (MusicLoopRestarts() >= count)
            return true;
    return false;
}

TEST(MixerScript, PlaysTheScheduleWhileRecorded)
{
    std::string eventsPath = EnvironmentValue("SOUND_EVENTS");
    if (eventsPath.empty())
        GTEST_SKIP() << "run by sound_test.sh";
    int tones[3] = {Load("tone-500.wav"), Load("tone-800.wav"), Load("tone-1250.wav")};
    int tone = Load("tone-700.wav"), loop = Load("loop.wav"), level = Load("level.wav"), blip = Load("blip.wav");
    std::string blipPath = TestDataFile("sounds/blip.wav");
    ASSERT_FALSE(HasFailure());
    for (DWORD start = GetTickCount(); !MixerStreamNow().OutputOpen && GetTickCount() - start < 30000; Sleep(5)) {
    }
    ASSERT_TRUE(MixerStreamNow().OutputOpen) << "the first load opens the output";
    // A failed music open shows a box; answer it rather than wait for ever.
    std::atomic<bool> done{false};
    std::string boxText;
    std::thread boxes([&] {
        MessageBoxSeen box;
        while (!done)
            if (WaitForMessageBox(GetCurrentProcessId(), 200, &box)) {
                boxText = box.Text;
                PressMessageBoxButton(box.Box);
            }
    });

    Start = Now100ns();
    // Three tones 80 ms apart, each 0.3 s: all three sound together from 160 ms to 300 ms.
    const char* toneNames[3] = {"tone500", "tone800", "tone1250"};
    for (int i = 0; i < 3; ++i) {
        At(i * 80);
        Note(toneNames[i]);
        EXPECT_EQ(1, SoundPlay(tones[i]));
    }
    // The same tone at full and at half volume.
    At(1000);
    Note("volume100");
    SoundPlay(tone);
    At(1600);
    SoundSetVolume(tone, 50);
    Note("volume50");
    SoundPlay(tone);
    // A looped voice, stopped after four repetitions and a bit.
    At(2400);
    Note("loop");
    EXPECT_EQ(1, SoundPlayLooped(loop));
    At(3460);
    Note("loopstop");
    SoundStop(loop);
    // 40 plays in a burst: only 16 may sound.
    At(4200);
    Note("burst");
    for (int i = 0; i < 40; ++i)
        SoundPlay(level);
    int most = 0;
    for (LONGLONG until = Now100ns() + 3000000; Now100ns() < until; Sleep(1))
        most = std::max(most, MixerVoicesSounding());
    EXPECT_EQ(MaxVoices, most) << "voices sounding after the burst";
    // The same short tone through the platform's player and through the mixer, in turns.
    for (int round = 0; round < LatencyRounds; ++round) {
        At(5000 + round * 1000);
        Note("effect" + std::to_string(round));
        SoundEffectPlay(blipPath.c_str());
        At(5500 + round * 1000);
        Note("play" + std::to_string(round));
        SoundPlay(blip);
    }
    // Looped music: heard again at its end, then at half volume.
    At(5200 + LatencyRounds * 1000);
    std::string music = TestDataFile("sounds/loop-music.mp3");
    Note("music");
    MusicPlayLooped(music.c_str());
    EXPECT_NE(0u, MusicDevice);
    EXPECT_TRUE(WaitForRestarts(2, 30000)) << "the music ended twice and played again";
    Note("musichalf");
    int volumeTaken = MusicSetVolume(50);
    EXPECT_TRUE(WaitForRestarts(4, 30000));
    Note("musicstop");
    MusicStop();
    Sleep(600); // the tail of the recording, so that the end is in it
    Note("end");
    done = true;
    boxes.join();
    EXPECT_EQ("", boxText) << "a message box";

    FILE* out = std::fopen(WindowsPath(eventsPath).c_str(), "w");
    ASSERT_NE(nullptr, out);
    for (const Event& event : Events)
        std::fprintf(out, "%s %lld\n", event.Name.c_str(), static_cast<long long>(event.Time));
    std::fprintf(out, "value musicvolumetaken %d\n", volumeTaken);
    std::fprintf(out, "value randry %ld\n", MixerStreamNow().TimesRanDry);
    std::fprintf(out, "value givenup %ld\n", MixerStreamNow().StreamsGivenUp);
    std::fclose(out);
}

// Appended and closed at once: the script reads it while the test runs.
void Tell(const std::string& path, const std::string& line)
{
    FILE* out = std::fopen(WindowsPath(path).c_str(), "a");
    if (!out)
        return;
    std::fprintf(out, "%s\n", line.c_str());
    std::fclose(out);
}

// The script unloads the sink (as an unplugged headset goes) once this has
// told it "playing", loads it again once told "away" (the stream given up and
// five opens failed since: the mixer tries only every 500 ms now), and makes
// the end file once the sound is heard again. Meanwhile the program's own
// calls are timed: none may wait for the device.
TEST(MixerScript, SoundsOnWhenTheDeviceGoesAndComesBack)
{
    std::string events = EnvironmentValue("DEVICE_EVENTS"), end = WindowsPath(EnvironmentValue("DEVICE_END"));
    if (events.empty())
        GTEST_SKIP() << "run by sound_test.sh";
    int tone = Load("tone-700.wav");
    ASSERT_FALSE(HasFailure());
    for (DWORD start = GetTickCount(); !MixerStreamNow().OutputOpen && GetTickCount() - start < 30000; Sleep(5)) {
    }
    ASSERT_TRUE(MixerStreamNow().OutputOpen) << "the first load opens the output";
    LONG givenUp = MixerStreamNow().StreamsGivenUp, opensFailed = 0;
    ASSERT_EQ(1, SoundPlayLooped(tone));
    Tell(events, "playing " + std::to_string(Now100ns()));
    double longest = 0;
    bool told = false;
    for (DWORD start = GetTickCount(); GetFileAttributesA(end.c_str()) == INVALID_FILE_ATTRIBUTES; Sleep(1)) {
        ASSERT_LT(GetTickCount() - start, 120000u) << "the script never ended the run";
        double before = NowMicroseconds();
        SoundSetVolume(tone, 100);
        int sounding = MixerVoicesSounding();
        longest = std::max(longest, NowMicroseconds() - before);
        EXPECT_EQ(1, sounding);
        if (!opensFailed && MixerStreamNow().StreamsGivenUp > givenUp) {
            Tell(events, "givenup " + std::to_string(Now100ns()));
            opensFailed = MixerStreamNow().OpensFailed;
        }
        if (opensFailed && !told && MixerStreamNow().OpensFailed >= opensFailed + 5) {
            Tell(events, "away " + std::to_string(Now100ns()));
            told = true;
        }
    }
    SoundStop(tone);
    Tell(events, "value longestcallus " + std::to_string(static_cast<long>(longest)));
    Tell(events, "value givenup " + std::to_string(MixerStreamNow().StreamsGivenUp - givenUp));
    Tell(events, "value closing " + std::to_string(MixerStreamNow().StreamsClosing));
    Tell(events, "value opensfailed " + std::to_string(MixerStreamNow().OpensFailed));
    printf("the longest call took %.0f us; %ld streams given up, %ld still closing\n", longest,
           MixerStreamNow().StreamsGivenUp - givenUp, MixerStreamNow().StreamsClosing);
    EXPECT_LT(longest, 50000.0) << "a call waited for the device";
}

} // namespace
