#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pap {

// Creates one directory; its parent must exist. False when it exists already or cannot be made.
bool MakeDirectory(const std::string& path);

// Removes an empty directory. False when it is not empty, missing, or a symbolic link (Windows: any
// reparse point).
bool RemoveEmptyDirectory(const std::string& path);

// Deletes the files of one directory whose names match the wildcard pattern that ends the path
// ("C:\pap_tmp\*.*"; '*' and '?' as in base/wildcard.h on Linux, the platform's own matching on
// Windows). Directories are neither deleted nor searched. The directory is not opened when it is a
// symbolic link (Windows: any reparse point, a junction too), and a symbolic link among the matches
// is removed itself, never what it points to. True when at least one file matched and every match
// was deleted.
bool DeleteMatchingFiles(const std::string& pattern);

// True when something (a file, a directory, a link) exists at the path.
bool PathExists(const std::string& path);

// True when the path names a regular file that can be opened for reading; false for a directory,
// a device, a missing file or one without read access.
bool CanOpenForReading(const std::string& path);

// The whole content of a regular file; empty when it cannot be read or is larger than maxBytes.
std::optional<std::string> ReadWholeFile(const std::string& path, size_t maxBytes);

// The line ending of the text files this platform writes: "\r\n" on Windows, "\n" on Linux.
std::string_view TextLineEnding();

// Replaces the content of a regular file, creating it when missing. False when the file cannot be
// opened or not all bytes were written.
bool WriteWholeFile(const std::string& path, std::string_view bytes);

// What ReplaceWholeFile keeps of the file it replaces.
enum class Replacing {
    // A file of the user's, such as the settings: it keeps its permissions (Linux: mode and owner;
    // Windows: attributes and security), a symbolic link at the path is followed and stays a link,
    // and the new content is flushed to disk before it takes the old one's place.
    KeepFile,
    // A file in a private directory, such as the snapshot: whatever holds the name, a link or a file
    // somebody planted, is replaced by a new file (Linux: readable by the user only), never written
    // through.
    NewPrivateFile,
};

// Replaces the content of a file in one step, creating it when missing: the new content is written
// to a file beside it, which then takes the old name, so that a crash or a full disk leaves either
// the old content or the new one, never a part. False, with what held the name untouched and nothing
// left beside it, when anything fails.
bool ReplaceWholeFile(const std::string& path, std::string_view bytes, Replacing how = Replacing::KeepFile);

}  // namespace pap
