#include "log/FileLogger.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Runs each test in a fresh directory, since the log always lands in "./LogFile.txt".
class FileLoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "quarn_log_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory = pattern;
        fs::current_path(directory);
    }

    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(directory);
    }

    static std::string ReadBytes(const char* path = kLogFilePath) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Decodes the file as UTF-16LE; an odd trailing byte fails the test.
    static std::u16string ReadLog() {
        std::string bytes = ReadBytes();
        EXPECT_EQ(bytes.size() % 2, 0u);
        std::u16string text;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 static_cast<unsigned char>(bytes[i + 1]) << 8));
        return text;
    }

    fs::path previous;
    fs::path directory;
};

TEST_F(FileLoggerTest, WritesEachOperationAsUtf16LinesWithCrLf) {
    FileLogger logger;
    ASSERT_TRUE(logger.Open());
    logger.Write("Logger Initialized.");
    logger.WritePair("Initializing Effect: ", "Cube Tunnel");
    logger.Error("Nullifying Model Data...");
    logger.Debug("probe");
    logger.WriteRaw(u"raw");
    logger.Write("");
    logger.WritePair("Label: ", "");
    logger.Write(nullptr);
    logger.Close();

    EXPECT_EQ(ReadLog(), u"Logger Initialized.\r\n"
                         u"Initializing Effect: Cube Tunnel\r\n"
                         u"ERROR: Nullifying Model Data...\r\n"
                         u"DEBUG: probe\r\n"
                         u"raw"
                         u"\r\n"
                         u"Label: \r\n"
                         u"\r\n");
    // Little-endian code units from the very first byte: no byte-order mark.
    EXPECT_EQ(ReadBytes().substr(0, 4), std::string("L\0o\0", 4));
}

TEST_F(FileLoggerTest, WritesLongMessagesWhole) {
    // 127 characters fill the short buffer exactly with the terminator; the others need the large one,
    // the last with "é" and U+1F600 (a surrogate pair) straddling the boundary.
    const std::string exact(127, 'a');
    const std::string over(128, 'b');
    const std::string longer = std::string(3000, 'c') + "!";
    const std::string straddle = std::string(126, 'd') + "\xC3\xA9\xF0\x9F\x98\x80";

    FileLogger logger;
    ASSERT_TRUE(logger.Open());
    logger.Write(exact.c_str());
    logger.Error(over.c_str());
    logger.WritePair(longer.c_str(), "x");
    logger.Write(straddle.c_str());
    logger.Close();

    const std::u16string expected = std::u16string(127, u'a') + u"\r\n" + u"ERROR: " + std::u16string(128, u'b') +
                                    u"\r\n" + std::u16string(3000, u'c') + u"!x\r\n" + std::u16string(126, u'd') +
                                    u"\u00E9\xD83D\xDE00\r\n";
    EXPECT_EQ(ReadLog(), expected);
}

TEST_F(FileLoggerTest, LinesReachTheFileBeforeClose) {
    FileLogger logger;
    ASSERT_TRUE(logger.Open());
    logger.Write("first");
    EXPECT_EQ(ReadLog(), u"first\r\n");
    logger.Error("second");
    EXPECT_EQ(ReadLog(), u"first\r\nERROR: second\r\n");
    logger.Close();
}

TEST_F(FileLoggerTest, EachOpenRecreatesTheFile) {
    {
        FileLogger first;
        ASSERT_TRUE(first.Open());
        first.Write("first run, a longer line than the next");
        first.Close();
    }
    FileLogger second;
    ASSERT_TRUE(second.Open());
    second.Write("second run");
    // Opening again while open starts over as well, without leaving the old handle behind.
    ASSERT_TRUE(second.Open());
    second.Write("third");
    second.Close();
    EXPECT_EQ(ReadLog(), u"third\r\n");
}

TEST_F(FileLoggerTest, OpenFailsWhereTheFileCannotBeCreated) {
    fs::create_directory(kLogFilePath);  // a directory in the file's place
    FileLogger logger;
    EXPECT_FALSE(logger.Open());
    logger.Write("goes nowhere");
    logger.Close();
}

TEST_F(FileLoggerTest, WritesAfterCloseDoNotReachAFileThatReusesTheHandle) {
    FileLogger logger;
    ASSERT_TRUE(logger.Open());
    logger.Write("kept");
    logger.Close();

    // The system hands out the lowest free descriptor, so this file likely takes the log's old one.
    platform::FileHandle other = platform::CreateFileForWriting("Other.txt");
    ASSERT_NE(other, platform::kInvalidFile);
    logger.Write("stray");
    logger.Close();
    platform::CloseHandle(other);

    EXPECT_EQ(ReadBytes("Other.txt"), "");
    EXPECT_EQ(ReadLog(), u"kept\r\n");
}

// Sets TZ for one test and restores it afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        const char* old = std::getenv("TZ");
        hadValue = old != nullptr;
        if (hadValue) saved = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (hadValue)
            setenv("TZ", saved.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool hadValue = false;
    std::string saved;
};

TEST_F(FileLoggerTest, TimestampIsTheLocalTimeInTheFixedDateForm) {
    // Five hours east of UTC with no daylight saving: local time must differ from UTC.
    ScopedTimeZone zone("QRN-5");
    const std::time_t before = std::time(nullptr);
    FileLogger logger;
    ASSERT_TRUE(logger.Open());
    logger.WriteTimestamp();
    logger.Close();
    const std::time_t after = std::time(nullptr);

    const std::u16string log = ReadLog();
    ASSERT_EQ(log.size(), 27u);
    EXPECT_EQ(log.substr(24), u"\n\r\n");

    // An independent formatter in the "C" locale, on UTC shifted by the zone's offset.
    auto format = [](std::time_t t) {
        const std::time_t shifted = t + 5 * 3600;
        std::tm utc{};
        gmtime_r(&shifted, &utc);
        char text[32];
        std::strftime(text, sizeof(text), "%a %b %d %H:%M:%S %Y", &utc);
        return std::u16string(text, text + 24);
    };
    const std::u16string stamp = log.substr(0, 24);
    bool matched = false;
    for (std::time_t t = before; t <= after; ++t) matched = matched || stamp == format(t);
    EXPECT_TRUE(matched) << std::string(stamp.begin(), stamp.end());
}

}  // namespace
