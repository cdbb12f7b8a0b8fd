#pragma once

// The screensaver switches on the saver's command line: the mode letter and the preview pane's handle.
// The command line is UTF-8 on both platforms (Windows: its wide command line converted; Linux: the
// arguments as given), and characters are counted in UTF-8; a byte that starts no UTF-8 sequence
// counts as one character.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ui.h"

namespace pap {

// The mode letter: the second character of the command line in upper case; empty for a command
// line shorter than two characters. Nothing else of the command line counts.
std::string ModeLetter(std::string_view commandLine);

// The preview pane's window handle: the command line from its fourth character on, read as a
// number by numeric prefix and rounded to a signed 32-bit integer; 0 when there is no number or it
// does not fit. "/p 1234" and "/p:1234" both give 1234.
int32_t PreviewHandle(std::string_view commandLine);

// A handle from the command line as a window of the platform.
NativeWindow WindowFromHandle(int32_t handle);

}  // namespace pap
