#include "io/FileCalls.h"
#include "io/SafeReplace.h"
#include "io/SaveNames.h"
#include "support/FileText.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
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
    // A link planted under the name a save takes first is not followed.
    const fs::path outside = scratch.Path() / "outside.txt";
    WriteFile(outside, "keep");
    const fs::path planted = SavingName(file.string(), ThisProcess(), 0);
    fs::create_symlink(outside, planted);

    std::string error;
    ASSERT_EQ(ReplaceIfUnchanged(link.string(), "old", "new", error), ReplaceOutcome::kReplaced) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_EQ(ReadFile(outside), "keep");
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(info.st_gid, group);
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"timeline.txt", planted.filename().string()}));
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

// One of the two switches the save's POSIX side reads, set for a test's life.
class SaveSwitch {
public:
    SaveSwitch(const char* name, const char* value) : name(name) { ::setenv(name, value, 1); }
    ~SaveSwitch() { ::unsetenv(name); }

private:
    const char* name;
};

const std::string kOld = "# Müller's bloom\n[Fade]\n0 1 step\n";
const std::string kMine = "# Müller's bloom, brighter\n[Fade]\n0 1.5 step\n";
const std::string kTheirs = "# Müller's bloom, theirs\n[Fade]\n0 0.5 step\n";

// As on NFS or FAT: checked, then renamed over; a save of another seen by the check is kept.
TEST(SafeReplaceTest, WithoutAnExchangeTheCheckedRenameSavesAndNeverOverwritesASaveItSaw) {
    const SaveSwitch noExchange("QUARN_SAVE_EXCHANGE", "none");
    ScratchDirectory scratch("replace");
    const fs::path file = scratch.Path() / "timeline.txt";
    WriteFile(file, kOld);
    // The file is never missing, not even for a moment, as three renames would leave it.
    std::atomic<bool> done = false;
    std::atomic<int> missing = 0;
    std::thread reader([&] {
        while (!done) missing += !fs::exists(file);
    });
    std::string error;
    for (int save = 0; save < 200; ++save)
        ASSERT_EQ(ReplaceIfUnchanged(file.string(), save % 2 ? kMine : kOld, save % 2 ? kOld : kMine, error),
                  ReplaceOutcome::kReplaced)
            << error;
    done = true;
    reader.join();
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(ReadFile(file), kOld);
    WriteFile(file, kTheirs);
    EXPECT_EQ(ReplaceIfUnchanged(file.string(), kOld, kMine, error), ReplaceOutcome::kChanged);
    EXPECT_EQ(ReadFile(file), kTheirs);
    EXPECT_EQ(Names(scratch.Path()), std::vector<std::string>{"timeline.txt"});
}

// A second name, and an attribute a rename would drop: written in place, both stay.
TEST(SafeReplaceTest, AFileWithAnotherLinkOrAttributesIsSavedInPlaceAndKeepsThem) {
    ScratchDirectory scratch("replace");
    const fs::path file = scratch.Path() / "timeline.txt";
    const fs::path other = scratch.Path() / "linked.txt";
    WriteFile(file, kOld);
    fs::create_hard_link(file, other);
    const bool attributed = ::setxattr(file.c_str(), "user.reviewer", "Jürgen", 7, 0) == 0;
    std::string error;
    ASSERT_EQ(ReplaceIfUnchanged(file.string(), kOld, kMine, error), ReplaceOutcome::kReplaced) << error;
    EXPECT_EQ(ReadFile(other), kMine);
    EXPECT_EQ(fs::hard_link_count(file), 2u);
    if (attributed) {
        char value[16] = {};
        EXPECT_EQ(::getxattr(file.c_str(), "user.reviewer", value, sizeof value), 7);
        EXPECT_STREQ(value, "Jürgen");
    }
    // In place too, a save of another since the text was read stays.
    WriteFile(file, kTheirs);
    EXPECT_EQ(ReplaceIfUnchanged(file.string(), kMine, kOld, error), ReplaceOutcome::kChanged);
    EXPECT_EQ(ReadFile(other), kTheirs);
    EXPECT_EQ(Names(scratch.Path()), (std::vector<std::string>{"linked.txt", "timeline.txt"}));
}

// A co-author's timeline, writable by the group: a user of the group saves it, and it stays the
// co-author's. Run as root, the test saves as a user of the group in a child process.
TEST(SafeReplaceTest, AGroupWritableFileOfAnotherOwnerIsSavedAndStaysTheirs) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving the file another owner needs root";
    constexpr uid_t kOwner = 4242;
    constexpr uid_t kCoAuthor = 4243;
    constexpr gid_t kGroup = 4244;
    ScratchDirectory scratch("replace");
    const fs::path folder = scratch.Path() / "shared";
    fs::create_directory(folder);
    const fs::path file = folder / "timeline.txt";
    WriteFile(file, kOld);
    ASSERT_EQ(::chown(folder.c_str(), kOwner, kGroup), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 02775), 0);
    ASSERT_EQ(::chown(file.c_str(), kOwner, kGroup), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0664), 0);
    ASSERT_EQ(::chmod(scratch.Path().c_str(), 0755), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string error;
        const bool dropped = ::setgroups(1, &kGroup) == 0 && ::setgid(kCoAuthor) == 0 && ::setuid(kCoAuthor) == 0;
        _exit(dropped ? static_cast<int>(ReplaceIfUnchanged(file.string(), kOld, kMine, error)) : 99);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(ReplaceOutcome::kReplaced));
    EXPECT_EQ(ReadFile(file), kMine);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, kOwner);
    EXPECT_EQ(info.st_gid, kGroup);
    EXPECT_EQ(info.st_mode & 07777, 0664u);
    EXPECT_EQ(Names(folder), std::vector<std::string>{"timeline.txt"});
}
}  // namespace
