#include "soundtrack/Effects.h"

#include <array>
#include <cstddef>

namespace {

class Comb {
public:
    explicit Comb(int length) : buffer_(length, 0.0f) {}
    float Process(float input, float feedback, float damping) {
        const float output = buffer_[index_];
        filtered_ = output * (1.0f - damping) + filtered_ * damping;
        buffer_[index_] = input + filtered_ * feedback;
        index_ = (index_ + 1) % buffer_.size();
        return output;
    }

private:
    std::vector<float> buffer_;
    size_t index_ = 0;
    float filtered_ = 0.0f;
};

class AllPass {
public:
    explicit AllPass(int length) : buffer_(length, 0.0f) {}
    float Process(float input) {
        const float delayed = buffer_[index_];
        buffer_[index_] = input + delayed * 0.5f;
        index_ = (index_ + 1) % buffer_.size();
        return delayed - input;
    }

private:
    std::vector<float> buffer_;
    size_t index_ = 0;
};

constexpr std::array<int, 8> kCombLengths = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr std::array<int, 4> kAllPassLengths = {556, 441, 341, 225};
constexpr int kStereoSpread = 23;

}  // namespace

void PingPongDelay(const std::vector<float>& input, int delaySamples, float feedback, StereoBuffer& output) {
    std::vector<float> left(delaySamples, 0.0f), right(delaySamples, 0.0f);
    float tone = 0.0f;
    for (size_t i = 0, slot = 0; i < input.size(); ++i, slot = (slot + 1) % delaySamples) {
        const float fromLeft = left[slot], fromRight = right[slot];
        // The left line feeds the right and back; a one-pole low-pass darkens each pass.
        tone += 0.35f * (fromRight - tone);
        left[slot] = input[i] + tone * feedback;
        right[slot] = fromLeft;
        output.left[i] += fromLeft;
        output.right[i] += fromRight;
    }
}

void Reverb(const std::vector<float>& input, float roomSize, float damping, StereoBuffer& output) {
    for (int side = 0; side < 2; ++side) {
        const int spread = side * kStereoSpread;
        std::vector<Comb> combs;
        std::vector<AllPass> allPasses;
        for (int length : kCombLengths)
            combs.emplace_back(length + spread);
        for (int length : kAllPassLengths)
            allPasses.emplace_back(length + spread);
        std::vector<float>& out = side == 0 ? output.left : output.right;
        for (size_t i = 0; i < input.size(); ++i) {
            const float in = input[i] * 0.015f;
            float sum = 0.0f;
            for (Comb& comb : combs)
                sum += comb.Process(in, roomSize, damping);
            for (AllPass& allPass : allPasses)
                sum = allPass.Process(sum);
            out[i] += sum;
        }
    }
}
