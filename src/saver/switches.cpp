#include "saver/switches.h"

#include <algorithm>

#include "base/conversions.h"
#include "base/utf.h"

namespace pap {

namespace {

// The byte offset of the character after the one that starts at `at` (a byte that starts no UTF-8
// sequence is a character of its own).
size_t nextCharacter(std::string_view text, size_t at)
{
    return at < text.size() ? at + std::max<size_t>(1, Utf8CharLength(text, at)) : at;
}

}  // namespace

std::string ModeLetter(std::string_view commandLine)
{
    const size_t second = nextCharacter(commandLine, 0);
    if (second >= commandLine.size())
        return "";
    return UpperCase(commandLine.substr(second, nextCharacter(commandLine, second) - second));
}

int32_t PreviewHandle(std::string_view commandLine)
{
    size_t at = 0;
    for (int i = 0; i < 3; ++i)
        at = nextCharacter(commandLine, at);
    if (at >= commandLine.size())
        return 0;
    std::optional<double> number = NumericPrefix(commandLine.substr(at));
    if (!number)
        return 0;
    return RoundToInt32(*number).value_or(0);
}

NativeWindow WindowFromHandle(int32_t handle)
{
    // Window handles are 32-bit values on both platforms (X ids have 29 bits; 64-bit Windows keeps
    // user handles in the low 32 bits).
    return static_cast<NativeWindow>(static_cast<uint32_t>(handle));
}

}  // namespace pap
