// Fixed paths on Linux. The work directory lives in the user's runtime directory when that is a real
// directory of the user's own, else in /tmp under a name that carries the uid. A symbolic link or a
// directory of someone else is never used, so another user cannot point the snapshot elsewhere.
// The settings file lives in the user's configuration directory, since an installed program's
// directory is not the user's to write.

#include "platform/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/program_info.h"

namespace pap {

namespace {

bool isOwnDirectory(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid();
}

std::string withoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string homeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir && entry->pw_dir[0] == '/')
        return entry->pw_dir;
    return {};
}

// The path and each missing parent, made with access for the user only.
void makeDirectories(const std::string& path)
{
    if (mkdir(path.c_str(), 0700) == 0 || errno == EEXIST)
        return;
    if (errno != ENOENT)
        return;
    size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return;
    makeDirectories(path.substr(0, slash));
    mkdir(path.c_str(), 0700);
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

std::string SettingsDirectory()
{
    auto below = [](const std::string& directory, const char* name) {
        std::string base = withoutTrailingSlashes(directory);
        return (base == "/" ? "" : base) + "/" + name;
    };
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        return below(config, "papyrant");
    if (std::string home = homeDirectory(); !home.empty())
        return below(below(home, ".config"), "papyrant");
    return ProgramDirectory();  // no home at all: a system account, where nothing better exists
}

std::string SettingsDirectoryForWriting()
{
    std::string directory = SettingsDirectory();
    makeDirectories(directory);
    return directory;
}

}  // namespace pap
