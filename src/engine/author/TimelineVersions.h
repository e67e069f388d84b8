#pragma once
// The recent versions of the timeline the editor's pages were shown, by their stamps, so that an
// edit made on one of them can tell which keys changed on disk since. Bounded in versions and in
// keys: a page whose version has gone is told to take the file as it is now.

#include "formats/Timeline.h"

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

class TimelineVersions {
public:
    static constexpr size_t kMaxVersions = 64;
    static constexpr size_t kMaxKeys = size_t{1} << 22;  // about 50 MB of keys at most

    // The newest version is always kept, whatever its size.
    void Remember(const std::string& stamp, const std::vector<TimelineTrack>& tracks);
    // Null when the version was never shown or has been forgotten.
    const std::vector<TimelineTrack>* Find(const std::string& stamp) const;

private:
    struct Version {
        std::string stamp;
        std::vector<TimelineTrack> tracks;
        size_t keys = 0;
    };

    std::deque<Version> versions;  // the newest first
    size_t keys = 0;
};
