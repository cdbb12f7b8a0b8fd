#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pap {

// Texts are UTF-8 inside the program. Texts that cross the platform boundary through the ANSI
// functions (profile files, window titles, MCI strings) are in the system's ANSI code page: the
// code page of the Windows system (932 on a Japanese one), UTF-8 on Linux. Implemented per platform
// in platform/<os>/code_page_*.cpp.

// The number of the ANSI code page: GetACP() on Windows (932 on a Japanese system, 1252 on a
// Western one), 65001 (UTF-8) on Linux.
unsigned AnsiCodePage();

// UTF-8 to the ANSI code page; characters the code page lacks become its default character ('?').
std::string ToAnsi(std::string_view utf8);

// The ANSI code page to UTF-8.
std::string FromAnsi(std::string_view ansi);

// Byte length of the character that starts at text[pos] (pos < text.size()) in the ANSI code page:
// 2 for a lead byte followed by a trail byte in a double-byte code page, the sequence length for
// UTF-8, else 1.
size_t AnsiCharLength(std::string_view text, size_t pos);

}  // namespace pap
