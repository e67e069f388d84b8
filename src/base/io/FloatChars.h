#pragma once
// std::from_chars and std::to_chars for every number type. Emscripten's C++ library (LLVM 14's
// libc++) has them for integers only; there the floating-point ones are made from the C
// library's conversions, which read and write the "C" locale's text the player always runs in.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>
#include <type_traits>

namespace float_chars {

#if !defined(__EMSCRIPTEN__)
using std::from_chars;
using std::to_chars;
#else
template <typename Number>
std::from_chars_result from_chars(const char* first, const char* last, Number& value) {
    if constexpr (std::is_floating_point_v<Number>) {
        // strtod skips leading blanks and reads hexadecimal, infinity and NaN, which from_chars
        // refuses.
        if (first == last || *first == ' ' || *first == '\t' || *first == '+') return {first, std::errc::invalid_argument};
        const std::string text(first, last);
        for (char c : text)
            if (c == 'x' || c == 'X' || c == 'n' || c == 'N' || c == 'i' || c == 'I')
                return {first, std::errc::invalid_argument};
        char* end = nullptr;
        const double parsed = std::strtod(text.c_str(), &end);
        if (end == text.c_str()) return {first, std::errc::invalid_argument};
        value = static_cast<Number>(parsed);
        return {first + (end - text.c_str()), std::errc()};
    } else {
        return std::from_chars(first, last, value);
    }
}

// The shortest %g text that reads back as exactly the value.
template <typename Number>
std::to_chars_result to_chars(char* first, char* last, Number value) {
    if constexpr (std::is_floating_point_v<Number>) {
        for (int digits = 1; digits <= 17; ++digits) {
            char text[40];
            const int length = std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
            if (length <= 0 || length >= static_cast<int>(sizeof text)) break;
            if (static_cast<Number>(std::strtod(text, nullptr)) != value && digits < 17) continue;
            if (length > last - first) return {last, std::errc::value_too_large};
            std::char_traits<char>::copy(first, text, static_cast<size_t>(length));
            return {first + length, std::errc()};
        }
        return {last, std::errc::value_too_large};
    } else {
        return std::to_chars(first, last, value);
    }
}
#endif

}  // namespace float_chars
