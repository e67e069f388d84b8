#include "io/SafeReplace.h"

#include "io/FileExchange.h"
#include "io/WholeFile.h"

#include <algorithm>

namespace {

// Whether the file at `path` holds exactly `text`; it is read only when its size matches.
bool Holds(const std::string& path, const std::string& text) {
    const WholeFile file = ReadWholeFile(path.c_str(), text.size());
    return file.Ok() && file.bytes.size() == text.size() &&
           std::equal(text.begin(), text.end(), file.bytes.begin(), [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
}

}  // namespace

ReplaceOutcome ReplaceIfUnchanged(const std::string& path, const std::string& expected, const std::string& bytes,
                                  std::string& error) {
    std::string target;
    std::string temporary;
    if (!ResolveSaveTarget(path, target, error) || !WriteTemporaryBeside(target, bytes, temporary, error))
        return ReplaceOutcome::kRefused;
    if (!ExchangeFiles(target, temporary, error)) {
        RemoveTemporary(temporary);
        return ReplaceOutcome::kRefused;
    }
    if (Holds(temporary, expected)) {
        RemoveTemporary(temporary);
        return ReplaceOutcome::kReplaced;
    }
    // Another save landed after `expected` was read: its file goes back in place.
    if (!ExchangeFiles(target, temporary, error)) {
        error = "another program saved " + path + " at the same moment, and its text could not be put back; it is in " +
                temporary + " (" + error + ")";
        return ReplaceOutcome::kRefused;
    }
    // Should yet another save have taken the place of ours meanwhile (a rename over it, or a write
    // into it), the newest is the one that stays, and the one it superseded goes.
    if (!Holds(temporary, bytes) && !ExchangeFiles(target, temporary, error)) {
        error = "two other saves of " + path + " landed during this one; the older is in " + temporary + " (" +
                error + ")";
        return ReplaceOutcome::kRefused;
    }
    RemoveTemporary(temporary);
    return ReplaceOutcome::kChanged;
}
