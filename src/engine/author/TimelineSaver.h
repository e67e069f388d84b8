#pragma once
// The timeline editor's side of the file: the state the pages are shown, and their edits saved
// into it. An edit is a list of key operations made on a version the page was shown; it is
// applied to the file as it is now, merging with whatever another page or a text editor saved
// meanwhile unless a key it touches was changed there too. The save swaps the new text in only
// if the file still holds the text the edit was applied to, and otherwise applies the edit again
// on the newer text. Called from the server's threads; one edit at a time.

#include "author/TimelineVersions.h"
#include "formats/TimelineDocument.h"
#include "io/ReadOnlyFile.h"

#include <nlohmann/json_fwd.hpp>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

// The timeline as it is on disk now.
struct TimelineOnDisk {
    bool readable = false;
    ChangeStamp stamp;
    std::string text;  // the bytes read
    TimelineDocument document;
    std::string error;  // empty when it parses
    uint64_t version = 0;  // the saver's, once it has seen this reading

    bool Sound() const { return readable && error.empty(); }
};

TimelineOnDisk ReadTimelineOnDisk(const std::string& path);

class TimelineSaver {
public:
    TimelineSaver(std::string path, double musicBeats) : path(std::move(path)), musicBeats(musicBeats) {}

    // {"version", "rowsPerBeat", "musicBeats", and "tracks" or "error"}.
    void State(nlohmann::json& state);
    // The version of the file as it is now, without the work of a state.
    uint64_t Version();
    // `request` is {"version": V, "operations": [{"op": "add|move|set|delete", "track", "row",
    // "to", "value", "kind", "was": [value, kind] of the key as the page saw it}]}. The answer
    // carries the state of the file after it, saved or not, with "merged" when the edit met
    // changes made since V, "conflict" (a sentence) and "conflicts" (each key, with what each
    // side did to it and leaves at its row) when it was refused for them, or "error".
    // Returns the HTTP status: 200 saved, 400 a malformed edit, 409 not saved for the file's sake
    // (a conflict, a file that does not compile), 413 a result too large to be read back, 500
    // the system refused the save, 503 abandoned.
    int Edit(const nlohmann::json& request, nlohmann::json& answer);
    // The program is quitting: an edit under way stops before its next step, unsaved, unless
    // its save has begun, and none begins. Any thread.
    void Abandon() { abandoned = true; }

private:
    TimelineOnDisk Read();
    void StateOf(const TimelineOnDisk& disk, nlohmann::json& state);
    uint64_t SavedVersion(const std::string& saved);
    // The version of what was read; the text (or why there is none) goes to the counter.
    uint64_t VersionOf(TimelineOnDisk& disk);

    std::mutex mutex;
    std::atomic<bool> abandoned = false;
    std::string path;
    double musicBeats = 0.0;
    TimelineVersions versions;
};
