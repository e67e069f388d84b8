#pragma once
// Two channels of float samples: a note being rendered, an instrument's bus, the master.

#include <cstddef>
#include <vector>

struct StereoBuffer {
    std::vector<float> left, right;

    explicit StereoBuffer(size_t samples = 0) : left(samples, 0.0f), right(samples, 0.0f) {}
    size_t Size() const { return left.size(); }
    // Silence of the given length.
    void Reset(size_t samples) {
        left.assign(samples, 0.0f);
        right.assign(samples, 0.0f);
    }
};
