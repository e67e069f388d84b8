#include "author/SourceWatcher.h"

#include "platform/Platform.h"

#include <utility>

size_t SourceWatcher::Add(std::string path) {
    WatchedFile file;
    file.seen = file.pending = StampOf(path);
    file.path = std::move(path);
    files.push_back(std::move(file));
    return files.size() - 1;
}

bool SourceWatcher::Poll(float now) {
    if (now - lastPoll < kPollInterval) return false;
    lastPoll = now;
    bool settled = false;
    for (WatchedFile& file : files) {
        const Stamp stamp = StampOf(file.path);
        if (stamp == file.seen || stamp != file.pending) {
            // Unchanged, or still moving: wait for a poll that finds it as the last one did.
            file.pending = stamp;
            continue;
        }
        if (!stamp.exists) continue;
        file.seen = stamp;
        file.changed = true;
        settled = true;
    }
    return settled;
}

bool SourceWatcher::TakeChange(size_t index) {
    return std::exchange(files[index].changed, false);
}

void SourceWatcher::Refresh(size_t index) {
    WatchedFile& file = files[index];
    file.seen = file.pending = StampOf(file.path);
    file.changed = false;
}

SourceWatcher::Stamp SourceWatcher::StampOf(const std::string& path) {
    platform::FileStamp stamp;
    if (!platform::GetFileStamp(path.c_str(), stamp)) return {};
    return {true, stamp.modified, stamp.size};
}
