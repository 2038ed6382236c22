// Number conversions with the forgiving rules of the settings file: the longest decimal prefix
// counts, anything else is 0, and integers keep the low 32 bits of the truncated value.
#include "runtime/base/number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace runtime {

double toNumber(std::string_view text) {
    std::size_t i = 0;
    auto isBlank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    };
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    while (i < text.size() && isBlank(text[i])) ++i;
    std::size_t begin = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    // An exponent counts only when it has digits: "1e" is 1.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) ++j;
            i = j;
        }
    }
    std::string prefix(text.substr(begin, i - begin));
    return std::strtod(prefix.c_str(), nullptr);
}

int32_t toInteger(double value) {
    // Outside 64 bits the conversion has no value to keep; such texts read as 0.
    if (!std::isfinite(value) || value >= 9223372036854775808.0 || value < -9223372036854775808.0) return 0;
    auto wide = static_cast<int64_t>(std::trunc(value));
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(wide)));
}

int32_t toInteger(std::string_view text) { return toInteger(toNumber(text)); }

int32_t toHeldInteger(double value) {
    constexpr double kLowest = std::numeric_limits<int32_t>::min();
    constexpr double kHighest = std::numeric_limits<int32_t>::max();
    if (std::isnan(value)) return 0;
    return static_cast<int32_t>(std::trunc(std::clamp(value, kLowest, kHighest)));
}

int32_t toHeldInteger(std::string_view text) { return toHeldInteger(toNumber(text)); }

std::string toText(int64_t value) { return std::to_string(value); }

std::string toText(double value) {
    if (std::isnan(value)) return "0";
    if (value == 0) return "0";
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    if (ec != std::errc()) return "0";
    return std::string(buf, end);
}

}  // namespace runtime
