#pragma once
// The timeline editor's side of the file: the state the pages are shown, and their edits saved
// into it. An edit is a list of key operations made on a version the page was shown; it is
// applied to the file as it is now, merging with whatever another page or a text editor saved
// meanwhile unless a key it touches was changed there too. The save swaps the new text in only
// if the file still holds the text the edit was applied to, and otherwise applies the edit again
// on the newer text. Called from the server's threads; one edit at a time.

#include "author/TimelineVersions.h"
#include "formats/TimelineDocument.h"

#include <nlohmann/json_fwd.hpp>

#include <mutex>
#include <string>
#include <utility>

// The timeline as it is on disk now.
struct TimelineOnDisk {
    bool readable = false;
    std::string version;
    TimelineDocument document;
    std::string error;  // empty when it parses

    bool Sound() const { return readable && error.empty(); }
};

TimelineOnDisk ReadTimelineOnDisk(const std::string& path);

class TimelineSaver {
public:
    TimelineSaver(std::string path, double musicBeats) : path(std::move(path)), musicBeats(musicBeats) {}

    // {"version", "rowsPerBeat", "musicBeats", and "tracks" or "error"}.
    void State(nlohmann::json& state);
    // `request` is {"version": V, "operations": [{"op": "add|move|set|delete", "track", "row",
    // "to", "value", "kind", "was": [value, kind] of the key as the page saw it}]}. The answer
    // carries the state of the file after it, saved or not, with "merged" when the edit met
    // changes made since V, "conflict" (a sentence) and "conflicts" (each key, with what each
    // side did to it and leaves at its row) when it was refused for them, or "error".
    // Returns the HTTP status: 200 saved, 400 a malformed edit, 409 not saved for the file's sake
    // (a conflict, a file that does not compile), 500 the system refused the save.
    int Edit(const nlohmann::json& request, nlohmann::json& answer);

private:
    void StateOf(const TimelineOnDisk& disk, nlohmann::json& state);

    std::mutex mutex;
    std::string path;
    double musicBeats = 0.0;
    TimelineVersions versions;
};
