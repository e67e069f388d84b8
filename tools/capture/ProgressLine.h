#pragma once
// One line on the terminal that tells how far a long job has come: frames done of the total,
// the share done, the rate, the time left and, when it can measure what is written, the size so
// far and the size expected at the end. It is redrawn in place.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>

class ProgressLine {
public:
    // Bytes written so far; none when empty.
    using Measure = std::function<uint64_t()>;

    // `alreadyDone` frames were done before this run began: they count towards the total, not
    // towards the rate.
    ProgressLine(int64_t total, std::FILE* stream, Measure written = {}, int64_t alreadyDone = 0);
    // Redraws a few times a second at most, and always at the last frame.
    void Update(int64_t done);
    // Leaves the line as it stands and moves past it; once.
    void End();

private:
    using Clock = std::chrono::steady_clock;

    void Draw(int64_t done);
    // "  12 MB of ~120 MB" once something is written; empty before.
    void EstimateSize(int64_t done, char* text, size_t size) const;

    const int64_t total;
    std::FILE* const stream;
    const Measure written;
    const int64_t alreadyDone;
    const Clock::time_point start = Clock::now();
    Clock::time_point lastDrawn{};
    bool drawn = false;
    int64_t drawnDone = 0;
};

// "1:02:03", or "2:03" under an hour.
void FormatDuration(double seconds, char* text, size_t size);
