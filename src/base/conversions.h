#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pap {

// Text to number by numeric prefix. Blanks, tabs and line feeds are skipped wherever they stand;
// reading stops at the first character that cannot continue the number, and text with no number at
// all gives 0. Accepted: an optional sign, digits with an optional decimal point, an exponent (E or
// D, optional sign, digits), or a radix prefix "&H" (hexadecimal) or "&O" (octal). A radix number
// up to FFFF is a 16-bit value and up to FFFFFFFF a 32-bit value, both signed ("&HFFFF" is -1); a
// trailing "&" makes it 32-bit ("&HFFFF&" is 65535). Empty only when the number overflows.
std::optional<double> NumericPrefix(std::string_view text);

// Numeric text as the settings and the dialog test it: blanks around, an optional sign, digits with
// an optional decimal point (at least one digit), an optional exponent (E or D, optional sign,
// digits). The whole text must be the number; empty text is not numeric. Empty also when the number
// is too large for a double.
std::optional<double> NumberFromText(std::string_view text);
bool IsNumericText(std::string_view text);

// Rounds to the nearest integer, halves to even (2.5 gives 2, 3.5 gives 4); empty outside the range
// of the result type or for a value that is not finite.
std::optional<int16_t> RoundToInt16(double value);
std::optional<int32_t> RoundToInt32(double value);

// The integer part as the settings take it: the largest integer not greater than the value.
double IntegerPart(double value);

// Decimal text with one leading blank reserved for the sign of a number not negative: " 0", " 30",
// "-1".
std::string NumberForm(int64_t value);

// The "##" format: the decimal digits of the number, and empty text for 0.
std::string FormatHashHash(int64_t value);

// ASCII letters in upper case; every other byte (UTF-8 sequences included) is kept.
std::string UpperCase(std::string_view text);

}  // namespace pap
