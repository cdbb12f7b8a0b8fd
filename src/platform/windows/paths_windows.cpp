#include "platform/paths.h"

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

}  // namespace pap
