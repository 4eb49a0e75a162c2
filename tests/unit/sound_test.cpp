// Music through the media control interface: what a failed open leaves behind.
#include <gtest/gtest.h>

#include <thread>

#include "sound/sound.h"
#include "support/process.h"

namespace {

// Plays in a thread of its own and answers the message box it shows; its text.
std::string PlayAndAnswerTheBox()
{
    std::thread play(MusicPlay);
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
    EXPECT_EQ("デバイスのオープンに失敗", PlayAndAnswerTheBox());
    EXPECT_EQ(0u, MusicDevice) << "as if no device had been opened";
    EXPECT_EQ("デバイスのオープンに失敗", PlayAndAnswerTheBox()) << "the next play stops nothing that is not ours";
    EXPECT_EQ(0u, MusicDevice);
}

} // namespace
