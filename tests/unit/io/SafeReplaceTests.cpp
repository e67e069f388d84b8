// What the save promises on every system; tests/unit/io/posix/ holds what needs POSIX calls to set
// up (links, owners, a full disk, the paths this file system would not take).
#include "io/FileCalls.h"
#include "io/SafeReplace.h"
#include "io/SaveNames.h"
#include "io/SaveRecovery.h"
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

// Bytes above 127 in every text: a byte compared as a signed char once made every save "changed".
TEST(SafeReplaceTest, SwapsInOnlyOverTheTextItWasMadeOnAndNeverOverAReadOnlyFile) {
    ScratchDirectory scratch("replace");
    const fs::path file = scratch.Path() / "timeline.txt";
    const std::string old = "# Müller's bloom\n[Fade]\n0 1 step\n";
    const std::string mine = "# Müller's bloom, ½ brighter\n[Fade]\n0 1.5 step\n";
    const std::string theirs = "# Müller's bloom — theirs\n[Fade]\n0 0.5 step\n";
    WriteFile(file, old);
    std::string error;
    ASSERT_EQ(ReplaceIfUnchanged(file.string(), old, mine, error), ReplaceOutcome::kReplaced) << error;
    EXPECT_EQ(ReadFile(file), mine);

    // Saved by someone else since it was read: theirs stays, and the caller hears of it.
    WriteFile(file, theirs);
    EXPECT_EQ(ReplaceIfUnchanged(file.string(), mine, old, error), ReplaceOutcome::kChanged);
    EXPECT_EQ(ReadFile(file), theirs);
    EXPECT_EQ(EntryCount(scratch.Path()), 1u);

    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(ReplaceIfUnchanged(file.string(), theirs, mine, error), ReplaceOutcome::kRefused);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadFile(file), theirs);
    EXPECT_EQ(EntryCount(scratch.Path()), 1u);
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
}

// A pid far above any the system hands out is no running program.
constexpr unsigned long kDeadProcess = 2147483646;

// What earlier versions' three renames left when they were killed is the only copy of the text
// when the file is missing, and may be one otherwise: never deleted.
TEST(SaveRecoveryTest, RestoresACopyWhenTheFileIsMissingAndOtherwiseKeepsAndNamesIt) {
    ScratchDirectory scratch("recover");
    const fs::path file = scratch.Path() / "timeline.txt";
    const fs::path copy = CopyName(SavingName(file.string(), kDeadProcess, 0x0badf00d), "old");
    WriteFile(copy, "# Müller's text\n");
    std::vector<std::string> messages = RecoverSaves(file.string());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("restored"), std::string::npos) << messages[0];
    EXPECT_EQ(ReadFile(file), "# Müller's text\n");
    EXPECT_EQ(EntryCount(scratch.Path()), 1u);

    WriteFile(copy, "an older text");
    const fs::path halfWritten = SavingName(file.string(), kDeadProcess, 1);
    const fs::path running = SavingName(file.string(), ThisProcess(), 0);
    WriteFile(halfWritten, "half");
    WriteFile(running, "in flight");
    messages = RecoverSaves(file.string());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(copy.filename().string()), std::string::npos) << messages[0];
    EXPECT_EQ(ReadFile(file), "# Müller's text\n");
    EXPECT_EQ(ReadFile(copy), "an older text");
    EXPECT_FALSE(fs::exists(halfWritten));
    EXPECT_TRUE(fs::exists(running));
}

}  // namespace
