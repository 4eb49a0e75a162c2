// Music through the media control interface: what a failed open leaves behind.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "sound/sound.h"
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

} // namespace
