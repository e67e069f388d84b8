#pragma once
// The versions of the timeline the editor's server has seen on disk, numbered as it sees them:
// every change gets a new number, even one back to a text seen before, so that a page can tell
// that the file is no longer the one it shows. The keys of recent versions are kept, so that an
// edit made on one of them can tell which keys changed on disk since. Bounded in versions and
// in keys: a page whose version has gone is told to take the file as it is now.

#include "formats/Timeline.h"
#include "io/ReadOnlyFile.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class TimelineVersions {
public:
    static constexpr size_t kMaxVersions = 1024;  // each undo step is made on one
    static constexpr size_t kMaxKeys = size_t{1} << 22;  // about 50 MB of keys at most

    // The version of the file as just read (`stamp` and `text`; both empty when there is no
    // file): the last one's when neither changed since the last reading, a new one otherwise.
    uint64_t Observe(const ChangeStamp& stamp, std::string text);
    // A new version for a text that was never read back from disk (another save replaced it at
    // once): the next reading is a new version too.
    uint64_t Renew();

    // The newest version is always kept, whatever its size.
    void Remember(uint64_t version, const std::vector<TimelineTrack>& tracks);
    // Null when the version was never shown or has been forgotten.
    const std::vector<TimelineTrack>* Find(uint64_t version) const;

private:
    struct Reading {
        ChangeStamp stamp;
        std::string text;
    };
    struct Version {
        uint64_t number = 0;
        std::vector<TimelineTrack> tracks;
        size_t keys = 0;
    };

    uint64_t newest = 0;
    std::optional<Reading> last;  // what `newest` was read as; none after Renew
    std::deque<Version> versions;  // the newest first
    size_t keys = 0;
};
