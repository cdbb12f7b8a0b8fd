// Program data on Linux: the arguments recorded by main, and the directory of /proc/self/exe.

#include "platform/program_info.h"

#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string_view>

namespace pap {

namespace {

std::string& recordedCommandLine()
{
    static std::string commandLine;
    return commandLine;
}

std::string& recordedProgramName()
{
    static std::string name;
    return name;
}

std::string directoryPart(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string currentDirectory()
{
    char buffer[PATH_MAX];
    if (getcwd(buffer, sizeof buffer))
        return buffer;
    return "/";
}

}  // namespace

void SetCommandLineArguments(int argc, const char* const* argv)
{
    std::string joined;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            joined.push_back(' ');
        joined += argv[i];
    }
    recordedCommandLine() = joined;
    recordedProgramName() = argc > 0 && argv[0] ? argv[0] : "";
}

std::string CommandLine() { return recordedCommandLine(); }

HackMode ProgramHackMode()
{
    const char* window = std::getenv("XSCREENSAVER_WINDOW");
    return HackModeOf(recordedCommandLine(),
                      window ? std::optional<std::string_view>(window) : std::optional<std::string_view>());
}

std::string ProgramDirectory()
{
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length > 0) {
        std::string path(buffer, static_cast<size_t>(length));
        // The kernel marks a program file deleted since it started; its directory is still the one.
        constexpr std::string_view kDeleted = " (deleted)";
        if (path.size() > kDeleted.size() && path.ends_with(kDeleted))
            path.resize(path.size() - kDeleted.size());
        std::string directory = directoryPart(path);
        if (!directory.empty())
            return directory;
    }
    // Without /proc: the name the program was started by, made absolute.
    const std::string& name = recordedProgramName();
    if (name.find('/') != std::string::npos) {
        char resolved[PATH_MAX];
        if (realpath(name.c_str(), resolved))
            return directoryPart(resolved);
    }
    return currentDirectory();
}

}  // namespace pap
