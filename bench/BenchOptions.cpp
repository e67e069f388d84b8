#include "BenchOptions.h"

#include <charconv>
#include <cstdio>
#include <cstring>

std::optional<double> NumberOption(int argc, char** argv, const char* name, double fallback, double low, double high) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) != 0) continue;
        double value = 0.0;
        const char* text = i + 1 < argc ? argv[i + 1] : "";
        const char* end = text + std::strlen(text);
        const auto [last, failure] = std::from_chars(text, end, value);
        if (failure != std::errc() || last != end || *text == '\0' || !(value >= low && value <= high)) {
            std::fprintf(stderr, "%s wants a number from %g to %g, not \"%s\"\n", name, low, high, text);
            return std::nullopt;
        }
        return value;
    }
    return fallback;
}

bool HasFlag(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return true;
    return false;
}
