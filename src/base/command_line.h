#pragma once

#include <string_view>

namespace pap {

// A Windows command line without the program's name, as the platform's start-up code splits it: a
// name that begins with a quote runs to the next quote (or the end), any other name to the first
// blank or tab; the blanks and tabs after the name are dropped too.
std::string_view SkipProgramName(std::string_view commandLine);

}  // namespace pap
