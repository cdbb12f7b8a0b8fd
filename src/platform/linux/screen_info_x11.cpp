// Screen metrics on X11: the default screen's size in pixels, and the logical DPI that desktops
// publish as the resource Xft.dpi (96 without it, as toolkits assume).

#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <charconv>
#include <cstring>
#include <mutex>

#include "platform/screen_info.h"
#include "x_resources.h"

namespace pap {

std::optional<double> XftDpiFromResources(const char* resourceManagerString)
{
    if (!resourceManagerString)
        return std::nullopt;
    static std::once_flag initialised;
    std::call_once(initialised, XrmInitialize);
    XrmDatabase database = XrmGetStringDatabase(resourceManagerString);
    if (!database)
        return std::nullopt;
    std::optional<double> dpi;
    char* type = nullptr;
    XrmValue value{};
    if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr && type &&
        std::strcmp(type, "String") == 0) {
        const char* text = value.addr;
        size_t length = strnlen(text, value.size);
        while (length > 0 && (*text == ' ' || *text == '\t')) {
            ++text;
            --length;
        }
        double number = 0;
        auto [end, error] = std::from_chars(text, text + length, number);
        if (error == std::errc() && end != text && number > 0 && number < 10000)
            dpi = number;
    }
    XrmDestroyDatabase(database);
    return dpi;
}

ScreenMetrics ScreenMetricsOf(Display* display)
{
    ScreenMetrics metrics;
    int screen = DefaultScreen(display);
    metrics.widthPixels = DisplayWidth(display, screen);
    metrics.heightPixels = DisplayHeight(display, screen);
    double dpi = XftDpiFromResources(XResourceManagerString(display)).value_or(96.0);
    metrics.twipsPerPixelX = metrics.twipsPerPixelY = TwipsPerPixel(dpi);
    return metrics;
}

std::optional<ScreenMetrics> QueryScreenMetrics()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return std::nullopt;
    ScreenMetrics metrics = ScreenMetricsOf(display);
    XCloseDisplay(display);
    return metrics;
}

}  // namespace pap
