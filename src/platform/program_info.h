#pragma once

#include <string>

#include "base/hack_mode.h"

namespace pap {

// Records the program's arguments at start (Linux; Windows reads its own command line). main calls
// it once before anything asks for CommandLine().
void SetCommandLineArguments(int argc, const char* const* argv);

// The command line without the program's name: on Windows the process command line after the name
// (quoted or not) and the blanks that follow it; on Linux the arguments joined by single blanks.
std::string CommandLine();

// What the command line and XSCREENSAVER_WINDOW ask of a program that XScreenSaver may start (Linux);
// always none on Windows, where the screensaver switches alone apply.
HackMode ProgramHackMode();

// The directory the running program lies in, ending in a separator only at the root ("C:\" on
// Windows, "/" on Linux).
std::string ProgramDirectory();

}  // namespace pap
