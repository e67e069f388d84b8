#include "author/EditorChannel.h"

#include <utility>

namespace {

// More than a page sends between two frames; beyond it the vector grows rather than drops.
constexpr size_t kCommandCapacity = 64;

}  // namespace

EditorChannel::EditorChannel() { waiting.reserve(kCommandCapacity); }

void EditorChannel::Post(const EditorCommand& command) {
    const std::lock_guard<std::mutex> lock(mutex);
    waiting.push_back(command);
}

EditorPlayhead EditorChannel::Playhead() {
    const std::lock_guard<std::mutex> lock(mutex);
    return playhead;
}

void EditorChannel::Take(std::vector<EditorCommand>& out) {
    out.clear();
    const std::unique_lock<std::mutex> lock(mutex, std::try_to_lock);
    if (!lock.owns_lock() || waiting.empty()) return;
    // Swapping hands the server the emptied vector with its capacity: neither side allocates.
    std::swap(out, waiting);
}

void EditorChannel::Publish(const EditorPlayhead& next) {
    const std::unique_lock<std::mutex> lock(mutex, std::try_to_lock);
    if (lock.owns_lock()) playhead = next;
}
