#include "author/HttpMessage.h"

#include <charconv>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool DecodeUrl(std::string_view text, bool plusIsSpace, std::string& decoded) {
    decoded.clear();
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) return false;
            const int high = HexDigit(text[i + 1]);
            const int low = HexDigit(text[i + 2]);
            if (high < 0 || low < 0) return false;
            decoded.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else {
            decoded.push_back(plusIsSpace && c == '+' ? ' ' : c);
        }
    }
    return true;
}

std::string HttpRequest::Query(std::string_view name) const {
    std::string_view rest = query;
    while (!rest.empty()) {
        const size_t end = rest.find('&');
        const std::string_view pair = rest.substr(0, end);
        const size_t equals = pair.find('=');
        std::string key;
        if (DecodeUrl(pair.substr(0, equals), true, key) && key == name) {
            std::string value;
            if (equals != std::string_view::npos && DecodeUrl(pair.substr(equals + 1), true, value)) return value;
            return {};
        }
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return {};
}

bool SplitHost(std::string_view header, std::string& name, int& port) {
    constexpr int kHttpPort = 80;
    const size_t colon = header.rfind(':');
    const size_t bracket = header.rfind(']');
    const bool hasPort = colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket);
    name = std::string(header.substr(0, hasPort ? colon : header.size()));
    port = kHttpPort;
    if (!hasPort) return !name.empty();
    const std::string_view digits = header.substr(colon + 1);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    return !name.empty() && error == std::errc() && end == digits.data() + digits.size() && port > 0 && port <= 65535;
}
