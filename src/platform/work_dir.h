#pragma once

#include <string>

namespace pap {

// Makes a directory ready for the program's private files: creates it when missing, then checks
// what is there. False when it cannot be used. Linux: created with mode 0700; a symbolic link,
// anything but a directory, or a directory not owned by the effective user is refused, nothing is
// created through it, and a directory of the user's own is restricted to 0700. Windows: a reparse
// point (junction, symbolic link), anything but a directory, or a directory owned by somebody else
// than the user (the token's user or default owner, the administrators, the system) is refused.
bool EnsurePrivateDirectory(const std::string& path);

// The checks of EnsurePrivateDirectory without creating or changing anything: true when the path is
// a directory of the user's own, and no link or reparse point.
bool IsPrivateDirectory(const std::string& path);

// EnsurePrivateDirectory of the work directory (platform/paths.h WorkDirectory()).
bool EnsureWorkDirectory();

}  // namespace pap
