#pragma once

namespace pap {

// The saver program over this platform's window system, audio, files and processes: Main, then the
// event loop until the program ends. Its exit code; 1 when there is no window system to run on.
int SaverMain();

}  // namespace pap
