#include "author/HttpMessage.h"

#include <gtest/gtest.h>

#include <tuple>

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

// A browser leaves out the port of http://host:80/, so a Host without one names port 80; what
// follows a bracketed IPv6 address is its port, never a part of the address.
TEST(HttpMessage, AHostWithoutAPortIsOnPort80) {
    const std::tuple<const char*, const char*, int> named[] = {
        {"127.0.0.1", "127.0.0.1", 80}, {"localhost:8080", "localhost", 8080}, {"[::1]", "[::1]", 80},
        {"[::1]:9", "[::1]", 9}, {"Name.local:80", "Name.local", 80}};
    for (const auto& [header, name, port] : named) {
        std::string splitName;
        int splitPort = 0;
        EXPECT_TRUE(SplitHost(header, splitName, splitPort)) << header;
        EXPECT_EQ(splitName, name);
        EXPECT_EQ(splitPort, port) << header;
    }
    std::string name;
    int port = 0;
    for (const char* malformed : {"", ":80", "host:", "host:x", "host:-1", "host:65536", "host:80x", "[::1]:"})
        EXPECT_FALSE(SplitHost(malformed, name, port)) << malformed;
}

}  // namespace
