// Processor time of the greetings tube as Greetings::Render walks it every frame: 4000 model
// matrices, their normal matrices (one inverse each) and colours, without the GL calls.

#include <benchmark/benchmark.h>

#include "effects/GreetingsMath.h"

namespace {

void BM_GreetingsTubeFrame(benchmark::State& state) {
    float time = 240.0f;
    int cylinders = 0;
    for (auto _ : state) {
        cylinders = 0;
        ForEachCylinder(time, BeatPulse(200.0f, time),
                        [&](const Matrix4& model, const Matrix4& normal, const Vector4& color) {
                            benchmark::DoNotOptimize(model.data());
                            benchmark::DoNotOptimize(normal.data());
                            benchmark::DoNotOptimize(color);
                            ++cylinders;
                        });
        time += 1.0f / 60.0f;
    }
    state.counters["cylinders"] = cylinders;
}
BENCHMARK(BM_GreetingsTubeFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
