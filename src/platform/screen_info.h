#pragma once

#include <optional>

namespace pap {

// The screen as the forms measure it: its size in pixels and the twips (1/1440 inch) per pixel,
// 1440 divided by the logical resolution in dots per inch (15 at 96 DPI).
struct ScreenMetrics {
    int widthPixels = 0;
    int heightPixels = 0;
    double twipsPerPixelX = 15;
    double twipsPerPixelY = 15;
};

// Empty when there is no screen to ask (no X display). Windows: GetSystemMetrics and the system DPI
// (GetDeviceCaps LOGPIXELSX / LOGPIXELSY). Linux: the default screen of the X display and the
// resource Xft.dpi, 96 when it is not set.
std::optional<ScreenMetrics> QueryScreenMetrics();

// 1440 / dpi; 15 (96 DPI) for a resolution that is not positive.
inline double TwipsPerPixel(double dpi) { return dpi > 0 ? 1440.0 / dpi : 15.0; }

}  // namespace pap
