// What the save promises on every system; tests/unit/io/posix/ holds what needs POSIX calls to set
// up (links, owners, a full disk).
#include "io/SafeReplace.h"
#include "support/FileText.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

size_t EntryCount(const fs::path& folder) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(SafeReplaceTest, SwapsInOnlyOverTheTextItWasMadeOnAndNeverOverAReadOnlyFile) {
    ScratchDirectory scratch("replace");
    const fs::path file = scratch.Path() / "timeline.txt";
    WriteFile(file, "old");
    std::string error;
    ASSERT_EQ(ReplaceIfUnchanged(file.string(), "old", "new", error), ReplaceOutcome::kReplaced) << error;
    EXPECT_EQ(ReadFile(file), "new");

    // Saved by someone else since it was read: theirs stays, and the caller hears of it.
    WriteFile(file, "theirs");
    EXPECT_EQ(ReplaceIfUnchanged(file.string(), "new", "mine", error), ReplaceOutcome::kChanged);
    EXPECT_EQ(ReadFile(file), "theirs");

    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(ReplaceIfUnchanged(file.string(), "theirs", "mine", error), ReplaceOutcome::kRefused);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadFile(file), "theirs");
    EXPECT_EQ(EntryCount(scratch.Path()), 1u);
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
}

}  // namespace
