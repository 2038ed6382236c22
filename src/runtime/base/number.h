// Conversions between texts and numbers as the settings file and the edit boxes use them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace runtime {

// The longest decimal prefix (blanks, sign, digits, fraction, exponent) read as a number;
// 0 for a text that does not start with one. No hex, "inf" or "nan".
double toNumber(std::string_view text);

// toNumber truncated toward zero to 64 bits, then the low 32 bits as a signed integer, so 2^31
// wraps to a negative number. A value outside 64 bits gives 0.
int32_t toInteger(std::string_view text);
int32_t toInteger(double value);

// A number from an edit box or the settings file truncated toward zero, but beyond the integer
// range held at its nearest end rather than wrapped (wrapped, "4294967329" would read as 33).
// NaN reads as 0. Where a number sizes or schedules something, this is the conversion to use.
int32_t toHeldInteger(double value);
int32_t toHeldInteger(std::string_view text);

std::string toText(int64_t value);
// Shortest text that reads back as the same number ("12.5", "100", "-0.1").
std::string toText(double value);
inline std::string toText(int value) { return toText(static_cast<int64_t>(value)); }

}  // namespace runtime
