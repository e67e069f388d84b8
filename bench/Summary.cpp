#include "Summary.h"

#include <algorithm>
#include <cmath>

Summary Summarise(std::span<double> samples) {
    Summary summary;
    if (samples.empty()) return summary;
    std::sort(samples.begin(), samples.end());
    summary.count = samples.size();
    double sum = 0.0;
    for (const double sample : samples) sum += sample;
    summary.mean = sum / static_cast<double>(samples.size());
    double squares = 0.0;
    for (const double sample : samples) squares += (sample - summary.mean) * (sample - summary.mean);
    summary.stddev = std::sqrt(squares / static_cast<double>(samples.size()));
    const size_t rank = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(samples.size())));
    summary.p99 = samples[std::max<size_t>(rank, 1) - 1];
    summary.min = samples.front();
    summary.max = samples.back();
    return summary;
}
