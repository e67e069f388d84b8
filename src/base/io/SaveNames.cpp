#include "io/SaveNames.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kSavingMark = ".saving-";

// Whether `text` at `at` starts with one or more characters of `digits`; `at` moves past them.
bool SkipDigits(const std::string& text, size_t& at, const char* digits) {
    const size_t start = at;
    while (at < text.size() && std::strchr(digits, text[at]) && text[at] != '\0') ++at;
    return at > start;
}

}  // namespace

std::string SavingName(const std::string& target, unsigned long process, unsigned number) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, "%s%lu-%x", kSavingMark, process, number);
    return target + suffix;
}

std::string CopyName(const std::string& temporary, const char* role) { return temporary + "-" + role; }

bool ParseSavingName(const std::string& entry, const std::string& name, SavingNameParts& parts) {
    const std::string prefix = name + kSavingMark;
    if (entry.compare(0, prefix.size(), prefix) != 0) return false;
    size_t at = prefix.size();
    const size_t pidStart = at;
    if (!SkipDigits(entry, at, "0123456789") || at >= entry.size() || entry[at] != '-') return false;
    parts.process = std::strtoul(entry.c_str() + pidStart, nullptr, 10);
    ++at;
    if (!SkipDigits(entry, at, "0123456789abcdef") || parts.process == 0) return false;
    parts.copy = at < entry.size();
    return !parts.copy || (entry[at] == '-' && at + 1 < entry.size());
}
