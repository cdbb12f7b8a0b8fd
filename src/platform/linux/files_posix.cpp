// Files on POSIX. Every open is O_CLOEXEC so that started programs inherit no descriptor. Files are
// opened O_NONBLOCK so that a FIFO in the way cannot block the program; only regular files are
// read or written. Wildcard deletion works on a directory descriptor opened without following a
// symbolic link, so every unlink happens in the directory that was checked.

#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "base/wildcard.h"

namespace pap {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release()
    {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

bool isRegularFile(int fd)
{
    struct stat info {};
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// Writes all bytes, retrying after interruptions.
bool writeAll(int fd, std::string_view bytes)
{
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += static_cast<size_t>(count);
    }
    return true;
}

}  // namespace

bool MakeDirectory(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0; }

bool RemoveEmptyDirectory(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

bool DeleteMatchingFiles(const std::string& pattern)
{
    size_t slash = pattern.rfind('/');
    std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : pattern.substr(0, slash);
    std::string namePattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);

    FileDescriptor directoryFd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!directoryFd.valid())
        return false;
    // fdopendir takes the descriptor; a duplicate stays ours for the unlinks.
    FileDescriptor listFd(::dup(directoryFd.get()));
    if (!listFd.valid())
        return false;
    DIR* listing = fdopendir(listFd.get());
    if (!listing)
        return false;
    listFd.release();

    // Collect first: entries removed while the directory is being read may or may not be listed.
    std::vector<std::string> matches;
    while (dirent* entry = readdir(listing)) {
        std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        if (WildcardMatch(namePattern, name))
            matches.emplace_back(name);
    }
    closedir(listing);

    size_t deleted = 0, files = 0;
    for (const std::string& name : matches) {
        struct stat info {};
        if (fstatat(directoryFd.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(info.st_mode))
            continue;
        ++files;
        if (unlinkat(directoryFd.get(), name.c_str(), 0) == 0)
            ++deleted;
    }
    return files > 0 && deleted == files;
}

bool PathExists(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool CanOpenForReading(const std::string& path)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    return fd.valid() && isRegularFile(fd.get());
}

std::optional<std::string> ReadWholeFile(const std::string& path, size_t maxBytes)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (!fd.valid() || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<unsigned long long>(info.st_size) > maxBytes)
        return std::nullopt;
    std::string content;
    char buffer[16384];
    for (;;) {
        ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            break;
        if (content.size() + static_cast<size_t>(count) > maxBytes)
            return std::nullopt;  // the file grew while being read
        content.append(buffer, static_cast<size_t>(count));
    }
    return content;
}

std::string_view TextLineEnding() { return "\n"; }

bool WriteWholeFile(const std::string& path, std::string_view bytes)
{
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
    if (!fd.valid() || !isRegularFile(fd.get()) || ftruncate(fd.get(), 0) != 0 || !writeAll(fd.get(), bytes))
        return false;
    return ::close(fd.release()) == 0;
}

bool ReplaceWholeFile(const std::string& path, std::string_view bytes, Replacing how)
{
    const bool keep = how == Replacing::KeepFile;
    std::string target = path;
    struct stat old {};
    bool exists = keep && ::lstat(path.c_str(), &old) == 0;
    if (exists && S_ISLNK(old.st_mode)) {
        // A link is followed once, so that a settings file kept elsewhere stays where the link points.
        char* resolved = ::realpath(path.c_str(), nullptr);
        if (!resolved)
            return false;
        target = resolved;
        std::free(resolved);
        exists = ::lstat(target.c_str(), &old) == 0;
    }
    if (exists && !S_ISREG(old.st_mode))
        return false;

    // mkostemp creates the new file exclusively (never through a link), readable by the user only.
    std::string temporary = target + ".XXXXXX";
    FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid())
        return false;
    bool ok = true;
    if (exists) {
        ok = ::fchmod(fd.get(), old.st_mode & 07777) == 0;
        // Only a privileged writer can give the file back to its owner; anyone else owns it already.
        if (ok && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
            (void)::fchown(fd.get(), old.st_uid, old.st_gid);
    } else if (keep) {
        // A new file of the user's gets the mode an ordinary create would give it.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ok = ::fchmod(fd.get(), 0666 & ~mask) == 0;
    }
    ok = ok && writeAll(fd.get(), bytes) && (!keep || ::fsync(fd.get()) == 0);
    ok = ::close(fd.release()) == 0 && ok;
    // rename replaces whatever holds the name, a link itself rather than its target, in one step.
    if (ok && ::rename(temporary.c_str(), target.c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}

}  // namespace pap
