#include "author/HttpMessage.h"

#include <gtest/gtest.h>

namespace {

// What an escape hides is what a route sees, so "%2f" cannot slip a path past the route's names;
// an escape cut short is refused rather than read past the text.
TEST(HttpMessage, EscapesAreDecodedAndAMalformedOneIsRefused) {
    std::string decoded;
    EXPECT_TRUE(DecodeUrl("/s/..%2F..%2fetc%2Fpasswd", false, decoded));
    EXPECT_EQ(decoded, "/s/../../etc/passwd");
    EXPECT_TRUE(DecodeUrl("a+b", false, decoded));
    EXPECT_EQ(decoded, "a+b") << "a plus is a space only in a query";
    for (const char* malformed : {"%", "%4", "abc%", "%zz", "%4g"})
        EXPECT_FALSE(DecodeUrl(malformed, false, decoded)) << malformed;
}

TEST(HttpMessage, AQueryGivesTheFirstValueOfANameDecoded) {
    HttpRequest request;
    request.query = "rows=1,2&track=Camera+Distance&track=Fade&empty=&bad=%4&flag";
    EXPECT_EQ(request.Query("track"), "Camera Distance");
    EXPECT_EQ(request.Query("rows"), "1,2");
    EXPECT_EQ(request.Query("empty"), "");
    EXPECT_EQ(request.Query("bad"), "");
    EXPECT_EQ(request.Query("flag"), "");
    EXPECT_EQ(request.Query("missing"), "");
    request.query = "track%3DFade=x";
    EXPECT_EQ(request.Query("track=Fade"), "x") << "names are decoded before they are compared";
}

}  // namespace
