#pragma once
// The timeline's text as an author wrote it, with the line of every key known, so that a tool can
// change keys and save the text back as a clean change: only the lines of the keys that changed
// are rewritten, in the columns their neighbours use; comments, blank lines, the order of the
// sections and every other line stay byte for byte.

#include "formats/Timeline.h"

#include <cstddef>
#include <string>
#include <vector>

class TimelineDocument {
public:
    // False with `error` ("<file>:<line>: <what>") when the text does not compile; the document
    // is then left as it was.
    bool Parse(const std::string& text, const std::string& fileName, std::string& error);

    const std::string& Text() const { return text; }
    const std::vector<TimelineTrack>& Tracks() const { return tracks; }

    // Gives the track these keys (rows strictly ascending, finite values, kinds -128..127).
    // A key at a row the track had keeps its line, rewritten only if its value or kind changed;
    // a new row gets a new line in row order. False with `error`, and nothing changed, when the
    // keys are not sound or the track is unknown.
    bool SetKeys(const std::string& track, const std::vector<SyncKey>& keys, std::string& error);

private:
    struct Line {
        std::string text;    // without its line end
        std::string ending;  // "\n", "\r\n", or empty for a last line without one
    };
    struct Section {
        size_t header = 0;             // the line of "[Track Name]"
        size_t end = 0;                // one past its last line
        std::vector<size_t> keyLines;  // the line of each key, in the track's order
    };

    static std::vector<Line> SplitLines(const std::string& text);
    static std::string JoinLines(const std::vector<Line>& lines);
    void IndexSections();
    const Line* LayoutLine(const Section& section, size_t near) const;

    std::string text;
    std::string fileName;
    std::vector<Line> lines;
    std::vector<TimelineTrack> tracks;
    std::vector<Section> sections;  // beside `tracks`, index for index
};
