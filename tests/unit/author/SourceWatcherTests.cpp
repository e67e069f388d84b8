#include "author/SourceWatcher.h"

#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

void Save(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::trunc) << text;
}

// A change counts once it has held for a whole poll; a file that goes missing is no change.
TEST(SourceWatcher, ReportsAChangeOnceItHasSettledAndIgnoresAFileThatVanishes) {
    ScratchDirectory scratch("quarn-watch");
    const std::string path = scratch.PathOf("timeline.txt");
    Save(path, "first");
    SourceWatcher watcher;
    const size_t file = watcher.Add(path);
    float now = 1000.0f;
    const auto poll = [&] { return watcher.Poll(now += SourceWatcher::kPollInterval); };

    EXPECT_FALSE(poll());
    Save(path, "half-writ");
    EXPECT_FALSE(poll()) << "a file caught while it changes is not read yet";
    Save(path, "half-written and done");
    EXPECT_FALSE(poll()) << "still changing";
    EXPECT_TRUE(poll());
    EXPECT_TRUE(watcher.TakeChange(file));
    EXPECT_FALSE(watcher.TakeChange(file));
    EXPECT_FALSE(poll());

    std::filesystem::remove(path);
    EXPECT_FALSE(poll());
    EXPECT_FALSE(poll()) << "a vanished file keeps its last state";
    Save(path, "back again, changed");
    EXPECT_FALSE(poll());
    EXPECT_TRUE(poll());
    EXPECT_TRUE(watcher.TakeChange(file));
}

}  // namespace
