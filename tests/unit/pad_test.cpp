// The pads against the stand-in XInput (support/xinput_stand_in.cpp), which
// replays data/pad-script.txt; tests/unit/pad_test.sh puts it in place.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstdio>

#include <prompt/pad.h>

namespace {

// What the stand-in tells about itself.
struct StandIn {
    DWORD(WINAPI* ClockStart)();
    DWORD(WINAPI* PluggedIn)(DWORD pad);
    LONG(WINAPI* Reads)(DWORD pad);
};

template <typename Function>
Function Export(const char* name)
{
    HMODULE module = GetModuleHandleW(L"xinput1_4.dll");
    FARPROC found = module ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

StandIn FindStandIn()
{
    return StandIn{Export<DWORD(WINAPI*)()>("StandInClockStart"), Export<DWORD(WINAPI*)(DWORD)>("StandInPluggedIn"),
                   Export<LONG(WINAPI*)(DWORD)>("StandInReads")};
}

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

void ExpectStick(int pad, int stick, double wantX, double wantY)
{
    double x = 9, y = 9;
    bool answered = PadStick(pad, stick, &x, &y);
    printf("pad %d stick %d: %d (%.5f, %.5f)\n", pad, stick, answered, x, y);
    EXPECT_TRUE(answered);
    EXPECT_NEAR(wantX, x, 1e-12) << "pad " << pad << " stick " << stick;
    EXPECT_NEAR(wantY, y, 1e-12) << "pad " << pad << " stick " << stick;
}

void ExpectTriggers(double left, double right)
{
    double gotLeft = PadTrigger(0, PadTriggerLeft), gotRight = PadTrigger(0, PadTriggerRight);
    printf("pad 0 triggers: %.5f %.5f\n", gotLeft, gotRight);
    EXPECT_NEAR(left, gotLeft, 1e-12);
    EXPECT_NEAR(right, gotRight, 1e-12);
}

TEST(PadTest, ScriptedRunFromStartToEnd)
{
    // The first call finds XInput and reads every pad.
    bool first0 = PadConnected(0), first1 = PadConnected(1);
    StandIn standIn = FindStandIn();
    ASSERT_TRUE(standIn.ClockStart && standIn.PluggedIn && standIn.Reads) << "xinput1_4.dll is not the stand-in";
    DWORD start = standIn.ClockStart(), plugged = standIn.PluggedIn(1);
    printf("at first: pad 0 %d, pad 1 %d, pad 2 %d, pad 3 %d\n", first0, first1, PadConnected(2), PadConnected(3));
    ASSERT_NE(0u, standIn.PluggedIn(0)) << "the script gives pad 0 no state: not read?";
    EXPECT_TRUE(first0);
    EXPECT_FALSE(first1) << "pad 1 is missing until the script plugs it in";
    EXPECT_FALSE(PadConnected(2));
    EXPECT_FALSE(PadConnected(3));

    // At rest: inside the dead zones, the left trigger at its threshold.
    ExpectStick(0, PadStickLeft, 0, 0);
    ExpectStick(0, PadStickRight, 0, 0);
    ExpectTriggers(0, 0);

    ASSERT_TRUE(PollUntil([] { return PadConnected(1); })) << "pad 1 not found within 10 s";
    DWORD found = GetTickCount();
    printf("pad 1 plugged in at +%lu ms, found at +%lu ms\n", plugged - start, found - start);
    EXPECT_LE(found - plugged, 1000u) << "found within a second";
    bool heldB = PadButtonDown(1, PadB), pressedB = PadButtonPressed(1, PadB);
    printf("pad 1 B: down %d, pressed %d\n", heldB, pressedB);
    EXPECT_TRUE(heldB);
    EXPECT_FALSE(pressedB) << "held when plugged in: no press";

    ASSERT_TRUE(PollUntil([] { return PadButtonDown(0, PadA); })) << "A never held";
    ExpectStick(0, PadStickLeft, 1, 0);
    ExpectStick(0, PadStickRight, 0, -1);
    ExpectTriggers(1, 113.0 / 225);

    ASSERT_TRUE(PollUntil([] { return PadButtonDown(0, PadX); })) << "X never held";
    EXPECT_FALSE(PadButtonDown(0, PadA));
    ExpectStick(0, PadStickLeft, -1, 0);
    ExpectStick(0, PadStickRight, 0, 1);
    ExpectTriggers(0, 0);

    ASSERT_TRUE(PollUntil([] { return !PadButtonDown(0, PadX); })) << "X never let go";
    ExpectStick(0, PadStickLeft, 0, 0.5);

    // Each press answers once, however many reads it lasted, and bad calls
    // before take none of them.
    EXPECT_FALSE(PadButtonPressed(0, PadA | PadX));
    EXPECT_FALSE(PadButtonPressed(4, PadA));
    bool a[4] = {PadButtonPressed(0, PadA), PadButtonPressed(0, PadA), PadButtonReleased(0, PadA),
                 PadButtonReleased(0, PadA)};
    bool x[4] = {PadButtonPressed(0, PadX), PadButtonPressed(0, PadX), PadButtonReleased(0, PadX),
                 PadButtonReleased(0, PadX)};
    printf("A pressed %d then %d, released %d then %d; X %d %d, %d %d; B pressed %d\n", a[0], a[1], a[2], a[3], x[0],
           x[1], x[2], x[3], PadButtonPressed(0, PadB));
    EXPECT_TRUE(a[0] && !a[1] && a[2] && !a[3]);
    EXPECT_TRUE(x[0] && !x[1] && x[2] && !x[3]);
    EXPECT_FALSE(PadButtonPressed(0, PadB));

    // A connected pad read at most every 2 ms, however often asked; a
    // missing one about once a second.
    LONG elapsed = static_cast<LONG>(GetTickCount() - start);
    LONG reads[4] = {standIn.Reads(0), standIn.Reads(1), standIn.Reads(2), standIn.Reads(3)};
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
    StandIn standIn = FindStandIn();
    ASSERT_TRUE(standIn.Reads);
    LONG before[4] = {standIn.Reads(0), standIn.Reads(1), standIn.Reads(2), standIn.Reads(3)};

    const int badPads[] = {-1, 4, INT_MIN, INT_MAX};
    int answered = 0;
    for (int pad : badPads) {
        double x = 7, y = 7;
        answered += PadConnected(pad) + PadButtonDown(pad, PadA) + PadButtonPressed(pad, PadA) +
                    PadButtonReleased(pad, PadA) + PadStick(pad, PadStickLeft, &x, &y);
        EXPECT_TRUE(x == 0 && y == 0) << "pad " << pad << ": " << x << ", " << y;
        EXPECT_EQ(0.0, PadTrigger(pad, PadTriggerLeft)) << "pad " << pad;
    }
    const int badButtons[] = {0, PadA | PadB, 0x0400, 0x0800, 0x10000, -1};
    for (int button : badButtons)
        answered += PadButtonDown(0, button) + PadButtonPressed(0, button) + PadButtonReleased(0, button);
    const int badSides[] = {-1, 2};
    for (int side : badSides) {
        double x = 7, y = 7;
        answered += PadStick(0, side, &x, &y);
        EXPECT_TRUE(x == 0 && y == 0) << "stick " << side << ": " << x << ", " << y;
        EXPECT_EQ(0.0, PadTrigger(0, side)) << "trigger " << side;
    }
    double x = 7, y = 7;
    answered += PadStick(0, PadStickLeft, nullptr, &y) + PadStick(0, PadStickRight, &x, nullptr);
    printf("bad calls answered true %d times; x %g, y %g after null pointers\n", answered, x, y);
    EXPECT_EQ(0, answered);
    EXPECT_TRUE(x == 7 && y == 7) << "nothing written beside a null pointer";
    for (int pad = 0; pad < PadCount; ++pad)
        EXPECT_EQ(before[pad], standIn.Reads(pad)) << "a bad call read pad " << pad;

    // A pad not there answers the same.
    double missingX = 7, missingY = 7;
    bool stick = PadStick(3, PadStickRight, &missingX, &missingY);
    printf("pad 3: stick %d (%g, %g), trigger %g, A %d\n", stick, missingX, missingY, PadTrigger(3, PadTriggerLeft),
           PadButtonDown(3, PadA));
    EXPECT_FALSE(stick);
    EXPECT_TRUE(missingX == 0 && missingY == 0);
    EXPECT_EQ(0.0, PadTrigger(3, PadTriggerLeft));
    EXPECT_FALSE(PadButtonDown(3, PadA));
}

} // namespace
