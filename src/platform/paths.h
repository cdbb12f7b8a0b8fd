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

}  // namespace pap
