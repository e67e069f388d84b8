#include "author/TimelineVersions.h"

#include <algorithm>

namespace {

size_t KeyCount(const std::vector<TimelineTrack>& tracks) {
    size_t count = 0;
    for (const TimelineTrack& track : tracks) count += track.keys.size();
    return count;
}

}  // namespace

void TimelineVersions::Remember(const std::string& stamp, const std::vector<TimelineTrack>& tracks) {
    const auto known = std::find_if(versions.begin(), versions.end(), [&](const Version& v) { return v.stamp == stamp; });
    if (known != versions.end()) {
        std::rotate(versions.begin(), known, known + 1);
        return;
    }
    versions.push_front({stamp, tracks, KeyCount(tracks)});
    keys += versions.front().keys;
    while (versions.size() > 1 && (versions.size() > kMaxVersions || keys > kMaxKeys)) {
        keys -= versions.back().keys;
        versions.pop_back();
    }
}

const std::vector<TimelineTrack>* TimelineVersions::Find(const std::string& stamp) const {
    const auto known = std::find_if(versions.begin(), versions.end(), [&](const Version& v) { return v.stamp == stamp; });
    return known == versions.end() ? nullptr : &known->tracks;
}
