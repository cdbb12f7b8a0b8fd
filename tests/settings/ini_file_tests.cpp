#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/utf.h"

namespace pap {
namespace {

using namespace std::string_literals;

// Code page 932 (Shift_JIS): lead bytes 81-9F and E0-FC, trail bytes from 40.
size_t shiftJisCharLength(std::string_view text, size_t pos)
{
    auto lead = static_cast<unsigned char>(text[pos]);
    bool isLead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    if (isLead && pos + 1 < text.size() && static_cast<unsigned char>(text[pos + 1]) >= 0x40)
        return 2;
    return 1;
}

size_t singleByteCharLength(std::string_view, size_t) { return 1; }

struct LookupCase {
    const char* what;
    std::string text;
    std::string section;
    std::string key;
    std::optional<std::string> expected;
};

TEST(IniLookup, FindsValuesAsTheProfileFunctionsDo)
{
    const LookupCase cases[] = {
        {"plain", "[Section]\nk=1\n", "Section", "k", "1"},
        {"missing section", "[Other]\nk=1\n", "Section", "k", std::nullopt},
        {"missing key", "[Section]\nj=1\n", "Section", "k", std::nullopt},
        {"empty file", "", "Section", "k", std::nullopt},
        {"blanks around everything", "  [ Section ]  \n  k  =   7  \n", "Section", "k", "7"},
        {"leading blank of the number form", "[Section]\nk= 2\n", "Section", "k", "2"},
        {"tabs, VT and ^Z are blanks", "[S]\n\tk\t=\x1a v \x0b\n", "S", "k", "v"},
        {"section case", "[SECTION]\nk=1\n", "section", "k", "1"},
        {"key case", "[S]\nMyKey=1\n", "S", "MYKEY", "1"},
        {"caller's blanks", "[S]\nmy key=1\n", " S ", " my key ", "1"},
        {"double quotes removed", "[S]\nk=\"a b\"\n", "S", "k", "a b"},
        {"single quotes removed", "[S]\nk='x'\n", "S", "k", "x"},
        {"quotes inside blanks", "[S]\nk=  \" padded \"  \n", "S", "k", " padded "},
        {"one pair only", "[S]\nk=\"\"x\"\"\n", "S", "k", "\"x\""},
        {"unmatched quote kept", "[S]\nk=\"x\n", "S", "k", "\"x"},
        {"mixed quotes kept", "[S]\nk=\"y'\n", "S", "k", "\"y'"},
        {"a lone quote kept", "[S]\nk=\"\n", "S", "k", "\""},
        {"empty quotes", "[S]\nk=\"\"\n", "S", "k", ""},
        {"empty value", "[S]\nk=\n", "S", "k", ""},
        {"no equals sign", "[S]\nk\n", "S", "k", std::nullopt},
        {"equals sign in the value", "[S]\nk=a=b\n", "S", "k", "a=b"},
        {"first duplicate key", "[S]\nk=1\nk=2\n", "S", "k", "1"},
        {"first duplicate section only", "[S]\nk=1\n[s]\nj=2\n", "S", "j", std::nullopt},
        {"CR LF", "[S]\r\nk=1\r\n", "S", "k", "1"},
        {"CR alone", "[S]\rk=1\r", "S", "k", "1"},
        {"CR CR LF", "[S]\r\r\nk=1\r\n", "S", "k", "1"},
        {"no final line ending", "[S]\nk=last", "S", "k", "last"},
        {"keys before the first section", "k=0\n[S]\nk=1\n", "S", "k", "1"},
        {"no section of keys before the first", "k=0\n[S]\nj=1\n", "S", "k", std::nullopt},
        {"text after the header", "[S] ; note\nk=1\n", "S", "k", "1"},
        {"last bracket ends the name", "[S]]\nk=1\n", "S]", "k", "1"},
        {"not the first bracket", "[S]]\nk=1\n", "S", "k", std::nullopt},
        {"header without bracket is a key", "[S\nk=1\n", "S", "k", std::nullopt},
        {"comment lines are no values", "[S]\n;k=1\nk=2\n", "S", "k", "2"},
        {"value ends at NUL", "[S]\nk= ab \0 cd \n"s, "S", "k", "ab "},
        {"name ends at NUL", "[S]\nk\0x=1\n"s, "S", "k", "1"},
        {"blank lines between", "[S]\n\n   \n\nk=1\n", "S", "k", "1"},
        {"empty section name", "[]\nk=1\n", "", "k", std::nullopt},
        {"empty key name", "[S]\n=1\n", "S", "", std::nullopt},
        {"UTF-8 names", "[Section]\nBGM\xE5\x8C\xBA\xE5\x88\x86= 2\n", "section", "bgm\xE5\x8C\xBA\xE5\x88\x86", "2"},
    };
    for (const LookupCase& c : cases)
        EXPECT_EQ(IniLookup(c.text, c.section, c.key, Utf8CharLength), c.expected) << c.what;
}

TEST(IniLookup, NeverTakesATrailByteForALetterOrBracket)
{
    // In code page 932 the trail byte of a two-byte character may be ']' (5D) or a letter.
    EXPECT_EQ(IniLookup("[\x83\x5D]\nk=1\n", "\x83\x5D", "k", shiftJisCharLength), "1");
    EXPECT_EQ(IniLookup("[\x83\x5D\nk=1\n", "\x83", "k", shiftJisCharLength), std::nullopt);
    EXPECT_EQ(IniLookup("[\x83\x5D\nk=1\n", "\x83", "k", singleByteCharLength), "1");
    EXPECT_EQ(IniLookup("[S]\n\x83\x41=1\n", "S", "\x83\x61", shiftJisCharLength), std::nullopt);
    EXPECT_EQ(IniLookup("[S]\n\x83\x41=1\n", "S", "\x83\x61", singleByteCharLength), "1");
    // Half-width katakana are single bytes: the ASCII letter after one folds.
    EXPECT_EQ(IniLookup("[S]\n\xA1k=1\n", "S", "\xA1K", shiftJisCharLength), "1");
    // The key names of the settings file in code page 932.
    EXPECT_EQ(IniLookup("[Section]\nBGM\x8B\xE6\x95\xAA= 2\nBGM\xD8\xCB\xDF\xB0\xC4= 0\n", "Section",
                        "BGM\xD8\xCB\xDF\xB0\xC4", shiftJisCharLength),
              "0");
}

struct UpdateCase {
    const char* what;
    std::string text;
    std::string section;
    std::string key;
    std::string value;
    std::string expected;
};

TEST(IniUpdate, EditsInPlaceAndKeepsEverythingElse)
{
    const UpdateCase cases[] = {
        {"new file", "", "S", "k", "v", "[S]\nk=v\n"},
        {"replace", "[S]\nk=1\n", "S", "k", "2", "[S]\nk=2\n"},
        {"the value as given", "[S]\nk=1\n", "S", "k", " 2", "[S]\nk= 2\n"},
        {"indent and spacing of the line go", "[S]\n  K = 1  \nz=3\n", "S", "k", " 2", "[S]\nK= 2\nz=3\n"},
        {"the name keeps its spelling", "[s]\nKEY=1\n", "S", "key", "2", "[s]\nKEY=2\n"},
        {"other line endings stay", "[S]\r\nk=1\r\nz=9\r\n", "S", "k", "2", "[S]\r\nk=2\r\nz=9\r\n"},
        {"new key after the last line of its section", "[S]\nk=1\n\n[T]\nx=1\n", "S", "j", "2",
         "[S]\nk=1\nj=2\n\n[T]\nx=1\n"},
        {"comments stay in place", "; top\n[S]\n; about k\nk=1\n; tail\n\n[T]\n", "S", "j", "2",
         "; top\n[S]\n; about k\nk=1\n; tail\nj=2\n\n[T]\n"},
        {"no final line ending, new key", "[S]\nk=1", "S", "j", "2", "[S]\nk=1\nj=2\n"},
        {"no final line ending, new section", "[T]\nx=1", "S", "k", "v", "[T]\nx=1\n[S]\nk=v\n"},
        {"new section after blank lines", "[T]\nx=1\n\n", "S", "k", "v", "[T]\nx=1\n\n[S]\nk=v\n"},
        {"header alone", "[S]\n", "S", "k", "v", "[S]\nk=v\n"},
        {"header alone without line ending", "[S]", "S", "k", "v", "[S]\nk=v\n"},
        {"header with blank lines after", "[S]\n\n\n", "S", "k", "v", "[S]\nk=v\n\n\n"},
        {"first of duplicate sections", "[S]\nk=1\n[S]\nj=2\n", "S", "j", "3", "[S]\nk=1\nj=3\n[S]\nj=2\n"},
        {"first of duplicate keys", "[S]\nk=1\nk=2\n", "S", "k", "3", "[S]\nk=3\nk=2\n"},
        {"same value, no change", "[S]\nk = 1 \n", "S", "k", "1", "[S]\nk = 1 \n"},
        {"a key without '=' gets a value", "[S]\nk\n", "S", "k", "1", "[S]\nk=1\n"},
        {"empty value", "", "S", "k", "", "[S]\nk=\n"},
        {"keys before the first section stay", "k=0\n[S]\n", "S", "k", "1", "k=0\n[S]\nk=1\n"},
        {"a '[' line without ']' is no header", "[S\nk=1\n", "S", "k", "v", "[S\nk=1\n[S]\nk=v\n"},
        {"CR alone", "[S]\rk=1\r", "S", "j", "2", "[S]\rk=1\rj=2\n"},
        {"NUL bytes elsewhere stay", "a\0b\n[S]\nk=1\n"s, "S", "k", "2", "a\0b\n[S]\nk=2\n"s},
        {"UTF-8 names", "[Section]\nBGM\xE5\x8C\xBA\xE5\x88\x86=1\n", "section", "bgm\xE5\x8C\xBA\xE5\x88\x86", " 2",
         "[Section]\nBGM\xE5\x8C\xBA\xE5\x88\x86= 2\n"},
    };
    for (const UpdateCase& c : cases) {
        std::optional<std::string> updated = IniUpdate(c.text, c.section, c.key, c.value, Utf8CharLength, "\n");
        ASSERT_TRUE(updated) << c.what;
        EXPECT_EQ(*updated, c.expected) << c.what;
        // What was written reads back, as a reader takes it.
        std::string_view value(c.value);
        while (!value.empty() && value.front() == ' ')
            value.remove_prefix(1);
        EXPECT_EQ(IniLookup(*updated, c.section, c.key, Utf8CharLength), std::string(value)) << c.what;
    }
}

TEST(IniUpdate, WritesTheLineEndingGiven)
{
    EXPECT_EQ(IniUpdate("", "S", "k", "v", Utf8CharLength, "\r\n"), "[S]\r\nk=v\r\n");
    EXPECT_EQ(IniUpdate("[S]\nk=1\n", "S", "j", "2", Utf8CharLength, "\r\n"), "[S]\nk=1\nj=2\r\n");
    EXPECT_EQ(IniUpdate("[S]\r\nk=1", "S", "j", "2", Utf8CharLength, "\r\n"), "[S]\r\nk=1\r\nj=2\r\n");
}

TEST(IniUpdate, FindsASectionWhoseNameEndsInATrailByte)
{
    EXPECT_EQ(IniUpdate("[\x83\x5D]\nk=1\n", "\x83\x5D", "j", "2", shiftJisCharLength, "\n"),
              "[\x83\x5D]\nk=1\nj=2\n");
    // A section name ending in a lead byte could never be read back: its ']' would be a trail byte.
    EXPECT_EQ(IniUpdate("", "a\x83", "k", "v", shiftJisCharLength, "\n"), std::nullopt);
    EXPECT_EQ(IniUpdate("", "a\x83", "k", "v", singleByteCharLength, "\n"), "[a\x83]\nk=v\n");
}

TEST(IniUpdate, RefusesWhatCouldNotBeReadBack)
{
    const struct {
        const char* what;
        std::string section, key, value;
    } cases[] = {
        {"empty section", "", "k", "v"},
        {"blank section", "  ", "k", "v"},
        {"empty key", "S", "", "v"},
        {"'=' in the key", "S", "a=b", "v"},
        {"key that would start a section", "S", "[x]", "v"},
        {"line feed in the value", "S", "k", "a\nb"},
        {"carriage return in the value", "S", "k", "a\rb"},
        {"NUL in the value", "S", "k", "a\0b"s},
        {"line feed in the section", "S\nT", "k", "v"},
        {"line feed in the key", "S", "k\nj", "v"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IniUpdate("[S]\nk=1\n", c.section, c.key, c.value, Utf8CharLength, "\n"), std::nullopt) << c.what;
}

TEST(CutToLength, NeverSplitsACharacter)
{
    std::string ascii(300, 'x');
    EXPECT_EQ(CutToLength(ascii, 255, Utf8CharLength).size(), 255u);
    EXPECT_EQ(CutToLength("short", 255, Utf8CharLength), "short");

    std::string kanji;
    for (int i = 0; i < 200; ++i)
        kanji += "\x88\x9F";
    EXPECT_EQ(CutToLength(kanji, 255, shiftJisCharLength).size(), 254u);
    EXPECT_EQ(CutToLength("a" + kanji, 255, shiftJisCharLength).size(), 255u);

    std::string accents;
    for (int i = 0; i < 200; ++i)
        accents += "\xC3\xA9";
    EXPECT_EQ(CutToLength(accents, 255, Utf8CharLength).size(), 254u);
    EXPECT_EQ(CutToLength(accents, 255, singleByteCharLength).size(), 255u);
}

}  // namespace
}  // namespace pap
