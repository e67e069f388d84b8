#pragma once
// Notices saved changes to source files by their modification time and size, polled a few times
// a second from the frame loop (a handful of attribute reads, no file opened). A change is
// reported only once the file has stayed the same for a whole poll, so a file being written is
// read when the writing is over; a file that disappears keeps its last state until it comes back
// changed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class SourceWatcher {
public:
    // Milliseconds between polls.
    static constexpr float kPollInterval = 250.0f;

    // Watches one more file, taking its present state as seen; returns its index.
    size_t Add(std::string path);
    size_t Count() const { return files.size(); }
    const std::string& Path(size_t index) const { return files[index].path; }

    // Polls when the interval has passed since the last poll (tick milliseconds); true when a
    // file has changed and settled since it was last taken.
    bool Poll(float now);
    // Whether the file changed since the last call; clears the mark.
    bool TakeChange(size_t index);
    // Takes the file's present state as seen: a change the program made and read itself is not
    // reported again.
    void Refresh(size_t index);

private:
    struct Stamp {
        bool exists = false;
        int64_t modified = 0;  // nanoseconds
        int64_t size = 0;
        bool operator==(const Stamp&) const = default;
    };
    struct WatchedFile {
        std::string path;
        Stamp seen;
        Stamp pending;
        bool changed = false;
    };

    static Stamp StampOf(const std::string& path);

    std::vector<WatchedFile> files;
    float lastPoll = 0.0f;
};
