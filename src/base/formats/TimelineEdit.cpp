#include "formats/TimelineEdit.h"

#include <algorithm>
#include <map>
#include <utility>

namespace {

using KeyState = std::optional<SyncKey>;  // none: no key at that row
using RowStates = std::map<int32_t, KeyState>;

const TimelineTrack* FindTrack(const std::vector<TimelineTrack>& tracks, const std::string& name) {
    const auto found =
        std::find_if(tracks.begin(), tracks.end(), [&](const TimelineTrack& track) { return track.name == name; });
    return found == tracks.end() ? nullptr : &*found;
}

KeyState KeyAt(const std::vector<SyncKey>& keys, int32_t row) {
    const auto found =
        std::lower_bound(keys.begin(), keys.end(), row, [](const SyncKey& key, int32_t r) { return key.row < r; });
    if (found == keys.end() || found->row != row) return std::nullopt;
    return *found;
}

bool SameKey(const KeyState& a, const KeyState& b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || (a->value == b->value && a->type == b->type);
}

SyncKey At(SyncKey key, int32_t row) {
    key.row = row;
    return key;
}

// What the edit leaves at every row it touches, track by track. Removals come first, so that
// keys moved together (a drag of several) may land where others left.
bool EditedRows(const std::vector<TimelineTrack>& base, const std::vector<KeyOperation>& operations,
                std::map<std::string, RowStates>& edited, std::string& error) {
    using Kind = KeyOperation::Kind;
    for (const KeyOperation& operation : operations) {
        const TimelineTrack* track = FindTrack(base, operation.track);
        if (!track) {
            error = "unknown track \"" + operation.track + "\"";
            return false;
        }
        if (operation.kind != Kind::kAdd && !KeyAt(track->keys, operation.row)) {
            error = "no key at row " + std::to_string(operation.row) + " of \"" + operation.track +
                    "\" in the version the edit was made on";
            return false;
        }
        if (operation.kind == Kind::kDelete || operation.kind == Kind::kMove)
            edited[operation.track].try_emplace(operation.row, std::nullopt);
    }
    for (const KeyOperation& operation : operations) {
        if (operation.kind == Kind::kDelete) continue;
        const int32_t row = operation.kind == Kind::kMove ? operation.to : operation.row;
        edited[operation.track][row] = At(operation.key, row);
    }
    return true;
}

std::vector<SyncKey> WithRows(const std::vector<SyncKey>& keys, const RowStates& rows) {
    std::map<int32_t, SyncKey> byRow;
    for (const SyncKey& key : keys) byRow.emplace(key.row, key);
    for (const auto& [row, state] : rows) {
        if (state)
            byRow[row] = *state;
        else
            byRow.erase(row);
    }
    std::vector<SyncKey> result;
    result.reserve(byRow.size());
    for (const auto& [row, key] : byRow) result.push_back(key);
    return result;
}

}  // namespace

EditOutcome ApplyKeyOperations(const std::vector<TimelineTrack>& base, const std::vector<KeyOperation>& operations,
                               TimelineDocument& document, std::vector<KeyConflict>& conflicts, std::string& error) {
    conflicts.clear();
    std::map<std::string, RowStates> edited;
    if (!EditedRows(base, operations, edited, error)) return EditOutcome::kInvalid;

    for (const auto& [name, rows] : edited) {
        const std::vector<SyncKey>& before = FindTrack(base, name)->keys;
        const TimelineTrack* now = FindTrack(document.Tracks(), name);
        for (const auto& [row, state] : rows) {
            const KeyState onDisk = now ? KeyAt(now->keys, row) : std::nullopt;
            if (!SameKey(onDisk, KeyAt(before, row)) && !SameKey(onDisk, state))
                conflicts.push_back({name, row, state, onDisk});
        }
    }
    if (!conflicts.empty()) return EditOutcome::kConflict;

    TimelineDocument result = document;
    for (const auto& [name, rows] : edited) {
        const TimelineTrack* now = FindTrack(result.Tracks(), name);
        if (!now) {
            error = "unknown track \"" + name + "\"";
            return EditOutcome::kInvalid;
        }
        if (!result.SetKeys(name, WithRows(now->keys, rows), error)) return EditOutcome::kInvalid;
    }
    document = std::move(result);
    return EditOutcome::kApplied;
}
