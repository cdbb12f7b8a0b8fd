// ANSI code page conversions through UTF-16 (MultiByteToWideChar / WideCharToMultiByte with CP_ACP).
// A system that runs with UTF-8 as its ANSI code page needs no conversion.

#include <windows.h>

#include "base/code_page.h"
#include "base/utf.h"
#include "wide_text.h"

namespace pap {

namespace {

bool ansiIsUtf8() { return GetACP() == CP_UTF8; }

}  // namespace

unsigned AnsiCodePage() { return GetACP(); }

std::string ToAnsi(std::string_view utf8)
{
    if (utf8.empty() || ansiIsUtf8())
        return std::string(utf8);
    std::wstring wide = WideFromUtf8(utf8);
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string ansi(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), length, nullptr,
                        nullptr);
    return ansi;
}

std::string FromAnsi(std::string_view ansi)
{
    if (ansi.empty() || ansiIsUtf8())
        return std::string(ansi);
    int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), length);
    return Utf8FromWide(wide);
}

size_t AnsiCharLength(std::string_view text, size_t pos)
{
    if (ansiIsUtf8())
        return Utf8CharLength(text, pos);
    // Every double-byte code page takes its trail bytes from 0x40 up, so a lead byte never swallows a
    // line break, a blank, '=' or a quote.
    auto lead = static_cast<BYTE>(text[pos]);
    if (pos + 1 < text.size() && IsDBCSLeadByteEx(CP_ACP, lead) && static_cast<BYTE>(text[pos + 1]) >= 0x40)
        return 2;
    return 1;
}

}  // namespace pap
