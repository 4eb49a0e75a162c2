#pragma once
// Tests of the string registry start and end with no live string and no debug line.
#include <gtest/gtest.h>

#include "runtime/tracked_string.h"
#include "support/debug_output.h"

class NoLiveStringsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(0, RegistryCountNow());
        ClearRecordedDebugOutput();
    }
    void TearDown() override { EXPECT_EQ(0, RegistryCountNow()) << "a test left strings alive"; }
};
