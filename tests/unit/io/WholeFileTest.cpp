#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "io/TextLines.h"
#include "io/WholeFile.h"
#include "support/BlockingPipe.h"
#include "support/ScratchDirectory.h"

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every data file goes through this reader, on every system: what it refuses, each loader
// reports; what it accepts arrives byte for byte, CR, LF and NUL included.
TEST(WholeFile, ReadsRegularFilesWholeAndRefusesEverythingElseWithoutBlocking) {
    const ScratchDirectory scratch("quarn-whole-file");
    const std::string bytes("line one\r\nline two\n\0\xff", 21);
    WriteBytes(scratch.PathOf("data.bin"), bytes);

    const WholeFile whole = ReadWholeFile(scratch.PathOf("data.bin").c_str(), bytes.size());
    ASSERT_TRUE(whole.Ok());
    EXPECT_EQ(std::string(whole.bytes.begin(), whole.bytes.end()), bytes);

    EXPECT_EQ(ReadWholeFile(scratch.PathOf("data.bin").c_str(), bytes.size() - 1).status, WholeFileStatus::kTooLarge);
    EXPECT_EQ(ReadWholeFile(scratch.PathOf("absent.bin").c_str(), 1 << 20).status, WholeFileStatus::kMissing);
    std::filesystem::create_directory(scratch.PathOf("folder.bin"));
    EXPECT_EQ(ReadWholeFile(scratch.PathOf("folder.bin").c_str(), 1 << 20).status, WholeFileStatus::kNotRegularFile);
    const BlockingPipe pipe(scratch.PathOf("pipe.bin"));
    ASSERT_TRUE(pipe.Valid());
    EXPECT_EQ(ReadWholeFile(pipe.Path().c_str(), 1 << 20).status, WholeFileStatus::kNotRegularFile);
}

// Authored sources may come with either line end, whichever system saved them.
TEST(WholeFile, TextLinesReadTheSameWithEitherLineEnd) {
    const ScratchDirectory scratch("quarn-text-lines");
    WriteBytes(scratch.PathOf("unix.txt"), "first\n\nthird  # note\n");
    WriteBytes(scratch.PathOf("windows.txt"), "first\r\n\r\nthird  # note\r\n");
    std::vector<TextLine> unix;
    std::vector<TextLine> windows;
    ASSERT_TRUE(ReadTextLines(scratch.PathOf("unix.txt"), unix));
    ASSERT_TRUE(ReadTextLines(scratch.PathOf("windows.txt"), windows));
    ASSERT_EQ(windows.size(), 3u);
    ASSERT_EQ(unix.size(), windows.size());
    for (size_t i = 0; i < unix.size(); ++i) {
        EXPECT_EQ(windows[i].number, static_cast<int>(i) + 1);
        EXPECT_EQ(windows[i].text, unix[i].text);
    }
    EXPECT_EQ(StripComment(windows[2].text, '#'), "third");
}

}  // namespace
