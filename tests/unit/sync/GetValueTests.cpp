#include "sync/Sync.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

SyncTrack MakeTrack(std::initializer_list<SyncKey> keys) {
    SyncTrack track;
    track.keys = keys;
    track.keyCount = static_cast<int32_t>(track.keys.size());
    return track;
}

TEST(GetValue, EmptyAndMissingTracksReadZero) {
    const SyncTrack empty;
    EXPECT_EQ(GetValue(&empty, 0.0), 0.0f);
    EXPECT_EQ(GetValue(&empty, 1000.0), 0.0f);
    EXPECT_EQ(GetValue(nullptr, 5.0), 0.0f);
}

TEST(GetValue, StepHoldsUntilNextKeyAndLastKeyHoldsForEver) {
    const SyncTrack track = MakeTrack({{0, 1.0f, 0}, {32, 5.0f, 1}});
    for (int row = 0; row <= 31; ++row)
        EXPECT_EQ(GetValue(&track, row), 1.0f) << "row " << row;
    EXPECT_EQ(GetValue(&track, 32.0), 5.0f);
    EXPECT_EQ(GetValue(&track, 33.0), 5.0f);
    EXPECT_EQ(GetValue(&track, 1e9), 5.0f);
}

TEST(GetValue, InterpolatesByTheFirstKeysType) {
    SyncTrack track = MakeTrack({{0, 0.0f, 1}, {10, 10.0f, 0}});
    EXPECT_FLOAT_EQ(GetValue(&track, 4.0), 4.0f);
    EXPECT_FLOAT_EQ(GetValue(&track, 4.5), 4.5f);  // t uses the unrounded row
    EXPECT_EQ(GetValue(&track, 10.0), 10.0f);
    EXPECT_EQ(GetValue(&track, 11.0), 10.0f);

    track.keys[0].type = 2;  // smooth: t = 0.2, t²(3 − 2t) = 0.104
    EXPECT_FLOAT_EQ(GetValue(&track, 2.0), 1.04f);
    track.keys[0].type = 3;  // ramp: 10 × 0.2²
    EXPECT_FLOAT_EQ(GetValue(&track, 2.0), 0.4f);
    track.keys[0].type = 0;
    EXPECT_EQ(GetValue(&track, 9.0), 0.0f);
}

TEST(GetValue, ExactHitsGiveTheKeysOwnValue) {
    const SyncTrack track = MakeTrack({{0, 3.0f, 1}, {8, -2.0f, 2}, {16, 7.0f, 3}, {24, 1.5f, 1}, {40, 9.0f, 0}});
    EXPECT_EQ(GetValue(&track, 0.0), 3.0f);
    EXPECT_EQ(GetValue(&track, 8.0), -2.0f);
    EXPECT_EQ(GetValue(&track, 16.0), 7.0f);
    EXPECT_EQ(GetValue(&track, 24.0), 1.5f);
    EXPECT_EQ(GetValue(&track, 40.0), 9.0f);
    // Between keys 3 and 4 (linear from 1.5 to 9 over 16 rows).
    EXPECT_FLOAT_EQ(GetValue(&track, 28.0), 1.5f + 7.5f * 0.25f);
}

TEST(GetValue, BeforeTheFirstKeyReadsTheFirstValue) {
    const SyncTrack track = MakeTrack({{100, 6.0f, 1}, {200, 8.0f, 0}});
    EXPECT_EQ(GetValue(&track, 0.0), 6.0f);
    EXPECT_EQ(GetValue(&track, -34.0), 6.0f);
    EXPECT_EQ(GetValue(&track, -1e12), 6.0f);
}

TEST(GetValue, UnknownTypeReadsZeroUpToTheNextKey) {
    const SyncTrack track = MakeTrack({{0, 2.0f, 1}, {10, 4.0f, 7}, {20, 6.0f, 0}});
    EXPECT_FLOAT_EQ(GetValue(&track, 5.0), 3.0f);
    for (int row = 10; row < 20; ++row)
        EXPECT_EQ(GetValue(&track, row), 0.0f) << "row " << row;
    EXPECT_EQ(GetValue(&track, 20.0), 6.0f);
}

TEST(GetValue, NeverReadsPastTheKeysItHolds) {
    SyncTrack track = MakeTrack({{0, 2.0f, 1}, {10, 4.0f, 1}});
    track.keyCount = 50;  // a count that promises more keys than the array has
    EXPECT_EQ(GetValue(&track, 30.0), 4.0f);
}

TEST(RowClock, SixteenRowsPerBeatRoundedDown) {
    EXPECT_EQ(RowAtBeats(21.0f), 336);
    EXPECT_EQ(RowAtBeats(-2.1f), -34);
    EXPECT_EQ(RowAtBeats(0.0f), 0);
    EXPECT_EQ(RowAtBeats(1.0f / 32.0f), 0);
    EXPECT_EQ(RowAtBeats(1.0f / 16.0f), 1);
}

TEST(RowClock, WithoutASoundtrackTheClockStandsStill) {
    const SyncContext context;
    EXPECT_EQ(CurrentRow(context), 0);
}

}  // namespace
