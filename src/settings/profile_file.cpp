#include "settings/profile_file.h"

#include <optional>

#include "base/code_page.h"
#include "base/utf.h"
#include "platform/files.h"
#include "settings/ini_file.h"

namespace pap {

namespace {

// Profile files are small; a larger one is not read rather than loaded whole.
constexpr size_t kMaxFileBytes = 16u << 20;

enum class Encoding { Ansi, Utf8, Utf16Le, Utf16Be };

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

// A file's text ready for the ini functions: ANSI bytes, or UTF-8 for a Unicode file.
struct ProfileText {
    Encoding encoding = Encoding::Ansi;
    std::string text;
};

ProfileText decode(std::string_view bytes)
{
    if (bytes.starts_with(kUtf16LeMark))
        return {Encoding::Utf16Le, Utf16BytesToUtf8(bytes.substr(2), false)};
    if (bytes.starts_with(kUtf16BeMark))
        return {Encoding::Utf16Be, Utf16BytesToUtf8(bytes.substr(2), true)};
    if (bytes.starts_with(kUtf8Mark))
        return {Encoding::Utf8, std::string(bytes.substr(kUtf8Mark.size()))};
    return {Encoding::Ansi, std::string(bytes)};
}

std::string encode(const ProfileText& profile)
{
    switch (profile.encoding) {
    case Encoding::Utf16Le: return std::string(kUtf16LeMark) + Utf8ToUtf16Bytes(profile.text, false);
    case Encoding::Utf16Be: return std::string(kUtf16BeMark) + Utf8ToUtf16Bytes(profile.text, true);
    case Encoding::Utf8: return std::string(kUtf8Mark) + profile.text;
    case Encoding::Ansi: break;
    }
    return profile.text;
}

CharLength charLengthOf(Encoding encoding) { return encoding == Encoding::Ansi ? AnsiCharLength : Utf8CharLength; }

// Names and values in the encoding of the file's text.
std::string inFileText(std::string_view utf8, Encoding encoding)
{
    return encoding == Encoding::Ansi ? ToAnsi(utf8) : std::string(utf8);
}

}  // namespace

std::string ReadProfileString(std::string_view section, std::string_view key, const std::string& path,
                              size_t maxAnsiBytes)
{
    std::optional<std::string> bytes = ReadWholeFile(path, kMaxFileBytes);
    if (!bytes)
        return {};
    ProfileText profile = decode(*bytes);
    std::optional<std::string> value =
        IniLookup(profile.text, inFileText(section, profile.encoding), inFileText(key, profile.encoding),
                  charLengthOf(profile.encoding));
    if (!value)
        return {};
    // The limit counts the bytes of the ANSI code page; a Unicode file's value keeps characters that
    // code page lacks, and is cut at the same number of UTF-8 bytes.
    if (profile.encoding == Encoding::Ansi)
        return FromAnsi(CutToLength(*value, maxAnsiBytes, AnsiCharLength));
    return std::string(CutToLength(*value, maxAnsiBytes, Utf8CharLength));
}

bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path)
{
    ProfileText profile;
    // A file that exists but cannot be read is left alone rather than replaced.
    if (PathExists(path)) {
        std::optional<std::string> bytes = ReadWholeFile(path, kMaxFileBytes);
        if (!bytes)
            return false;
        profile = decode(*bytes);
    }
    std::optional<std::string> updated =
        IniUpdate(profile.text, inFileText(section, profile.encoding), inFileText(key, profile.encoding),
                  inFileText(value, profile.encoding), charLengthOf(profile.encoding), TextLineEnding());
    if (!updated)
        return false;
    if (*updated == profile.text)
        return true;
    profile.text = std::move(*updated);
    return ReplaceWholeFile(path, encode(profile));
}

}  // namespace pap
