// Fuzz entry point of the profile-file text functions. The input is a header of four bytes (the
// character rules, and the lengths of a section name, a key name and a value that follow it) and
// then the file's text. Any text must be read without fault; an update that is accepted must read
// back as written, leave every other key as it was, and give the same text when made twice.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/utf.h"
#include "settings/ini_file.h"

namespace {

size_t shiftJisCharLength(std::string_view text, size_t pos)
{
    auto lead = static_cast<unsigned char>(text[pos]);
    bool isLead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    return isLead && pos + 1 < text.size() && static_cast<unsigned char>(text[pos + 1]) >= 0x40 ? 2 : 1;
}

size_t singleByteCharLength(std::string_view, size_t) { return 1; }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a'; }

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// What a reader gives for a value written as is.
std::string readBack(std::string_view value)
{
    value = trim(value);
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

bool isAsciiName(std::string_view name, std::string_view ascii)
{
    if (name.size() != ascii.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        char c = name[i] >= 'a' && name[i] <= 'z' ? static_cast<char>(name[i] - 32) : name[i];
        char d = ascii[i] >= 'a' && ascii[i] <= 'z' ? static_cast<char>(ascii[i] - 32) : ascii[i];
        if (c != d)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const pap::CharLength rules[] = {pap::Utf8CharLength, shiftJisCharLength, singleByteCharLength};
    pap::CharLength charLength = rules[data[0] % 3];
    std::string_view lineEnding = data[0] & 0x80 ? "\r\n" : "\n";
    std::string_view input(reinterpret_cast<const char*>(data) + 4, size - 4);
    size_t sectionLength = std::min<size_t>(data[1] % 16, input.size());
    std::string_view section = input.substr(0, sectionLength);
    input.remove_prefix(sectionLength);
    size_t keyLength = std::min<size_t>(data[2] % 16, input.size());
    std::string_view key = input.substr(0, keyLength);
    input.remove_prefix(keyLength);
    size_t valueLength = std::min<size_t>(data[3] % 64, input.size());
    std::string_view value = input.substr(0, valueLength);
    std::string_view text = input.substr(valueLength);

    // Keys whose values must survive an update of another key.
    const std::pair<std::string_view, std::string_view> others[] = {
        {"S", "k"}, {"Section", "x"}, {"a", "b"}, {"S", "j"}};
    std::optional<std::string> before[4];
    for (size_t i = 0; i < 4; ++i)
        before[i] = pap::IniLookup(text, others[i].first, others[i].second, charLength);
    (void)pap::IniLookup(text, section, key, charLength);
    (void)pap::CutToLength(text, 255, charLength);

    std::optional<std::string> updated = pap::IniUpdate(text, section, key, value, charLength, lineEnding);
    if (updated) {
        if (pap::IniLookup(*updated, section, key, charLength) != readBack(value))
            __builtin_trap();
        for (size_t i = 0; i < 4; ++i) {
            bool same = isAsciiName(trim(section), others[i].first) && isAsciiName(trim(key), others[i].second);
            if (!same && pap::IniLookup(*updated, others[i].first, others[i].second, charLength) != before[i])
                __builtin_trap();
        }
        if (pap::IniUpdate(*updated, section, key, value, charLength, lineEnding) != updated)
            __builtin_trap();
    }

    // Unicode files go through UTF-16 and back; what comes out of a decode encodes and decodes alike.
    std::string decoded = pap::Utf16BytesToUtf8(text, data[0] & 0x40);
    if (pap::Utf16BytesToUtf8(pap::Utf8ToUtf16Bytes(decoded, false), false) != decoded)
        __builtin_trap();
    return 0;
}
