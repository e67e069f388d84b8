#pragma once
// A request and its answer as the editor's routes see them, whatever carries them: the path and
// the query's values already percent-decoded, the few headers the routes look at, the body.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct HttpRequest {
    std::string method;
    std::string path;   // decoded, without the query
    std::string query;  // as sent, after the "?"
    std::string host;
    std::string origin;
    std::string body;  // empty until the request is admitted and its body read

    // The decoded value of the first `name=` in the query ("+" is a space); empty when absent.
    std::string Query(std::string_view name) const;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    void SetContent(std::string text, std::string type) {
        body = std::move(text);
        contentType = std::move(type);
    }

    // An event stream: the head goes now, and from then on every tick of the server writes the
    // routes' current event to it, until the client leaves.
    bool stream = false;
};

// Percent-decoding of a URL's path or query part; false on a malformed escape.
bool DecodeUrl(std::string_view text, bool plusIsSpace, std::string& decoded);
// A Host header's name and port: "name:port" or "[v6 address]:port", or either without a port,
// which is then HTTP's own, 80 (a browser leaves it out). False when there is no name or the
// port is not one.
bool SplitHost(std::string_view header, std::string& name, int& port);
