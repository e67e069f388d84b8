// The timeline editor's cost to the engine's thread, per frame: the page's waiting requests
// taken from the channel and the playhead published, with the ten tracks of the real timeline
// sampled at the frame's row, while a server thread reads the playhead as fast as it can (far
// more often than its stream, which reads it every 50 ms).

#include <benchmark/benchmark.h>

#include "author/EditorChannel.h"
#include "formats/Timeline.h"
#include "sync/Sync.h"

#include <atomic>
#include <thread>
#include <vector>

namespace {

std::vector<SyncTrack> TimelineTracks() {
    std::vector<TimelineTrack> timeline;
    std::string error;
    ReadTimeline(QUARN_SOURCE_DIR "/data/timeline.txt", "timeline.txt", timeline, error);
    std::vector<SyncTrack> tracks;
    for (const TimelineTrack& track : timeline)
        tracks.push_back({track.name, track.keys, static_cast<int32_t>(track.keys.size())});
    return tracks;
}

void BM_EditorFrame(benchmark::State& state) {
    const std::vector<SyncTrack> tracks = TimelineTracks();
    EditorChannel channel;
    std::atomic<bool> done = false;
    std::thread server([&] {
        while (!done)
            benchmark::DoNotOptimize(channel.Playhead());
    });
    std::vector<EditorCommand> commands;
    commands.reserve(64);
    double beat = 0.0;
    for (auto _ : state) {
        channel.Take(commands);
        EditorPlayhead playhead;
        playhead.beat = beat;
        for (size_t i = 0; i < tracks.size() && i < kEditorTrackCount; ++i)
            playhead.values[i] = GetValue(&tracks[i], beat * kRowsPerBeat);
        channel.Publish(playhead);
        beat = beat < 430.0 ? beat + 1.0 / 30.0 : 0.0;
    }
    done = true;
    server.join();
    state.counters["tracks"] = static_cast<double>(tracks.size());
}
BENCHMARK(BM_EditorFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
