// Processor time of the planet emitter's per-frame records, as PlanetEffect::Render writes them
// before the upload: one figure per kind of stage, at a beat inside it.

#include <benchmark/benchmark.h>

#include <array>

#include "effects/PlanetEmitter.h"

namespace {

void BM_PlanetEmitterStage(benchmark::State& state) {
    const float beat = static_cast<float>(state.range(0));
    std::array<ParticleRecord, kPlanetParticleCount> records{};
    float time = beat;  // the planet's clock runs with the soundtrack's from the start
    EmitterStage stage;
    for (auto _ : state) {
        stage = WriteEmitterStage(beat, time, records);
        benchmark::DoNotOptimize(records.data());
        time += 1.0f / 60.0f;
    }
    state.counters["stage"] = stage.number;
    state.counters["records"] = stage.count;
}
// Beat 30: the 50 x 50 sphere grid; 50: the butterfly; 80: the lattice.
BENCHMARK(BM_PlanetEmitterStage)->Arg(30)->Arg(50)->Arg(80)->Unit(benchmark::kMicrosecond);

}  // namespace
