// Program data on Windows: GetCommandLineW without the program's name, and the directory of
// GetModuleFileNameW. The wide functions keep names the ANSI code page cannot hold.

#include <windows.h>

#include "base/command_line.h"
#include "platform/program_info.h"
#include "wide_text.h"

namespace pap {

void SetCommandLineArguments(int, const char* const*) {}

HackMode ProgramHackMode() { return {}; }

std::string CommandLine()
{
    std::string commandLine = Utf8FromWide(GetCommandLineW());
    return std::string(SkipProgramName(commandLine));
}

std::string ProgramDirectory()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos)
        return {};
    // A drive root keeps its separator ("C:\"); any other directory loses it.
    if (separator == 2 && path[1] == L':')
        return Utf8FromWide(path.substr(0, 3));
    return Utf8FromWide(path.substr(0, separator));
}

}  // namespace pap
