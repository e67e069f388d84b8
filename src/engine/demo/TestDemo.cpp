#include "demo/TestDemo.h"

#include <cmath>
#include <utility>

#include "effects/Bloom.h"
#include "effects/CubeTunnel.h"
#include "effects/Greetings.h"
#include "effects/PlanetEffect.h"
#include "effects/SphereMorph.h"
#include "log/ILogger.h"
#include "log/StartupObserver.h"
#include "render/IRenderer.h"

namespace {

// The floor of a track value as an index in [low, high]. Clamping before the conversion keeps
// huge values and NaN (which selects `low`) from overflowing it.
int32_t FloorToIndex(float value, int32_t low, int32_t high) {
    const double floored = std::floor(static_cast<double>(value));
    if (!(floored >= low))
        return low;
    if (floored > high)
        return high;
    return static_cast<int32_t>(floored);
}

// Each read takes its own row, so a row boundary may fall between two reads of one frame.
float ReadAtCurrentRow(const TrackHandle& track) {
    return GetValue(track ? *track : nullptr, static_cast<double>(CurrentRow(*gSync)));
}

const char* NameOr(const char* name, const char* fallback) { return name ? name : fallback; }

}  // namespace

DemoSchedule ChooseSchedule(float effectIndexValue, float postIndexValue, float newTime, float lastEffectTime,
                            size_t effectCount, size_t postProcessorCount) {
    DemoSchedule schedule;
    if (effectCount > 0)
        schedule.effectIndex = FloorToIndex(effectIndexValue, 0, static_cast<int32_t>(effectCount) - 1);
    schedule.postIndex = FloorToIndex(postIndexValue, 0, static_cast<int32_t>(postProcessorCount)) - 1;
    schedule.jumpTime = newTime != lastEffectTime && newTime >= 0.0f;
    return schedule;
}

void AddDemoEffects(EffectList& effects, PostProcessorList& postProcessors) {
    // The indices are fixed: the "Effect Index" track names effects by them, and this order is
    // also the order in which the effects draw from the process-wide generator.
    effects.push_back(std::make_unique<SphereMorph>());
    effects.push_back(std::make_unique<Greetings>());
    effects.push_back(std::make_unique<PlanetEffect>());
    effects.push_back(std::make_unique<CubeTunnel>());
    postProcessors.push_back(std::make_unique<Bloom>());
}

TestDemo::TestDemo(Roster roster) : IDemo("Test Demo"), roster(std::move(roster)) {}

bool TestDemo::Init() {
    effectIndexTrack = RequestTrack("Effect Index");
    postProcessorIndexTrack = RequestTrack("PostProcessor Index");
    effectTimeTrack = RequestTrack("Effect Time");

    roster(effects, postProcessors);

    for (const std::unique_ptr<IEffect>& effect : effects) {
        const char* name = NameOr(effect->name, "Unknown Effect");
        gLogger->WritePair("Initializing Effect: ", name);
        ++effectsInitialised;
        const StartupScope step(StartupEvent::kStep, name);
        if (!effect->Init())
            return false;
    }
    for (const std::unique_ptr<IPostProcessor>& postProcessor : postProcessors) {
        const char* name = NameOr(postProcessor->name, "Unknown Post Processing Effect");
        gLogger->WritePair("Initializing Post Processor: ", name);
        ++postProcessorsInitialised;
        const StartupScope step(StartupEvent::kStep, name);
        if (!postProcessor->Init())
            return false;
    }
    return true;
}

void TestDemo::Shutdown() {
    effectIndexTrack.reset();
    postProcessorIndexTrack.reset();
    effectTimeTrack.reset();

    for (int32_t i = 0; i < effectsInitialised; ++i) {
        IEffect& effect = *effects[i];
        gLogger->WritePair("Shutting Down Effect: ", NameOr(effect.name, "Unknown Effect"));
        effect.Shutdown();
    }
    for (int32_t i = 0; i < postProcessorsInitialised; ++i) {
        IPostProcessor& postProcessor = *postProcessors[i];
        gLogger->WritePair("Shutting Down Post Processor: ", NameOr(postProcessor.name, "Unknown Post Processing Effect"));
        postProcessor.Shutdown();
    }
    // A second Shutdown must not release anything twice.
    effectsInitialised = 0;
    postProcessorsInitialised = 0;
}

void TestDemo::Update() {
    if (IEffect* effect = PrepareFrame())
        gRenderer->RenderFrame(*effect);
}

void TestDemo::Rewind() {
    for (const std::unique_ptr<IEffect>& effect : effects)
        effect->time = 0.0f;
    lastEffectTime = 0.0f;
    shownEffect = nullptr;
}

IEffect* TestDemo::PrepareFrame() {
    const float effectIndexValue = ReadAtCurrentRow(effectIndexTrack);
    const float postIndexValue = ReadAtCurrentRow(postProcessorIndexTrack);
    const float newTime = ReadAtCurrentRow(effectTimeTrack);

    const DemoSchedule schedule =
        ChooseSchedule(effectIndexValue, postIndexValue, newTime, lastEffectTime, effects.size(), postProcessors.size());
    if (schedule.effectIndex < 0)
        return nullptr;

    IEffect* effect = effects[schedule.effectIndex].get();
    shownEffect = effect;
    if (schedule.jumpTime) {
        effect->time = newTime;
        lastEffectTime = newTime;
    }
    gRenderer->postProcessor = schedule.postIndex >= 0 ? postProcessors[schedule.postIndex].get() : nullptr;
    return effect;
}
