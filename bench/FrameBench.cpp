// quarn_bench_frames: the frame time of each section of the timeline, drawn by the player's own
// engine objects at 1280x720 with 4 samples. Software rasterisers are far too slow to draw every
// frame, so each section is sampled at evenly spread frames; the frames between are run without
// drawing, so every clock reads what the player's would.
//
//   quarn_bench_frames [--frames N] [--until-beat B] [--preview]
//
// --preview draws in author mode's preview quality: half-size frames without multisampling, at
// anisotropy 1, scaled up to the window.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <GL/glew.h>

#include "BenchOptions.h"
#include "Measurement.h"
#include "Summary.h"
#include "TimedFrame.h"
#include "demo/TestDemo.h"

namespace {

// A stretch of frames with one effect and one post processor, as the sync tracks choose them.
struct Section {
    int64_t first = 0;
    int64_t end = 0;  // one past the last frame
    int32_t effectIndex = -1;
    int32_t postIndex = -1;
};

// The sections are read from the player's own demo's tracks.
const TestDemo& PlayerDemo(const CaptureSession& session) {
    return dynamic_cast<const TestDemo&>(session.Demo());
}

// The beat the demo reads at `frame`, through the same single-precision clock.
double FrameBeat(const CaptureSession& session, int64_t frame) {
    return BeatsAtSeconds(session.Tempo(), static_cast<float>(session.FrameSeconds(frame)));
}

DemoSchedule ScheduleAt(const CaptureSession& session, int64_t frame) {
    const TestDemo& demo = PlayerDemo(session);
    const double row = RowAtBeats(static_cast<float>(FrameBeat(session, frame)));
    const auto read = [row](const TrackHandle& track) { return GetValue(track ? *track : nullptr, row); };
    return ChooseSchedule(read(demo.effectIndexTrack), read(demo.postProcessorIndexTrack), 0.0f, 0.0f,
                          demo.effects.size(), demo.postProcessors.size());
}

std::vector<Section> FindSections(const CaptureSession& session) {
    // The player's last frame comes before the end of the soundtrack.
    const int64_t frameCount = session.FrameAtOrAfter(session.SoundtrackSeconds());
    std::vector<Section> sections;
    for (int64_t frame = 0; frame < frameCount; ++frame) {
        const DemoSchedule schedule = ScheduleAt(session, frame);
        if (sections.empty() || sections.back().effectIndex != schedule.effectIndex ||
            sections.back().postIndex != schedule.postIndex)
            sections.push_back({frame, frame, schedule.effectIndex, schedule.postIndex});
        sections.back().end = frame + 1;
    }
    return sections;
}

std::string SectionName(const CaptureSession& session, const Section& section) {
    const TestDemo& demo = PlayerDemo(session);
    std::string name = section.effectIndex >= 0 ? demo.effects[section.effectIndex]->name : "nothing";
    if (section.postIndex >= 0) name += std::string(" + ") + demo.postProcessors[section.postIndex]->name;
    return name;
}

const char* RendererString() {
    const auto* text = glGetString(GL_RENDERER);
    return text ? reinterpret_cast<const char*>(text) : "unknown";
}

bool MeasureSection(CaptureSession& session, const Section& section, int samples, std::string& error) {
    std::vector<double> wall, cpu;
    const double span = static_cast<double>(section.end - section.first);
    // Fewer frames than samples would draw one frame twice and run its clocks backwards.
    samples = std::min(samples, static_cast<int>(section.end - section.first));
    for (int i = 0; i < samples; ++i) {
        const int64_t frame = section.first + static_cast<int64_t>((i + 0.5) * span / samples);
        FrameTiming timing;
        if (!DrawTimedFrame(session, frame, timing, error)) return false;
        wall.push_back(timing.wallMs);
        cpu.push_back(timing.cpuMs);
    }
    const Summary w = Summarise(wall);
    const Summary c = Summarise(cpu);
    std::printf("%-28s %6.1f-%6.1f %4zu %10.1f %10.1f %10.1f %10.1f %10.1f\n", SectionName(session, section).c_str(),
                FrameBeat(session, section.first), FrameBeat(session, section.end), w.count, w.mean, w.p99, w.min,
                w.max, c.mean);
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const auto samples = NumberOption(argc, argv, "--frames", 20, 1, 10000);
    const auto untilBeat = NumberOption(argc, argv, "--until-beat", 1e9, 0, 1e9);
    if (!samples || !untilBeat) return 2;

    CaptureSession session(kBenchFramesPerSecond);
    const bool preview = HasFlag(argc, argv, "--preview");
    if (preview) session.UsePreview();
    std::string error;
    // The player's log, as the frames timed are the player's.
    bool measured = session.Start(QUARN_RUN_DIR, 0.0f, QUARN_RUN_DIR "/LogFile.txt", error);
    if (measured) {
        const GLenum glError = glGetError();  // before the queries below can add to it
        GLint sampleCount = 0;
        glGetIntegerv(GL_SAMPLES, &sampleCount);
        std::printf("Frame times per section: %s, %dx%d, %d samples, %d frames drawn per section%s\n",
                    RendererString(), CaptureSession::kWidth, CaptureSession::kHeight, sampleCount,
                    static_cast<int>(*samples), preview ? ", preview quality (half size, no multisampling)" : "");
        std::printf("(wall: glFinish before and after the frame; cpu: this thread's processor time, ms)\n");
        std::printf("%-28s %13s %4s %10s %10s %10s %10s %10s\n", "section", "beats", "n", "mean", "p99", "min",
                    "max", "cpu mean");
        if (glError != GL_NO_ERROR) std::printf("(a GL error 0x%04X was left by start-up)\n", glError);
        for (const Section& section : FindSections(session)) {
            if (FrameBeat(session, section.first) >= *untilBeat) break;
            measured = MeasureSection(session, section, static_cast<int>(*samples), error);
            if (!measured) break;
        }
    }
    if (measured) std::printf("peak resident memory of this run (VmHWM): %.1f MiB\n", PeakResidentMiB());
    session.Stop();
    if (!measured) {
        std::fprintf(stderr, "quarn_bench_frames: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
