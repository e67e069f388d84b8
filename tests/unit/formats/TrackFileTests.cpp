#include "formats/TrackFile.h"
#include "log/ILogger.h"
#include "support/BlockingPipe.h"
#include "support/LogRecorder.h"
#include "support/ScratchDirectory.h"
#include "sync/Sync.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

void PutInt32(std::vector<uint8_t>& bytes, int32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
}

std::vector<uint8_t> Encode(int32_t count, const std::vector<SyncKey>& keys) {
    std::vector<uint8_t> bytes;
    PutInt32(bytes, count);
    for (const SyncKey& key : keys) {
        PutInt32(bytes, key.row);
        int32_t bits;
        static_assert(sizeof(bits) == sizeof(key.value));
        std::memcpy(&bits, &key.value, sizeof(bits));
        PutInt32(bytes, bits);
        bytes.push_back(static_cast<uint8_t>(key.type));
    }
    return bytes;
}

class TrackFileTest : public ::testing::Test {
protected:
    std::string Write(const std::string& fileName, const std::vector<uint8_t>& bytes) {
        const std::string path = scratch_.PathOf(fileName);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
    std::string BasePath() const { return scratch_.Path().string() + "/"; }

    ScratchDirectory scratch_{"quarn-sync"};
    LogRecorder logger_;
};

TEST_F(TrackFileTest, ReadsEveryKeyOfAnIntactFile) {
    const std::vector<SyncKey> keys = {{-16, 1.5f, 0}, {0, -2.25f, 1}, {32, 1e6f, 2}, {33, 0.0f, -1}};
    SyncTrack track;
    ASSERT_TRUE(LoadTrackFile(Write("_t.track", Encode(4, keys)).c_str(), track));
    ASSERT_EQ(track.keyCount, 4);
    ASSERT_EQ(track.keys.size(), 4u);
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(track.keys[i].row, keys[i].row);
        EXPECT_EQ(track.keys[i].value, keys[i].value);
        EXPECT_EQ(track.keys[i].type, keys[i].type);  // the type byte is sign-extended
    }
    EXPECT_TRUE(logger_.lines.empty());
}

// A directory or FIFO in a track's place is as absent as a missing file, and reading it
// must not block.
TEST_F(TrackFileTest, MissingFilesAndNonFilesLeaveTheTrackEmptyAndSilent) {
    const std::string folder = scratch_.PathOf("_folder.track");
    std::filesystem::create_directory(folder);
    const BlockingPipe fifo(scratch_.PathOf("_fifo.track"));
    ASSERT_TRUE(fifo.Valid());
    for (const std::string& path : {scratch_.PathOf("_absent.track"), folder, fifo.Path()}) {
        SyncTrack track;
        track.keys = {{0, 1.0f, 0}};
        track.keyCount = 1;
        EXPECT_FALSE(LoadTrackFile(path.c_str(), track)) << path;
        EXPECT_EQ(track.keyCount, 0);
        EXPECT_TRUE(track.keys.empty());
    }
    EXPECT_TRUE(logger_.lines.empty());
}

TEST_F(TrackFileTest, DamagedFilesKeepOnlySoundKeysAndSayWhy) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        int32_t keptKeys;
        const char* logPrefix;
    };
    std::vector<uint8_t> cut = Encode(3, {{0, 1.0f, 1}, {8, 2.0f, 1}, {16, 3.0f, 0}});
    cut.resize(cut.size() - 4);  // the last key is incomplete
    const Case cases[] = {
        {"empty file", {}, 0, "ERROR: Track File Has No Key Count: "},
        {"half a count", {1, 0}, 0, "ERROR: Track File Has No Key Count: "},
        {"negative count", Encode(-5, {{0, 1.0f, 0}}), 0, "ERROR: Track File Has A Negative Key Count: "},
        {"absurd count", Encode(INT32_MAX, {{0, 1.0f, 0}}), 1, "ERROR: Track File Is Shorter Than Its Key Count: "},
        {"short file", cut, 2, "ERROR: Track File Is Shorter Than Its Key Count: "},
        {"rows out of order", Encode(4, {{0, 1.0f, 1}, {8, 2.0f, 1}, {4, 3.0f, 0}, {20, 4.0f, 0}}), 2,
         "ERROR: Track File Rows Do Not Ascend: "},
        {"repeated row", Encode(2, {{8, 1.0f, 1}, {8, 2.0f, 1}}), 1, "ERROR: Track File Rows Do Not Ascend: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        logger_.lines.clear();
        const std::string path = Write("_damaged.track", c.bytes);
        SyncTrack track;
        EXPECT_FALSE(LoadTrackFile(path.c_str(), track));
        EXPECT_EQ(track.keyCount, c.keptKeys);
        EXPECT_EQ(track.keys.size(), static_cast<size_t>(c.keptKeys));
        ASSERT_EQ(logger_.lines.size(), 1u);
        EXPECT_EQ(logger_.lines[0], c.logPrefix + path);
    }
}

TEST_F(TrackFileTest, DamageIsNotLoggedWithoutALogger) {
    gLogger = nullptr;
    SyncTrack track;
    EXPECT_FALSE(LoadTrackFile(Write("_neg.track", Encode(-1, {})).c_str(), track));
    EXPECT_EQ(track.keyCount, 0);
}

TEST_F(TrackFileTest, GetTrackLoadsEachNameOnceAndKeepsRequestOrder) {
    Write("_Effect Index.track", Encode(2, {{0, 1.0f, 0}, {32, 5.0f, 1}}));
    SyncContext context;
    ASSERT_TRUE(CreateSyncDevice(context, BasePath().c_str(), nullptr));

    SyncTrack* first = GetTrack("Effect Index", context.device.get());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->name, "Effect Index");
    EXPECT_EQ(first->keyCount, 2);

    // Were the file read again, the second request would see the new contents.
    Write("_Effect Index.track", Encode(1, {{0, 9.0f, 0}}));
    EXPECT_EQ(GetTrack("Effect Index", context.device.get()), first);
    EXPECT_EQ(first->keyCount, 2);
    EXPECT_EQ(GetValue(first, 40.0), 5.0f);

    // Names are case-sensitive, though a Windows file system finds the same file for both.
    SyncTrack* otherCase = GetTrack("effect index", context.device.get());
    EXPECT_NE(otherCase, first);
    SyncTrack* missing = GetTrack("Effect Speed", context.device.get());
    EXPECT_EQ(missing->keyCount, 0);
    EXPECT_EQ(GetValue(missing, 40.0), 0.0f);

    ASSERT_EQ(context.device->trackCount, 3);
    EXPECT_EQ(context.device->tracks[0].get(), first);
    EXPECT_EQ(context.device->tracks[1].get(), otherCase);
    EXPECT_EQ(context.device->tracks[2].get(), missing);
    EXPECT_TRUE(logger_.lines.empty());
    DestroySyncDevice(context);
    EXPECT_EQ(context.device, nullptr);
}

TEST_F(TrackFileTest, PathsThatDoNotFitAreRefused) {
    char path[kTrackPathCapacity];
    // "./sync/" + "_" + name + ".track" + terminator must fit 260 characters.
    const std::string fits(260 - 1 - 7 - 1 - 6, 'a');
    EXPECT_TRUE(BuildTrackPath("./sync/", fits.c_str(), path));
    EXPECT_EQ(std::string(path), "./sync/_" + fits + ".track");
    EXPECT_FALSE(BuildTrackPath("./sync/", (fits + "a").c_str(), path));
    EXPECT_STREQ(path, "");

    SyncContext context;
    ASSERT_TRUE(CreateSyncDevice(context, BasePath().c_str(), nullptr));
    const std::string longName(300, 'x');
    SyncTrack* track = GetTrack(longName.c_str(), context.device.get());
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->name, longName);
    EXPECT_EQ(track->keyCount, 0);
    EXPECT_EQ(GetValue(track, 0.0), 0.0f);
}

TEST_F(TrackFileTest, RequestTrackWorksWithAndWithoutADevice) {
    Write("_Fade.track", Encode(1, {{0, 0.75f, 0}}));
    SyncContext context;
    ASSERT_TRUE(CreateSyncDevice(context, BasePath().c_str(), nullptr));
    gSync = &context;
    const TrackHandle handle = RequestTrack("Fade");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(*handle, GetTrack("Fade", context.device.get()));
    EXPECT_EQ(GetValue(*handle, 100.0), 0.75f);

    DestroySyncDevice(context);
    const TrackHandle orphan = RequestTrack("Fade");
    ASSERT_NE(orphan, nullptr);
    EXPECT_EQ(*orphan, nullptr);
    EXPECT_EQ(GetValue(*orphan, 0.0), 0.0f);
    gSync = nullptr;
}

}  // namespace
