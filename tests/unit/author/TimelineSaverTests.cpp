#include "author/TimelineSaver.h"
#include "support/FileText.h"
#include "support/ParsedTimeline.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

namespace {

using nlohmann::json;

// The text with the first key of `track` given `value`, as another editor would save it.
std::string WithFirstValue(const TimelineDocument& document, const std::string& track, float value) {
    TimelineDocument edited = document;
    std::vector<SyncKey> keys = KeysOf(document, track);
    keys.front().value = value;
    std::string error;
    EXPECT_TRUE(edited.SetKeys(track, keys, error)) << error;
    return edited.Text();
}

json SetFirstKey(uint64_t version, const TimelineDocument& document, const std::string& track, double value) {
    const SyncKey& key = KeysOf(document, track).front();
    return {{"version", version},
            {"operations", json::array({{{"op", "set"}, {"track", track}, {"row", key.row}, {"value", value}, {"kind", 1}}})}};
}

class TimelineSaverTest : public testing::Test {
protected:
    ScratchDirectory scratch{"saver"};
    const std::string path = scratch.PathOf("timeline.txt");
    // Bytes above 127 in it, as in any text written in most languages.
    const std::string original = "# Müller's bloom\n" + ReadFile(QUARN_SOURCE_DIR "/data/timeline.txt");
    const TimelineDocument document = Parsed(original);
    TimelineSaver saver{path, 432.0};

    uint64_t ShownVersion() {
        json state;
        saver.State(state);
        return state.at("version").get<uint64_t>();
    }
};

// Another editor saves Fade, by a rename over the file or by writing into it, at any moment of
// the page's save of Camera Yaw. Its save is never lost; the page's either lands with it, or is
// replaced by it when it came later, and the page is told exactly what the file holds.
TEST_F(TimelineSaverTest, ASaveRacingAnotherEditorsSaveLosesNoEdit) {
    constexpr int kTrials = 200;
    std::mt19937 random(30);
    int merged = 0;
    int superseded = 0;
    int refused = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        WriteFile(path, original);
        const uint64_t version = ShownVersion();
        const std::string theirs = WithFirstValue(document, "Fade", 0.5f + static_cast<float>(trial));
        const bool inPlace = trial % 2 == 1;
        const auto theirDelay = std::chrono::microseconds(random() % 1500);
        const auto ourDelay = std::chrono::microseconds(random() % 1500);
        std::thread other([&] {
            std::this_thread::sleep_for(theirDelay);
            if (inPlace) {
                WriteFile(path, theirs);
            } else {
                WriteFile(path + ".other", theirs);
                std::rename((path + ".other").c_str(), path.c_str());
            }
        });
        std::this_thread::sleep_for(ourDelay);
        json answer;
        const int status = saver.Edit(SetFirstKey(version, document, "Camera Yaw", 1000.0 + trial), answer);
        other.join();

        const std::string text = ReadFile(path);
        const TimelineDocument final = Parsed(text);
        ASSERT_EQ(KeysOf(final, "Fade").front().value, 0.5f + static_cast<float>(trial))
            << "trial " << trial << ": the other editor's save was lost (" << answer.dump().substr(0, 200) << ")";
        if (status == 200 && text != theirs) {
            EXPECT_EQ(KeysOf(final, "Camera Yaw").front().value, 1000.0f + static_cast<float>(trial)) << trial;
            EXPECT_EQ(answer.at("version"), ShownVersion()) << "trial " << trial << ": the page is not shown the file";
            merged += answer.value("merged", false);
        } else if (status == 200) {
            ++superseded;  // the other save came after this one, and replaced it as a later save does
        } else {
            // Caught half-written by the other editor: refused, and said so.
            EXPECT_EQ(status, 409) << answer.dump();
            EXPECT_TRUE(answer.contains("conflict")) << answer.dump();
            EXPECT_EQ(text, theirs);
            ++refused;
        }
        ASSERT_EQ(std::distance(std::filesystem::directory_iterator(scratch.Path()), {}), 1) << trial;
    }
    std::printf("%d trials: %d merged with the other save, %d replaced by a later one, %d refused\n", kTrials, merged,
                superseded, refused);
    EXPECT_GT(merged, 0);
}

TEST_F(TimelineSaverTest, AKeyChangedOnBothSidesIsRefusedWithBothValuesAndAGoneVersionWithTheFile) {
    WriteFile(path, original);
    const uint64_t version = ShownVersion();
    const std::string theirs = WithFirstValue(document, "Fade", 0.25f);
    WriteFile(path, theirs);

    json answer;
    EXPECT_EQ(saver.Edit(SetFirstKey(version, document, "Fade", 0.75), answer), 409);
    const std::string conflict = answer.value("conflict", "");
    EXPECT_NE(conflict.find("\"Fade\" at beat"), std::string::npos) << conflict;
    EXPECT_NE(conflict.find("changed on disk to 0.25"), std::string::npos) << conflict;
    EXPECT_NE(conflict.find("by this edit to 0.75 linear"), std::string::npos) << conflict;
    const uint64_t now = ShownVersion();
    EXPECT_EQ(answer.at("version"), now);
    EXPECT_EQ(ReadFile(path), theirs);

    EXPECT_EQ(saver.Edit(SetFirstKey(now + 1000, document, "Camera Yaw", 2.0), answer), 409);
    EXPECT_EQ(answer.at("version"), now);
    EXPECT_EQ(ReadFile(path), theirs);
}

// One page deletes Fade's key at beat 8; another, on the same version, moves it to beat 12.
TEST_F(TimelineSaverTest, AKeyDeletedAndMovedOnTwoPagesIsRefusedNamingBothSides) {
    WriteFile(path, original);
    const uint64_t version = ShownVersion();
    const auto fade = [](json operation) {
        operation.update({{"track", "Fade"}, {"row", 8 * 16}, {"was", {0.9, 1}}});
        return json::array({operation});
    };
    json answer;
    ASSERT_EQ(saver.Edit({{"version", version}, {"operations", fade({{"op", "delete"}})}}, answer), 200)
        << answer.dump();
    const std::string deleted = ReadFile(path);

    const json move = fade({{"op", "move"}, {"to", 12 * 16}, {"value", 0.9}, {"kind", 1}});
    EXPECT_EQ(saver.Edit({{"version", version}, {"operations", move}}, answer), 409);
    EXPECT_EQ(answer.value("conflict", ""), "\"Fade\" at beat 8 was deleted on disk, and moved by this edit to beat 12");
    EXPECT_EQ(answer.at("conflicts")[0].at("other").at("change"), "deleted");
    EXPECT_EQ(answer.at("conflicts")[0].at("edit").at("row"), 12 * 16);
    EXPECT_EQ(ReadFile(path), deleted);

    // A page that saw the key otherwise than the version it names holds it is refused too.
    const json stale = fade({{"op", "set"}, {"value", 0.5}, {"kind", 1}});
    EXPECT_EQ(saver.Edit({{"version", ShownVersion()}, {"operations", stale}}, answer), 409);
    EXPECT_EQ(answer.value("conflict", ""), "\"Fade\" at beat 8 was deleted on disk, and changed by this edit to 0.5 linear");
    EXPECT_EQ(ReadFile(path), deleted);
}

// Another editor puts a text seen before back at once, within the file system's clock step: in
// place (the file and its size as they were), then by a rename. The page must hear of each, so
// each is a new version; the page's own save is none.
TEST_F(TimelineSaverTest, EveryChangeOnDiskIsANewVersionEvenBackToATextSeenBefore) {
    const std::string before = WithFirstValue(document, "Fade", 0.25f);
    WriteFile(path, before);
    const uint64_t first = ShownVersion();
    json answer;
    ASSERT_EQ(saver.Edit(SetFirstKey(first, document, "Fade", 0.75), answer), 200) << answer.dump();
    const uint64_t saved = answer.at("version");
    EXPECT_EQ(saver.Version(), saved) << "the page's own save would look like news to it";
    const std::string edited = ReadFile(path);
    ASSERT_EQ(edited.size(), before.size());

    std::vector<uint64_t> seen{first, saved};
    for (const bool inPlace : {true, false}) {
        if (inPlace) {
            WriteFile(path, before);
        } else {
            WriteFile(path + ".other", edited);
            std::rename((path + ".other").c_str(), path.c_str());
        }
        const uint64_t version = saver.Version();
        EXPECT_EQ(std::count(seen.begin(), seen.end(), version), 0) << (inPlace ? "in place" : "by rename");
        seen.push_back(version);
        EXPECT_EQ(ShownVersion(), version) << "a version read again is the same";
    }
}

}  // namespace
