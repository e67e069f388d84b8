#pragma once
// What passes between the timeline editor's server threads and the engine's thread: the page's
// requests (seek, loop, pause, "the timeline was saved") one way, the playhead and the player's
// sync values the other. The engine's side never waits: it takes the lock only when it is free,
// and otherwise tries again next frame.

#include "author/AuthorOptions.h"

#include <array>
#include <mutex>
#include <optional>
#include <vector>

inline constexpr size_t kEditorTrackCount = 10;  // KnownTrackNames(), in that order

struct EditorCommand {
    enum class Kind { kSeek, kSetLoop, kClearLoop, kTogglePause, kTimelineSaved };
    Kind kind = Kind::kSeek;
    double from = 0.0;  // the beat of a seek, the start of a loop
    double to = 0.0;    // the end of a loop
};

struct EditorPlayhead {
    double beat = 0.0;
    bool paused = false;
    std::optional<BeatLoop> loop;
    std::array<float, kEditorTrackCount> values{};  // what the player's tracks read this frame
    long long frame = 0;                            // counts the published frames
};

class EditorChannel {
public:
    EditorChannel();

    // The server's threads.
    void Post(const EditorCommand& command);
    EditorPlayhead Playhead();

    // Engine thread, once a frame. Moves the waiting commands into `out` (cleared first, its
    // capacity kept), or leaves it empty when the server holds the lock.
    void Take(std::vector<EditorCommand>& out);
    void Publish(const EditorPlayhead& playhead);

private:
    std::mutex mutex;
    std::vector<EditorCommand> waiting;
    EditorPlayhead playhead;
};
