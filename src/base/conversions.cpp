#include "base/conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace pap {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isExponentLetter(char c) { return c == 'e' || c == 'E' || c == 'd' || c == 'D'; }

// The parts of a decimal number in text that is known to be well formed.
struct DecimalSpan {
    std::string_view text;    // sign, mantissa and exponent, exponent letter included
    size_t exponentAt = 0;    // offset of the exponent letter, or text.size() when none
};

// Scans a decimal number at the start of text: sign, digits, point, digits, exponent. The span is
// empty when there is no mantissa digit. An exponent without digits is not part of the number.
DecimalSpan scanDecimal(std::string_view text)
{
    size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    size_t digits = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        ++pos;
        ++digits;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && isDigit(text[pos])) {
            ++pos;
            ++digits;
        }
    }
    if (digits == 0)
        return {};
    size_t end = pos;
    if (pos < text.size() && isExponentLetter(text[pos])) {
        size_t exponent = pos + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-'))
            ++exponent;
        if (exponent < text.size() && isDigit(text[exponent])) {
            while (exponent < text.size() && isDigit(text[exponent]))
                ++exponent;
            end = exponent;
        }
    }
    return {text.substr(0, end), end == pos ? end : pos};
}

// Converts a well-formed decimal span; empty when its magnitude is too large for a double. Values
// too small for a double become 0.
std::optional<double> convertDecimal(const DecimalSpan& span)
{
    std::string buffer(span.text);
    bool negative = false;
    if (!buffer.empty() && (buffer[0] == '+' || buffer[0] == '-')) {
        negative = buffer[0] == '-';
        buffer.erase(0, 1);
    }
    size_t exponentAt = span.exponentAt - (span.text.size() - buffer.size());
    if (exponentAt < buffer.size())
        buffer[exponentAt] = 'e';  // from_chars does not know the D exponent

    double value = 0;
    auto [end, error] = std::from_chars(buffer.data(), buffer.data() + buffer.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Tell overflow from underflow by the decimal magnitude: the exponent plus the place of the
        // first significant digit relative to the decimal point.
        long long magnitude = 0;
        if (exponentAt < buffer.size()) {
            size_t pos = exponentAt + 1;
            bool exponentNegative = pos < buffer.size() && buffer[pos] == '-';
            if (pos < buffer.size() && (buffer[pos] == '+' || buffer[pos] == '-'))
                ++pos;
            for (; pos < buffer.size(); ++pos)
                magnitude = std::min(magnitude * 10 + (buffer[pos] - '0'), 1LL << 40);
            if (exponentNegative)
                magnitude = -magnitude;
        }
        std::string_view mantissa(buffer.data(), std::min(exponentAt, buffer.size()));
        size_t point = mantissa.find('.');
        if (point == std::string_view::npos)
            point = mantissa.size();
        size_t first = mantissa.find_first_not_of("0.");
        if (first == std::string_view::npos)
            return negative ? -0.0 : 0.0;
        magnitude += first < point ? static_cast<long long>(point - first)
                                   : -static_cast<long long>(first - point - 1);
        if (magnitude > 0)
            return std::nullopt;
        return negative ? -0.0 : 0.0;
    }
    if (error != std::errc() || end != buffer.data() + buffer.size())
        return 0.0;  // not reached for a well-formed span
    return negative ? -value : value;
}

// "&H" and "&O" numbers after the prefix: digits of the radix, then an optional "&" suffix.
std::optional<double> convertRadix(std::string_view digits, unsigned radix)
{
    uint64_t value = 0;
    size_t pos = 0;
    for (; pos < digits.size(); ++pos) {
        char c = digits[pos];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            break;
        if (digit >= radix)
            break;
        value = value * radix + digit;
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    bool longSuffix = pos < digits.size() && digits[pos] == '&';
    if (!longSuffix && value <= 0xFFFFu)
        return static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(value)));
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value)));
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

template <typename Int>
std::optional<Int> roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    double floor = std::floor(value);
    double fraction = value - floor;
    double rounded = floor;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0))
        rounded = floor + 1.0;
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return static_cast<Int>(rounded);
}

}  // namespace

std::optional<double> NumericPrefix(std::string_view text)
{
    std::string packed;
    packed.reserve(text.size());
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n')
            packed.push_back(c);
    }
    std::string_view rest(packed);
    if (!rest.empty() && rest[0] == '&') {
        if (rest.size() >= 2 && (rest[1] == 'H' || rest[1] == 'h'))
            return convertRadix(rest.substr(2), 16);
        if (rest.size() >= 2 && (rest[1] == 'O' || rest[1] == 'o'))
            return convertRadix(rest.substr(2), 8);
        return 0.0;
    }
    DecimalSpan span = scanDecimal(rest);
    if (span.text.empty())
        return 0.0;
    return convertDecimal(span);
}

std::optional<double> NumberFromText(std::string_view text)
{
    size_t first = 0;
    while (first < text.size() && isBlank(text[first]))
        ++first;
    size_t last = text.size();
    while (last > first && isBlank(text[last - 1]))
        --last;
    std::string_view body = text.substr(first, last - first);
    DecimalSpan span = scanDecimal(body);
    if (span.text.empty() || span.text.size() != body.size())
        return std::nullopt;
    return convertDecimal(span);
}

bool IsNumericText(std::string_view text) { return NumberFromText(text).has_value(); }

std::optional<int16_t> RoundToInt16(double value) { return roundHalfEven<int16_t>(value); }
std::optional<int32_t> RoundToInt32(double value) { return roundHalfEven<int32_t>(value); }

double IntegerPart(double value) { return std::floor(value); }

std::string NumberForm(int64_t value)
{
    return value < 0 ? std::to_string(value) : " " + std::to_string(value);
}

std::string FormatHashHash(int64_t value)
{
    return value == 0 ? std::string() : std::to_string(value);
}

std::string UpperCase(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

}  // namespace pap
