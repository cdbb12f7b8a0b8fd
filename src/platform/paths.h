#pragma once

#include <string>

namespace pap {

// The separator of path components on this platform ('\\' on Windows, '/' on Linux).
char PathSeparator();

// The fixed work directory that holds the desktop snapshot during a saver run:
// "C:\pap_tmp" on Windows; on Linux "$XDG_RUNTIME_DIR/pap_tmp" when that runtime directory is the
// user's own, else "/tmp/pap_tmp-<uid>".
std::string WorkDirectory();

// The snapshot bitmap inside the work directory ("Papyrant.bmp").
std::string SnapshotPath();

// The directory of the settings file. Windows: the program's directory. Linux: the user's
// "$XDG_CONFIG_HOME/papyrant", or "$HOME/.config/papyrant" when XDG_CONFIG_HOME is unset or not an
// absolute path; the directory may not exist yet.
std::string SettingsDirectory();

// SettingsDirectory, created first with any missing parents when it does not exist (Linux: with
// access for the user only), so that the first save finds it. A directory that cannot be made is
// still returned; writing into it then fails as any write does.
std::string SettingsDirectoryForWriting();

}  // namespace pap
