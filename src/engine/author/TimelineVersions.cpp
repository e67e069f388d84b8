#include "author/TimelineVersions.h"

#include <algorithm>
#include <utility>

namespace {

size_t KeyCount(const std::vector<TimelineTrack>& tracks) {
    size_t count = 0;
    for (const TimelineTrack& track : tracks) count += track.keys.size();
    return count;
}

}  // namespace

uint64_t TimelineVersions::Observe(const ChangeStamp& stamp, std::string text) {
    if (last && last->stamp == stamp && last->text == text) return newest;
    last = Reading{stamp, std::move(text)};
    return ++newest;
}

uint64_t TimelineVersions::Renew() {
    last.reset();
    return ++newest;
}

void TimelineVersions::Remember(uint64_t version, const std::vector<TimelineTrack>& tracks) {
    const auto known = std::find_if(versions.begin(), versions.end(), [&](const Version& v) { return v.number == version; });
    if (known != versions.end()) {
        std::rotate(versions.begin(), known, known + 1);
        return;
    }
    versions.push_front({version, tracks, KeyCount(tracks)});
    keys += versions.front().keys;
    while (versions.size() > 1 && (versions.size() > kMaxVersions || keys > kMaxKeys)) {
        keys -= versions.back().keys;
        versions.pop_back();
    }
}

const std::vector<TimelineTrack>* TimelineVersions::Find(uint64_t version) const {
    const auto known = std::find_if(versions.begin(), versions.end(), [&](const Version& v) { return v.number == version; });
    return known == versions.end() ? nullptr : &known->tracks;
}
