// The work directory on Windows: created when missing; a reparse point (junction, symbolic link) in
// its place, or a directory somebody else made first, is not used, so the snapshot and its deletion
// stay inside a real directory of the user's own.

#include <windows.h>

#include <aclapi.h>

#include <algorithm>
#include <string_view>

#include "platform/paths.h"
#include "platform/work_dir.h"
#include "plain_directory.h"
#include "wide_text.h"

namespace pap {

namespace {

// The token's user and its default owner for new objects (the administrators when elevated).
bool ownedByTokenOf(PSID owner)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    bool same = false;
    alignas(TOKEN_USER) char buffer[256];
    DWORD size = 0;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size))
        same = EqualSid(owner, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
    if (!same && GetTokenInformation(token, TokenOwner, buffer, sizeof buffer, &size))
        same = EqualSid(owner, reinterpret_cast<TOKEN_OWNER*>(buffer)->Owner);
    CloseHandle(token);
    return same;
}

// Another user cannot have made the directory when its owner is the user, the system or the
// administrators (who own what an elevated run of the user made).
bool ownedByUser(HANDLE directory)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(directory, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    const bool trusted = owner && (ownedByTokenOf(owner) || IsWellKnownSid(owner, WinLocalSystemSid) ||
                                   IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
    LocalFree(descriptor);
    return trusted;
}

}  // namespace

bool IsPrivateDirectory(const std::string& path)
{
    HANDLE directory = OpenPlainDirectory(WideFromUtf8(path));
    if (directory == INVALID_HANDLE_VALUE)
        return false;
    const bool own = ownedByUser(directory);
    CloseHandle(directory);
    return own;
}

bool EnsurePrivateDirectory(const std::string& path)
{
    CreateDirectoryW(WideFromUtf8(path).c_str(), nullptr);
    return IsPrivateDirectory(path);
}

bool EnsureWorkDirectory() { return EnsurePrivateDirectory(WorkDirectory()); }

bool ReplaceFileByRename(const std::string& path, std::string_view bytes)
{
    const std::wstring target = WideFromUtf8(path);
    const size_t separator = target.find_last_of(L"\\/");
    const std::wstring directory = separator == std::wstring::npos ? L"." : target.substr(0, separator + 1);
    wchar_t temporary[MAX_PATH + 1] = {};
    // GetTempFileNameW creates the new file under a name nobody else holds.
    if (directory.size() >= MAX_PATH - 14 || !GetTempFileNameW(directory.c_str(), L"pap", 0, temporary))
        return false;
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    bool done = file != INVALID_HANDLE_VALUE;
    size_t written = 0;
    while (done && written < bytes.size()) {
        DWORD count = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1u << 20));
        done = WriteFile(file, bytes.data() + written, want, &count, nullptr) && count != 0;
        written += count;
    }
    if (file != INVALID_HANDLE_VALUE)
        done = CloseHandle(file) && done;
    // The rename replaces whatever holds the name, a symbolic link itself rather than its target.
    done = done && MoveFileExW(temporary, target.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (!done)
        DeleteFileW(temporary);
    return done;
}

}  // namespace pap
