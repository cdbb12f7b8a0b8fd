#pragma once

// The text of a profile ("ini") file, read and edited as the Windows profile functions
// (GetPrivateProfileString, WritePrivateProfileString) do for any file a user or an older program
// may have left. Pure functions over bytes; the caller reads and writes the file and converts
// texts (settings/profile_file.h).
//
// Reading:
// - Lines end at LF, CR LF or a lone CR. Blanks (space, tab, VT, FF, ^Z) at either end of a line,
//   of a name or of a value do not count.
// - A line that begins with '[' and holds a ']' starts a section, named by the text between the
//   '[' and the last ']'; anything after that ']' is ignored. Every other line that is not blank is
//   a key: the name before the first '=' and the value after it, or a name alone with no value.
//   Comment lines (';') are keys whose names nobody asks for. Lines before the first section
//   belong to no section.
// - Section and key names compare without regard to ASCII letter case, character by character:
//   the trail byte of a two-byte character is never taken for a letter or a ']'.
// - Only the first section of a name is searched, and the first key of a name within it.
// - A value ends at a NUL byte; one pair of matching quotes (" or ') around it is removed.
//
// Writing replaces the value of the first key of the name in place (the line becomes name=value),
// adds a missing key after the last line of its section that is not blank, and a missing section
// with its key at the end of the file. Every other byte of the file stays as it was: other
// sections, keys, comments, blank lines and line endings. New lines end with the given line ending.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pap {

// Byte length of the character that starts at text[pos] in the text's encoding (1 or more).
using CharLength = size_t (*)(std::string_view text, size_t pos);

// The value of key in section, as the profile functions return it; empty when the section or the
// key is missing, when the key has no '=', or when a name is empty.
std::optional<std::string> IniLookup(std::string_view text, std::string_view section, std::string_view key,
                                     CharLength charLength);

// The text with key in section set to value. Empty when the names or the value cannot be stored:
// an empty name, a CR, LF or NUL anywhere, a key with '=' or beginning with '[', a section name
// that ends in the lead byte of a two-byte character (its ']' would be read as the trail byte).
// The text comes
// back unchanged when the key already holds exactly that value.
std::optional<std::string> IniUpdate(std::string_view text, std::string_view section, std::string_view key,
                                     std::string_view value, CharLength charLength, std::string_view lineEnding);

// The longest start of text of at most maxBytes bytes that does not split a character.
std::string_view CutToLength(std::string_view text, size_t maxBytes, CharLength charLength);

}  // namespace pap
