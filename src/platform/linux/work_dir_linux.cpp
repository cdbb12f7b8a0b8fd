// The private work directory on Linux. The checks run on a descriptor opened without following a
// symbolic link, so the directory that was checked is the one whose mode is set; a path somebody
// else prepared (a link, or a directory of theirs) is refused and nothing is written through it.

#include "platform/work_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/paths.h"

namespace pap {

namespace {

// The directory at the path, opened without following a link; -1 when it is none.
int openDirectoryNoFollow(const std::string& path)
{
    return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool isOwnDirectory(int fd, struct stat& info)
{
    return fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid();
}

}  // namespace

bool EnsurePrivateDirectory(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    int fd = openDirectoryNoFollow(path);
    if (fd < 0)
        return false;
    struct stat info {};
    bool usable = isOwnDirectory(fd, info);
    // The umask may have taken bits from a new directory, and an old one may be open to others.
    if (usable && (info.st_mode & 07777) != 0700)
        usable = fchmod(fd, 0700) == 0;
    ::close(fd);
    return usable;
}

bool IsPrivateDirectory(const std::string& path)
{
    int fd = openDirectoryNoFollow(path);
    if (fd < 0)
        return false;
    struct stat info {};
    const bool own = isOwnDirectory(fd, info);
    ::close(fd);
    return own;
}

bool EnsureWorkDirectory() { return EnsurePrivateDirectory(WorkDirectory()); }

}  // namespace pap
