#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pap {

// Byte length of the UTF-8 character that starts at text[pos] (pos < text.size()): 2 to 4 for a
// well-formed multi-byte sequence, else 1 (ASCII, or a byte that starts no valid sequence).
size_t Utf8CharLength(std::string_view text, size_t pos);

// The character that starts at text[pos] (pos < text.size()); advances pos past it. A byte that starts
// no valid sequence is U+FFFD and advances by one.
char32_t DecodeUtf8Char(std::string_view text, size_t& pos);

// UTF-16 code units stored as bytes (little or big endian) to UTF-8. Unpaired surrogates and an odd
// last byte become U+FFFD.
std::string Utf16BytesToUtf8(std::string_view bytes, bool bigEndian);

// UTF-8 to UTF-16 code units stored as bytes. Bytes that start no valid sequence become U+FFFD.
std::string Utf8ToUtf16Bytes(std::string_view utf8, bool bigEndian);

}  // namespace pap
