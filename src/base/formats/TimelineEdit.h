#pragma once
// An edit of the timeline as operations on keys, made on one version of the file and applied to
// the file as it is now. Two authors (two pages, or a page and a text editor) who change
// different keys both keep their changes; only a key changed on both sides since the edit's
// version stops the edit, and nothing of it is applied then.

#include "formats/TimelineDocument.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct KeyOperation {
    enum class Kind { kAdd, kMove, kSet, kDelete };
    Kind kind = Kind::kSet;
    std::string track;
    int32_t row = 0;  // the key's row in the edit's version (add: where the new key goes)
    int32_t to = 0;   // move: the row the key goes to
    SyncKey key;      // add, set, move: the key as the edit leaves it (its row is ignored)
};

// A key both sides changed: what the edit makes of it and what the file holds now (none: no key
// at that row).
struct KeyConflict {
    std::string track;
    int32_t row = 0;
    std::optional<SyncKey> edited;
    std::optional<SyncKey> onDisk;
};

enum class EditOutcome { kApplied, kConflict, kInvalid };

// Applies `operations`, made on the tracks `base`, to `document`. kApplied: `document` holds the
// edit. kConflict: `conflicts` names every key changed on both sides. kInvalid: `error` says
// why the operations make no sense on `base` or give unsound keys. Unless applied, `document`
// is left as it was. A key that the file already holds as the edit would leave it is no
// conflict: both sides made the same change.
EditOutcome ApplyKeyOperations(const std::vector<TimelineTrack>& base, const std::vector<KeyOperation>& operations,
                               TimelineDocument& document, std::vector<KeyConflict>& conflicts, std::string& error);
