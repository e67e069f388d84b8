// Processor time of the cube tunnel's gem loop as CubeTunnel::Render walks it every frame:
// each gem's matrix, normal matrix and look, without the GL calls.

#include <benchmark/benchmark.h>

#include "effects/CubeTunnelMath.h"

namespace {

// Beat 290 has the full helix of 189 gems, the lit pattern, the sweep and the pulse; the
// tunnel's clock, started at beat 224, reads 66 there.
void BM_CubeTunnelGemLoop(benchmark::State& state) {
    constexpr float kBeat = 290.0f;
    float time = 66.0f;
    int gems = 0;
    for (auto _ : state) {
        gems = 0;
        ForEachGem(time, kBeat, [&gems](const Matrix4& model, const Matrix4& normalMatrix, const GemLook& look) {
            benchmark::DoNotOptimize(model.data());
            benchmark::DoNotOptimize(normalMatrix.data());
            benchmark::DoNotOptimize(look);
            ++gems;
        });
        time += 1.0f / 60.0f;
    }
    state.counters["gems"] = gems;
}
BENCHMARK(BM_CubeTunnelGemLoop)->Unit(benchmark::kMicrosecond);

}  // namespace
