// Files on Windows through the wide functions, so that any path the file system holds works; paths
// arrive in UTF-8. Wildcards are matched by FindFirstFileExW, as the platform's own commands do; a
// directory that is a reparse point is never searched for files to delete.

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/files.h"
#include "plain_directory.h"
#include "wide_text.h"

namespace pap {

namespace {

class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle()
    {
        if (valid())
            CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    void reset(HANDLE handle)
    {
        if (valid())
            CloseHandle(m_handle);
        m_handle = handle;
    }

    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }

private:
    HANDLE m_handle;
};

// Opens an existing file on disk (not a device such as CON) for reading.
HANDLE openForReading(const std::string& path)
{
    HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE && GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

}  // namespace

bool MakeDirectory(const std::string& path) { return CreateDirectoryW(WideFromUtf8(path).c_str(), nullptr) != 0; }

bool RemoveEmptyDirectory(const std::string& path)
{
    // Windows removes a junction itself, but Wine removes the empty directory a Unix symbolic link
    // points to: a reparse point is left alone.
    const std::wstring widePath = WideFromUtf8(path);
    const DWORD attributes = GetFileAttributesW(widePath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    return RemoveDirectoryW(widePath.c_str()) != 0;
}

bool DeleteMatchingFiles(const std::string& pattern)
{
    std::wstring widePattern = WideFromUtf8(pattern);
    size_t separator = widePattern.find_last_of(L"\\/:");
    std::wstring directory = separator == std::wstring::npos ? L"" : widePattern.substr(0, separator + 1);
    // A directory that is a junction or a symbolic link is not searched: its files belong to another
    // directory. The handle kept open meanwhile stops the directory from being swapped for one.
    Handle checked(INVALID_HANDLE_VALUE);
    if (separator != std::wstring::npos && widePattern[separator] != L':') {
        const std::wstring path = directory.substr(0, directory.size() - 1);
        if (!path.empty() && path.back() != L':') {
            checked.reset(OpenPlainDirectory(path));
            if (!checked.valid())
                return false;
        }
    }

    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(widePattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                     nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    // Collect first, then delete, so that the search never sees its own deletions.
    std::vector<std::wstring> files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back(directory + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);

    size_t deleted = 0;
    for (const std::wstring& file : files) {
        if (DeleteFileW(file.c_str()))
            ++deleted;
    }
    return !files.empty() && deleted == files.size();
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CanOpenForReading(const std::string& path)
{
    Handle file(openForReading(path));
    return file.valid();
}

std::optional<std::string> ReadWholeFile(const std::string& path, size_t maxBytes)
{
    Handle file(openForReading(path));
    LARGE_INTEGER size{};
    if (!file.valid() || !GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > maxBytes)
        return std::nullopt;
    std::string content(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < content.size()) {
        DWORD count = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1u << 20));
        if (!ReadFile(file.get(), content.data() + done, want, &count, nullptr))
            return std::nullopt;
        if (count == 0)
            break;
        done += count;
    }
    content.resize(done);
    return content;
}

std::string_view TextLineEnding() { return "\r\n"; }

bool WriteWholeFile(const std::string& path, std::string_view bytes)
{
    // OPEN_ALWAYS and SetEndOfFile instead of CREATE_ALWAYS: the latter fails on a hidden or system
    // file, and replacing the content keeps the file's attributes and security.
    Handle file(CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD count = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(file.get(), bytes.data() + done, want, &count, nullptr) || count == 0)
            return false;
        done += count;
    }
    return SetEndOfFile(file.get()) != 0;
}

bool ReplaceWholeFile(const std::string& path, std::string_view bytes, Replacing how)
{
    const bool keep = how == Replacing::KeepFile;
    std::wstring widePath = WideFromUtf8(path);
    const DWORD attributes = keep ? GetFileAttributesW(widePath.c_str()) : INVALID_FILE_ATTRIBUTES;
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;

    // GetTempFileNameW creates the new file in the same directory under a name nobody else holds, so
    // that it can take the old file's place in one step.
    size_t separator = widePath.find_last_of(L"\\/:");
    std::wstring directory = separator == std::wstring::npos ? L"." : widePath.substr(0, separator + 1);
    wchar_t temporary[MAX_PATH + 16] = {};
    if (directory.size() > MAX_PATH - 14 || !GetTempFileNameW(directory.c_str(), L"pap", 0, temporary))
        return false;

    bool ok = false;
    {
        Handle file(CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (file.valid()) {
            size_t done = 0;
            ok = true;
            while (ok && done < bytes.size()) {
                DWORD count = 0;
                DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
                ok = WriteFile(file.get(), bytes.data() + done, want, &count, nullptr) && count != 0;
                done += count;
            }
            ok = ok && (!keep || FlushFileBuffers(file.get()));
        }
    }
    // The old file's attributes go to the new one (not every ReplaceFileW carries them over);
    // ReplaceFileW keeps its security, and a new file takes the directory's.
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (ok && exists && (attributes & kKept))
        ok = SetFileAttributesW(temporary, attributes & kKept);
    if (ok && exists)
        ok = ReplaceFileW(widePath.c_str(), temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    else if (ok)
        // The move replaces whatever holds the name, a symbolic link itself rather than its target.
        ok = MoveFileExW(temporary, widePath.c_str(), MOVEFILE_REPLACE_EXISTING | (keep ? MOVEFILE_WRITE_THROUGH : 0));
    if (!ok)
        DeleteFileW(temporary);
    return ok;
}

}  // namespace pap
