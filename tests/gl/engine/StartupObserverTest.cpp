// The start-up benchmark times Engine::Init through what Init reports; if a step went
// unreported, was reported out of order or left open, its figures would silently be wrong.
#include "demo/TestDemo.h"
#include "engine/Engine.h"
#include "log/StartupObserver.h"
#include "support/EngineRunDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Report {
    bool begin = false;
    StartupEvent event = StartupEvent::kStep;
    std::string name;
    int depth = 0;  // steps open around it
};

class RecordingObserver final : public IStartupObserver {
public:
    void Begin(StartupEvent event, const char* name) override {
        reports.push_back({true, event, name, openSteps});
        if (event == StartupEvent::kStep) ++openSteps;
    }
    void End(StartupEvent event, const char* name) override {
        if (event == StartupEvent::kStep) --openSteps;
        reports.push_back({false, event, name, openSteps});
    }

    std::vector<Report> reports;
    int openSteps = 0;
};

// The names of the steps begun at `depth`, in order.
std::vector<std::string> StepsAt(const std::vector<Report>& reports, int depth) {
    std::vector<std::string> names;
    for (const Report& report : reports)
        if (report.begin && report.event == StartupEvent::kStep && report.depth == depth) names.push_back(report.name);
    return names;
}

TEST(StartupObserver, ReceivesTheEngineStepsInOrderWithEveryLoadInsideAnEffect) {
    EngineRunDirectory run;
    ASSERT_TRUE(run.Valid());
    ASSERT_TRUE(run.AddDemoData());
    ASSERT_TRUE(run.AddSoundtrack(1.0));
    const std::filesystem::path previousDirectory = std::filesystem::current_path();
    std::filesystem::current_path(run.Path());

    RecordingObserver observer;
    gStartupObserver = &observer;
    Engine engine;
    const bool initialised = engine.Init(platform::GetModuleHandle());
    gStartupObserver = nullptr;
    std::vector<std::string> demoParts;
    if (const auto* demo = dynamic_cast<const TestDemo*>(engine.demo.get())) {
        for (const auto& effect : demo->effects) demoParts.push_back(effect->name);
        for (const auto& postProcessor : demo->postProcessors) demoParts.push_back(postProcessor->name);
    }
    engine.Shutdown();
    gSync = nullptr;
    gEngine = nullptr;
    std::filesystem::current_path(previousDirectory);
    ASSERT_TRUE(initialised);

    // The order in which the engine starts its parts.
    EXPECT_EQ(StepsAt(observer.reports, 0),
              (std::vector<std::string>{"log file", "extensions", "window", "audio device", "soundtrack", "sync device",
                                        "renderer", "demo"}));
    // Within the demo, its effects and then its post processors, in the demo's own order.
    EXPECT_EQ(StepsAt(observer.reports, 1), demoParts);
    EXPECT_EQ(observer.openSteps, 0) << "a step was left open";

    // Loads do not nest; each ends before the next report, inside an effect's step.
    int shaders = 0, meshes = 0, textures = 0;
    for (size_t i = 0; i < observer.reports.size(); ++i) {
        const Report& report = observer.reports[i];
        if (report.event == StartupEvent::kStep || !report.begin) continue;
        EXPECT_EQ(report.depth, 2) << report.name << " loads outside an effect's Init";
        ASSERT_LT(i + 1, observer.reports.size());
        const Report& end = observer.reports[i + 1];
        EXPECT_TRUE(!end.begin && end.event == report.event && end.name == report.name) << report.name;
        shaders += report.event == StartupEvent::kShader;
        meshes += report.event == StartupEvent::kMesh;
        textures += report.event == StartupEvent::kTexture;
    }
    // Every part builds at least one program; the scenes load meshes and images.
    EXPECT_GE(shaders, static_cast<int>(demoParts.size()));
    EXPECT_GT(meshes, 0);
    EXPECT_GT(textures, 0);
}

}  // namespace
