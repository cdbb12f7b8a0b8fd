#pragma once

// The kinds of address the URL reader (platform/url_reader.h) takes.

#include <string>

namespace pap {

// True for an http:// or https:// address (any case).
bool IsHttpAddress(const std::string& address);
// The local path an address names: a file:// URL without its scheme and host ("localhost" or none),
// percent escapes decoded (Windows: "file:///C:/a" is "C:/a"); any other address as it stands.
std::string LocalPathOf(const std::string& address);

}  // namespace pap
