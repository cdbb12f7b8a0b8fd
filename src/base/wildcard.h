#pragma once

#include <string_view>

namespace pap {

// Whether a file name matches a wildcard pattern as the platform's file functions read one: '*'
// matches any run of characters (none included), '?' exactly one character (a UTF-8 sequence counts
// as one); a pattern ending in ".*" also matches the names without an extension, so "*.*" matches
// every name. Letters are compared exactly.
bool WildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace pap
