#include "formats/TimelineEdit.h"
#include "support/ParsedTimeline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

bool operator==(const SyncKey& a, const SyncKey& b) { return a.row == b.row && a.value == b.value && a.type == b.type; }

namespace {

using Kind = KeyOperation::Kind;

// Every track with one key at row 0, and Fade with keys at beats 0, 1, 2, 3.
std::string Timeline() {
    std::string text;
    for (const std::string& name : KnownTrackNames())
        text += "[" + name + "]\n" + (name == "Fade" ? "0 0 step\n1 1 step\n2 2 step\n3 3 step\n" : "0 1 step\n");
    return text;
}

TEST(TimelineEditTest, MergesWithChangesToOtherKeysAndMovesKeysTogether) {
    const TimelineDocument base = Parsed(Timeline());
    // Meanwhile, on disk: the key at beat 3 got another value, Camera Yaw a second key.
    TimelineDocument disk = base;
    std::string error;
    ASSERT_TRUE(disk.SetKeys("Fade", {{0, 0, 0}, {16, 1, 0}, {32, 2, 0}, {48, 7, 0}}, error)) << error;
    ASSERT_TRUE(disk.SetKeys("Camera Yaw", {{0, 1, 0}, {64, 5, 1}}, error)) << error;

    // The page drags beats 0 and 1 one beat later (the first lands where the second was), and
    // deletes beat 2's key.
    const std::vector<KeyOperation> drag = {{Kind::kMove, "Fade", 0, 16, {0, 0.0f, 0}},
                                            {Kind::kMove, "Fade", 16, 32, {0, 1.0f, 0}},
                                            {Kind::kDelete, "Fade", 32, 0, {}}};
    std::vector<KeyConflict> conflicts;
    // The delete and the second move both touch beat 2: the move's key is what stays there.
    ASSERT_EQ(ApplyKeyOperations(base.Tracks(), drag, disk, conflicts, error), EditOutcome::kApplied) << error;
    EXPECT_EQ(KeysOf(disk, "Fade"), (std::vector<SyncKey>{{16, 0, 0}, {32, 1, 0}, {48, 7, 0}}));
    EXPECT_EQ(KeysOf(disk, "Camera Yaw"), (std::vector<SyncKey>{{0, 1, 0}, {64, 5, 1}}));
    // The merged text reads back to the same keys, with the other side's line as it wrote it.
    EXPECT_EQ(Parsed(disk.Text()).Tracks()[9].keys, KeysOf(disk, "Fade"));
    EXPECT_NE(disk.Text().find("\n3 7 step\n"), std::string::npos) << disk.Text();
}

TEST(TimelineEditTest, AKeyChangedOnBothSidesStopsTheWholeEditAndNamesBothValues) {
    const TimelineDocument base = Parsed(Timeline());
    TimelineDocument disk = base;
    std::string error;
    ASSERT_TRUE(disk.SetKeys("Fade", {{0, 0, 0}, {16, 9, 1}, {32, 2, 0}, {48, 3, 0}}, error)) << error;
    const std::string before = disk.Text();

    std::vector<KeyConflict> conflicts;
    const std::vector<KeyOperation> edit = {{Kind::kSet, "Fade", 48, 0, {0, 4.0f, 0}},
                                            {Kind::kSet, "Fade", 16, 0, {0, 5.0f, 2}}};
    EXPECT_EQ(ApplyKeyOperations(base.Tracks(), edit, disk, conflicts, error), EditOutcome::kConflict);
    ASSERT_EQ(conflicts.size(), 1u);
    EXPECT_EQ(conflicts[0].track, "Fade");
    EXPECT_EQ(conflicts[0].row, 16);
    EXPECT_EQ(conflicts[0].edited, (SyncKey{16, 5.0f, 2}));
    EXPECT_EQ(conflicts[0].onDisk, (SyncKey{16, 9.0f, 1}));
    EXPECT_EQ(disk.Text(), before);

    // The same change made on both sides is no conflict; an operation on a key the edit's
    // version never had makes no sense.
    const std::vector<KeyOperation> same = {{Kind::kSet, "Fade", 16, 0, {0, 9.0f, 1}}};
    EXPECT_EQ(ApplyKeyOperations(base.Tracks(), same, disk, conflicts, error), EditOutcome::kApplied) << error;
    const std::vector<KeyOperation> ghost = {{Kind::kDelete, "Fade", 8, 0, {}}};
    EXPECT_EQ(ApplyKeyOperations(base.Tracks(), ghost, disk, conflicts, error), EditOutcome::kInvalid);
    EXPECT_EQ(disk.Text(), before);
}

}  // namespace
