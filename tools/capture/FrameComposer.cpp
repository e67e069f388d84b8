#include "FrameComposer.h"

#include <algorithm>

// A plain frame is used as drawn, so nothing is held for it (125 MB at 2160p).
FrameComposer::FrameComposer(const FrameSettings& settings)
    : width(settings.width),
      height(settings.height),
      factor(settings.supersample),
      sums(settings.Plain() ? 0 : static_cast<size_t>(settings.width) * settings.height * 3),
      frame(sums.size()) {}

void FrameComposer::Begin() {
    std::fill(sums.begin(), sums.end(), 0u);
    renders = 0;
}

void FrameComposer::Add(const std::vector<uint8_t>& render) {
    const size_t renderRow = static_cast<size_t>(width) * factor * 3;
    for (int y = 0; y < height * factor; ++y) {
        const uint8_t* in = render.data() + y * renderRow;
        uint32_t* out = sums.data() + static_cast<size_t>(y / factor) * width * 3;
        for (int x = 0; x < width; ++x, out += 3)
            for (int dx = 0; dx < factor; ++dx, in += 3) {
                out[0] += in[0];
                out[1] += in[1];
                out[2] += in[2];
            }
    }
    ++renders;
}

const std::vector<uint8_t>& FrameComposer::Resolve() {
    const uint32_t count = static_cast<uint32_t>(renders) * factor * factor;
    for (size_t i = 0; i < sums.size(); ++i) frame[i] = static_cast<uint8_t>((sums[i] + count / 2) / count);
    return frame;
}
