#include "support/ParsedTimeline.h"

#include <gtest/gtest.h>

TimelineDocument Parsed(const std::string& text) {
    TimelineDocument document;
    std::string error;
    EXPECT_TRUE(document.Parse(text, "timeline.txt", error)) << error;
    return document;
}

const std::vector<SyncKey>& KeysOf(const TimelineDocument& document, const std::string& name) {
    for (const TimelineTrack& track : document.Tracks())
        if (track.name == name) return track.keys;
    static const std::vector<SyncKey> none;
    ADD_FAILURE() << "no track " << name;
    return none;
}
