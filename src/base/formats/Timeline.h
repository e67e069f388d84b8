#pragma once
// The authored sync timeline: one readable text for all tracks, compiled into ".track" files.
//
//   # a comment, anywhere after '#'
//   [Camera Yaw]              a section per track, by its exact name
//   96      0     linear      position, value, kind; one key a line
//   100r    45    smooth      a position is in beats, or in rows with a trailing 'r'
//
// Positions must land on whole rows (a sixteenth of a beat) and ascend within a section.
// Kinds are step, linear, smooth and ramp; a bare integer (-128 to 127) stores that type
// byte as it is, so any track file prints back as text.

#include "formats/TrackFile.h"

#include <string>
#include <vector>

struct TextLine;

struct TimelineTrack {
    std::string name;
    std::vector<SyncKey> keys;
};

inline constexpr int kRowsPerBeat = 16;

// The tracks the player reads, in the order a compiled timeline lists them.
const std::vector<std::string>& KnownTrackNames();

// On failure `error` reads "<file>:<line>: <what is wrong>" and `tracks` is incomplete.
bool ParseTimeline(const std::vector<TextLine>& lines, const std::string& fileName,
                   std::vector<TimelineTrack>& tracks, std::string& error);
// Reads the file in one piece and parses it: a file caught half-written is refused as a whole.
// `fileName` is how errors name it.
bool ReadTimeline(const std::string& path, const std::string& fileName, std::vector<TimelineTrack>& tracks,
                  std::string& error);
// The canonical text of the tracks: ParseTimeline reads it back to the same keys.
std::string PrintTimeline(const std::vector<TimelineTrack>& tracks);
// The three words of a key line as PrintTimeline writes them; each reads back exactly.
std::string PositionText(int32_t row);
std::string ValueText(float value);
std::string KindText(int32_t type);
// A key's line in the canonical columns, without its line end.
std::string KeyLine(const SyncKey& key);
