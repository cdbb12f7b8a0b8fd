// MappedFile on POSIX: open, fstat and a read-only private mmap of the whole file. The descriptor is
// closed once the mapping exists. An empty file, a directory or anything else that is not a regular
// file is not mapped, as Windows cannot map an empty file. A file shortened by another process while
// it is mapped would fault on access; the snapshot is complete before the renderer starts.

#include "platform/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pap {

namespace {

class MappedFilePosix final : public MappedFile {
public:
    MappedFilePosix(void* address, size_t length) : m_address(address), m_size(length) {}
    ~MappedFilePosix() override { munmap(m_address, m_size); }
    MappedFilePosix(const MappedFilePosix&) = delete;
    MappedFilePosix& operator=(const MappedFilePosix&) = delete;

    const uint8_t* data() const override { return static_cast<const uint8_t*>(m_address); }
    size_t size() const override { return m_size; }

private:
    void* m_address;
    size_t m_size;
};

}  // namespace

std::unique_ptr<MappedFile> MappedFile::open(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    void* address = MAP_FAILED;
    size_t length = 0;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        length = static_cast<size_t>(info.st_size);
        address = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
    }
    ::close(fd);
    if (address == MAP_FAILED)
        return nullptr;
    return std::make_unique<MappedFilePosix>(address, length);
}

}  // namespace pap
