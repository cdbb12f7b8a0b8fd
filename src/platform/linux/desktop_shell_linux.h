#pragma once

// Helpers of the Linux desktop services, apart for their tests.

#include <string>
#include <string_view>
#include <vector>

namespace pap {

// The ';'-separated patterns of an open-file filter ("*.MP3;*.WAV"), blanks around each removed, empty
// ones left out, each made to match in any letter case as a shell glob: "*.[mM][pP]3". Bracket
// expressions already in a pattern are kept as they stand.
std::vector<std::string> AnyCaseGlobs(std::string_view patterns);

}  // namespace pap
