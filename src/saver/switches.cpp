#include "saver/switches.h"

#include <algorithm>

#include "base/code_page.h"
#include "base/conversions.h"

namespace pap {

std::string ModeLetter(std::string_view commandLine)
{
    if (commandLine.empty())
        return "";
    const size_t second = std::min(AnsiCharLength(commandLine, 0), commandLine.size());
    if (second >= commandLine.size())
        return "";
    const size_t length = std::min(AnsiCharLength(commandLine, second), commandLine.size() - second);
    return UpperCase(commandLine.substr(second, length));
}

int32_t PreviewHandle(std::string_view commandLine)
{
    // The fourth character on: three characters of the code page are skipped.
    size_t at = 0;
    for (int i = 0; i < 3 && at < commandLine.size(); ++i)
        at += std::max<size_t>(1, AnsiCharLength(commandLine, at));
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
