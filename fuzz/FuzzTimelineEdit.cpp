// The timeline editor's edit path on a timeline text of any bytes. The input's first line chooses
// two edits of one track made on the same version (a track, then key operations, taken by
// the one edit and the other in turn), the rest is the text. A text that compiles is edited as the page
// edits it (values and kinds set, keys moved, deleted and added). Each edit alone must apply,
// and the new text compile to exactly the keys it asked for with every other track kept. Then
// each is merged onto the other's result, as two pages saving one after the other: a merge that
// applies must not hold a key twice, bring back a key either deleted or keep one either
// replaced, and the two orders, when both apply, must give the same keys.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "formats/TimelineEdit.h"

namespace {

using Kind = KeyOperation::Kind;

// A value from two bytes: small integers, fractions, negatives and large magnitudes.
float ValueOf(uint8_t a, uint8_t b) {
    const float base = static_cast<float>(static_cast<int8_t>(a)) / 4.0f;
    return b & 0x80 ? base * 1.0e6f : base;
}

int32_t FilledRow(const KeyOperation& operation) { return operation.kind == Kind::kMove ? operation.to : operation.row; }

bool Used(const std::vector<KeyOperation>& operations, int64_t row) {
    return std::any_of(operations.begin(), operations.end(),
                       [&](const KeyOperation& o) { return o.row == row || (o.kind == Kind::kMove && o.to == row); });
}

bool IsRow(int64_t row) { return row >= INT32_MIN && row <= INT32_MAX; }

bool SameKey(const SyncKey& a, const SyncKey& b) { return a.value == b.value && a.type == b.type; }

// The operations of one edit (every other group of `choices`, from `first`) on `keys`, and the
// keys they leave, worked out here on their own.
std::vector<KeyOperation> Operations(const std::string& track, const std::vector<SyncKey>& keys,
                                     const std::string& choices, size_t first, std::map<int32_t, SyncKey>& expected) {
    for (const SyncKey& key : keys) expected[key.row] = key;
    std::vector<KeyOperation> operations;
    for (size_t i = 1 + 4 * first; i + 3 < choices.size(); i += 8) {
        const auto c = [&](size_t k) { return static_cast<uint8_t>(choices[i + k]); };
        // The first few keys only, so that the two edits often meet on one.
        const SyncKey* chosen = keys.empty() ? nullptr : &keys[c(1) % std::min<size_t>(keys.size(), 4)];
        const int32_t row = chosen ? chosen->row : 0;
        const SyncKey key{0, ValueOf(c(2), c(3)), static_cast<int8_t>(c(3))};
        KeyOperation operation{Kind::kAdd, track, row, 0, key, {}};
        // One operation per row, as the page sends them.
        switch (keys.empty() || Used(operations, row) ? 0 : c(0) % 4) {
        case 0: {
            const int64_t at = int64_t{row} + static_cast<int8_t>(c(1)) * 3 + 1;
            if (!IsRow(at) || Used(operations, at)) continue;
            operation.row = static_cast<int32_t>(at);
            break;
        }
        case 1: operation.kind = Kind::kSet; break;
        case 2: operation.kind = Kind::kDelete; break;
        default: {
            // A drag keeps the key's value; a typed position may change it too. A move may land
            // on a key, which it replaces.
            const int64_t to = int64_t{row} + static_cast<int8_t>(c(2));
            if (to == row || !IsRow(to) || Used(operations, to)) continue;
            operation.kind = Kind::kMove;
            operation.to = static_cast<int32_t>(to);
            if ((c(0) & 0x30) != 0x30) operation.key = *chosen;
            break;
        }
        }
        operations.push_back(operation);
    }
    for (const KeyOperation& operation : operations)
        if (operation.kind == Kind::kDelete || operation.kind == Kind::kMove) expected.erase(operation.row);
    for (const KeyOperation& operation : operations)
        if (operation.kind != Kind::kDelete) expected[FilledRow(operation)] = {FilledRow(operation), operation.key.value, operation.key.type};
    return operations;
}

bool SameKeys(const std::vector<SyncKey>& a, const std::vector<SyncKey>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(SyncKey)) == 0);
}

// Applies one edit alone to the version it was made on: it must apply and give exactly the keys
// `expected` on its track, and every other track as it was.
TimelineDocument Applied(const TimelineDocument& document, size_t track, const std::vector<KeyOperation>& operations,
                         const std::map<int32_t, SyncKey>& expected) {
    const std::vector<TimelineTrack>& base = document.Tracks();
    TimelineDocument edited = document;
    std::vector<KeyConflict> conflicts;
    std::string error;
    if (ApplyKeyOperations(base, operations, edited, conflicts, error) != EditOutcome::kApplied) __builtin_trap();
    TimelineDocument reread;
    if (!reread.Parse(edited.Text(), "fuzz.txt", error)) __builtin_trap();
    for (size_t i = 0; i < base.size(); ++i) {
        std::vector<SyncKey> wanted = base[i].keys;
        if (i == track) {
            wanted.clear();
            for (const auto& [row, key] : expected) wanted.push_back(key);
        }
        if (!SameKeys(reread.Tracks()[i].keys, wanted)) __builtin_trap();
    }
    return edited;
}

// Where one edit leaves the key `key` of its version: at a row, or gone (deleted, replaced by a
// key landing on its row, or given another value, after which it is another key).
std::optional<int32_t> RowAfter(const SyncKey& key, const std::vector<KeyOperation>& operations) {
    const auto own = std::find_if(operations.begin(), operations.end(),
                                  [&](const KeyOperation& o) { return o.kind != Kind::kAdd && o.row == key.row; });
    if (own != operations.end())
        return own->kind == Kind::kDelete || !SameKey(own->key, key) ? std::nullopt : std::optional<int32_t>(FilledRow(*own));
    const bool landed = std::any_of(operations.begin(), operations.end(),
                                    [&](const KeyOperation& o) { return o.kind != Kind::kDelete && FilledRow(o) == key.row; });
    return landed ? std::nullopt : std::optional<int32_t>(key.row);
}

// Follows every key of the version that its value and kind tell apart: one no other key of the
// version has and no operation writes, except one moving or setting that key as it is.
void CheckKeysKeptWhole(const std::vector<SyncKey>& base, const std::vector<KeyOperation>& a,
                        const std::vector<KeyOperation>& b, const std::vector<SyncKey>& merged) {
    const auto writes = [](const std::vector<KeyOperation>& operations, const SyncKey& key) {
        return std::any_of(operations.begin(), operations.end(), [&](const KeyOperation& o) {
            return o.kind != Kind::kDelete && SameKey(o.key, key) && (o.kind == Kind::kAdd || o.row != key.row);
        });
    };
    for (const SyncKey& key : base) {
        const auto same = [&](const SyncKey& other) { return SameKey(other, key); };
        if (std::count_if(base.begin(), base.end(), same) != 1 || writes(a, key) || writes(b, key)) continue;
        const std::optional<int32_t> afterA = RowAfter(key, a);
        const std::optional<int32_t> afterB = RowAfter(key, b);
        const auto found = std::find_if(merged.begin(), merged.end(), same);
        const bool present = found != merged.end();
        // Twice, or back after either side deleted it.
        if (std::count_if(merged.begin(), merged.end(), same) > 1 || (present && (!afterA || !afterB))) __builtin_trap();
        if (!afterA || !afterB) continue;
        // Moved to two rows: nothing could be merged.
        if (*afterA != key.row && *afterB != key.row && *afterA != *afterB) __builtin_trap();
        if (!present || found->row != (*afterA != key.row ? *afterA : *afterB)) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    if (newline == std::string::npos || newline > 64) return 0;
    const std::string choices = input.substr(0, newline);
    TimelineDocument document;
    std::string error;
    if (choices.empty() || !document.Parse(input.substr(newline + 1), "fuzz.txt", error)) return 0;

    const std::vector<TimelineTrack>& base = document.Tracks();
    const size_t index = static_cast<uint8_t>(choices[0]) % base.size();
    const TimelineTrack& track = base[index];
    std::map<int32_t, SyncKey> expectedA;
    std::map<int32_t, SyncKey> expectedB;
    const std::vector<KeyOperation> a = Operations(track.name, track.keys, choices, 0, expectedA);
    const std::vector<KeyOperation> b = Operations(track.name, track.keys, choices, 1, expectedB);
    TimelineDocument ab = Applied(document, index, a, expectedA);
    TimelineDocument ba = Applied(document, index, b, expectedB);

    // Each merged onto the other, saved first.
    std::vector<KeyConflict> conflicts;
    const EditOutcome abOutcome = ApplyKeyOperations(base, b, ab, conflicts, error);
    const EditOutcome baOutcome = ApplyKeyOperations(base, a, ba, conflicts, error);
    if (abOutcome == EditOutcome::kInvalid || baOutcome == EditOutcome::kInvalid) __builtin_trap();
    if (abOutcome == EditOutcome::kApplied) CheckKeysKeptWhole(track.keys, a, b, ab.Tracks()[index].keys);
    if (baOutcome == EditOutcome::kApplied) CheckKeysKeptWhole(track.keys, a, b, ba.Tracks()[index].keys);
    if (abOutcome == EditOutcome::kApplied && baOutcome == EditOutcome::kApplied &&
        !SameKeys(ab.Tracks()[index].keys, ba.Tracks()[index].keys))
        __builtin_trap();
    return 0;
}
