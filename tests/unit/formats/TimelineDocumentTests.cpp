#include "formats/TimelineDocument.h"
#include "io/TextLines.h"
#include "support/ParsedTimeline.h"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace {

// `text` with `from` (found exactly once) replaced by `to`.
std::string Replaced(const std::string& text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    EXPECT_EQ(text.find(from, at + 1), std::string::npos) << from;
    return at == std::string::npos ? text : text.substr(0, at) + to + text.substr(at + from.size());
}

// A timeline as authors write it: a header comment, comments inside sections, blank lines,
// keys in aligned columns.
std::string AuthoredTimeline() {
    std::string text = "# The demo's timeline.\n#\n# Positions are beats.\n\n";
    for (const std::string& name : KnownTrackNames()) {
        text += "[" + name + "]\n";
        if (name == "Camera Distance")
            text +=
                "# One framing a phrase.\n0          -5.2         smooth\n8          -5.6         smooth\n"
                "20         -5.8         smooth\n31.9375    -5.8         step\n\n# the finale\n"
                "336        18           step\n352        14           step\n\n";
        else
            text += "0          1            step\n\n";
    }
    return text;
}

TEST(TimelineDocumentTest, AnEditRewritesOnlyTheChangedKeysLinesInTheirColumns) {
    const std::string original = AuthoredTimeline();
    TimelineDocument document;
    std::string error;
    ASSERT_TRUE(document.Parse(original, "timeline.txt", error)) << error;

    // One value changed, one key removed, one added between two, one after the last.
    std::vector<SyncKey> keys = KeysOf(document, "Camera Distance");
    ASSERT_EQ(keys[1].row, 8 * 16);
    keys[1].value = 7.25f;
    keys.erase(keys.begin() + 2);
    keys.insert(keys.begin() + 2, SyncKey{10 * 16 + 1, 1.0f, 1});
    keys.push_back(SyncKey{400 * 16, -0.5f, 2});
    ASSERT_TRUE(document.SetKeys("Camera Distance", keys, error)) << error;

    std::string expected = Replaced(original, "\n8          -5.6         smooth\n20         -5.8         smooth\n",
                                    "\n8          7.25         smooth\n10.0625    1            linear\n");
    expected = Replaced(expected, "\n352        14           step\n",
                        "\n352        14           step\n400        -0.5         smooth\n");
    EXPECT_EQ(document.Text(), expected);
    EXPECT_EQ(KeysOf(document, "Camera Distance").size(), keys.size());

    // Going back to the old keys gives the old text, byte for byte.
    TimelineDocument before;
    ASSERT_TRUE(before.Parse(original, "timeline.txt", error));
    ASSERT_TRUE(document.SetKeys("Camera Distance", KeysOf(before, "Camera Distance"), error)) << error;
    EXPECT_EQ(document.Text(), original);
}

TEST(TimelineDocumentTest, KeepsLineEndsCommentsAndWritesIntoAnEmptySectionAfterItsComment) {
    std::string text;
    for (const std::string& name : KnownTrackNames())
        text += "[" + name + "]\r\n" + (name == "Effect Time" ? "# clocks\r\n\r\n" : "0  1  step   # first\r\n");
    text.resize(text.size() - 2);  // the last line has no line end
    TimelineDocument document;
    std::string error;
    ASSERT_TRUE(document.Parse(text, "t.txt", error)) << error;

    ASSERT_TRUE(document.SetKeys("Camera Yaw", {{0, 2.5f, 1}}, error)) << error;
    ASSERT_TRUE(document.SetKeys("Effect Time", {{16, 1.0f, 0}}, error)) << error;
    ASSERT_TRUE(document.SetKeys("Fade", {{0, 1.0f, 0}, {8, 3.0f, 0}}, error)) << error;
    std::string expected =
        Replaced(text, "[Camera Yaw]\r\n0  1  step   # first", "[Camera Yaw]\r\n0  2.5 linear   # first");
    expected = Replaced(expected, "# clocks\r\n", "# clocks\r\n1  1  step\r\n");
    expected += "\r\n0.5 3 step\r\n";  // the kind keeps its column
    EXPECT_EQ(document.Text(), expected);
}

TEST(TimelineDocumentTest, RefusesUnsoundKeysAndLeavesTheTextAlone) {
    const std::string original = AuthoredTimeline();
    TimelineDocument document;
    std::string error;
    ASSERT_TRUE(document.Parse(original, "timeline.txt", error)) << error;
    EXPECT_FALSE(document.SetKeys("Fade", {{32, 1.0f, 1}, {16, 0.0f, 1}}, error));
    EXPECT_FALSE(document.SetKeys("Fade", {{16, std::numeric_limits<float>::quiet_NaN(), 1}}, error));
    EXPECT_FALSE(document.SetKeys("Fade", {{16, 1.0f, 300}}, error));
    EXPECT_FALSE(document.SetKeys("Camera Zoom", {}, error));
    EXPECT_EQ(document.Text(), original);
    // A text that does not compile is refused with its line, and the document stays.
    EXPECT_FALSE(document.Parse(Replaced(original, "\n8          -5.6 ", "\n8          -5.6x"), "timeline.txt", error));
    EXPECT_EQ(error, "timeline.txt:17: bad value \"-5.6x\"");
    EXPECT_EQ(document.Text(), original);
}

// Any blank the parser splits words at is one for the rewriter too: a key written with a form
// feed, a vertical tab or a lone carriage return between its words is edited in place.
TEST(TimelineDocumentTest, EditsKeysWhoseWordsAnyBlankSeparates) {
    std::string text;
    for (const std::string& name : KnownTrackNames())
        text += "[" + name + "]\n" + (name == "Fade" ? "0 1 step\n8\f0.9 linear\n9\v1\rramp # late\n" : "0 1 step\n");
    TimelineDocument document;
    std::string error;
    ASSERT_TRUE(document.Parse(text, "timeline.txt", error)) << error;
    ASSERT_TRUE(document.SetKeys("Fade", {{0, 1.0f, 0}, {128, 0.25f, 2}, {144, 123456.5f, 5}}, error)) << error;
    EXPECT_EQ(KeysOf(document, "Fade").size(), 3u);
    EXPECT_EQ(KeysOf(document, "Fade")[2].type, 5);
    EXPECT_NE(document.Text().find(" # late\n"), std::string::npos) << document.Text();
}

}  // namespace
