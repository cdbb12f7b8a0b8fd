// Command-line splitting, UTF-8 and UTF-16 conversion, wildcard matching.

#include <gtest/gtest.h>

#include <string>

#include "base/command_line.h"
#include "base/utf.h"
#include "base/wildcard.h"

namespace pap {
namespace {

TEST(SkipProgramName, FollowsTheWindowsStartUpRules)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\WINDOWS\\PAPYRANT.SCR /s", "/s"},
        {"\"C:\\Program Files\\Papyrant.scr\" /p 1234", "/p 1234"},
        {"\"C:\\Program Files\\Papyrant.scr\"/c:567", "/c:567"},  // no blank needed after a quote
        {"Papyrant.scr   /c  ", "/c  "},                            // blanks after the name go, the rest stays
        {"Papyrant.scr\t/a", "/a"},
        {"Papyrant.scr", ""},
        {"\"Papyrant.scr", ""},                                     // an unclosed quote runs to the end
        {"\"\" /s", "/s"},
        {"", ""},
        {"   /s", "/s"},                                            // an empty name
    };
    for (const auto& [commandLine, expected] : cases)
        EXPECT_EQ(SkipProgramName(commandLine), expected) << commandLine;
}

TEST(Utf8CharLength, RecognisesWellFormedSequencesOnly)
{
    const std::pair<const char*, size_t> cases[] = {
        {"A", 1},
        {"\xC3\xA9", 2},              // é
        {"\xE5\x8C\xBA", 3},          // 区
        {"\xEF\xBE\x98", 3},          // half-width katakana ﾘ
        {"\xF0\x9F\x98\x80", 4},      // U+1F600
        {"\x80", 1},                  // a lone continuation byte
        {"\xC3", 1},                  // cut short
        {"\xE5\x8C", 1},
        {"\xC0\x80", 1},              // overlong
        {"\xE0\x80\x80", 1},
        {"\xED\xA0\x80", 1},          // a surrogate
        {"\xF4\x90\x80\x80", 1},      // above U+10FFFF
        {"\xF5\x80\x80\x80", 1},
        {"\xC3\x41", 1},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Utf8CharLength(text, 0), expected) << text;
}

TEST(Utf16, RoundTripsAndReplacesWhatCannotBeDecoded)
{
    struct Case {
        std::string utf8;
        std::string littleEndian;
    };
    const Case cases[] = {
        {"[a]", std::string("[\0a\0]\0", 6)},
        {"BGM\xE5\x8C\xBA", std::string("B\0G\0M\0\x3A\x53", 8)},
        {"\xF0\x9F\x98\x80", std::string("\x3D\xD8\x00\xDE", 4)},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToUtf16Bytes(c.utf8, false), c.littleEndian);
        EXPECT_EQ(Utf16BytesToUtf8(c.littleEndian, false), c.utf8);
        std::string bigEndian = c.littleEndian;
        for (size_t i = 0; i + 1 < bigEndian.size(); i += 2)
            std::swap(bigEndian[i], bigEndian[i + 1]);
        EXPECT_EQ(Utf8ToUtf16Bytes(c.utf8, true), bigEndian);
        EXPECT_EQ(Utf16BytesToUtf8(bigEndian, true), c.utf8);
    }
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(Utf16BytesToUtf8(std::string("\x00\xD8" "a\0", 4), false), replacement + "a");  // lone high
    EXPECT_EQ(Utf16BytesToUtf8(std::string("\x00\xDC", 2), false), replacement);              // lone low
    EXPECT_EQ(Utf16BytesToUtf8(std::string("a\0b", 3), false), "a" + replacement);            // odd byte
    EXPECT_EQ(Utf8ToUtf16Bytes("\xFF", false), "\xFD\xFF");
}

TEST(WildcardMatch, MatchesAsTheFileFunctionsDo)
{
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*.*", "Papyrant.bmp", true},
        {"*.*", "noextension", true},     // *.* is every name
        {"*.*", ".hidden", true},
        {"*", "anything.at.all", true},
        {"*.bmp", "a.bmp", true},
        {"*.bmp", "a.bmpx", false},
        {"*.bmp", "a.BMP", false},        // exact case, as the file system compares
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"a?c", "abbc", false},
        {"a?c", "a\xE5\x8C\xBA" "c", true},  // ? is one character, not one byte
        {"a*b*c", "axxbyyc", true},
        {"a*b*c", "axxbyy", false},
        {"*a", "aaa", true},
        {"*ab", "aab", true},
        {"Papyrant.*", "Papyrant", true},
        {"Papyrant.*", "Papyrant.bmp", true},
        {"x.*", "x.y.z", true},
        {"x.*", "y", false},
        {"exact", "exact", true},
        {"exact", "exactly", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " / " << c.name;
}

}  // namespace
}  // namespace pap
