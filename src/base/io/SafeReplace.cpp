#include "io/SafeReplace.h"

#include "io/FileExchange.h"
#include "io/SaveNames.h"
#include "io/TemporaryFile.h"
#include "io/WholeFile.h"

#include <cstring>

namespace {

// Whether the file at `path` holds exactly `text`, whatever its bytes; it is read only when its
// size matches.
bool Holds(const std::string& path, const std::string& text) {
    const WholeFile file = ReadWholeFile(path.c_str(), text.size());
    return file.Ok() && file.bytes.size() == text.size() &&
           (text.empty() || std::memcmp(file.bytes.data(), text.data(), text.size()) == 0);
}

// No exchange on this file system: the check just made is the last word.
ReplaceOutcome RenameOverChecked(const std::string& target, const std::string& swap, const std::string& expected,
                                 std::string& error) {
    std::string reason;
    if (!Holds(target, expected)) {
        RemoveFile(swap);
        return ReplaceOutcome::kChanged;
    }
    if (RenameOver(swap, target, reason)) return ReplaceOutcome::kReplaced;
    RemoveFile(swap);
    error = "cannot save " + target + ": " + reason;
    return ReplaceOutcome::kRefused;
}

// `swap` was the new text and now holds the file the exchange took out of its place: the text
// the change was made on, unless another save landed within the exchange.
ReplaceOutcome AfterExchange(const std::string& path, const std::string& target, const std::string& swap,
                             const std::string& expected, const std::string& bytes, std::string& error) {
    if (Holds(swap, expected)) {
        RemoveFile(swap);
        return ReplaceOutcome::kReplaced;
    }
    std::string back = swap;
    if (ExchangeFiles(target, back, error) != ExchangeResult::kExchanged) {
        error = "another program saved " + path + " at the same moment, and its text could not be put back; it is in " +
                swap + " (" + error + ")";
        return ReplaceOutcome::kRefused;
    }
    // Should yet another save have taken the place of ours meanwhile (a rename over it, or a write
    // into it), the newest is the one that stays, and the one it superseded goes.
    std::string superseded = back;
    if (!Holds(back, bytes) && ExchangeFiles(target, superseded, error) != ExchangeResult::kExchanged) {
        error = "two other saves of " + path + " landed during this one; the older is in " + back + " (" + error + ")";
        return ReplaceOutcome::kRefused;
    }
    RemoveFile(superseded);
    return ReplaceOutcome::kChanged;
}

}  // namespace

ReplaceOutcome ReplaceIfUnchanged(const std::string& path, const std::string& expected, const std::string& bytes,
                                  std::string& error) {
    std::string target;
    if (!ResolveSaveTarget(path, target, error)) return ReplaceOutcome::kRefused;
    ReplaceOutcome inPlace = ReplaceOutcome::kRefused;
    if (SavedInPlace(target, expected, bytes, inPlace, error)) return inPlace;
    TemporaryFile temporary;
    if (!temporary.Create(target, error) || !temporary.Write(bytes, error) || !temporary.Finish(error))
        return ReplaceOutcome::kRefused;
    if (!Holds(target, expected)) return ReplaceOutcome::kChanged;
    // From here the file may hold the only copy of a text: a killed save leaves it.
    std::string swap = CopyName(temporary.Path(), "swap");
    if (!temporary.KeepAs(swap, error)) return ReplaceOutcome::kRefused;
    switch (ExchangeFiles(target, swap, error)) {
    case ExchangeResult::kExchanged: return AfterExchange(path, target, swap, expected, bytes, error);
    case ExchangeResult::kUnsupported: return RenameOverChecked(target, swap, expected, error);
    case ExchangeResult::kFailed: break;
    }
    RemoveFile(swap);
    return ReplaceOutcome::kRefused;
}
