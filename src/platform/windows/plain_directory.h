#pragma once

// A directory opened as itself: never through a junction, a symbolic link or another reparse point.

#include <windows.h>

#include <string>

namespace pap {

// A handle (READ_CONTROL, attributes) of the directory at the path, or INVALID_HANDLE_VALUE when the
// path is missing, no directory, or a reparse point. The path's own attributes are read by name as
// well as through the handle: Windows opens the reparse point itself and shows its attribute there,
// while Wine marks a Unix symbolic link to a directory only in the attributes read by name. The
// handle does not share deletion, so while it is open the directory cannot be renamed or replaced.
inline HANDLE OpenPlainDirectory(const std::wstring& path)
{
    const DWORD byName = GetFileAttributesW(path.c_str());
    if (byName == INVALID_FILE_ATTRIBUTES || !(byName & FILE_ATTRIBUTE_DIRECTORY) ||
        (byName & FILE_ATTRIBUTE_REPARSE_POINT))
        return INVALID_HANDLE_VALUE;
    HANDLE directory = CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (directory == INVALID_HANDLE_VALUE)
        return directory;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(directory, FileAttributeTagInfo, &tag, sizeof tag) ||
        !(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(directory);
        return INVALID_HANDLE_VALUE;
    }
    return directory;
}

}  // namespace pap
