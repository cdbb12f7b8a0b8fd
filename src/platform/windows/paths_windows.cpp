#include "platform/paths.h"

#include "platform/program_info.h"

namespace pap {

char PathSeparator()
{
    return '\\';
}

// Fixed at the root of drive C, the same for every user, wherever the program lies.
std::string WorkDirectory()
{
    return "C:\\pap_tmp";
}

std::string SnapshotPath()
{
    return WorkDirectory() + PathSeparator() + "Papyrant.bmp";
}

// The settings file lies beside the program.
std::string SettingsDirectory()
{
    return ProgramDirectory();
}

std::string SettingsDirectoryForWriting()
{
    return ProgramDirectory();
}

}  // namespace pap
