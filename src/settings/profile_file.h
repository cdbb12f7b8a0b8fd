#pragma once

// One key of a profile file on disk, read and written as the platform's profile functions do (the
// text rules are those of settings/ini_file.h). Names and values are UTF-8.
//
// A file that begins with a byte-order mark (UTF-16 little or big endian, or UTF-8) is a Unicode
// file: it is read in that encoding and written back in it, mark included. Any other file is in
// the system's ANSI code page (base/code_page.h): names and values are converted at this boundary,
// and a new file is written in it. Lines added end with the platform's line ending.

#include <cstddef>
#include <string>
#include <string_view>

namespace pap {

// The value of key in section of the file at path, at most maxAnsiBytes bytes long in the ANSI code
// page (cut without splitting a character); empty when the file, the section or the key is missing.
std::string ReadProfileString(std::string_view section, std::string_view key, const std::string& path,
                              size_t maxAnsiBytes);

// Sets key in section of the file at path to value, creating the file, the section and the key as
// needed. False when the file cannot be read or written or the names or value cannot be stored.
bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path);

}  // namespace pap
