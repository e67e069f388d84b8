#pragma once
// The one demo: owns the effects and the bloom pass, and every frame lets three sync tracks
// choose which effect is drawn, whether a post processor wraps it and when its clock jumps.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "demo/IDemo.h"
#include "demo/IEffect.h"
#include "demo/IPostProcessor.h"
#include "sync/Sync.h"

using EffectList = std::vector<std::unique_ptr<IEffect>>;
using PostProcessorList = std::vector<std::unique_ptr<IPostProcessor>>;

// What one frame shows, decided from the three track values alone.
struct DemoSchedule {
    int32_t effectIndex = -1;   // into the effects; -1 only when there are none
    int32_t postIndex = -1;     // into the post processors; -1 for none
    bool jumpTime = false;      // set the chosen effect's clock, and the last effect time, to the new time
};

// "Effect Index" and "PostProcessor Index" are floored; the effect index is clamped to the
// list (a negative one selects effect 0), the 1-based post index to the post processors
// (0 or below selects none). The clock jumps when the new time differs from the last one
// taken and is not negative (not a number never jumps).
DemoSchedule ChooseSchedule(float effectIndexValue, float postIndexValue, float newTime, float lastEffectTime,
                            size_t effectCount, size_t postProcessorCount);

// The effects at their fixed indices and the post processors in order of their 1-based index.
void AddDemoEffects(EffectList& effects, PostProcessorList& postProcessors);

class TestDemo final : public IDemo {
public:
    using Roster = std::function<void(EffectList& effects, PostProcessorList& postProcessors)>;

    // The roster fills the two lists at Init; tests hand in their own.
    explicit TestDemo(Roster roster = AddDemoEffects);

    bool Init() override;
    void Shutdown() override;
    void Update() override;
    // Picks the effect and the post processor and may jump the effect's clock.
    IEffect* PrepareFrame() override;
    void Rewind() override;

    EffectList effects;
    PostProcessorList postProcessors;
    // Counted before each Init, so one whose Init failed still gets its Shutdown.
    int32_t effectsInitialised = 0;
    int32_t postProcessorsInitialised = 0;
    TrackHandle effectIndexTrack;
    TrackHandle postProcessorIndexTrack;
    TrackHandle effectTimeTrack;
    float lastEffectTime = 0.0f;

private:
    Roster roster;
};
