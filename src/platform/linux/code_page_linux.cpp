// The system code page on Linux is UTF-8: the ANSI conversions are the identity.

#include "base/code_page.h"

#include "base/utf.h"

namespace pap {

unsigned AnsiCodePage() { return 65001; }

std::string ToAnsi(std::string_view utf8) { return std::string(utf8); }

std::string FromAnsi(std::string_view ansi) { return std::string(ansi); }

size_t AnsiCharLength(std::string_view text, size_t pos) { return Utf8CharLength(text, pos); }

}  // namespace pap
