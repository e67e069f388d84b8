#pragma once
// An edit of the timeline as operations on keys, made on one version of the file and applied to
// the file as it is now. Two authors (two pages, or a page and a text editor) who change
// different keys both keep their changes; a key both changed stops the edit unless both made
// the same change, and nothing of the edit is applied then.
//
// The file on disk tells only where keys are, not which key went where, so a key of the edit's
// version is followed by its row and its value and kind:
// - its row holds the same key on disk: nobody else touched it;
// - its row holds another key: it was set to that;
// - its row is empty: it was moved to a row where the file now holds an equal key that the
//   version did not have there, or deleted when there is no such row.
// A key both sides acted on merges only when they made it the same (the same row and value, or
// both deleted it); when an equal key appeared elsewhere, a delete is refused rather than guessed
// at. Every row the edit fills must be one the other side left alone or filled the same way.
// So a merge never holds one key twice, brings back a deleted key or keeps one deleted here.

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
    // move, set, delete: the key at `row` as the edit's author saw it (its row is ignored); when
    // the edit's version holds another, the key changed since and the edit is refused for it.
    std::optional<SyncKey> was;
};

// What one side did at a row: to the key the edit's version had there, or to an empty row.
struct KeyChange {
    enum class Kind { kKept, kSet, kMoved, kDeleted, kPut };
    Kind kind = Kind::kKept;
    SyncKey key;  // set, put: the key now at the row; moved: the key at the row it went to
};

// A key or a row both sides changed differently: what this edit did and what the file's other
// author did, and the key each leaves at `row` (none: no key).
struct KeyConflict {
    std::string track;
    int32_t row = 0;
    KeyChange edit;
    KeyChange other;
    std::optional<SyncKey> edited;
    std::optional<SyncKey> onDisk;
};

enum class EditOutcome { kApplied, kConflict, kInvalid };

// Applies `operations`, made on the tracks `base`, to `document`. kApplied: `document` holds the
// edit. kConflict: `conflicts` names every key changed on both sides. kInvalid: `error` says
// why the operations make no sense on `base` (a key it lacks, two operations on one key or
// two keys put at one row) or give unsound keys. Unless applied, `document` is left as it was.
// Keys moved together may land where others of the same edit left.
EditOutcome ApplyKeyOperations(const std::vector<TimelineTrack>& base, const std::vector<KeyOperation>& operations,
                               TimelineDocument& document, std::vector<KeyConflict>& conflicts, std::string& error);
