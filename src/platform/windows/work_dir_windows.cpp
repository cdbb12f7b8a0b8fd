// The work directory on Windows: created when missing; a junction or directory symbolic link in its
// place is not used, so the snapshot and its deletion stay inside the real directory.

#include <windows.h>

#include "platform/paths.h"
#include "platform/work_dir.h"
#include "wide_text.h"

namespace pap {

bool EnsurePrivateDirectory(const std::string& path)
{
    std::wstring widePath = WideFromUtf8(path);
    CreateDirectoryW(widePath.c_str(), nullptr);
    DWORD attributes = GetFileAttributesW(widePath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool EnsureWorkDirectory() { return EnsurePrivateDirectory(WorkDirectory()); }

}  // namespace pap
