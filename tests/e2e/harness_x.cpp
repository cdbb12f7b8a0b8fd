// The harness's own windows and desktop picture, and the watch on cursor requests through RECORD.

#include <cstring>
#include <vector>

#include "e2e/harness.h"

// Xlibint.h, for the connection's resource mask, defines min and max as macros: it comes last.
#include <X11/Xatom.h>
#include <X11/Xlibint.h>
#include <X11/Xutil.h>
#include <X11/extensions/record.h>
#undef min
#undef max

namespace pap::e2e {

namespace {

// XFixes request numbers.
constexpr int kXFixesHideCursor = 29;
constexpr int kXFixesShowCursor = 30;

unsigned long pixelOf(Display* display, Rgb c)
{
    Visual* visual = DefaultVisual(display, DefaultScreen(display));
    auto place = [](uint8_t value, unsigned long mask) -> unsigned long {
        int shift = 0;
        while (mask && !((mask >> shift) & 1))
            ++shift;
        return (static_cast<unsigned long>(value) * (mask >> shift) / 255) << shift;
    };
    return place(c.r, visual->red_mask) | place(c.g, visual->green_mask) | place(c.b, visual->blue_mask);
}

}  // namespace

void XServer::showDesktop(const Screenshot& picture) const
{
    Display* display = m_connection;
    const int screen = DefaultScreen(display);
    Window root = RootWindow(display, screen);
    Pixmap pixmap = XCreatePixmap(display, root, static_cast<unsigned>(picture.width),
                                  static_cast<unsigned>(picture.height), static_cast<unsigned>(DefaultDepth(display, screen)));
    XImage* image = XCreateImage(display, DefaultVisual(display, screen), static_cast<unsigned>(DefaultDepth(display, screen)),
                                 ZPixmap, 0, nullptr, static_cast<unsigned>(picture.width),
                                 static_cast<unsigned>(picture.height), 32, 0);
    std::vector<char> bytes(static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(picture.height));
    image->data = bytes.data();
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            XPutPixel(image, x, y, pixelOf(display, picture.at(x, y)));
    GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, image, 0, 0, 0, 0, static_cast<unsigned>(picture.width),
              static_cast<unsigned>(picture.height));
    XFreeGC(display, gc);
    image->data = nullptr;
    XDestroyImage(image);
    XSetWindowBackgroundPixmap(display, root, pixmap);
    XFreePixmap(display, pixmap);
    XClearWindow(display, root);
    XSync(display, False);
}

WindowId XServer::createWindow(const std::string& title, int x, int y, int width, int height, bool mapped,
                               Rgb background) const
{
    Display* display = m_connection;
    XSetWindowAttributes attributes{};
    attributes.background_pixel = pixelOf(display, background);
    attributes.override_redirect = True;
    Window window = XCreateWindow(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                  CWBackPixel | CWOverrideRedirect, &attributes);
    if (!window)
        return 0;
    XStoreName(display, window, title.c_str());
    if (mapped)
        XMapRaised(display, window);
    XSync(display, False);
    return window;
}

void XServer::destroyWindow(WindowId window) const
{
    XDestroyWindow(m_connection, window);
    XSync(m_connection, False);
}

void XServer::killClientOf(WindowId window) const
{
    XKillClient(m_connection, window);
    XSync(m_connection, False);
}

std::unique_ptr<CursorRequests> CursorRequests::start(const XServer& server)
{
    std::unique_ptr<CursorRequests> watch(new CursorRequests);
    watch->m_control = XOpenDisplay(server.display().c_str());
    watch->m_data = XOpenDisplay(server.display().c_str());
    if (!watch->m_control || !watch->m_data)
        return nullptr;
    int major = 0, minor = 0, event = 0, error = 0;
    if (!XRecordQueryVersion(watch->m_control, &major, &minor) ||
        !XQueryExtension(watch->m_control, "XFIXES", &watch->m_xfixes, &event, &error))
        return nullptr;
    watch->m_clientMask = ~static_cast<unsigned long>(watch->m_control->resource_mask);

    XRecordRange* range = XRecordAllocRange();
    range->ext_requests.ext_major.first = static_cast<unsigned char>(watch->m_xfixes);
    range->ext_requests.ext_major.last = static_cast<unsigned char>(watch->m_xfixes);
    range->ext_requests.ext_minor.first = kXFixesHideCursor;
    range->ext_requests.ext_minor.last = kXFixesShowCursor;
    XRecordClientSpec clients = XRecordAllClients;
    watch->m_context = XRecordCreateContext(watch->m_control, 0, &clients, 1, &range, 1);
    XFree(range);
    XSync(watch->m_control, False);
    if (!watch->m_context ||
        !XRecordEnableContextAsync(
            watch->m_data, watch->m_context,
            [](XPointer self, XRecordInterceptData* data) { CursorRequests::intercept(self, data); },
            reinterpret_cast<char*>(watch.get())))
        return nullptr;
    return watch;
}

CursorRequests::~CursorRequests()
{
    if (m_context && m_control) {
        XRecordDisableContext(m_control, m_context);
        XRecordFreeContext(m_control, m_context);
        XSync(m_control, False);
    }
    if (m_data)
        XCloseDisplay(m_data);
    if (m_control)
        XCloseDisplay(m_control);
}

void CursorRequests::intercept(char* self, void* recorded)
{
    auto* watch = reinterpret_cast<CursorRequests*>(self);
    auto* data = static_cast<XRecordInterceptData*>(recorded);
    if (data->category == XRecordFromClient && data->data_len >= 1) {
        const unsigned char* request = data->data;
        if (request[0] == watch->m_xfixes) {
            Counts& counts = watch->m_counts[data->id_base & watch->m_clientMask];
            if (request[1] == kXFixesHideCursor)
                ++counts.hides;
            else if (request[1] == kXFixesShowCursor)
                ++counts.shows;
        }
    }
    XRecordFreeData(data);
}

void CursorRequests::drain()
{
    XRecordProcessReplies(m_data);
}

CursorRequests::Counts CursorRequests::of(WindowId clientResource)
{
    // Let the requests already made reach us: a round trip on the control connection, then the data.
    XSync(m_control, False);
    drain();
    auto it = m_counts.find(clientResource & m_clientMask);
    return it == m_counts.end() ? Counts{} : it->second;
}

}  // namespace pap::e2e
