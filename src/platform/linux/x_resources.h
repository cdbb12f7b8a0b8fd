#pragma once

#include <optional>

#include "platform/screen_info.h"

struct _XDisplay;

namespace pap {

// The value of Xft.dpi in an X resource manager string (the RESOURCE_MANAGER property, as
// XResourceManagerString returns it). Empty when the string is missing or holds no positive number
// for the resource.
std::optional<double> XftDpiFromResources(const char* resourceManagerString);

// The default screen of an open display: its size, and twips per pixel from Xft.dpi (96 without it).
ScreenMetrics ScreenMetricsOf(_XDisplay* display);

}  // namespace pap
