// The desktop picture of a program that XScreenSaver runs inside its own window. By then the daemon's
// window covers the screen, so the screen itself shows nothing of the desktop.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "base/hack_mode.h"
#include "x_error_trap.h"
#include "grabbed_desktop_x11.h"

extern char** environ;

namespace pap {

namespace {

// How long the image helper may take: loading a file from the user's image folder can be slow, but a
// helper that hangs must not keep the run from starting.
constexpr auto kHelperTimeout = std::chrono::seconds(8);

uint8_t channel(unsigned long pixel, unsigned long mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    const unsigned long max = mask >> shift;
    return static_cast<uint8_t>(((pixel & mask) >> shift) * 255 / max);
}

// Runs xscreensaver-getimage WINDOW PIXMAP from the PATH; true when it ended with status 0 in time.
bool runImageHelper(Window window, Pixmap pixmap)
{
    std::string program = "xscreensaver-getimage";
    std::string windowId = WindowIdText(static_cast<uint32_t>(window));
    std::string pixmapId = WindowIdText(static_cast<uint32_t>(pixmap));
    char* argv[] = {program.data(), windowId.data(), pixmapId.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + kHelperTimeout;
    for (;;) {
        int status = 0;
        const pid_t result = waitpid(pid, &status, WNOHANG);
        if (result == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (result < 0 && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The daemon's snapshot of the desktop, a pixmap named by a property of its window; 0 when there is none.
Pixmap snapshotPixmap(Display* display, Window window)
{
    const Atom property = XInternAtom(display, "_SCREENSAVER_SCREENSHOT", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    XErrorTrap trap(display);
    const int status = XGetWindowProperty(display, window, property, 0, 1, False, XA_PIXMAP, &type, &format, &count,
                                          &after, &data);
    Pixmap pixmap = 0;
    if (status == Success && !trap.failed() && type == XA_PIXMAP && format == 32 && count == 1 && data)
        pixmap = static_cast<Pixmap>(*reinterpret_cast<unsigned long*>(data));
    if (data)
        XFree(data);
    return pixmap;
}

}  // namespace

bool CopyDrawable(Display* display, Drawable drawable, const Visual* visual, gfx::Surface& target, int width,
                  int height)
{
    Window root = 0;
    int x = 0, y = 0;
    unsigned drawableWidth = 0, drawableHeight = 0, border = 0, depth = 0;
    XErrorTrap trap(display);
    if (!XGetGeometry(display, drawable, &root, &x, &y, &drawableWidth, &drawableHeight, &border, &depth) ||
        trap.failed())
        return false;
    width = std::min({width, target.width(), static_cast<int>(drawableWidth)});
    height = std::min({height, target.height(), static_cast<int>(drawableHeight)});
    if (width <= 0 || height <= 0)
        return true;
    XImage* image = XGetImage(display, drawable, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (!image || trap.failed()) {
        if (image)
            XDestroyImage(image);
        return false;
    }
    unsigned long red = image->red_mask, green = image->green_mask, blue = image->blue_mask;
    if ((red | green | blue) == 0 && visual) {
        red = visual->red_mask;
        green = visual->green_mask;
        blue = visual->blue_mask;
    }
    const bool direct = image->bits_per_pixel == 32 && red == 0xFF0000 && green == 0xFF00 && blue == 0xFF &&
                        image->byte_order == LSBFirst;
    for (int row = 0; row < height; ++row) {
        gfx::Pixel* out = target.row(row);
        if (direct) {
            const auto* in =
                reinterpret_cast<const uint32_t*>(image->data + static_cast<size_t>(row) * image->bytes_per_line);
            for (int column = 0; column < width; ++column)
                out[column] = in[column] & 0xFFFFFF;
            continue;
        }
        for (int column = 0; column < width; ++column) {
            const unsigned long pixel = XGetPixel(image, column, row);
            out[column] = gfx::Rgb(channel(pixel, red), channel(pixel, green), channel(pixel, blue));
        }
    }
    XDestroyImage(image);
    return true;
}

bool CopyGrabbedDesktop(Display* display, Window host, gfx::Surface& target, int width, int height)
{
    XWindowAttributes attributes{};
    {
        XErrorTrap trap(display);
        if (!XGetWindowAttributes(display, host, &attributes) || trap.failed())
            return false;
    }
    Pixmap pixmap = 0;
    {
        XErrorTrap trap(display);
        pixmap = XCreatePixmap(display, host, static_cast<unsigned>(attributes.width),
                               static_cast<unsigned>(attributes.height), static_cast<unsigned>(attributes.depth));
        // The helper draws on the pixmap through its own connection: the server must have made it first.
        XSync(display, False);
        if (trap.failed())
            pixmap = 0;
    }
    bool copied = false;
    if (pixmap) {
        if (runImageHelper(host, pixmap))
            copied = CopyDrawable(display, pixmap, attributes.visual, target, width, height);
        XFreePixmap(display, pixmap);
        XSync(display, False);
    }
    if (copied)
        return true;
    if (const Pixmap snapshot = snapshotPixmap(display, host))
        return CopyDrawable(display, snapshot, attributes.visual, target, width, height);
    return false;
}

}  // namespace pap
