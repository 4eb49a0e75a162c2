#include <algorithm>

#include <prompt/screen.h>

#include "runtime/frame_clock_testing.h"
#include "runtime/system_library.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

struct FrameClock {
    LONGLONG TicksPerSecond; // of the performance counter
    LONGLONG Start;          // counter ticks at frame 0 of the current run; 0 before the first frame
    LONGLONG Index;          // the frame of the run whose deadline comes next
    LONG Rate;               // the frames a second of the current run
    LONG Frames;
    HANDLE Timer;            // a high-resolution waitable timer where Windows has one (10 1803 and later)
    LONGLONG SleepLasts;     // counter ticks a Sleep(1) has lasted lately, where there is no such timer
};

FrameClock Clock;
bool SleepOnly;   // a test's: as on a system without a high-resolution timer
bool PeriodAsked;

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void ClockStart()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    Clock.TicksPerSecond = frequency.QuadPart;
    Clock.Timer = SleepOnly ? nullptr
                            : CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                                     TIMER_ALL_ACCESS);
    // Without it Sleep is the timer, which lasts a whole 15.6 ms tick unless
    // the process asks for 1 ms; asked here, whether the console (which asks
    // while it runs) is there or not, and given back by the system when the
    // process ends.
    if (!Clock.Timer && !PeriodAsked)
        PeriodAsked = Winmm().TimeBeginPeriod(1) == TIMERR_NOERROR;
    Clock.SleepLasts = 2 * Clock.TicksPerSecond / 1000;
}

// A Sleep(1) lasts until the next timer tick after a millisecond: 1 to 2 ms
// at a 1 ms period, a whole tick if the period could not be had, and longer
// now and then on a busy system. So the wait sleeps only while more is left
// than the longest Sleep of late (fading, so that one slow Sleep does not keep
// the processor spinning for long).
void SleepUntilNear(LONGLONG deadline)
{
    while (deadline - Now() > Clock.SleepLasts) {
        LONGLONG before = Now();
        Sleep(1);
        LONGLONG lasted = Now() - before;
        Clock.SleepLasts = std::max(lasted, Clock.SleepLasts - Clock.SleepLasts / 32);
    }
}

// A high-resolution timer is waited on up to the deadline itself; Sleep,
// coarser, up to a Sleep's length before it. What is left is spun without
// giving the processor away: a Sleep(0) can lose it to another program for a
// whole time slice.
void WaitUntil(LONGLONG deadline)
{
    LONGLONG left = deadline - Now();
    LARGE_INTEGER due;
    due.QuadPart = -(left * 10000000 / Clock.TicksPerSecond); // relative, in 100 ns
    if (Clock.Timer && due.QuadPart < 0 && SetWaitableTimer(Clock.Timer, &due, 0, nullptr, nullptr, FALSE)) {
        WaitForSingleObject(Clock.Timer, INFINITE);
    } else {
        SleepUntilNear(deadline);
    }
    while (Now() < deadline)
        YieldProcessor();
}

} // namespace

void FrameWait(LONG framesPerSecond)
{
    if (framesPerSecond <= 0)
        return;
    if (Clock.TicksPerSecond == 0)
        ClockStart();
    // Deadlines count from the run's start, so no rounding adds up.
    auto deadline = [](LONGLONG index) { return Clock.Start + index * Clock.TicksPerSecond / Clock.Rate; };
    LONGLONG now = Now();
    ++Clock.Index;
    if (Clock.Start == 0 || Clock.Rate != framesPerSecond || now > deadline(Clock.Index + 1)) {
        // The first frame, a new rate, or more than a frame behind: from now.
        Clock.Start = now;
        Clock.Rate = framesPerSecond;
        Clock.Index = 1;
    }
    WaitUntil(deadline(Clock.Index));
    ++Clock.Frames;
}

LONG FrameCount()
{
    return Clock.Frames;
}

void FrameClockRestart(bool sleepOnly)
{
    if (Clock.Timer)
        CloseHandle(Clock.Timer);
    LONG frames = Clock.Frames;
    Clock = FrameClock{};
    Clock.Frames = frames;
    SleepOnly = sleepOnly;
}

bool FrameClockOnTimer()
{
    return Clock.Timer != nullptr;
}
