#include "base/utf.h"

#include <cstdint>

namespace pap {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Decodes the character at pos; advances pos by its length.
char32_t decodeUtf8(std::string_view text, size_t& pos)
{
    size_t length = Utf8CharLength(text, pos);
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    char32_t code;
    switch (length) {
    case 2: code = (byte(0) & 0x1Fu) << 6 | (byte(1) & 0x3Fu); break;
    case 3: code = (byte(0) & 0x0Fu) << 12 | (byte(1) & 0x3Fu) << 6 | (byte(2) & 0x3Fu); break;
    case 4:
        code = (byte(0) & 0x07u) << 18 | (byte(1) & 0x3Fu) << 12 | (byte(2) & 0x3Fu) << 6 |
               (byte(3) & 0x3Fu);
        break;
    default: code = byte(0) < 0x80 ? byte(0) : kReplacement; break;
    }
    pos += length;
    return code;
}

void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | code >> 6));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | code >> 12));
        out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | code >> 18));
        out.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

void appendUnit(std::string& out, uint16_t unit, bool bigEndian)
{
    char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    out.push_back(bigEndian ? high : low);
    out.push_back(bigEndian ? low : high);
}

}  // namespace

size_t Utf8CharLength(std::string_view text, size_t pos)
{
    auto lead = static_cast<unsigned char>(text[pos]);
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;  // no overlong forms
        if (lead == 0xED)
            high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 1;
    }
    if (text.size() - pos < length)
        return 1;
    auto second = static_cast<unsigned char>(text[pos + 1]);
    if (second < low || second > high)
        return 1;
    for (size_t i = 2; i < length; ++i) {
        if (!isContinuation(static_cast<unsigned char>(text[pos + i])))
            return 1;
    }
    return length;
}

char32_t DecodeUtf8Char(std::string_view text, size_t& pos) { return decodeUtf8(text, pos); }

std::string Utf16BytesToUtf8(std::string_view bytes, bool bigEndian)
{
    auto unitAt = [&](size_t i) {
        auto first = static_cast<unsigned char>(bytes[i]), second = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<uint16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    };
    std::string out;
    out.reserve(bytes.size());
    size_t pos = 0;
    while (pos + 1 < bytes.size()) {
        uint16_t unit = unitAt(pos);
        pos += 2;
        if (unit >= 0xD800 && unit <= 0xDBFF && pos + 1 < bytes.size()) {
            uint16_t next = unitAt(pos);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                pos += 2;
                appendUtf8(out, 0x10000 + ((unit - 0xD800u) << 10 | (next - 0xDC00u)));
                continue;
            }
        }
        appendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
    }
    if (pos < bytes.size())
        appendUtf8(out, kReplacement);
    return out;
}

std::string Utf8ToUtf16Bytes(std::string_view utf8, bool bigEndian)
{
    std::string out;
    out.reserve(utf8.size() * 2);
    size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t code = decodeUtf8(utf8, pos);
        if (code >= 0x10000) {
            code -= 0x10000;
            appendUnit(out, static_cast<uint16_t>(0xD800 + (code >> 10)), bigEndian);
            appendUnit(out, static_cast<uint16_t>(0xDC00 + (code & 0x3FF)), bigEndian);
        } else {
            appendUnit(out, static_cast<uint16_t>(code), bigEndian);
        }
    }
    return out;
}

}  // namespace pap
