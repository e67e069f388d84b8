#include "formats/TimelineEdit.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <utility>

namespace {

using Kind = KeyOperation::Kind;
using KeyState = std::optional<SyncKey>;  // none: no key at that row
using RowStates = std::map<int32_t, KeyState>;

// What an edit does to one track, worked out on the edit's version.
struct TrackEdit {
    const std::vector<SyncKey>* base = nullptr;
    RowStates rows;                      // every row it touches, as it leaves it
    std::map<int32_t, KeyChange> keys;   // every key of the version it acts on, by its row there
};
using TrackEdits = std::map<std::string, TrackEdit>;

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

std::string RowText(const KeyOperation& operation) {
    return "row " + std::to_string(operation.row) + " of \"" + operation.track + "\"";
}

KeyChange ChangeOf(const KeyOperation& operation) {
    switch (operation.kind) {
    case Kind::kMove: return {KeyChange::Kind::kMoved, At(operation.key, operation.to)};
    case Kind::kDelete: return {KeyChange::Kind::kDeleted, {}};
    default: return {KeyChange::Kind::kSet, At(operation.key, operation.row)};
    }
}

// The edit's operations, checked on its version: each acts on a key the version has, no two on
// one key, no two put a key at one row. A key that the author saw otherwise than the version
// holds it is a conflict.
bool CheckOperations(const std::vector<TimelineTrack>& base, const std::vector<KeyOperation>& operations,
                     TrackEdits& edits, std::vector<KeyConflict>& conflicts, std::string& error) {
    std::set<std::pair<std::string, int32_t>> filled;
    for (const KeyOperation& operation : operations) {
        const TimelineTrack* track = FindTrack(base, operation.track);
        if (!track) {
            error = "unknown track \"" + operation.track + "\"";
            return false;
        }
        TrackEdit& edit = edits[operation.track];
        edit.base = &track->keys;
        if (operation.kind != Kind::kAdd) {
            const KeyState before = KeyAt(track->keys, operation.row);
            if (!before && !operation.was) {
                error = "no key at " + RowText(operation) + " in the version the edit was made on";
                return false;
            }
            if (!edit.keys.emplace(operation.row, ChangeOf(operation)).second) {
                error = "two operations on the key at " + RowText(operation);
                return false;
            }
            if (operation.was && !SameKey(At(*operation.was, operation.row), before)) {
                const KeyChange change = ChangeOf(operation);
                const KeyChange since = before ? KeyChange{KeyChange::Kind::kSet, *before} : KeyChange{KeyChange::Kind::kDeleted, {}};
                const KeyState edited = change.kind == KeyChange::Kind::kSet ? KeyState(change.key) : std::nullopt;
                conflicts.push_back({operation.track, operation.row, change, since, edited, before});
            }
        }
        const int32_t row = operation.kind == Kind::kMove ? operation.to : operation.row;
        if (operation.kind != Kind::kDelete && !filled.emplace(operation.track, row).second) {
            error = "two keys put at row " + std::to_string(row) + " of \"" + operation.track + "\"";
            return false;
        }
    }
    return true;
}

// What the edits leave at every row they touch. Removals come first, so that keys moved
// together (a drag of several) may land where others left. A key landed on is replaced, which
// from outside is a change of its value.
void PlanRows(const std::vector<KeyOperation>& operations, TrackEdits& edits) {
    for (const KeyOperation& operation : operations)
        if (operation.kind == Kind::kDelete || operation.kind == Kind::kMove)
            edits[operation.track].rows.try_emplace(operation.row, std::nullopt);
    for (const KeyOperation& operation : operations) {
        if (operation.kind == Kind::kDelete) continue;
        TrackEdit& edit = edits[operation.track];
        const int32_t row = operation.kind == Kind::kMove ? operation.to : operation.row;
        edit.rows[row] = At(operation.key, row);
        if (KeyAt(*edit.base, row)) edit.keys.try_emplace(row, KeyChange{KeyChange::Kind::kSet, At(operation.key, row)});
    }
}

// The keys on disk at rows where the edit's version had no equal key and the edit does not put
// one: where a key of the version may have been moved to. Sorted by value, kind and row.
std::vector<SyncKey> Arrivals(const std::vector<SyncKey>& base, const std::vector<SyncKey>& now, const RowStates& edited) {
    std::vector<SyncKey> arrived;
    for (const SyncKey& key : now) {
        const auto put = edited.find(key.row);
        if (!SameKey(KeyAt(base, key.row), key) && (put == edited.end() || !SameKey(put->second, key)))
            arrived.push_back(key);
    }
    std::sort(arrived.begin(), arrived.end(), [](const SyncKey& a, const SyncKey& b) {
        return std::tie(a.value, a.type, a.row) < std::tie(b.value, b.type, b.row);
    });
    return arrived;
}

// Compares the whole state of one track: the edit's version, the file now, and the edit.
class TrackMerge {
public:
    TrackMerge(const std::string& name, const TrackEdit& edit, const std::vector<SyncKey>& now)
        : name(name), edit(edit), now(now), arrivals(Arrivals(*edit.base, now, edit.rows)) {}

    void Check(std::vector<KeyConflict>& conflicts) const {
        for (const auto& [row, state] : edit.rows)
            if (!SameKey(KeyAt(now, row), KeyAt(*edit.base, row)) && !SameKey(KeyAt(now, row), state))
                conflicts.push_back(ConflictAt(row));
        for (const auto& [row, change] : edit.keys)
            if (!SameFate(row, change)) conflicts.push_back(ConflictAt(row));
    }

private:
    // A key whose row the other side emptied, or filled as this edit does, met the same fate
    // there only when a move's new row agrees too and a deleted key did not turn up elsewhere.
    bool SameFate(int32_t row, const KeyChange& change) const {
        const KeyState onDisk = KeyAt(now, row);
        if (SameKey(onDisk, KeyAt(*edit.base, row)) || !SameKey(onDisk, edit.rows.at(row))) return true;
        switch (change.kind) {
        case KeyChange::Kind::kMoved: return SameKey(KeyAt(now, change.key.row), edit.rows.at(change.key.row));
        case KeyChange::Kind::kDeleted: return !MovedTo(*KeyAt(*edit.base, row));
        default: return true;
        }
    }

    // Where a key equal to `key` arrived on disk, if anywhere.
    std::optional<int32_t> MovedTo(const SyncKey& key) const {
        const auto found = std::lower_bound(arrivals.begin(), arrivals.end(), key, [](const SyncKey& a, const SyncKey& b) {
            return std::tie(a.value, a.type) < std::tie(b.value, b.type);
        });
        if (found == arrivals.end() || !SameKey(*found, key)) return std::nullopt;
        return found->row;
    }

    KeyChange OtherChange(int32_t row) const {
        const KeyState before = KeyAt(*edit.base, row);
        const KeyState onDisk = KeyAt(now, row);
        if (onDisk) return {before ? KeyChange::Kind::kSet : KeyChange::Kind::kPut, *onDisk};
        if (!before) return {};
        const std::optional<int32_t> to = MovedTo(*before);
        return to ? KeyChange{KeyChange::Kind::kMoved, *KeyAt(now, *to)} : KeyChange{KeyChange::Kind::kDeleted, {}};
    }

    KeyConflict ConflictAt(int32_t row) const {
        const auto acted = edit.keys.find(row);
        const KeyState edited = edit.rows.at(row);
        KeyChange change = acted != edit.keys.end() ? acted->second : KeyChange{KeyChange::Kind::kPut, edited.value_or(SyncKey{})};
        return {name, row, change, OtherChange(row), edited, KeyAt(now, row)};
    }

    const std::string& name;
    const TrackEdit& edit;
    const std::vector<SyncKey>& now;
    const std::vector<SyncKey> arrivals;
};

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
    TrackEdits edits;
    if (!CheckOperations(base, operations, edits, conflicts, error)) return EditOutcome::kInvalid;
    if (!conflicts.empty()) return EditOutcome::kConflict;
    PlanRows(operations, edits);

    for (const auto& [name, edit] : edits) {
        const TimelineTrack* now = FindTrack(document.Tracks(), name);
        if (!now) {
            error = "unknown track \"" + name + "\"";
            return EditOutcome::kInvalid;
        }
        TrackMerge(name, edit, now->keys).Check(conflicts);
    }
    if (!conflicts.empty()) return EditOutcome::kConflict;

    TimelineDocument result = document;
    for (const auto& [name, edit] : edits)
        if (!result.SetKeys(name, WithRows(FindTrack(result.Tracks(), name)->keys, edit.rows), error))
            return EditOutcome::kInvalid;
    document = std::move(result);
    return EditOutcome::kApplied;
}
