// The real player in run directories an attacker has damaged, one file at a time. Each run must
// end by itself within the time limit, with bounded memory, a complete log naming the damage, and
// the exit status of a failed start (a damaged shader) or of a run played to its end.
#include "support/EngineLog.h"
#include "support/EngineRunDirectory.h"
#include "support/HostileFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kPlayer = QUARN_RUN_DIR "/QuarnEngine";
constexpr long kMemoryLimitKb = 400 * 1024;
constexpr int kFailedStart = 255;  // the quit code -1
constexpr int kPlayedToTheEnd = 0;

using Damage = std::function<bool(const EngineRunDirectory&)>;

struct HostileCase {
    const char* name;
    Damage damage;
    int exitStatus;
    const char* logLine;  // null: the run must log no error at all
};

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

Damage Directory(const char* file) {
    return [file](const EngineRunDirectory& run) {
        return fs::remove(run.File(file)) && fs::create_directory(run.File(file));
    };
}

Damage Fifo(const char* file) {
    return [file](const EngineRunDirectory& run) {
        return fs::remove(run.File(file)) && mkfifo(run.File(file).c_str(), 0600) == 0;
    };
}

Damage Bytes(const char* file, std::vector<uint8_t> bytes) {
    return [file, bytes](const EngineRunDirectory& run) { return WriteBytes(run.File(file), bytes); };
}

// The shader as it was, with a NUL byte where its second line begins.
Damage NulInShader(const char* file) {
    return [file](const EngineRunDirectory& run) {
        std::vector<uint8_t> bytes = ReadBytes(run.File(file));
        const auto lineEnd = std::find(bytes.begin(), bytes.end(), '\n');
        if (lineEnd == bytes.end()) return false;
        bytes.insert(lineEnd + 1, 0);
        return WriteBytes(run.File(file), bytes);
    };
}

// The mesh as it was, but its last index names the vertex one past its last.
Damage IndexPastTheVertices(const char* file, uint32_t floatsPerVertex) {
    return [file, floatsPerVertex](const EngineRunDirectory& run) {
        std::vector<uint8_t> bytes = ReadBytes(run.File(file));
        uint32_t header[2];
        if (bytes.size() < 12) return false;
        std::memcpy(header, bytes.data(), sizeof header);
        if (header[1] == 0 || bytes.size() < 12 + 4 * (size_t{header[0]} + header[1])) return false;
        const uint32_t pastTheEnd = header[0] / floatsPerVertex;
        std::memcpy(bytes.data() + 12 + 4 * (size_t{header[0]} + header[1] - 1), &pastTheEnd, 4);
        return WriteBytes(run.File(file), bytes);
    };
}

void PutKey(std::vector<uint8_t>& bytes, int32_t row, float value, int8_t type) {
    const auto put = [&bytes](const void* from, size_t size) {
        const auto* p = static_cast<const uint8_t*>(from);
        bytes.insert(bytes.end(), p, p + size);
    };
    put(&row, 4);
    put(&value, 4);
    put(&type, 1);
}

// Keys of NaN and infinities, every interpolation kind between them.
std::vector<uint8_t> NonFiniteTrack(const std::vector<float>& values, int32_t rowStep) {
    std::vector<uint8_t> bytes;
    const int32_t count = static_cast<int32_t>(values.size());
    bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(&count), reinterpret_cast<const uint8_t*>(&count) + 4);
    for (int32_t i = 0; i < count; ++i) PutKey(bytes, i * rowStep, values[i], static_cast<int8_t>(i % 4));
    return bytes;
}

Damage NonFiniteTracks() {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    return [=](const EngineRunDirectory& run) {
        // Every effect is shown in turn, each with its clock thrown to a non-finite or huge time.
        return WriteBytes(run.File("sync/_Effect Index.track"), NonFiniteTrack({0, 1, 2, 3, kNaN}, 12)) &&
               WriteBytes(run.File("sync/_Effect Time.track"),
                          NonFiniteTrack({kInfinity, 1e30f, kInfinity, 3e38f, kNaN}, 12)) &&
               WriteBytes(run.File("sync/_Camera Distance.track"),
                          NonFiniteTrack({kNaN, kInfinity, -kInfinity, kNaN}, 8)) &&
               WriteBytes(run.File("sync/_Fade.track"), NonFiniteTrack({kInfinity, kNaN, -kInfinity}, 8));
    };
}

const HostileCase kCases[] = {
    {"DirectoryForAShader", Directory("Shaders/SphereMorph.frag"), kFailedStart,
     "ERROR: Failed to read fragment shader source!"},
    {"NulInAShader", NulInShader("Shaders/SphereMorph.vert"), kFailedStart,
     "ERROR: Failed to read vertex shader source!"},
    {"DirectoryForAModel", Directory("Models/Gem.exm"), kPlayedToTheEnd,
     "ERROR: Failed To Load Model: ./Models/Gem.exm"},
    {"FifoForAModel", Fifo("Models/kav.exm"), kPlayedToTheEnd, "ERROR: Failed To Load Model: ./Models/kav.exm"},
    {"IndexPastTheVertexCount", IndexPastTheVertices("Models/coolball.exm", 6), kPlayedToTheEnd,
     "ERROR: Failed To Load Model: ./Models/coolball.exm"},
    {"DirectoryForATrack", Directory("sync/_Camera Yaw.track"), kPlayedToTheEnd, nullptr},
    {"DirectoryForATexture", Directory("Textures/Floater.png"), kPlayedToTheEnd,
     "Returned A Missing Texture! Unable To Load File: ./Textures/Floater.png"},
    {"JpegHeaderOf12000x16000", Bytes("Textures/CubeMapTest.jpg", JpegHeaderClaiming(12000, 16000)),
     kPlayedToTheEnd, "Returned A Missing Texture! Unable To Load File: ./Textures/CubeMapTest.jpg"},
    {"TgaBombNamedPng", Bytes("Textures/testtex.png", TgaBomb()), kPlayedToTheEnd,
     "Returned A Missing Texture! Unable To Load File: ./Textures/testtex.png"},
    {"NaNAndInfiniteTrackValues", NonFiniteTracks(), kPlayedToTheEnd, nullptr},
};

// Names the case in test listings rather than dumping its bytes.
void PrintTo(const HostileCase& hostile, std::ostream* out) { *out << hostile.name; }

class HostileRunDirectory : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileRunDirectory, EndsQuicklyWithBoundedMemoryAndSaysWhy) {
    const HostileCase& hostile = GetParam();
    EngineRunDirectory run;
    ASSERT_TRUE(run.Valid());
    ASSERT_TRUE(run.CopyDemoData());
    ASSERT_TRUE(run.AddSoundtrack(2.0));
    ASSERT_TRUE(hostile.damage(run));

    const ProcessResult result = run.RunPlayer(kPlayer);
    ASSERT_TRUE(result.started) << result.startError;
    ASSERT_FALSE(result.timedOut) << "still running after " << result.seconds << " s";
    ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
    EXPECT_EQ(result.exitStatus, hostile.exitStatus);
    EXPECT_LT(result.peakMemoryKb, kMemoryLimitKb);

    const EngineLog log = ReadEngineLog(run.File("LogFile.txt"));
    ASSERT_TRUE(log.readable);
    ASSERT_GE(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[log.lines.size() - 2], "Logger Shutting Down.") << "the log is not complete";
    const int error = FindLineStartingWith(log, "ERROR: ");
    if (hostile.logLine) {
        EXPECT_GE(FindLine(log, hostile.logLine), 0) << "no \"" << hostile.logLine << "\"";
    } else {
        EXPECT_EQ(error, -1) << log.lines[error];
    }
    if (hostile.exitStatus == kPlayedToTheEnd) {
        EXPECT_GE(FindLine(log, "Engine Initialized."), 0);
    }
    // One line per case for the reliability notes: case, exit, time, peak memory.
    std::printf("hostile: %s | exit %d | %.1f s | %ld MB\n", hostile.name, result.exitStatus, result.seconds,
                result.peakMemoryKb / 1024);
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileRunDirectory, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

}  // namespace
