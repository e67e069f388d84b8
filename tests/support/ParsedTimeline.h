#pragma once
// Timeline texts read the way the player reads them, for tests that edit and compare them.

#include "formats/TimelineDocument.h"

#include <string>
#include <vector>

// The document of `text`; a text that does not parse fails the test.
TimelineDocument Parsed(const std::string& text);

// The keys of the track called `name`; a missing track fails the test.
const std::vector<SyncKey>& KeysOf(const TimelineDocument& document, const std::string& name);
