// Fixed paths on Linux. The work directory lives in the user's runtime directory when that is a real
// directory of the user's own, else in /tmp under a name that carries the uid. A symbolic link or a
// directory of someone else is never used, so another user cannot point the snapshot elsewhere.

#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace pap {

namespace {

bool isOwnDirectory(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid();
}

}  // namespace

char PathSeparator() { return '/'; }

std::string WorkDirectory()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
        std::string directory = runtime;
        while (directory.size() > 1 && directory.back() == '/')
            directory.pop_back();
        if (isOwnDirectory(directory))
            return directory == "/" ? "/pap_tmp" : directory + "/pap_tmp";
    }
    return "/tmp/pap_tmp-" + std::to_string(getuid());
}

std::string SnapshotPath() { return WorkDirectory() + "/Papyrant.bmp"; }

}  // namespace pap
