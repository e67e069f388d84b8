#include "io/FileCalls.h"
#include "io/SaveNames.h"
#include "io/TemporaryFile.h"
#include "support/FileText.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

namespace {

namespace fs = std::filesystem;

// A file already under the name a save would take first is neither written nor removed.
TEST(TemporaryFileTest, ReplacesTheFileWholeAndLeavesOnlyWhatWasThere) {
    ScratchDirectory scratch("temporary");
    const std::string path = scratch.PathOf("frames.txt");
    const fs::path planted = SavingName(path, ThisProcess(), 0);
    WriteFile(planted, "someone's");
    std::string error;
    ASSERT_TRUE(SaveFile(path, "old", error)) << error;
    ASSERT_TRUE(SaveFile(path, "new text", error)) << error;
    EXPECT_EQ(ReadFile(path), "new text");
    EXPECT_EQ(ReadFile(planted), "someone's");
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.Path()), {}), 2);

    // Where the file cannot be replaced (a folder of that name), the save fails and leaves nothing.
    const std::string folder = scratch.PathOf("folder");
    fs::create_directories(fs::path(folder) / "inside");
    EXPECT_FALSE(SaveFile(folder, "lost", error));
    EXPECT_NE(error.find(folder), std::string::npos) << error;
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.Path()), {}), 3);
}

}  // namespace
