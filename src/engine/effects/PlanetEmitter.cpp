#include "effects/PlanetEmitter.h"

#include <cmath>
#include <iterator>

#include "math/Random.h"

namespace {

// Stages 1 to 8: a turning grid of points on a sphere. A breathing sphere's radius is
// radius x sin(time / 4), which passes through 0 and turns the sphere inside out.
struct SphereStage {
    float lastBeat;
    int gridSize;
    float radius;
    bool breathing;
};

constexpr SphereStage kSphereStages[] = {
    {4.0f, 10, 1.0f, false},  {8.0f, 20, 2.0f, false},  {12.0f, 30, 2.0f, false}, {16.0f, 40, 2.0f, false},
    {20.0f, 50, 2.0f, false}, {24.0f, 50, 3.0f, true},  {26.0f, 50, 3.0f, false}, {33.0f, 50, 3.0f, true},
};
constexpr int kSphereStageCount = static_cast<int>(std::size(kSphereStages));
constexpr int kButterflyStage = kSphereStageCount + 1;
constexpr int kLatticeStage = kSphereStageCount + 2;
constexpr int kEmptyStage = kSphereStageCount + 3;
constexpr float kButterflyLastBeat = 64.0f;
constexpr float kLatticeLastBeat = 96.0f;
constexpr int kLatticeSide = 10;
constexpr int kLatticeCount = kLatticeSide * kLatticeSide * kLatticeSide;
constexpr float kSlowdownBeat = 33.0f;

// 4 x frac(time) as the look was tuned: (4t) - 4 floor(t), in single precision.
float Saw(float time) { return 4.0f * time - 4.0f * std::floor(time); }

}  // namespace

int EmitterStageAt(float beat) {
    for (int i = 0; i < kSphereStageCount; ++i)
        if (beat <= kSphereStages[i].lastBeat)
            return i + 1;
    if (beat <= kButterflyLastBeat)
        return kButterflyStage;
    if (beat <= kLatticeLastBeat)
        return kLatticeStage;
    return kEmptyStage;
}

EmitterStage WriteEmitterStage(float beat, float time, std::span<ParticleRecord> records) {
    EmitterStage stage;
    stage.number = EmitterStageAt(beat);
    if (records.size() < static_cast<size_t>(kPlanetParticleCount))
        return stage;

    if (stage.number <= kSphereStageCount) {
        const SphereStage& sphere = kSphereStages[stage.number - 1];
        const float radius = sphere.breathing ? sphere.radius * std::sin(time / 4.0f) : sphere.radius;
        WriteSphereGrid(sphere.gridSize, radius, time, records);
        stage.count = sphere.gridSize * sphere.gridSize;
    } else if (stage.number == kButterflyStage) {
        WriteButterfly(time, records);
        stage.count = kPlanetParticleCount;
    } else if (stage.number == kLatticeStage) {
        WriteLattice(time, records);
        stage.count = kLatticeCount;
        stage.wave = 0.0f;
    }
    return stage;
}

void WriteSphereGrid(int n, float radius, float time, std::span<ParticleRecord> records) {
    if (n <= 0 || records.size() < static_cast<size_t>(n) * static_cast<size_t>(n))
        return;
    const float turn = time / 4.0f;
    for (int j = 0; j < n; ++j) {
        const float u = static_cast<float>(j) + turn;
        for (int k = 0; k < n; ++k) {
            const float v = static_cast<float>(k) + turn;
            records[static_cast<size_t>(j * n + k)] = {radius * std::cos(u) * std::sin(v),
                                                       radius * std::sin(u) * std::sin(v), radius * std::cos(v), 1.0f};
        }
    }
}

void WriteButterfly(float time, std::span<ParticleRecord> records) {
    if (records.size() < static_cast<size_t>(kPlanetParticleCount))
        return;
    const float lift = std::sin(time / 4.0f);
    for (int i = 0; i < kPlanetParticleCount; ++i) {
        const float k = static_cast<float>(i);
        const float p = k + time;
        const float r =
            std::exp(std::cos(p)) - 2.0f * std::cos(4.0f * k + time) - std::pow(std::sin(k / 12.0f + time), 5.0f);
        records[static_cast<size_t>(i)] = {r * std::sin(p), r * std::cos(p), lift, 1.0f};
    }
}

void WriteLattice(float time, std::span<ParticleRecord> records) {
    if (records.size() < static_cast<size_t>(kLatticeCount))
        return;
    const float h = 0.5f * Saw(time);
    const float w = std::sin(4.0f * time);
    auto coordinate = [h](int step) { return h * (static_cast<float>(step) / 4.0f - 1.0f); };
    size_t next = 0;
    for (int i = 0; i < kLatticeSide; ++i)
        for (int j = 0; j < kLatticeSide; ++j)
            for (int k = 0; k < kLatticeSide; ++k)
                records[next++] = {coordinate(k), coordinate(j), coordinate(i), w};
}

float PlanetSpinPeriod(float beat) { return beat < kSlowdownBeat ? 16.0f : 64.0f; }

float PlanetSize(float beat, float time) { return beat < kSlowdownBeat ? 10.0f : 10.0f + 2.0f * Saw(time); }

void WriteEmitterRing(std::span<ParticleRecord> records) {
    for (size_t k = 0; k < records.size(); ++k) {
        const float angle = 4.0f * static_cast<float>(k);
        records[k] = {10.0f * std::sin(angle), 0.0f, 10.0f * std::cos(angle), 1.0f};
    }
}
