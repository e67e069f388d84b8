#pragma once
// What a set of timings amounts to.

#include <cstddef>
#include <span>

struct Summary {
    size_t count = 0;
    double mean = 0.0;
    double p99 = 0.0;  // nearest rank: with fewer than 100 samples this is the largest
    double min = 0.0;
    double max = 0.0;
    double stddev = 0.0;  // of the population
};

// Sorts `samples` in place; an empty set gives an all-zero summary.
Summary Summarise(std::span<double> samples);
