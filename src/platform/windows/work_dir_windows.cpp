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

}  // namespace pap
