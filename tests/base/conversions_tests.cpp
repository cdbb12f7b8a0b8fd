#include "base/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace pap {
namespace {

struct PrefixCase {
    const char* text;
    std::optional<double> expected;
};

TEST(NumericPrefix, ReadsTheNumberAtTheStart)
{
    const PrefixCase cases[] = {
        {"", 0.0},
        {"abc", 0.0},
        {"1234", 1234.0},
        {"1234abc", 1234.0},
        {"  1234", 1234.0},
        {"12 34", 1234.0},            // blanks are skipped inside the number too
        {"\t1\n2", 12.0},             // tabs and line feeds like blanks
        {" 1 2 . 5", 12.5},
        {"-5", -5.0},
        {"+5", 5.0},
        {"- 5", -5.0},
        {"--5", 0.0},
        {"+-5", 0.0},
        {"5-", 5.0},
        {"1.5", 1.5},
        {".5", 0.5},
        {"5.", 5.0},
        {".", 0.0},
        {"-", 0.0},
        {"1.2.3", 1.2},
        {"1,000", 1.0},
        {"1e3", 1000.0},
        {"1E+3", 1000.0},
        {"1e-3", 0.001},
        {"2d2", 200.0},               // D exponent
        {"2D-1", 0.2},
        {"1e", 1.0},                  // an exponent without digits is no part of the number
        {"1e+", 1.0},
        {"1ex", 1.0},
        {"e5", 0.0},
        {"0x10", 0.0},
        {"\xEF\xBC\x91\xEF\xBC\x92", 0.0},  // full-width digits are not digits
        {"99999999999999999999", 1e20},
        {"0000000000000000000000000000012", 12.0},
        {"1e400", std::nullopt},      // overflow
        {"-1e400", std::nullopt},
        {"123456789e301", std::nullopt},
        {"17976931348623157e292", 1.7976931348623157e308},  // the largest double
        {"1e-400", 0.0},              // underflow gives 0
        {"0.000000000000000000001e-400", 0.0},
        {"0e999999999999999999999", 0.0},
        {"&H10", 16.0},
        {"&hff", 255.0},
        {"&H7FFF", 32767.0},
        {"&H8000", -32768.0},         // up to FFFF a 16-bit value
        {"&HFFFF", -1.0},
        {"&HFFFF&", 65535.0},         // the & suffix makes it 32-bit
        {"&H10000", 65536.0},
        {"&H7FFFFFFF", 2147483647.0},
        {"&HFFFFFFFF", -1.0},
        {"&H100000000", std::nullopt},
        {"&H00000000000001", 1.0},    // leading zeros do not overflow
        {"&H1G", 1.0},
        {"&H", 0.0},
        {"&O17", 15.0},
        {"&o177777", -1.0},
        {"&O8", 0.0},
        {"&", 0.0},
        {"&X1", 0.0},
        {"& H 1 0", 16.0},
    };
    for (const PrefixCase& c : cases) {
        std::optional<double> value = NumericPrefix(c.text);
        ASSERT_EQ(value.has_value(), c.expected.has_value()) << '"' << c.text << '"';
        if (value) {
            EXPECT_DOUBLE_EQ(*value, *c.expected) << '"' << c.text << '"';
        }
    }
}

TEST(NumericPrefix, PreviewHandleFromTheCommandLine)
{
    // The text from the fourth character on, converted and rounded to a 32-bit integer.
    const std::pair<const char*, std::optional<int32_t>> cases[] = {
        {"/p 1234", 1234},
        {"/p:1234", 1234},
        {"/p  987654", 987654},
        {"/p", 0},
        {"/p 12.5", 12},
        {"/p 13.5", 14},
        {"/p 4294967296", std::nullopt},
        {"/p &H7FFFFFFF", 2147483647},
    };
    for (const auto& [commandLine, expected] : cases) {
        std::string_view text(commandLine);
        std::optional<double> number = NumericPrefix(text.size() > 3 ? text.substr(3) : std::string_view());
        ASSERT_TRUE(number) << commandLine;
        EXPECT_EQ(RoundToInt32(*number), expected) << commandLine;
    }
}

TEST(NumberFromText, AcceptsOnlyAWholeNumberWithBlanksAround)
{
    const PrefixCase cases[] = {
        {"0", 0.0},
        {" 2", 2.0},                  // the number form written by the settings
        {"2 ", 2.0},
        {"\t 30 \t", 30.0},
        {"-0.5", -0.5},
        {"+3", 3.0},
        {"2.9", 2.9},
        {"5.", 5.0},
        {".5", 0.5},
        {"1e3", 1000.0},
        {"1D2", 100.0},
        {"2.5E-1", 0.25},
        {"", std::nullopt},           // empty is not numeric
        {"   ", std::nullopt},
        {"abc", std::nullopt},
        {"2a", std::nullopt},
        {"a2", std::nullopt},
        {"1 2", std::nullopt},
        {"- 5", std::nullopt},
        {"++1", std::nullopt},
        {".", std::nullopt},
        {"1e", std::nullopt},
        {"1e+", std::nullopt},
        {"1,5", std::nullopt},
        {"&H10", std::nullopt},
        {"1e400", std::nullopt},      // too large for a number
        {"\xEF\xBC\x92", std::nullopt},
    };
    for (const PrefixCase& c : cases) {
        std::optional<double> value = NumberFromText(c.text);
        ASSERT_EQ(value.has_value(), c.expected.has_value()) << '"' << c.text << '"';
        EXPECT_EQ(IsNumericText(c.text), c.expected.has_value()) << '"' << c.text << '"';
        if (value) {
            EXPECT_DOUBLE_EQ(*value, *c.expected) << '"' << c.text << '"';
        }
    }
}

TEST(RoundToInt16, RoundsHalvesToEvenAndFailsOutsideTheRange)
{
    const std::pair<double, std::optional<int16_t>> cases[] = {
        {0.0, 0},
        {0.5, 0},
        {1.5, 2},
        {2.5, 2},
        {3.5, 4},
        {-0.5, 0},
        {-1.5, -2},
        {-2.5, -2},
        {2.4999999, 2},
        {2.5000001, 3},
        {-2.5000001, -3},
        {99.0, 99},
        {32767.0, 32767},
        {32767.4, 32767},
        {32767.5, std::nullopt},     // rounds to 32768
        {-32768.0, -32768},
        {-32768.5, -32768},          // rounds to the even -32768
        {-32768.6, std::nullopt},
        {40000.0, std::nullopt},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
        {std::numeric_limits<double>::infinity(), std::nullopt},
        {-std::numeric_limits<double>::infinity(), std::nullopt},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(RoundToInt16(value), expected) << value;
}

TEST(RoundToInt32, RoundsHalvesToEvenAndFailsOutsideTheRange)
{
    const std::pair<double, std::optional<int32_t>> cases[] = {
        {1234.5, 1234},
        {1235.5, 1236},
        {2147483647.0, 2147483647},
        {2147483647.5, std::nullopt},
        {-2147483648.5, -2147483647 - 1},
        {-2147483649.0, std::nullopt},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(RoundToInt32(value), expected) << value;
}

TEST(IntegerPart, IsTheFloor)
{
    const std::pair<double, double> cases[] = {
        {2.9, 2.0}, {2.0, 2.0}, {-0.5, -1.0}, {-1.0, -1.0}, {-1.1, -2.0}, {0.0, 0.0}, {32767.9, 32767.0},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(IntegerPart(value), expected) << value;
}

TEST(NumberForm, ReservesABlankForTheSign)
{
    const std::pair<int64_t, const char*> cases[] = {
        {0, " 0"}, {1, " 1"}, {2, " 2"}, {30, " 30"}, {-1, "-1"}, {32767, " 32767"}, {-32768, "-32768"},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(NumberForm(value), expected);
}

TEST(FormatHashHash, IsEmptyForZero)
{
    const std::pair<int64_t, const char*> cases[] = {{0, ""}, {1, "1"}, {7, "7"}, {30, "30"}, {123, "123"}, {-5, "-5"}};
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(FormatHashHash(value), expected);
}

TEST(UpperCase, ChangesAsciiLettersOnly)
{
    const std::pair<const char*, const char*> cases[] = {
        {"song.Mp3", "SONG.MP3"},
        {"tune.wav", "TUNE.WAV"},
        {"/s", "/S"},
        {"netscape2.0", "NETSCAPE2.0"},
        {"caf\xC3\xA9", "CAF\xC3\xA9"},          // UTF-8 sequences are left alone
        {"\xEF\xBD\x81", "\xEF\xBD\x81"},        // a full-width letter too
        {"", ""},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(UpperCase(text), expected);
}

}  // namespace
}  // namespace pap
