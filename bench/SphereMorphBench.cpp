// Processor time of the sphere morph's per-frame shape work on the shipped meshes: the two
// sphere passes and the spiky-ball twist, as SphereMorph::Render runs them.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "BenchLogger.h"
#include "effects/SphereMorphMath.h"
#include "formats/Model.h"

namespace {

std::vector<float> LoadVertices(const char* name, float scale) {
    // LoadModel reports a missing mesh through the log.
    static StderrLogger logger;
    gLogger = &logger;
    Model model;
    LoadModel(model, (std::string(QUARN_RUN_DIR) + "/Models/" + name).c_str(), VertexLayout::kPositionNormal);
    std::vector<float> vertices(model.vertices.get(), model.vertices.get() + model.floatCount);
    for (float& value : vertices)
        value *= scale;
    return vertices;
}

void BM_SphereMorphBothPasses(benchmark::State& state) {
    const std::vector<float> mesh = LoadVertices("Sphere2.exm", 1.0f);
    std::vector<SphereVertexState> states(mesh.size() / kMorphFloatsPerVertex);
    BuildSphereStates(mesh, states);
    std::vector<float> upload = mesh;
    float time = 0.0f;
    for (auto _ : state) {
        MorphSphere(states, time, 1.0f, 1.0f, upload);
        MorphSphere(states, time, ShellGain(time), 2.5f, upload);
        benchmark::DoNotOptimize(upload.data());
        time += 1.0f / 60.0f;
    }
    state.counters["vertices"] = static_cast<double>(states.size());
}
BENCHMARK(BM_SphereMorphBothPasses)->Unit(benchmark::kMicrosecond);

void BM_SpikyBallTwist(benchmark::State& state) {
    const std::vector<float> rest = LoadVertices("Spineball.exm", 3.0f);
    std::vector<float> upload = rest;
    float time = 0.0f;
    for (auto _ : state) {
        TwistSpikyBall(rest, time, upload);
        benchmark::DoNotOptimize(upload.data());
        time += 1.0f / 60.0f;
    }
    state.counters["vertices"] = static_cast<double>(rest.size() / kMorphFloatsPerVertex);
}
BENCHMARK(BM_SpikyBallTwist)->Unit(benchmark::kMicrosecond);

}  // namespace
