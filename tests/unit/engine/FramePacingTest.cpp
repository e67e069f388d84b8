#include "engine/FramePacing.h"

#include <gtest/gtest.h>

namespace {

constexpr float kBudget = 16.67f;

TEST(FramePacing, SleepsOutTheRestOfTheBudgetTruncated) {
    // 10 ms of work leaves 6.67 ms, slept as 6.
    EXPECT_EQ(FrameSleepMilliseconds(kBudget, 1000.0f, 1004.0f, 1010.0f), 6u);
    // 0.5 ms left still sleeps, for 0 ms.
    EXPECT_EQ(FrameSleepMilliseconds(0.5f, 1000.0f, 1000.0f, 1000.0f), 0u);
    EXPECT_EQ(FrameSleepMilliseconds(kBudget, 0.0f, 0.0f, 0.0f), 16u);
}

TEST(FramePacing, AFrameThatUsedTheBudgetDoesNotSleep) {
    EXPECT_EQ(FrameSleepMilliseconds(kBudget, 0.0f, 0.0f, kBudget), std::nullopt);
    EXPECT_EQ(FrameSleepMilliseconds(kBudget, 1000.0f, 1000.0f, 1017.0f), std::nullopt);
    EXPECT_EQ(FrameSleepMilliseconds(kBudget, 1000.0f, 1010.0f, 1040.0f), std::nullopt);
}

TEST(FramePacing, BothSpansCount) {
    // Audio check and demo update each took 5 ms.
    EXPECT_EQ(FrameSleepMilliseconds(kBudget, 500.0f, 505.0f, 510.0f), 6u);
    // Hours into a run the ticks are large floats; whole milliseconds are still exact.
    EXPECT_EQ(FrameSleepMilliseconds(kBudget, 7200000.0f, 7200002.0f, 7200010.0f), 6u);
}

}  // namespace
