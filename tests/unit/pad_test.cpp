// The pads against the stand-in XInput (support/xinput_stand_in.cpp), which
// replays data/pad-script.txt; tests/unit/pad_test.sh puts it in place.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstdio>

#include <prompt/pad.h>

namespace {

// What the stand-in tells about itself: when its clock started, when the
// script plugs a pad in, how often a pad was asked for.
template <typename Function>
Function StandIn(const char* name)
{
    HMODULE module = GetModuleHandleW(L"xinput1_4.dll");
    return reinterpret_cast<Function>(reinterpret_cast<void*>(module ? GetProcAddress(module, name) : nullptr));
}
const auto ClockStart = [] { return StandIn<DWORD(WINAPI*)()>("StandInClockStart"); };
const auto PluggedIn = [] { return StandIn<DWORD(WINAPI*)(DWORD)>("StandInPluggedIn"); };
const auto Reads = [] { return StandIn<LONG(WINAPI*)(DWORD)>("StandInReads"); };

// Polls as a game's frame does, several calls a pass, until the condition
// holds; false after 10 s.
template <typename Condition>
bool PollUntil(Condition condition)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(1)) {
        double x, y;
        PadConnected(0);
        PadStick(0, PadStickLeft, &x, &y);
        PadTrigger(0, PadTriggerRight);
        if (condition())
            return true;
    }
    return false;
}

// Pad 0's sticks and triggers as they read now.
void ExpectPad0(double leftX, double leftY, double rightX, double rightY, double leftTrigger, double rightTrigger)
{
    double got[6] = {9, 9, 9, 9};
    bool answered = PadStick(0, PadStickLeft, &got[0], &got[1]) && PadStick(0, PadStickRight, &got[2], &got[3]);
    got[4] = PadTrigger(0, PadTriggerLeft);
    got[5] = PadTrigger(0, PadTriggerRight);
    printf("pad 0: sticks %d (%.5f, %.5f) (%.5f, %.5f), triggers %.5f %.5f\n", answered, got[0], got[1], got[2],
           got[3], got[4], got[5]);
    EXPECT_TRUE(answered);
    const double want[6] = {leftX, leftY, rightX, rightY, leftTrigger, rightTrigger};
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(want[i], got[i], 1e-12) << "value " << i;
}

TEST(PadTest, ScriptedRunFromStartToEnd)
{
    // The first call finds XInput and reads every pad.
    bool first[4] = {PadConnected(0), PadConnected(1), PadConnected(2), PadConnected(3)};
    ASSERT_TRUE(ClockStart() && PluggedIn() && Reads()) << "xinput1_4.dll is not the stand-in";
    DWORD start = ClockStart()(), plugged = PluggedIn()(1);
    printf("at first: pads %d %d %d %d\n", first[0], first[1], first[2], first[3]);
    ASSERT_NE(0u, PluggedIn()(0)) << "the script gives pad 0 no state: not read?";
    EXPECT_TRUE(first[0] && !first[1] && !first[2] && !first[3]);
    // At rest: inside the dead zones (the right stick's 8000 is outside the
    // left one's), the left trigger at its threshold.
    ExpectPad0(0, 0, 0, 0, 0, 0);

    ASSERT_TRUE(PollUntil([] { return PadConnected(1); })) << "pad 1 not found within 10 s";
    DWORD found = GetTickCount();
    bool heldB = PadButtonDown(1, PadB), pressedB = PadButtonPressed(1, PadB);
    printf("pad 1 plugged in at +%lu ms, found at +%lu ms; B down %d, pressed %d\n", plugged - start, found - start,
           heldB, pressedB);
    EXPECT_LE(found - plugged, 1000u) << "found within a second";
    EXPECT_TRUE(heldB);
    EXPECT_FALSE(pressedB) << "held when plugged in: no press";

    ASSERT_TRUE(PollUntil([] { return PadButtonDown(0, PadA); })) << "A never held";
    ExpectPad0(1, 0, 0, -1, 1, 113.0 / 225);
    ASSERT_TRUE(PollUntil([] { return PadButtonDown(0, PadX); })) << "X never held";
    EXPECT_FALSE(PadButtonDown(0, PadA));
    ExpectPad0(-1, 0, 0, 1, 0, 0);
    ASSERT_TRUE(PollUntil([] { return !PadButtonDown(0, PadX); })) << "X never let go";
    ExpectPad0(0, 0.5, 0, 0, 0, 0);

    // Each press answers once, however many reads it lasted; bad calls take none.
    EXPECT_FALSE(PadButtonPressed(0, PadA | PadX) || PadButtonPressed(4, PadA));
    bool a[4] = {PadButtonPressed(0, PadA), PadButtonPressed(0, PadA), PadButtonReleased(0, PadA),
                 PadButtonReleased(0, PadA)};
    bool x[4] = {PadButtonPressed(0, PadX), PadButtonPressed(0, PadX), PadButtonReleased(0, PadX),
                 PadButtonReleased(0, PadX)};
    bool b = PadButtonPressed(0, PadB);
    printf("A pressed %d %d, released %d %d; X %d %d, %d %d; B pressed %d\n", a[0], a[1], a[2], a[3], x[0], x[1],
           x[2], x[3], b);
    EXPECT_TRUE(a[0] && !a[1] && a[2] && !a[3]);
    EXPECT_TRUE(x[0] && !x[1] && x[2] && !x[3]);
    EXPECT_FALSE(b);

    // A connected pad read at most every 2 ms however often asked, a missing
    // one about once a second.
    LONG elapsed = static_cast<LONG>(GetTickCount() - start);
    LONG reads[4] = {Reads()(0), Reads()(1), Reads()(2), Reads()(3)};
    printf("in %ld ms, reads of the pads: %ld %ld %ld %ld\n", elapsed, reads[0], reads[1], reads[2], reads[3]);
    EXPECT_LE(reads[0], elapsed / 2 + 2);
    EXPECT_GE(reads[0], elapsed / 20) << "read on and on while the program asked";
    for (int pad : {2, 3}) {
        EXPECT_LE(reads[pad], elapsed / 1000 + 1) << "pad " << pad;
        EXPECT_GE(reads[pad], elapsed / 1000 - 1) << "pad " << pad;
    }
}

TEST(PadTest, BadArgumentsAnswerTheFailureValueAndReadNothing)
{
    ASSERT_TRUE(PollUntil([] { return PadConnected(0); }));
    ASSERT_TRUE(Reads());
    LONG before[4] = {Reads()(0), Reads()(1), Reads()(2), Reads()(3)};
    int answered = 0, written = 0;
    for (int pad : {-1, 4, INT_MIN, INT_MAX}) {
        double x = 7, y = 7;
        answered += PadConnected(pad) + PadButtonDown(pad, PadA) + PadButtonPressed(pad, PadA) +
                    PadButtonReleased(pad, PadA) + PadStick(pad, PadStickLeft, &x, &y) + (PadTrigger(pad, 0) != 0);
        written += x != 0 || y != 0;
    }
    for (int button : {0, PadA | PadB, 0x0400, 0x0800, 0x10000, -1})
        answered += PadButtonDown(0, button) + PadButtonPressed(0, button) + PadButtonReleased(0, button);
    for (int side : {-1, 2}) {
        double x = 7, y = 7;
        answered += PadStick(0, side, &x, &y) + (PadTrigger(0, side) != 0);
        written += x != 0 || y != 0;
    }
    double x = 7, y = 7;
    answered += PadStick(0, PadStickLeft, nullptr, &y) + PadStick(0, PadStickRight, &x, nullptr);
    printf("bad calls: %d answered other than the failure value, %d sticks not 0, 0; after null pointers %g, %g\n",
           answered, written, x, y);
    EXPECT_EQ(0, answered);
    EXPECT_EQ(0, written);
    EXPECT_TRUE(x == 7 && y == 7) << "nothing written beside a null pointer";
    for (int pad = 0; pad < PadCount; ++pad)
        EXPECT_EQ(before[pad], Reads()(pad)) << "a bad call read pad " << pad;

    // A pad not there answers the same.
    double missingX = 7, missingY = 7;
    bool stick = PadStick(3, PadStickRight, &missingX, &missingY);
    double trigger = PadTrigger(3, PadTriggerLeft);
    bool down = PadButtonDown(3, PadA);
    printf("pad 3: stick %d (%g, %g), trigger %g, A %d\n", stick, missingX, missingY, trigger, down);
    EXPECT_TRUE(!stick && missingX == 0 && missingY == 0 && trigger == 0 && !down);
}

} // namespace
