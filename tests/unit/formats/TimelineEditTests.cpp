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

KeyOperation Move(int32_t row, int32_t to, float value) { return {Kind::kMove, "Fade", row, to, {0, value, 0}, {}}; }
KeyOperation Set(int32_t row, float value, int32_t kind = 0) { return {Kind::kSet, "Fade", row, 0, {0, value, kind}, {}}; }
KeyOperation Delete(int32_t row) { return {Kind::kDelete, "Fade", row, 0, {}, {}}; }

TEST(TimelineEditTest, MergesWithChangesToOtherKeysAndMovesKeysTogether) {
    const TimelineDocument base = Parsed(Timeline());
    // Meanwhile, on disk: the key at beat 3 got another value, Camera Yaw a second key.
    TimelineDocument disk = base;
    std::string error;
    ASSERT_TRUE(disk.SetKeys("Fade", {{0, 0, 0}, {16, 1, 0}, {32, 2, 0}, {48, 7, 0}}, error)) << error;
    ASSERT_TRUE(disk.SetKeys("Camera Yaw", {{0, 1, 0}, {64, 5, 1}}, error)) << error;

    // The page drags beats 0 and 1 one beat later (the first lands where the second was), and
    // deletes beat 2's key.
    const std::vector<KeyOperation> drag = {Move(0, 16, 0), Move(16, 32, 1), Delete(32)};
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
    const std::vector<KeyOperation> edit = {Set(48, 4), Set(16, 5, 2)};
    EXPECT_EQ(ApplyKeyOperations(base.Tracks(), edit, disk, conflicts, error), EditOutcome::kConflict);
    ASSERT_EQ(conflicts.size(), 1u);
    EXPECT_EQ(conflicts[0].track, "Fade");
    EXPECT_EQ(conflicts[0].row, 16);
    EXPECT_EQ(conflicts[0].edited, (SyncKey{16, 5.0f, 2}));
    EXPECT_EQ(conflicts[0].onDisk, (SyncKey{16, 9.0f, 1}));
    EXPECT_EQ(disk.Text(), before);

    // The same change made on both sides is no conflict; an operation on a key the edit's
    // version never had makes no sense.
    const std::vector<KeyOperation> same = {Set(16, 9, 1)};
    EXPECT_EQ(ApplyKeyOperations(base.Tracks(), same, disk, conflicts, error), EditOutcome::kApplied) << error;
    const std::vector<KeyOperation> ghost = {Delete(8)};
    EXPECT_EQ(ApplyKeyOperations(base.Tracks(), ghost, disk, conflicts, error), EditOutcome::kInvalid);
    EXPECT_EQ(disk.Text(), before);
}

// Two edits made on the same version of Fade (keys 0 1 2 3 at beats 0 1 2 3), the first saved,
// the second merged onto it: what the second comes to.
struct Merge {
    EditOutcome outcome;
    std::vector<KeyConflict> conflicts;
    std::vector<SyncKey> fade;
    std::string text;
};

Merge Concurrent(const std::vector<KeyOperation>& first, const std::vector<KeyOperation>& second,
                 const std::string& text = Timeline()) {
    const TimelineDocument base = Parsed(text);
    TimelineDocument disk = base;
    Merge merge;
    std::string error;
    EXPECT_EQ(ApplyKeyOperations(base.Tracks(), first, disk, merge.conflicts, error), EditOutcome::kApplied) << error;
    const std::string saved = disk.Text();
    merge.outcome = ApplyKeyOperations(base.Tracks(), second, disk, merge.conflicts, error);
    if (merge.outcome != EditOutcome::kApplied) {
        EXPECT_EQ(disk.Text(), saved);
    }
    merge.fade = KeysOf(disk, "Fade");
    merge.text = disk.Text();
    return merge;
}

TEST(TimelineEditTest, TwoEditsOfOneKeyMergeOnlyWhenTheyAgree) {
    using Change = KeyChange::Kind;
    // Beat 1's key moved to beats 5 and 6, deleted and moved, set and deleted: refused in either
    // order, with what each side did to the key.
    const struct {
        KeyOperation a, b;
        Change aChange, bChange;
    } clashes[] = {{Move(16, 80, 1), Move(16, 96, 1), Change::kMoved, Change::kMoved},
                   {Delete(16), Move(16, 96, 1), Change::kDeleted, Change::kMoved},
                   {Set(16, 9), Delete(16), Change::kSet, Change::kDeleted},
                   {Set(16, 9), Move(16, 96, 1), Change::kSet, Change::kMoved}};
    for (const auto& clash : clashes) {
        for (const bool swapped : {false, true}) {
            const Merge merge = swapped ? Concurrent({clash.b}, {clash.a}) : Concurrent({clash.a}, {clash.b});
            ASSERT_EQ(merge.outcome, EditOutcome::kConflict) << swapped << " " << merge.fade.size();
            ASSERT_FALSE(merge.conflicts.empty());
            EXPECT_EQ(merge.conflicts[0].row, 16);
            EXPECT_EQ(merge.conflicts[0].other.kind, swapped ? clash.bChange : clash.aChange);
            EXPECT_EQ(merge.conflicts[0].edit.kind, swapped ? clash.aChange : clash.bChange);
        }
    }
    const Merge moves = Concurrent({Move(16, 80, 1)}, {Move(16, 96, 1)});
    EXPECT_EQ(moves.conflicts[0].other.key.row, 80) << "the other side's move names where the key went";

    // The same change on both sides, and changes of different keys, merge.
    const std::vector<SyncKey> moved = {{0, 0, 0}, {32, 2, 0}, {48, 3, 0}, {80, 1, 0}};
    EXPECT_EQ(Concurrent({Move(16, 80, 1)}, {Move(16, 80, 1)}).fade, moved);
    EXPECT_EQ(Concurrent({Delete(16)}, {Delete(16)}).fade, (std::vector<SyncKey>{{0, 0, 0}, {32, 2, 0}, {48, 3, 0}}));
    EXPECT_EQ(Concurrent({Set(16, 9)}, {Set(16, 9)}).fade, (std::vector<SyncKey>{{0, 0, 0}, {16, 9, 0}, {32, 2, 0}, {48, 3, 0}}));
    // A drag of beats 0 and 1 made on both pages, each landing where the other left.
    EXPECT_EQ(Concurrent({Move(0, 16, 0), Move(16, 32, 1)}, {Move(16, 32, 1), Move(0, 16, 0)}).outcome, EditOutcome::kApplied);
    EXPECT_EQ(Concurrent({Move(16, 80, 1)}, {Delete(32), Set(48, 7)}).fade, (std::vector<SyncKey>{{0, 0, 0}, {48, 7, 0}, {80, 1, 0}}));
}

TEST(TimelineEditTest, AnEditActingTwiceOnOneRowIsMalformed) {
    const TimelineDocument base = Parsed(Timeline());
    const std::vector<KeyOperation> twice[] = {{Set(16, 5), Delete(16)},
                                               {Move(0, 48, 0), Move(16, 48, 1)},
                                               {Set(32, 5), Move(16, 32, 1)},
                                               {{Kind::kAdd, "Fade", 80, 0, {0, 1, 0}, {}}, Move(16, 80, 1)}};
    for (const std::vector<KeyOperation>& operations : twice) {
        TimelineDocument disk = base;
        std::vector<KeyConflict> conflicts;
        std::string error;
        EXPECT_EQ(ApplyKeyOperations(base.Tracks(), operations, disk, conflicts, error), EditOutcome::kInvalid);
        EXPECT_EQ(disk.Text(), base.Text());
    }
}

TEST(TimelineEditTest, NonAsciiTextSurvivesAMergeByteForByte) {
    std::string text = Timeline();
    const std::string comment = "# M\xc3\xbcller's bloom \xe2\x80\x94 \xe5\x85\x89\n";
    text.insert(text.find("[Fade]\n") + 7, comment);
    const Merge merge = Concurrent({Set(48, 7)}, {Move(16, 80, 1)}, text);
    ASSERT_EQ(merge.outcome, EditOutcome::kApplied);
    EXPECT_EQ(merge.fade, (std::vector<SyncKey>{{0, 0, 0}, {32, 2, 0}, {48, 7, 0}, {80, 1, 0}}));
    EXPECT_NE(merge.text.find("[Fade]\n" + comment + "0 0 step\n"), std::string::npos) << merge.text;
}

}  // namespace
