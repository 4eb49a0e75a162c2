#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "runtime/tracked_string.h"
#include "support/child_action.h"
#include "support/debug_output.h"
#include "support/process.h"
#include "support/registry_fixture.h"

extern SIZE_T RegistryBytesAtStart;

namespace {

const std::string UnknownStringLine = "未知の文字列が解放されようとしました。\r\n";

std::vector<TrackedString> LiveStrings()
{
    return std::vector<TrackedString>(Registry.RegistryItems, Registry.RegistryItems + Registry.RegistryCount);
}

using TrackedStringTest = NoLiveStringsTest;

// The registry's growth is fixed by design: a 1-byte placeholder at first,
// then exactly one entry more at every allocation, never shrunk. The two
// tests below pin that layout, not a behaviour.
TEST(StringsInitTest, RegistryStartsAsOneBytePlaceholder)
{
    EXPECT_EQ(1u, RegistryBytesAtStart);
}

TEST_F(TrackedStringTest, EmptyStringIsFiveZeroBytes)
{
    TrackedString s = AllocString(0);
    EXPECT_EQ(0, StringLength(s));
    EXPECT_EQ(5u, HeapSize(ProcessHeap, 0, s - 4));
    EXPECT_EQ(0, s[0]);
    EXPECT_EQ(1, RegistryCountNow());
    EXPECT_EQ(0u, StringFirstByte(s)) << "consumes the string";
    EXPECT_EQ(0, RegistryCountNow());
}

TEST_F(TrackedStringTest, NewStringsAreZeroFilledWithSpareByte)
{
    for (LONG n : {1, 7, 255, 4096}) {
        TrackedString s = AllocString(n);
        EXPECT_EQ(n, StringLength(s));
        EXPECT_EQ(static_cast<SIZE_T>(n) + 5, HeapSize(ProcessHeap, 0, s - 4));
        for (LONG i = 0; i <= n; ++i)
            ASSERT_EQ(0, s[i]) << "byte " << i << " of a string of " << n;
        ReleaseString(s);
    }
    TrackedString fresh = NewString(3);
    EXPECT_EQ(1, RegistryCountNow());
    EXPECT_EQ(3, StringLength(fresh));
    EXPECT_EQ(0, memcmp(fresh, "\0\0\0\0", 4));
    ReleaseString(fresh);
}

TEST_F(TrackedStringTest, RegistryGrowsToExactlyTheLiveCount)
{
    std::vector<TrackedString> strings;
    for (int i = 0; i < 10; ++i) {
        strings.push_back(AllocString(i));
        EXPECT_EQ(static_cast<SIZE_T>(i + 1) * sizeof(TrackedString), HeapSize(ProcessHeap, 0, Registry.RegistryItems));
    }
    for (TrackedString s : strings)
        ReleaseString(s);
    EXPECT_EQ(10 * sizeof(TrackedString), HeapSize(ProcessHeap, 0, Registry.RegistryItems))
        << "a release does not shrink the array";
}

TEST_F(TrackedStringTest, FirstByteIsUnsigned)
{
    TrackedString s = StringFromText("\x83\x65");
    EXPECT_EQ(0x83u, StringFirstByte(s));
}

TEST_F(TrackedStringTest, ReleaseInTheMiddleKeepsTheOrder)
{
    TrackedString a = AllocString(1), b = AllocString(2), c = AllocString(3);
    ReleaseString(b);
    EXPECT_EQ((std::vector<TrackedString>{a, c}), LiveStrings());
    EXPECT_EQ(2, Registry.RegistryCount);
    ReleaseString(a);
    ReleaseString(c);
    EXPECT_TRUE(RecordedDebugOutput().empty());
}

TEST_F(TrackedStringTest, SecondReleaseOnlyWritesTheDebugLine)
{
    TrackedString keep = AllocString(4);
    TrackedString s = AllocString(4);
    ReleaseString(s);
    EXPECT_TRUE(RecordedDebugOutput().empty()) << "a first release is silent";
    ReleaseString(s);
    EXPECT_EQ(std::vector<std::string>{UnknownStringLine}, RecordedDebugOutput());
    EXPECT_EQ(std::vector<TrackedString>{keep}, LiveStrings());
    ReleaseString(keep);
}

TEST_F(TrackedStringTest, UnknownAddressesAreReportedAndNotFreed)
{
    TrackedString s = AllocString(8);
    ReleaseString(s + 1); // inside a string, not its first byte
    static char notOnTheHeap[8];
    ReleaseString(notOnTheHeap);
    EXPECT_EQ((std::vector<std::string>{UnknownStringLine, UnknownStringLine}), RecordedDebugOutput());
    EXPECT_EQ(std::vector<TrackedString>{s}, LiveStrings());
    EXPECT_TRUE(HeapValidate(ProcessHeap, 0, s - 4));
    ReleaseString(s);
}

TEST_F(TrackedStringTest, ReleaseWithEmptyRegistryWritesTheLine)
{
    static char somewhere[4];
    ReleaseString(somewhere);
    EXPECT_EQ(std::vector<std::string>{UnknownStringLine}, RecordedDebugOutput());
}

TEST_F(TrackedStringTest, ReleasingNullDoesNothing)
{
    TrackedString s = AllocString(1);
    ReleaseString(nullptr);
    EXPECT_TRUE(RecordedDebugOutput().empty());
    EXPECT_EQ(1, RegistryCountNow());
    ReleaseString(s);
}

TEST_F(TrackedStringTest, LiteralBecomesStringInCodePage932)
{
    TrackedString s = StringFromText("テスト");
    ASSERT_EQ(6, StringLength(s));
    EXPECT_EQ(0, memcmp(s, "\x83\x65\x83\x58\x83\x67", 7)) << "the zero lands in the spare byte";
    TrackedString copy = StringCopy(s);
    EXPECT_NE(s, copy);
    EXPECT_EQ(0, memcmp(s, copy, 7));
    ReleaseString(s);
    ReleaseString(copy);
}

TEST_F(TrackedStringTest, TwoThreadsAllocatingAndReleasingStayExact)
{
    const int pairs = 100000;
    auto churn = [pairs](int seed) {
        TrackedString held[3] = {AllocString(seed), AllocString(1), AllocString(2)};
        for (int i = 0; i < pairs; ++i) {
            // Release from the front, the middle and the back of the registry in turn.
            int slot = (i + seed) % 3;
            ReleaseString(held[slot]);
            held[slot] = AllocString(i % 17);
            held[slot][0] = static_cast<char>(seed);
        }
        for (TrackedString s : held)
            ReleaseString(s);
    };
    std::thread first(churn, 1), second(churn, 2);
    first.join();
    second.join();
    EXPECT_EQ(0, RegistryCountNow());
    EXPECT_TRUE(RecordedDebugOutput().empty());
    EXPECT_TRUE(HeapValidate(ProcessHeap, 0, nullptr));
}

TEST_F(TrackedStringTest, SameStringReleasedByTwoThreadsIsFreedOnce)
{
    for (int round = 0; round < 200; ++round) {
        TrackedString s = AllocString(round);
        std::thread other(ReleaseString, s);
        ReleaseString(s);
        other.join();
    }
    EXPECT_EQ(200u, RecordedDebugOutput().size()) << "one of each pair finds the string gone";
    EXPECT_TRUE(HeapValidate(ProcessHeap, 0, nullptr));
}

CHILD_ACTION(huge_string)
{
    AllocString(0x7FFFFFF0); // far beyond what a 32-bit heap can give
    return 0;
}

TEST(HeapRefusalTest, EndsTheProcessWithAMessage)
{
    ExpectChildEndsWithMessage("huge_string", "エラー", "メモリが足りないため、プログラムを終了します。", 3);
}

} // namespace
