// Screen metrics on Windows: GetSystemMetrics for the primary screen's size, GetDeviceCaps of the
// screen for the system DPI.

#include <windows.h>

#include "platform/screen_info.h"

namespace pap {

std::optional<ScreenMetrics> QueryScreenMetrics()
{
    ScreenMetrics metrics;
    metrics.widthPixels = GetSystemMetrics(SM_CXSCREEN);
    metrics.heightPixels = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    if (!screen)
        return std::nullopt;
    metrics.twipsPerPixelX = TwipsPerPixel(GetDeviceCaps(screen, LOGPIXELSX));
    metrics.twipsPerPixelY = TwipsPerPixel(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    return metrics;
}

}  // namespace pap
