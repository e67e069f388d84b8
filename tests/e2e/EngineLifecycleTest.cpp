// The real player, started in a temporary run directory under the test's display.
#include "support/EngineLog.h"
#include "support/EngineRunDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::string kPlayer = QUARN_RUN_DIR "/QuarnEngine";

void ExpectStartedAndExited(const ProcessResult& result, int status) {
    ASSERT_TRUE(result.started) << result.startError;
    ASSERT_FALSE(result.timedOut) << "the player did not end by itself";
    ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
    EXPECT_EQ(result.exitStatus, status);
}

// The frame of every run: how the log starts and how it ends.
void ExpectStartAndEnd(const EngineLog& log) {
    ASSERT_TRUE(log.readable);
    EXPECT_FALSE(log.hasByteOrderMark);
    EXPECT_TRUE(log.endsWithLineEnd);
    ASSERT_GE(log.lines.size(), 8u);
    EXPECT_TRUE(IsTimestampLine(log.lines.front())) << log.lines.front();
    EXPECT_EQ(log.lines[1], "Logger Initialized.");
    EXPECT_TRUE(IsTimestampLine(log.lines.back())) << log.lines.back();
    EXPECT_EQ(log.lines[log.lines.size() - 2], "Logger Shutting Down.");
}

TEST(EngineLifecycle, PlaysTheSoundtrackToItsEndAndShutsDownInOrder) {
    EngineRunDirectory run;
    ASSERT_TRUE(run.Valid());
    ASSERT_TRUE(run.AddDemoData());
    ASSERT_TRUE(run.AddSoundtrack(3.0));

    const ProcessResult result = run.RunPlayer(kPlayer);
    ExpectStartedAndExited(result, 0);
    // The end comes from the music, not from an early failure.
    EXPECT_GE(result.seconds, 2.9);

    const EngineLog log = ReadEngineLog(run.File("LogFile.txt"));
    ExpectStartAndEnd(log);
    EXPECT_TRUE(log.lines[2].starts_with("OpenAL Device Specifier: ")) << log.lines[2];
    const int sync = FindLine(log, "Sync System Initialized.", 3);
    const int initialized = FindLine(log, "Engine Initialized.", sync);
    const int shuttingDown = FindLine(log, "Engine Shutting Down.", initialized);
    EXPECT_GT(sync, 0);
    EXPECT_GT(initialized, sync);
    EXPECT_GT(shuttingDown, initialized);
    EXPECT_EQ(FindLineStartingWith(log, "ERROR: "), -1);
    EXPECT_EQ(FindLineStartingWith(log, "Full Screen Mode Unavailable"), -1);
}

TEST(EngineLifecycle, MissingSoundtrackIsLoggedAndEndsAtTheFirstFrame) {
    EngineRunDirectory run;
    ASSERT_TRUE(run.Valid());
    ASSERT_TRUE(run.AddDemoData());

    // Without music there is nothing to wait for: a player that kept running would time out.
    ExpectStartedAndExited(run.RunPlayer(kPlayer), 0);

    const EngineLog log = ReadEngineLog(run.File("LogFile.txt"));
    ExpectStartAndEnd(log);
    const int error = FindLine(log, "ERROR: Failed To Read OggVorbis File!");
    EXPECT_GT(error, 1);
    EXPECT_GT(FindLine(log, "Engine Initialized.", error), error);
    EXPECT_GT(FindLine(log, "Engine Shutting Down.", error), error);
}

TEST(EngineLifecycle, ADisplayWithoutTheModeGetsAWindowInstead) {
    EngineRunDirectory run;
    ASSERT_TRUE(run.Valid());
    ASSERT_TRUE(run.AddDemoData());
    ASSERT_TRUE(run.AddSoundtrack(1.0));

    // xvfb-run passes the player's exit status on.
    ExpectStartedAndExited(run.RunPlayerOnScreen(kPlayer, "1024x768x24"), 0);

    const EngineLog log = ReadEngineLog(run.File("LogFile.txt"));
    ExpectStartAndEnd(log);
    const int fallback = FindLine(log, "Full Screen Mode Unavailable, Using A Window.");
    EXPECT_GT(fallback, 1);
    EXPECT_GT(FindLine(log, "Engine Initialized.", fallback), fallback);
    EXPECT_EQ(FindLineStartingWith(log, "ERROR: "), -1);
}

TEST(EngineLifecycle, UnwritableDirectoryFailsTheStartWithoutWritingAnything) {
    EngineRunDirectory run;
    ASSERT_TRUE(run.Valid());
    ASSERT_TRUE(run.AddSoundtrack(3.0));
    namespace fs = std::filesystem;
    fs::permissions(run.Path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);

    // As root, permissions only bind once the child runs as an ordinary user.
    const ProcessResult result = run.RunPlayer(kPlayer, true);
    // A failed start ends with the quit code -1.
    ExpectStartedAndExited(result, 255);
    EXPECT_FALSE(fs::exists(run.File("LogFile.txt")));
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(run.Path())) ++entries;
    EXPECT_EQ(entries, 1) << "only Audio/ should be there";
}

}  // namespace
