// The frame clock: a steady rate, and no race to catch up after a stall.
#include <gtest/gtest.h>

#include <prompt/screen.h>

#include "support/process.h"

namespace {

double Seconds()
{
    return NowMicroseconds() / 1e6;
}

TEST(FrameWaitTest, KeepsItsRateAndStartsAgainAfterFallingBehind)
{
    FrameWait(60); // the clock starts here
    LONG first = FrameCount();
    double start = Seconds();
    for (int i = 0; i < 120; ++i)
        FrameWait(60);
    double took = Seconds() - start;
    printf("120 frames at 60 a second took %.4f s (2 s expected)\n", took);
    EXPECT_EQ(first + 120, FrameCount());
    EXPECT_NEAR(2.0, took, 0.02);

    Sleep(100); // six frames behind
    start = Seconds();
    for (int i = 0; i < 6; ++i)
        FrameWait(60);
    took = Seconds() - start;
    printf("after a 100 ms stall, 6 frames took %.4f s\n", took);
    EXPECT_GT(took, 5 / 60.0) << "the clock started again from now rather than racing through the missed frames";
}

} // namespace
