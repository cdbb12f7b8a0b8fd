#pragma once

#include <optional>

namespace pap {

// The value of Xft.dpi in an X resource manager string (the RESOURCE_MANAGER property, as
// XResourceManagerString returns it). Empty when the string is missing or holds no positive number
// for the resource.
std::optional<double> XftDpiFromResources(const char* resourceManagerString);

}  // namespace pap
