#include "io/SafeReplace.h"
#include "support/FileText.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A tmpfs of `bytes` mounted on `path` for the test's life; needs the right to mount (root in CI).
class SmallFileSystem {
public:
    SmallFileSystem(const fs::path& path, size_t bytes) : path(path) {
        fs::create_directories(path);
        mounted = ::mount("tmpfs", path.c_str(), "tmpfs", 0, ("size=" + std::to_string(bytes)).c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (mounted) ::umount2(path.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted; }
    bool MakeReadOnly() const {
        return ::mount("tmpfs", path.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    fs::path path;
    bool mounted = false;
};

TEST(SafeReplaceTest, WritesThroughALinkKeepsModeAndGroupAndLeavesNothingBeside) {
    ScratchDirectory scratch("replace");
    const fs::path folder = scratch.Path() / "real";
    fs::create_directory(folder);
    const fs::path file = folder / "timeline.txt";
    const fs::path link = scratch.Path() / "timeline.txt";
    WriteFile(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    const gid_t group = getgid() == 0 ? 4 : getgid();  // root may give it any group
    ASSERT_EQ(::chown(file.c_str(), static_cast<uid_t>(-1), group), 0);
    fs::create_symlink(file, link);
    // A link planted under the name earlier saves used must not be followed.
    const fs::path outside = scratch.Path() / "outside.txt";
    WriteFile(outside, "keep");
    fs::create_symlink(outside, folder / "timeline.txt.saving");

    std::string error;
    ASSERT_EQ(ReplaceIfUnchanged(link.string(), "old", "new", error), ReplaceOutcome::kReplaced) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_EQ(ReadFile(outside), "keep");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(info.st_gid, group);
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"timeline.txt", "timeline.txt.saving"}));
}

// Root may write any file; the owner's read-only mark still stops the save, as it stops a text
// editor, and the reason is the system's own.
TEST(SafeReplaceTest, AReadOnlyFileIsRefusedAsPermissionDeniedEvenForRoot) {
    ScratchDirectory scratch("replace");
    const fs::path file = scratch.Path() / "timeline.txt";
    WriteFile(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    std::string error;
    EXPECT_EQ(ReplaceIfUnchanged(file.string(), "old", "new", error), ReplaceOutcome::kRefused);
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
}

TEST(SafeReplaceTest, AFullDiskOrAReadOnlyFolderIsRefusedWithTheSystemsReason) {
    ScratchDirectory scratch("replace");
    const fs::path folder = scratch.Path() / "small";
    const SmallFileSystem small(folder, 8192);
    if (!small.Mounted()) GTEST_SKIP() << "mounting a small file system needs root";
    const fs::path file = folder / "timeline.txt";
    const std::string old(8000, 'o');  // with its copy, more than the file system holds
    WriteFile(file, old);
    ASSERT_EQ(ReadFile(file), old);
    std::string error;
    EXPECT_EQ(ReplaceIfUnchanged(file.string(), old, std::string(8000, 'n'), error), ReplaceOutcome::kRefused);
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(Names(folder), std::vector<std::string>{"timeline.txt"});

    ASSERT_TRUE(small.MakeReadOnly());
    EXPECT_EQ(ReplaceIfUnchanged(file.string(), old, "new", error), ReplaceOutcome::kRefused);
    EXPECT_NE(error.find("Read-only file system"), std::string::npos) << error;
    EXPECT_EQ(ReadFile(file), old);
}

TEST(SafeReplaceTest, AKilledSavesFileGoesAtTheNextStartAndARunningOnesStays) {
    ScratchDirectory scratch("replace");
    const fs::path file = scratch.Path() / "timeline.txt";
    WriteFile(file, "text");
    // A pid far above any the system hands out is no running program.
    WriteFile(scratch.Path() / "timeline.txt.saving-2147483646-0badf00d", "half");
    const std::string running = "timeline.txt.saving-" + std::to_string(getpid()) + "-12345678";
    WriteFile(scratch.Path() / running, "in flight");
    WriteFile(scratch.Path() / "other.txt.saving-2147483646-0badf00d", "not ours");
    RemoveStaleSaves(file.string());
    EXPECT_EQ(Names(scratch.Path()),
              (std::vector<std::string>{"other.txt.saving-2147483646-0badf00d", "timeline.txt", running}));
}

}  // namespace
