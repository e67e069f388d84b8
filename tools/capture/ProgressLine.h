#pragma once
// One line on the terminal that tells how far a long job has come: frames done of the total,
// the share done, the rate, the time left and, when it watches a growing file, that file's size
// at the end. It is redrawn in place.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>

class ProgressLine {
public:
    ProgressLine(int64_t total, std::FILE* stream, std::filesystem::path growingFile = {});
    // Redraws a few times a second at most, and always at the last frame.
    void Update(int64_t done);
    // Leaves the line as it stands and moves past it; once.
    void End();

private:
    using Clock = std::chrono::steady_clock;

    void Draw(int64_t done);
    // "  ~120 MB" once the file has grown; empty before.
    void EstimateSize(int64_t done, char* text, size_t size) const;

    const int64_t total;
    std::FILE* const stream;
    const std::filesystem::path growingFile;
    const Clock::time_point start = Clock::now();
    Clock::time_point lastDrawn{};
    bool drawn = false;
};
