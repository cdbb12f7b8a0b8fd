// MappedFile over CreateFileA, CreateFileMappingA and MapViewOfFile. Windows refuses to map an empty
// file (CreateFileMappingA fails with ERROR_FILE_INVALID), so open() fails for one.

#include <windows.h>

#include "platform/mapped_file.h"

namespace pap {
namespace {

class MappedFileWin32 final : public MappedFile {
public:
    MappedFileWin32(HANDLE file, HANDLE mapping, const void* view, size_t size)
        : m_file(file), m_mapping(mapping), m_view(view), m_size(size)
    {
    }
    ~MappedFileWin32() override
    {
        UnmapViewOfFile(m_view);
        CloseHandle(m_mapping);
        CloseHandle(m_file);
    }
    MappedFileWin32(const MappedFileWin32&) = delete;
    MappedFileWin32& operator=(const MappedFileWin32&) = delete;

    const uint8_t* data() const override { return static_cast<const uint8_t*>(m_view); }
    size_t size() const override { return m_size; }

private:
    HANDLE m_file;
    HANDLE m_mapping;
    const void* m_view;
    size_t m_size;
};

}  // namespace

std::unique_ptr<MappedFile> MappedFile::open(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        CloseHandle(file);
        return nullptr;
    }
    // A 32-bit program cannot view a file larger than its address space whole.
    if constexpr (sizeof(size_t) < sizeof(size.QuadPart)) {
        if (static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX) {
            CloseHandle(file);
            return nullptr;
        }
    }
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping) {
        CloseHandle(file);
        return nullptr;
    }
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    if (!view) {
        CloseHandle(mapping);
        CloseHandle(file);
        return nullptr;
    }
    return std::make_unique<MappedFileWin32>(file, mapping, view, static_cast<size_t>(size.QuadPart));
}

}  // namespace pap
