// The timeline editor's edit path on a timeline text of any bytes. The input's first line chooses
// the edit (a track, then key operations), the rest is the text. A text that compiles is edited
// as the page edits it (values and kinds set, keys moved, deleted and added), written back line
// by line, and parsed again: the edit must apply, the new text must compile to exactly the keys
// the edit asked for, and every other track must keep its keys.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "formats/TimelineEdit.h"

namespace {

// A value from two bytes: small integers, fractions, negatives and large magnitudes.
float ValueOf(uint8_t a, uint8_t b) {
    const float base = static_cast<float>(static_cast<int8_t>(a)) / 4.0f;
    return b & 0x80 ? base * 1.0e6f : base;
}

bool Used(const std::vector<KeyOperation>& operations, int64_t row) {
    return std::any_of(operations.begin(), operations.end(),
                       [&](const KeyOperation& o) { return o.row == row || (o.kind == KeyOperation::Kind::kMove && o.to == row); });
}

bool IsRow(int64_t row) { return row >= INT32_MIN && row <= INT32_MAX; }

// The edit's operations on `keys`, and the keys they leave, worked out here on their own.
std::vector<KeyOperation> Operations(const std::string& track, const std::vector<SyncKey>& keys,
                                     const std::string& choices, std::map<int32_t, SyncKey>& expected) {
    for (const SyncKey& key : keys) expected[key.row] = key;
    std::vector<KeyOperation> operations;
    for (size_t i = 1; i + 3 < choices.size(); i += 4) {
        const auto c = [&](size_t k) { return static_cast<uint8_t>(choices[i + k]); };
        const int32_t row = keys.empty() ? 0 : keys[c(1) % keys.size()].row;
        const SyncKey key{0, ValueOf(c(2), c(3)), static_cast<int8_t>(c(3))};
        KeyOperation operation{KeyOperation::Kind::kAdd, track, row, 0, key};
        // One operation per row, as the page sends them.
        switch (keys.empty() || Used(operations, row) ? 0 : c(0) % 4) {
        case 0: {
            const int64_t at = int64_t{row} + static_cast<int8_t>(c(1)) * 3 + 1;
            if (!IsRow(at) || Used(operations, at)) continue;
            operation.row = static_cast<int32_t>(at);
            break;
        }
        case 1: operation.kind = KeyOperation::Kind::kSet; break;
        case 2: operation.kind = KeyOperation::Kind::kDelete; break;
        default: {
            const int64_t to = int64_t{row} + static_cast<int8_t>(c(2));
            if (to == row || !IsRow(to) || expected.count(static_cast<int32_t>(to)) || Used(operations, to)) continue;
            operation.kind = KeyOperation::Kind::kMove;
            operation.to = static_cast<int32_t>(to);
            break;
        }
        }
        operations.push_back(operation);
    }
    for (const KeyOperation& operation : operations)
        if (operation.kind == KeyOperation::Kind::kDelete || operation.kind == KeyOperation::Kind::kMove)
            expected.erase(operation.row);
    for (const KeyOperation& operation : operations) {
        if (operation.kind == KeyOperation::Kind::kDelete) continue;
        SyncKey key = operation.key;
        key.row = operation.kind == KeyOperation::Kind::kMove ? operation.to : operation.row;
        expected[key.row] = key;
    }
    return operations;
}

bool SameKeys(const std::vector<SyncKey>& a, const std::vector<SyncKey>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(SyncKey)) == 0);
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

    const std::vector<TimelineTrack> base = document.Tracks();
    const TimelineTrack& track = base[static_cast<uint8_t>(choices[0]) % base.size()];
    std::map<int32_t, SyncKey> expected;
    const std::vector<KeyOperation> operations = Operations(track.name, track.keys, choices, expected);
    std::vector<KeyConflict> conflicts;
    if (ApplyKeyOperations(base, operations, document, conflicts, error) != EditOutcome::kApplied) __builtin_trap();

    TimelineDocument reread;
    if (!reread.Parse(document.Text(), "fuzz.txt", error)) __builtin_trap();
    for (size_t i = 0; i < base.size(); ++i) {
        std::vector<SyncKey> wanted = base[i].keys;
        if (base[i].name == track.name) {
            wanted.clear();
            for (const auto& [row, key] : expected) wanted.push_back(key);
        }
        if (!SameKeys(reread.Tracks()[i].keys, wanted)) __builtin_trap();
    }
    return 0;
}
