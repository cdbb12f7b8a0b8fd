// The window system of the forms runtime on X11: Xlib and XFixes.
//
// Implemented:
// - one display connection for the process, opened by MakeUiSystem and kept until the system goes (an
//   XFixes cursor hide lasts as long as the connection that made it);
// - plain InputOutput windows, created unmapped: a hidden form is an unmapped window that still carries
//   WM_NAME and _NET_WM_NAME, so that window search finds it;
// - painting from a dirty flag (set by Expose and invalidate) with XPutImage of the owner's picture;
// - WM_DELETE_WINDOW as the close request, a DestroyNotify of a window we did not destroy (its parent
//   went away) as the window's end;
// - window search by exact title over the whole window tree, breadth first, so that top-level windows
//   come before their descendants;
// - the ShowCursor counter, with XFixes hide and show kept paired at the crossing of zero;
// - the screen copy with XGetImage of the root window;
// - end requests: SIGTERM, SIGINT and SIGHUP reach the wait through a self-pipe (the signal handler
//   only writes the signal's number into it), and a lost X connection is noted by Xlib's IO error exit
//   handler, which returns instead of exiting: the program then ends through its own unload, and the
//   window calls do nothing from then on.
// Not implemented: window styles other than the child bit (X has no equivalent); they are only kept.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <map>
#include <vector>

#include "platform/ui.h"
#include "end_signals.h"
#include "x_error_trap.h"
#include "x_resources.h"

namespace pap {

namespace {

// Pixels of visuals other than 24-bit BGRX: each channel placed by its mask and scaled.
int MaskShift(unsigned long mask)
{
    int shift = 0;
    while (mask && !((mask >> shift) & 1))
        ++shift;
    return shift;
}

uint8_t FromMask(unsigned long pixel, unsigned long mask)
{
    const unsigned long max = mask >> MaskShift(mask);
    return max ? static_cast<uint8_t>(((pixel & mask) >> MaskShift(mask)) * 255 / max) : 0;
}

unsigned long ToMask(uint8_t value, unsigned long mask)
{
    return ((static_cast<unsigned long>(value) * (mask >> MaskShift(mask)) + 127) / 255) << MaskShift(mask);
}

gfx::Pixel FromMasks(unsigned long pixel, unsigned long red, unsigned long green, unsigned long blue)
{
    return gfx::Rgb(FromMask(pixel, red), FromMask(pixel, green), FromMask(pixel, blue));
}

unsigned long ToMasks(gfx::Pixel p, unsigned long red, unsigned long green, unsigned long blue)
{
    return ToMask(gfx::Red(p), red) | ToMask(gfx::Green(p), green) | ToMask(gfx::Blue(p), blue);
}

class UiSystemX11;

class UiWindowX11 final : public UiWindow {
public:
    UiWindowX11(UiSystemX11& system, Window window, UiWindowEvents& events)
        : m_system(system), m_window(window), m_events(events)
    {
    }
    ~UiWindowX11() override;

    NativeWindow handle() const override { return m_gone ? 0 : m_window; }
    void setTitle(const std::string& title) override;
    void setBounds(int x, int y, int width, int height) override;
    void setVisible(bool visible) override;
    uint32_t style() override { return m_style; }
    void setStyle(uint32_t style) override;
    bool setParent(NativeWindow parent) override;
    void invalidate() override { m_dirty = true; }
    // Placeholders until the input backend lands.
    void setEnabled(bool enabled) override { m_enabled = enabled; }
    bool enabled() override { return m_enabled; }
    void takeFocus() override {}
    void setPointer(PointerShape, const gfx::Surface*) override {}

    Window window() const { return m_window; }
    UiWindowEvents& events() { return m_events; }
    bool dirty() const { return m_dirty && m_mapped && !m_gone; }
    void markDirty() { m_dirty = true; }
    // Paints the whole window now.
    void paint();
    // The window was destroyed from outside.
    void markGone() { m_gone = true; }

private:
    // Mapped exactly while the window is visible and has a size.
    void updateMapping();

    UiSystemX11& m_system;
    Window m_window;
    UiWindowEvents& m_events;
    int m_width = 0;
    int m_height = 0;
    bool m_visible = false;
    bool m_mapped = false;
    bool m_dirty = false;
    bool m_gone = false;
    bool m_enabled = true;
    uint32_t m_style = 0;
};

class UiSystemX11 final : public UiSystem {
public:
    explicit UiSystemX11(Display* display) : m_display(display)
    {
        XSetErrorHandler(RecordXError);
        m_screen = DefaultScreen(display);
        m_root = RootWindow(display, m_screen);
        m_wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
        m_wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
        m_netWmName = XInternAtom(display, "_NET_WM_NAME", False);
        m_utf8String = XInternAtom(display, "UTF8_STRING", False);
        int eventBase = 0, errorBase = 0;
        m_haveXFixes = XFixesQueryExtension(display, &eventBase, &errorBase);
        m_gc = XCreateGC(display, m_root, 0, nullptr);
        // Xlib's defaults end the process when the connection is lost (the IO error handler itself
        // exits, then the exit handler would); the program ends itself instead, through its unload.
        XSetIOErrorHandler(ReportConnectionLost);
        XSetIOErrorExitHandler(display, OnConnectionLost, this);
    }

    ~UiSystemX11() override
    {
        stopCatchingSignals();
        // A lost connection is left as it is: the server has let go of it (and of the cursor's hide).
        if (m_lost)
            return;
        if (m_cursorHidden && m_haveXFixes)
            XFixesShowCursor(m_display, m_root);
        XFreeGC(m_display, m_gc);
        XCloseDisplay(m_display);
    }

    void setEndRequestHandler(std::function<void(EndRequest)> handler) override
    {
        m_endHandler = std::move(handler);
        if (m_endHandler)
            catchSignals();
        else
            stopCatchingSignals();
    }

    // Whether the connection to the X server is gone.
    bool lost() const { return m_lost; }

    std::unique_ptr<UiWindow> createWindow(UiWindowEvents& events) override
    {
        if (m_lost)
            return nullptr;
        XSetWindowAttributes attributes{};
        attributes.background_pixel = BlackPixel(m_display, m_screen);
        attributes.event_mask = ExposureMask | StructureNotifyMask;
        Window window = 0;
        {
            XErrorTrap trap(m_display);
            window = XCreateWindow(m_display, m_root, 0, 0, 1, 1, 0, CopyFromParent, InputOutput, CopyFromParent,
                                   CWBackPixel | CWEventMask, &attributes);
            if (trap.failed() || window == 0)
                return nullptr;
            XSetWMProtocols(m_display, window, &m_wmDeleteWindow, 1);
            XClassHint hint{const_cast<char*>("papyrant"), const_cast<char*>("Papyrant")};
            XSetClassHint(m_display, window, &hint);
        }
        auto created = std::make_unique<UiWindowX11>(*this, window, events);
        m_windows[window] = created.get();
        return created;
    }

    std::unique_ptr<UiWindow> createChildWindow(UiWindowEvents&, NativeWindow) override { return nullptr; }
    std::optional<std::pair<int, int>> cursorPos() override { return std::nullopt; }
    NativeWindow windowFromPoint(int, int) override { return 0; }
    void setScreenPointer(PointerShape) override {}

    void forget(Window window) { m_windows.erase(window); }

    void pumpEvents(uint32_t timeoutMs) override
    {
        if (deliverEndRequests())
            return;
        const bool busy = !m_lost && (dispatchPending() || paintDirty());
        if (!busy) {
            pollfd entries[2] = {{m_lost ? -1 : ConnectionNumber(m_display), POLLIN, 0}, {m_signals ? m_signals->fd() : -1, POLLIN, 0}};
            ::poll(entries, 2, static_cast<int>(std::min<uint32_t>(timeoutMs, 1u << 30)));
            if (!m_lost)
                dispatchPending();
        }
        if (!m_lost) {
            paintDirty();
            XFlush(m_display);
        }
        deliverEndRequests();
    }

    uint64_t nowMs() override
    {
        return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count());
    }

    NativeWindow findWindow(const std::string& title) override
    {
        if (m_lost)
            return 0;
        XErrorTrap trap(m_display);
        std::deque<Window> queue{m_root};
        while (!queue.empty()) {
            Window window = queue.front();
            queue.pop_front();
            if (window != m_root && titleOf(window) == std::optional<std::string>(title))
                return window;
            Window rootReturn = 0, parentReturn = 0;
            Window* children = nullptr;
            unsigned count = 0;
            if (XQueryTree(m_display, window, &rootReturn, &parentReturn, &children, &count) && children) {
                queue.insert(queue.end(), children, children + count);
                XFree(children);
            }
        }
        return 0;
    }

    int showCursor(bool show) override
    {
        m_cursorCount += show ? 1 : -1;
        const bool hide = m_cursorCount < 0;
        if (m_lost)
            return m_cursorCount;
        if (m_haveXFixes && hide != m_cursorHidden) {
            XErrorTrap trap(m_display);
            if (hide)
                XFixesHideCursor(m_display, m_root);
            else
                XFixesShowCursor(m_display, m_root);
            m_cursorHidden = hide;
        }
        XFlush(m_display);
        return m_cursorCount;
    }

    std::optional<ScreenRect> windowRect(NativeWindow handle) override
    {
        if (handle == 0 || handle > UINT32_MAX || m_lost)
            return std::nullopt;
        XErrorTrap trap(m_display);
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(m_display, static_cast<Window>(handle), &attributes) || trap.failed())
            return std::nullopt;
        int x = 0, y = 0;
        Window child = 0;
        if (!XTranslateCoordinates(m_display, static_cast<Window>(handle), m_root, 0, 0, &x, &y, &child) ||
            trap.failed())
            return std::nullopt;
        const int border = attributes.border_width;
        return ScreenRect{x - border, y - border, x + attributes.width + border, y + attributes.height + border};
    }

    std::optional<ScreenMetrics> screenMetrics() override
    {
        if (m_lost)
            return std::nullopt;
        return ScreenMetricsOf(m_display);
    }

    bool copyScreen(gfx::Surface& target, int width, int height) override
    {
        if (m_lost)
            return false;
        width = std::min({width, target.width(), DisplayWidth(m_display, m_screen)});
        height = std::min({height, target.height(), DisplayHeight(m_display, m_screen)});
        if (width <= 0 || height <= 0)
            return true;
        XErrorTrap trap(m_display);
        XImage* image = XGetImage(m_display, m_root, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                  AllPlanes, ZPixmap);
        if (!image || trap.failed()) {
            if (image)
                XDestroyImage(image);
            return false;
        }
        const bool direct = image->bits_per_pixel == 32 && image->red_mask == 0xFF0000 &&
                            image->green_mask == 0xFF00 && image->blue_mask == 0xFF &&
                            image->byte_order == LSBFirst;
        for (int y = 0; y < height; ++y) {
            gfx::Pixel* out = target.row(y);
            if (direct) {
                const auto* in = reinterpret_cast<const uint32_t*>(image->data + static_cast<size_t>(y) * image->bytes_per_line);
                for (int x = 0; x < width; ++x)
                    out[x] = in[x] & 0xFFFFFF;
                continue;
            }
            for (int x = 0; x < width; ++x)
                out[x] = FromMasks(XGetPixel(image, x, y), image->red_mask, image->green_mask, image->blue_mask);
        }
        XDestroyImage(image);
        return true;
    }

    Display* display() const { return m_display; }
    Window root() const { return m_root; }
    int screen() const { return m_screen; }
    GC gc() const { return m_gc; }
    Atom netWmName() const { return m_netWmName; }
    Atom utf8String() const { return m_utf8String; }

private:
    static int ReportConnectionLost(Display*) { return 0; }
    static void OnConnectionLost(Display*, void* self) { static_cast<UiSystemX11*>(self)->m_lost = true; }

    void catchSignals()
    {
        if (!m_signals)
            m_signals.emplace();
    }

    void stopCatchingSignals() { m_signals.reset(); }

    // Hands the signals that arrived and a newly lost connection to the handler; whether there was one.
    bool deliverEndRequests()
    {
        std::optional<EndRequest> request;
        if (const int signal = m_signals ? m_signals->take() : 0)
            request = signal == SIGHUP ? EndRequest::SessionEnding : EndRequest::Terminate;
        if (m_lost && !m_lostReported) {
            m_lostReported = true;
            request = EndRequest::SessionEnding;
        }
        if (!request || !m_endHandler)
            return false;
        // The handler may end the program and this system with it.
        std::function<void(EndRequest)> handler = m_endHandler;
        handler(*request);
        return true;
    }

    // A window's title: _NET_WM_NAME, else WM_NAME; none when it has neither.
    std::optional<std::string> titleOf(Window window)
    {
        for (Atom name : {m_netWmName, static_cast<Atom>(XA_WM_NAME)}) {
            Atom type = 0;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(m_display, window, name, 0, 1024, False, AnyPropertyType, &type, &format, &count,
                                   &after, &data) == Success &&
                data) {
                std::optional<std::string> title;
                if (format == 8)
                    title = std::string(reinterpret_cast<const char*>(data), count);
                XFree(data);
                if (title)
                    return title;
            }
        }
        return std::nullopt;
    }

    // Handles every queued event; whether there was one.
    bool dispatchPending()
    {
        bool any = false;
        while (XPending(m_display) > 0) {
            XEvent event{};
            XNextEvent(m_display, &event);
            any = true;
            dispatch(event);
        }
        return any;
    }

    void dispatch(const XEvent& event)
    {
        auto it = m_windows.find(event.xany.window);
        switch (event.type) {
        case Expose:
            if (it != m_windows.end())
                it->second->markDirty();
            break;
        case ClientMessage:
            if (it != m_windows.end() && event.xclient.message_type == m_wmProtocols && event.xclient.format == 32 &&
                static_cast<Atom>(event.xclient.data.l[0]) == m_wmDeleteWindow)
                it->second->events().onCloseRequest();
            break;
        case DestroyNotify: {
            // Our own destruction forgets the window first, so a known window here went from outside.
            auto gone = m_windows.find(event.xdestroywindow.window);
            if (gone != m_windows.end()) {
                UiWindowX11* window = gone->second;
                window->markGone();
                m_windows.erase(gone);
                window->events().onDestroyed();
            }
            break;
        }
        default:
            break;
        }
    }

    // Paints the windows that need it; whether one did.
    bool paintDirty()
    {
        std::vector<UiWindowX11*> dirty;
        for (auto& [id, window] : m_windows)
            if (window->dirty())
                dirty.push_back(window);
        // A paint handler may close windows: each is looked up again before it is painted.
        for (UiWindowX11* window : dirty) {
            auto it = m_windows.find(window->window());
            if (it != m_windows.end() && it->second == window)
                window->paint();
        }
        return !dirty.empty();
    }

    Display* m_display;
    int m_screen = 0;
    Window m_root = 0;
    Atom m_wmProtocols = 0;
    Atom m_wmDeleteWindow = 0;
    Atom m_netWmName = 0;
    Atom m_utf8String = 0;
    bool m_haveXFixes = false;
    bool m_cursorHidden = false;
    int m_cursorCount = 0;
    GC m_gc = nullptr;
    std::map<Window, UiWindowX11*> m_windows;
    std::function<void(EndRequest)> m_endHandler;
    std::optional<EndSignals> m_signals;
    bool m_lost = false;
    bool m_lostReported = false;
};

UiWindowX11::~UiWindowX11()
{
    m_system.forget(m_window);
    if (m_system.lost())
        return;
    if (!m_gone) {
        XErrorTrap trap(m_system.display());
        XDestroyWindow(m_system.display(), m_window);
    }
    XFlush(m_system.display());
}

void UiWindowX11::setTitle(const std::string& title)
{
    if (m_gone || m_system.lost())
        return;
    Display* display = m_system.display();
    XErrorTrap trap(display);
    const bool ascii = std::all_of(title.begin(), title.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const auto* bytes = reinterpret_cast<const unsigned char*>(title.data());
    const int length = static_cast<int>(std::min<size_t>(title.size(), 1 << 20));
    XChangeProperty(display, m_window, XA_WM_NAME, ascii ? XA_STRING : m_system.utf8String(), 8, PropModeReplace,
                    bytes, length);
    XChangeProperty(display, m_window, m_system.netWmName(), m_system.utf8String(), 8, PropModeReplace, bytes,
                    length);
}

void UiWindowX11::setBounds(int x, int y, int width, int height)
{
    m_width = std::max(0, width);
    m_height = std::max(0, height);
    if (m_gone || m_system.lost())
        return;
    XErrorTrap trap(m_system.display());
    XMoveResizeWindow(m_system.display(), m_window, x, y, static_cast<unsigned>(std::max(1, m_width)),
                      static_cast<unsigned>(std::max(1, m_height)));
    updateMapping();
    m_dirty = true;
}

void UiWindowX11::setVisible(bool visible)
{
    m_visible = visible;
    updateMapping();
    m_dirty = true;
}

void UiWindowX11::updateMapping()
{
    if (m_gone || m_system.lost())
        return;
    const bool map = m_visible && m_width > 0 && m_height > 0;
    if (map == m_mapped)
        return;
    XErrorTrap trap(m_system.display());
    if (map)
        XMapWindow(m_system.display(), m_window);
    else
        XUnmapWindow(m_system.display(), m_window);
    m_mapped = map;
}

void UiWindowX11::setStyle(uint32_t style)
{
    m_style = style;
    if (m_gone || m_system.lost())
        return;
    // A child must never be taken for a top-level window by a window manager, even while it is mapped
    // before its parent is set.
    XSetWindowAttributes attributes{};
    attributes.override_redirect = (style & kWindowStyleChild) ? True : False;
    XErrorTrap trap(m_system.display());
    XChangeWindowAttributes(m_system.display(), m_window, CWOverrideRedirect, &attributes);
}

bool UiWindowX11::setParent(NativeWindow parent)
{
    if (m_gone || parent > UINT32_MAX || m_system.lost())
        return false;
    Display* display = m_system.display();
    XErrorTrap trap(display);
    Window target = parent == 0 ? m_system.root() : static_cast<Window>(parent);
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, target, &attributes) || trap.failed())
        return false;
    XReparentWindow(display, m_window, target, 0, 0);
    return !trap.failed();
}

void UiWindowX11::paint()
{
    m_dirty = false;
    if (m_gone || m_system.lost() || m_width <= 0 || m_height <= 0)
        return;
    gfx::Surface picture(m_width, m_height, gfx::kBlack);
    m_events.onPaint(picture);
    // The owner may have closed the window while painting.
    if (m_gone || picture.width() != m_width || picture.height() != m_height)
        return;
    Display* display = m_system.display();
    Visual* visual = DefaultVisual(display, m_system.screen());
    const int depth = DefaultDepth(display, m_system.screen());
    XImage* image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                                 static_cast<unsigned>(m_width), static_cast<unsigned>(m_height), 32, 0);
    if (!image)
        return;
    std::vector<char> bytes(static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(m_height));
    image->data = bytes.data();
    const bool direct = image->bits_per_pixel == 32 && visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 &&
                        visual->blue_mask == 0xFF && image->byte_order == LSBFirst;
    for (int y = 0; y < m_height; ++y) {
        const gfx::Pixel* in = picture.row(y);
        if (direct) {
            std::memcpy(image->data + static_cast<size_t>(y) * image->bytes_per_line, in, static_cast<size_t>(m_width) * 4);
            continue;
        }
        for (int x = 0; x < m_width; ++x) {
            XPutPixel(image, x, y, ToMasks(in[x], visual->red_mask, visual->green_mask, visual->blue_mask));
        }
    }
    {
        XErrorTrap trap(display);
        XPutImage(display, m_window, m_system.gc(), image, 0, 0, 0, 0, static_cast<unsigned>(m_width),
                  static_cast<unsigned>(m_height));
    }
    image->data = nullptr;
    XDestroyImage(image);
}

}  // namespace

std::unique_ptr<UiSystem> MakeUiSystem()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    return std::make_unique<UiSystemX11>(display);
}

}  // namespace pap
