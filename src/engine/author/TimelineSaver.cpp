#include "author/TimelineSaver.h"

#include "author/Abandonable.h"

#include "formats/TimelineEdit.h"
#include "io/SafeReplace.h"
#include "io/TextLines.h"
#include "io/WholeFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>

using nlohmann::json;

namespace {

constexpr size_t kMaxOperations = 65536;
// A text editor saving over and over could keep a save from ever landing; after this many
// tries the edit is refused rather than the page waiting on.
constexpr int kSaveAttempts = 4;
// A text editor that writes into the file empties it first: a file that does not compile may be
// one caught half-written, so it is read again a moment later before the edit is refused.
constexpr auto kHalfWrittenWait = std::chrono::milliseconds(20);

constexpr const char* kFileName = "timeline.txt";  // as mistakes name it

std::string Mebibytes(size_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

json KeysJson(const std::vector<SyncKey>& keys) {
    json list = json::array();
    for (const SyncKey& key : keys) list.push_back({key.row, key.value, key.type});
    return list;
}

// Throws json's exceptions or std::invalid_argument on a malformed operation; the caller
// answers them with 400.
int32_t Integer(const json& value, long long low, long long high, const char* what) {
    if (!value.is_number_integer() || value.get<long long>() < low || value.get<long long>() > high)
        throw std::invalid_argument(std::string("an operation's ") + what + " is not a whole number in range");
    return static_cast<int32_t>(value.get<long long>());
}

// A key as the page names it: [value, kind].
SyncKey KeyFromJson(const json& value, const json& kind) {
    SyncKey key;
    key.value = static_cast<float>(value.get<double>());
    key.type = Integer(kind, -128, 127, "kind");
    return key;
}

KeyOperation OperationFromJson(const json& item) {
    static const std::pair<const char*, KeyOperation::Kind> kKinds[] = {{"add", KeyOperation::Kind::kAdd},
                                                                       {"move", KeyOperation::Kind::kMove},
                                                                       {"set", KeyOperation::Kind::kSet},
                                                                       {"delete", KeyOperation::Kind::kDelete}};
    KeyOperation operation;
    const std::string op = item.at("op").get<std::string>();
    const auto* kind = std::find_if(std::begin(kKinds), std::end(kKinds), [&](const auto& k) { return op == k.first; });
    if (kind == std::end(kKinds)) throw std::invalid_argument("an operation is add, move, set or delete");
    operation.kind = kind->second;
    operation.track = item.at("track").get<std::string>();
    operation.row = Integer(item.at("row"), INT32_MIN, INT32_MAX, "row");
    if (operation.kind == KeyOperation::Kind::kMove) operation.to = Integer(item.at("to"), INT32_MIN, INT32_MAX, "to");
    if (operation.kind != KeyOperation::Kind::kDelete) operation.key = KeyFromJson(item.at("value"), item.at("kind"));
    // The key as the page saw it, when it says; older pages do not.
    const auto was = item.find("was");
    if (was != item.end() && operation.kind != KeyOperation::Kind::kAdd) {
        if (!was->is_array() || was->size() != 2) throw std::invalid_argument("an operation's \"was\" is [value, kind]");
        operation.was = KeyFromJson(was->at(0), was->at(1));
    }
    return operation;
}

std::vector<KeyOperation> OperationsFromJson(const json& list) {
    if (!list.is_array() || list.size() > kMaxOperations)
        throw std::invalid_argument("operations are a list of at most " + std::to_string(kMaxOperations));
    std::vector<KeyOperation> operations;
    operations.reserve(list.size());
    for (const json& item : list) {
        if (!item.is_object()) throw std::invalid_argument("an operation is an object");
        operations.push_back(OperationFromJson(item));
    }
    return operations;
}

json KeyJson(const std::optional<SyncKey>& key) { return key ? json{key->value, key->type} : json(nullptr); }

std::string KeyText(const SyncKey& key) { return ValueText(key.value) + " " + KindText(key.type); }

const char* ChangeName(KeyChange::Kind kind) {
    switch (kind) {
    case KeyChange::Kind::kSet: return "set";
    case KeyChange::Kind::kMoved: return "moved";
    case KeyChange::Kind::kDeleted: return "deleted";
    case KeyChange::Kind::kPut: return "added";
    default: return "kept";
    }
}

json ChangeJson(const KeyChange& change, int32_t row) {
    const bool keyed = change.kind != KeyChange::Kind::kDeleted && change.kind != KeyChange::Kind::kKept;
    return {{"change", ChangeName(change.kind)},
            {"row", change.kind == KeyChange::Kind::kMoved ? change.key.row : row},
            {"key", keyed ? json{change.key.value, change.key.type} : json(nullptr)}};
}

// A change as a verb and what follows "on disk" or "by this edit": "changed" "to 0.5 linear".
std::pair<std::string, std::string> ChangeWords(const KeyChange& change) {
    switch (change.kind) {
    case KeyChange::Kind::kSet: return {"changed", " to " + KeyText(change.key)};
    case KeyChange::Kind::kMoved: return {"moved", " to beat " + PositionText(change.key.row)};
    case KeyChange::Kind::kDeleted: return {"deleted", ""};
    case KeyChange::Kind::kPut: return {"given", " the key " + KeyText(change.key)};
    default: return {"kept", ""};
    }
}

// "\"Fade\" at beat 2 was moved on disk to beat 3, and deleted by this edit".
std::string ConflictSentence(const KeyConflict& conflict) {
    const auto [otherVerb, otherWhat] = ChangeWords(conflict.other);
    const auto [editVerb, editWhat] = ChangeWords(conflict.edit);
    return "\"" + conflict.track + "\" at beat " + PositionText(conflict.row) + " was " + otherVerb + " on disk" + otherWhat +
           ", and " + (editVerb == otherVerb ? "" : editVerb + " ") + "by this edit" + editWhat;
}

void DescribeConflicts(const std::vector<KeyConflict>& conflicts, json& answer) {
    json list = json::array();
    for (const KeyConflict& conflict : conflicts)
        list.push_back({{"track", conflict.track},
                        {"row", conflict.row},
                        {"edited", KeyJson(conflict.edited)},
                        {"onDisk", KeyJson(conflict.onDisk)},
                        {"edit", ChangeJson(conflict.edit, conflict.row)},
                        {"other", ChangeJson(conflict.other, conflict.row)}});
    std::string sentence = ConflictSentence(conflicts.front());
    if (conflicts.size() > 1) sentence += " (and " + std::to_string(conflicts.size() - 1) + " more keys)";
    answer["conflict"] = sentence;
    answer["conflicts"] = std::move(list);
}

// The file's bytes and stamp, not yet compiled.
TimelineOnDisk ReadTimelineBytes(const std::string& path) {
    TimelineOnDisk disk;
    const WholeFile file = ReadWholeFile(path.c_str(), kMaxTextBytes);
    disk.readable = file.Ok();
    if (file.status == WholeFileStatus::kTooLarge)
        disk.error = std::string(kFileName) + ": larger than the " + Mebibytes(kMaxTextBytes) + " the player reads";
    else if (!disk.readable)
        disk.error = std::string(kFileName) + ": cannot be read";
    disk.stamp = file.stamp;
    disk.text.assign(file.bytes.begin(), file.bytes.end());
    return disk;
}

struct Compiled {
    TimelineDocument document;
    std::string error;
};

Compiled Compile(const std::string& text) {
    Compiled compiled;
    compiled.document.Parse(text, kFileName, compiled.error);
    return compiled;
}

// An edit applied, on a thread of its own.
struct Edited {
    EditOutcome outcome = EditOutcome::kInvalid;
    TimelineDocument document;
    std::vector<KeyConflict> conflicts;
    std::string error;
};

}  // namespace

TimelineOnDisk ReadTimelineOnDisk(const std::string& path) {
    TimelineOnDisk disk = ReadTimelineBytes(path);
    if (disk.readable) disk.document.Parse(disk.text, kFileName, disk.error);
    return disk;
}

// A file that cannot be read is told apart by why, for want of anything else. Compiling a big
// file takes long: when the program quits meanwhile, the reading ends as one that does not compile.
TimelineOnDisk TimelineSaver::Read() {
    TimelineOnDisk disk = ReadTimelineBytes(path);
    if (disk.readable) {
        std::optional<Compiled> compiled = RunUnlessAbandoned([text = disk.text] { return Compile(text); }, abandoned);
        disk.document = compiled ? std::move(compiled->document) : TimelineDocument();
        disk.error = compiled ? std::move(compiled->error) : std::string("the player is quitting");
    }
    disk.version = VersionOf(disk);
    return disk;
}

void TimelineSaver::StateOf(const TimelineOnDisk& disk, json& state) {
    state = {{"version", disk.version}, {"rowsPerBeat", kRowsPerBeat}, {"musicBeats", musicBeats}};
    if (!disk.Sound()) {
        state["error"] = disk.error;
        return;
    }
    versions.Remember(disk.version, disk.document.Tracks());
    json tracks = json::array();
    for (const TimelineTrack& track : disk.document.Tracks())
        tracks.push_back({{"name", track.name}, {"keys", KeysJson(track.keys)}});
    state["tracks"] = std::move(tracks);
}

void TimelineSaver::State(json& state) {
    const std::lock_guard<std::mutex> lock(mutex);
    StateOf(Read(), state);
}

uint64_t TimelineSaver::Version() {
    const std::lock_guard<std::mutex> lock(mutex);
    TimelineOnDisk disk = ReadTimelineBytes(path);
    return VersionOf(disk);
}

uint64_t TimelineSaver::VersionOf(TimelineOnDisk& disk) {
    return versions.Observe(disk.stamp, disk.readable ? std::move(disk.text) : disk.error);
}

// The version of the text just saved, read back for the file's stamp, so that the next look at
// the file finds nothing new. When another save replaced it already, the saved text has a version
// of its own, and the next look finds the other one.
uint64_t TimelineSaver::SavedVersion(const std::string& saved) {
    TimelineOnDisk disk = ReadTimelineBytes(path);
    if (disk.readable && disk.text == saved) return versions.Observe(disk.stamp, std::move(disk.text));
    return versions.Renew();
}

int TimelineSaver::Edit(const json& request, json& answer) {
    std::vector<KeyOperation> operations;
    uint64_t version = 0;
    try {
        const json& shown = request.at("version");
        if (!shown.is_number_unsigned()) throw std::invalid_argument("the version is the number the page was shown");
        version = shown.get<uint64_t>();
        operations = OperationsFromJson(request.at("operations"));
    } catch (const std::exception& failure) {
        answer = {{"error", failure.what()}};
        return 400;
    }
    const std::lock_guard<std::mutex> lock(mutex);
    const std::vector<TimelineTrack>* remembered = versions.Find(version);
    const std::vector<TimelineTrack> base = remembered ? *remembered : std::vector<TimelineTrack>();
    for (int attempt = 0; attempt < kSaveAttempts; ++attempt) {
        if (abandoned) break;
        TimelineOnDisk disk = Read();
        if (!disk.Sound() && attempt + 1 < kSaveAttempts) {
            std::this_thread::sleep_for(kHalfWrittenWait);
            continue;
        }
        if (!disk.Sound()) {
            StateOf(disk, answer);
            answer["conflict"] = "the timeline on disk does not compile: " + disk.error;
            return 409;
        }
        if (!remembered) {
            StateOf(disk, answer);
            answer["conflict"] = "the page's copy of the timeline is older than the player remembers; it now shows the file as it is";
            return 409;
        }
        const std::string applied = disk.document.Text();
        std::optional<Edited> edited = RunUnlessAbandoned(
            [base, operations, document = std::move(disk.document)]() mutable {
                Edited result;
                result.outcome = ApplyKeyOperations(base, operations, document, result.conflicts, result.error);
                result.document = std::move(document);
                return result;
            },
            abandoned);
        if (!edited) break;
        std::vector<KeyConflict>& conflicts = edited->conflicts;
        std::string& error = edited->error;
        disk.document = std::move(edited->document);
        switch (edited->outcome) {
        case EditOutcome::kInvalid: answer = {{"error", error}}; return 400;
        case EditOutcome::kConflict: StateOf(disk, answer); DescribeConflicts(conflicts, answer); return 409;
        case EditOutcome::kApplied: break;
        }
        // What could not be read back is not written: the player would refuse the file.
        if (disk.document.Text().size() > kMaxTextBytes) {
            answer = {{"error", "the edited timeline would be larger than the " + Mebibytes(kMaxTextBytes) +
                              " the player reads; nothing was saved"}};
            return 413;
        }
        if (abandoned) break;
        switch (ReplaceIfUnchanged(path, applied, disk.document.Text(), error)) {
        case ReplaceOutcome::kChanged: continue;
        case ReplaceOutcome::kRefused: answer = {{"error", error}}; return 500;
        case ReplaceOutcome::kReplaced: break;
        }
        const bool merged = disk.version != version;
        disk.version = SavedVersion(disk.document.Text());
        StateOf(disk, answer);
        if (merged) answer["merged"] = true;
        return 200;
    }
    if (abandoned) {
        answer = {{"error", "the player is quitting; nothing was saved"}};
        return 503;
    }
    StateOf(Read(), answer);
    answer["conflict"] = "the timeline kept changing on disk while it was saved; nothing was saved";
    return 409;
}
