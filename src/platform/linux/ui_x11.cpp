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
// - the screen copy with XGetImage of the root window, and the desktop an XScreenSaver daemon grabbed;
// - input: buttons, moves, the wheel (buttons 4 and 5), keys as virtual-key codes and typed characters
//   through XLookupString (no input method), focus changes; the implicit grab of a press keeps the mouse
//   with the window that took it; a disabled window (or one inside it) has its input dropped; keys go
//   to the window of ours that has the focus, not to a child that happens to be under the pointer;
// - child windows, painting and taking input like top-level ones;
// - pointer shapes from the cursor font, custom ones through Xcursor, and a screen-wide shape defined on
//   every window of ours while it is set;
// - the pointer's position and the innermost mapped window under a point, descending from the root;
// - end requests: SIGTERM, SIGINT and SIGHUP reach the wait through a self-pipe (the signal handler
//   only writes the signal's number into it), and a lost X connection is noted by Xlib's IO error exit
//   handler, which returns instead of exiting: the program then ends through its own unload, and the
//   window calls do nothing from then on.
// Not implemented: window styles other than the child bit (X has no equivalent); they are only kept.
// FIXME: characters come from Latin-1 and Unicode keysyms only; other legacy keysym sets and input
// methods (composed and Japanese input) give no characters.

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <X11/extensions/Xfixes.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <map>
#include <vector>

#include "platform/posted_tasks.h"
#include "platform/ui.h"
#include "end_signals.h"
#include "x_error_trap.h"
#include "grabbed_desktop_x11.h"
#include "x_resources.h"

namespace pap {

namespace {

// Pixels for visuals other than 24-bit BGRX: each channel placed by its mask and scaled.
int MaskShift(unsigned long mask)
{
    int shift = 0;
    while (mask && !((mask >> shift) & 1))
        ++shift;
    return shift;
}

unsigned long ToMask(uint8_t value, unsigned long mask)
{
    return ((static_cast<unsigned long>(value) * (mask >> MaskShift(mask)) + 127) / 255) << MaskShift(mask);
}

unsigned long ToMasks(gfx::Pixel p, unsigned long red, unsigned long green, unsigned long blue)
{
    return ToMask(gfx::Red(p), red) | ToMask(gfx::Green(p), green) | ToMask(gfx::Blue(p), blue);
}

// What every window of ours listens to.
constexpr long kWindowEventMask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask |
                                  PointerMotionMask | KeyPressMask | KeyReleaseMask | FocusChangeMask;

int ShiftOf(unsigned state)
{
    return ((state & ShiftMask) ? kShiftKey : 0) | ((state & ControlMask) ? kCtrlKey : 0) |
           ((state & Mod1Mask) ? kAltKey : 0);
}

int ButtonsHeld(unsigned state)
{
    return ((state & Button1Mask) ? kLeftButton : 0) | ((state & Button3Mask) ? kRightButton : 0) |
           ((state & Button2Mask) ? kMiddleButton : 0);
}

// X numbers the middle button 2 and the right one 3.
int ButtonOf(unsigned xButton)
{
    switch (xButton) {
    case Button1:
        return kLeftButton;
    case Button2:
        return kMiddleButton;
    case Button3:
        return kRightButton;
    default:
        return 0;
    }
}

// The virtual-key code of an unshifted keysym; 0 for keys the forms do not know.
int VirtualKeyOf(KeySym key)
{
    if (key >= XK_a && key <= XK_z)
        return static_cast<int>('A' + (key - XK_a));
    if (key >= XK_A && key <= XK_Z)
        return static_cast<int>('A' + (key - XK_A));
    if (key >= XK_0 && key <= XK_9)
        return static_cast<int>('0' + (key - XK_0));
    if (key >= XK_F1 && key <= XK_F12)
        return static_cast<int>(0x70 + (key - XK_F1));  // VK_F1 onwards
    if (key >= XK_KP_0 && key <= XK_KP_9)
        return static_cast<int>(0x60 + (key - XK_KP_0));  // VK_NUMPAD0 onwards
    switch (key) {
    case XK_BackSpace:
        return kKeyBack;
    case XK_Tab:
    case XK_ISO_Left_Tab:
        return kKeyTab;
    case XK_Return:
    case XK_KP_Enter:
        return kKeyReturn;
    case XK_Shift_L:
    case XK_Shift_R:
        return kKeyShift;
    case XK_Control_L:
    case XK_Control_R:
        return kKeyControl;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
        return kKeyMenu;
    case XK_Escape:
        return kKeyEscape;
    case XK_space:
    case XK_KP_Space:
        return kKeySpace;
    case XK_Prior:
    case XK_KP_Prior:
        return kKeyPageUp;
    case XK_Next:
    case XK_KP_Next:
        return kKeyPageDown;
    case XK_End:
    case XK_KP_End:
        return kKeyEnd;
    case XK_Home:
    case XK_KP_Home:
        return kKeyHome;
    case XK_Left:
    case XK_KP_Left:
        return kKeyLeft;
    case XK_Up:
    case XK_KP_Up:
        return kKeyUp;
    case XK_Right:
    case XK_KP_Right:
        return kKeyRight;
    case XK_Down:
    case XK_KP_Down:
        return kKeyDown;
    case XK_Delete:
    case XK_KP_Delete:
        return kKeyDelete;
    case XK_Insert:
    case XK_KP_Insert:
        return 0x2D;  // VK_INSERT
    default:
        return 0;
    }
}

// The character a key press types, as WM_CHAR would give it (control characters included); 0 for none.
uint32_t CharacterOf(XKeyEvent& event)
{
    char bytes[8] = {};
    KeySym key = NoSymbol;
    const int count = XLookupString(&event, bytes, sizeof bytes, &key, nullptr);
    if (key == XK_Delete || key == XK_KP_Delete)
        return 0;
    if (count == 1 && static_cast<unsigned char>(bytes[0]) < 0x80)
        return static_cast<unsigned char>(bytes[0]);
    if ((key >= 0x20 && key <= 0x7E) || (key >= 0xA0 && key <= 0xFF))
        return static_cast<uint32_t>(key);  // Latin-1 keysyms are their code points
    if (key >= 0x1000100 && key <= 0x110FFFF)
        return static_cast<uint32_t>(key - 0x1000000);  // Unicode keysyms
    return 0;
}

// The modifier a key is itself; 0 for other keys.
int ModifierOf(int keyCode)
{
    return keyCode == kKeyShift ? kShiftKey : keyCode == kKeyControl ? kCtrlKey : keyCode == kKeyMenu ? kAltKey : 0;
}

class UiSystemX11;

class UiWindowX11 final : public UiWindow {
public:
    UiWindowX11(UiSystemX11& system, Window window, Window parent, UiWindowEvents& events)
        : m_system(system), m_window(window), m_parent(parent), m_events(events)
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
    void invalidateRect(gfx::Rect rect) override;
    void setEnabled(bool enabled) override { m_enabled = enabled; }
    bool enabled() override { return m_enabled; }
    void takeFocus() override;
    void setPointer(PointerShape shape, const gfx::Surface* icon) override;

    Window window() const { return m_window; }
    // The window of ours it lies in; 0 for a top-level window (or one inside another program's).
    Window parent() const { return m_parent; }
    // The pointer the window shows when no screen-wide one is set; None inherits the parent's.
    Cursor pointer() const { return m_pointer; }
    UiWindowEvents& events() { return m_events; }
    bool dirty() const { return (m_dirty || m_dirtyRect) && m_mapped && !m_gone; }
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
    Window m_parent;
    UiWindowEvents& m_events;
    Cursor m_pointer = None;
    // Made for a custom picture, freed with the window or the next shape.
    Cursor m_ownPointer = None;
    int m_width = 0;
    int m_height = 0;
    bool m_visible = false;
    bool m_mapped = false;
    bool m_dirty = false;
    // A repaint of part of the window only (while m_dirty is false), and the picture painted last.
    std::optional<gfx::Rect> m_dirtyRect;
    gfx::Surface m_picture;
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
        // A held key repeats as presses alone, the way Windows repeats WM_KEYDOWN.
        Bool detectable = False;
        XkbSetDetectableAutoRepeat(display, True, &detectable);
    }

    ~UiSystemX11() override
    {
        if (m_postWake >= 0)
            ::close(m_postWake);
        stopCatchingSignals();
        // A lost connection is left as it is: the server has let go of it (and of the cursor's hide).
        if (m_lost)
            return;
        if (m_cursorHidden && m_haveXFixes)
            XFixesShowCursor(m_display, m_root);
        for (auto& [shape, cursor] : m_fontCursors)
            XFreeCursor(m_display, cursor);
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

    std::unique_ptr<UiWindow> createWindow(UiWindowEvents& events) override { return create(events, m_root); }

    std::unique_ptr<UiWindow> createChildWindow(UiWindowEvents& events, NativeWindow parent) override
    {
        if (parent == 0 || parent > UINT32_MAX)
            return nullptr;
        return create(events, static_cast<Window>(parent));
    }

    // Both pointer queries take round trips to the server, and every push button asks both ten times a
    // second: an answer is reused for kPointerAnswerMs, so buttons whose watches tick together cost one
    // query between them.
    static constexpr uint64_t kPointerAnswerMs = 10;

    std::optional<std::pair<int, int>> cursorPos() override
    {
        if (m_lost)
            return std::nullopt;
        const uint64_t now = nowMs();
        if (m_cursorAnswer && now - m_cursorAnswerMs < kPointerAnswerMs)
            return m_cursorAnswer;
        // The root window always exists: the query needs no error trap.
        Window root = 0, child = 0;
        int x = 0, y = 0, windowX = 0, windowY = 0;
        unsigned mask = 0;
        if (!XQueryPointer(m_display, m_root, &root, &child, &x, &y, &windowX, &windowY, &mask))
            return std::nullopt;
        m_cursorAnswer = std::make_pair(x, y);
        m_cursorAnswerMs = now;
        return m_cursorAnswer;
    }

    NativeWindow windowFromPoint(int x, int y) override
    {
        if (m_lost)
            return 0;
        const uint64_t now = nowMs();
        if (m_windowAnswerValid && now - m_windowAnswerMs < kPointerAnswerMs && m_windowAnswerAt == std::pair{x, y})
            return m_windowAnswer;
        XErrorTrap trap(m_display);
        // Each step names the mapped child of the last window that holds the point: a window manager's
        // frame, the client window in it, then our child windows, down to the innermost.
        Window found = 0;
        Window current = m_root;
        for (int depth = 0; depth < 64; ++depth) {
            int localX = 0, localY = 0;
            Window child = 0;
            if (!XTranslateCoordinates(m_display, m_root, current, x, y, &localX, &localY, &child) || child == 0)
                break;
            found = current = child;
        }
        // A window that went during the descent ends it: the last one found still holds the point.
        m_windowAnswer = found;
        m_windowAnswerValid = true;
        m_windowAnswerMs = now;
        m_windowAnswerAt = {x, y};
        return m_windowAnswer;
    }

    void setScreenPointer(PointerShape shape) override
    {
        // The screen has no picture of its own: a custom shape shows the arrow.
        m_screenPointer = fontCursor(shape == PointerShape::Custom ? PointerShape::Arrow : shape);
        if (m_lost)
            return;
        XErrorTrap trap(m_display);
        for (auto& [id, window] : m_windows)
            showPointer(*window);
        XFlush(m_display);
    }

    // The cursor-font cursor of a shape, made once; None for Default and Custom.
    Cursor fontCursor(PointerShape shape)
    {
        unsigned glyph = 0;
        switch (shape) {
        case PointerShape::Arrow:
            glyph = XC_left_ptr;
            break;
        case PointerShape::Hourglass:
            glyph = XC_watch;
            break;
        case PointerShape::Hand:
            glyph = XC_hand2;
            break;
        default:
            return None;
        }
        if (m_lost)
            return None;
        Cursor& cursor = m_fontCursors[glyph];
        if (cursor == None)
            cursor = XCreateFontCursor(m_display, glyph);
        return cursor;
    }

    // Defines the pointer the window shows now: the screen-wide one while set, else its own.
    void showPointer(const UiWindowX11& window)
    {
        const Cursor cursor = m_screenPointer != None ? m_screenPointer : window.pointer();
        if (cursor != None)
            XDefineCursor(m_display, window.window(), cursor);
        else
            XUndefineCursor(m_display, window.window());
    }

    // The window of ours that holds the focus, if any.
    Window focus() const { return m_focus; }

    void forget(Window window)
    {
        m_windows.erase(window);
        if (m_focus == window)
            m_focus = 0;
    }

    void pumpEvents(uint32_t timeoutMs) override
    {
        if (deliverEndRequests())
            return;
        const bool busy = !m_lost && (dispatchPending() || paintDirty());
        if (!busy) {
            pollfd entries[3] = {{m_lost ? -1 : ConnectionNumber(m_display), POLLIN, 0},
                                 {m_signals ? m_signals->fd() : -1, POLLIN, 0},
                                 {m_postWake, POLLIN, 0}};
            ::poll(entries, 3, static_cast<int>(std::min<uint32_t>(timeoutMs, 1u << 30)));
            if (!m_lost)
                dispatchPending();
        }
        runPosted();
        if (!m_lost) {
            paintDirty();
            XFlush(m_display);
        }
        deliverEndRequests();
    }

    void post(std::function<void()> task) override
    {
        m_posted.push(std::move(task));
        const uint64_t one = 1;
        // Nonblocking: a full counter still wakes the loop.
        [[maybe_unused]] const ssize_t written = ::write(m_postWake, &one, sizeof one);
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
        return CopyDrawable(m_display, m_root, DefaultVisual(m_display, m_screen), target, width, height);
    }

    bool copyGrabbedDesktop(NativeWindow window, gfx::Surface& target, int width, int height) override
    {
        if (m_lost || window == 0)
            return false;
        return CopyGrabbedDesktop(m_display, static_cast<Window>(window), target, width, height);
    }

    Display* display() const { return m_display; }
    Window root() const { return m_root; }
    int screen() const { return m_screen; }
    GC gc() const { return m_gc; }
    Atom netWmName() const { return m_netWmName; }
    Atom utf8String() const { return m_utf8String; }

private:
    std::unique_ptr<UiWindow> create(UiWindowEvents& events, Window parent)
    {
        if (m_lost)
            return nullptr;
        XSetWindowAttributes attributes{};
        attributes.background_pixel = BlackPixel(m_display, m_screen);
        attributes.event_mask = kWindowEventMask;
        attributes.cursor = m_screenPointer;
        const bool topLevel = parent == m_root;
        Window window = 0;
        {
            XErrorTrap trap(m_display);
            window = XCreateWindow(m_display, parent, 0, 0, 1, 1, 0, CopyFromParent, InputOutput, CopyFromParent,
                                   CWBackPixel | CWEventMask | CWCursor, &attributes);
            if (trap.failed() || window == 0)
                return nullptr;
            if (topLevel) {
                XSetWMProtocols(m_display, window, &m_wmDeleteWindow, 1);
                XClassHint hint{const_cast<char*>("papyrant"), const_cast<char*>("Papyrant")};
                XSetClassHint(m_display, window, &hint);
            }
        }
        auto created = std::make_unique<UiWindowX11>(*this, window, topLevel ? 0 : parent, events);
        m_windows[window] = created.get();
        return created;
    }

    UiWindowX11* find(Window window)
    {
        auto it = m_windows.find(window);
        return it == m_windows.end() ? nullptr : it->second;
    }

    // Whether a window and every window of ours around it are enabled.
    bool takesInput(UiWindowX11& window)
    {
        UiWindowX11* current = &window;
        for (int depth = 0; current && depth < 64; ++depth) {
            if (!current->enabled())
                return false;
            current = find(current->parent());
        }
        return true;
    }

    // Whether `inner` is `outer` or lies inside it.
    bool within(Window inner, Window outer)
    {
        UiWindowX11* current = find(inner);
        for (int depth = 0; current && depth < 64; ++depth) {
            if (current->window() == outer)
                return true;
            current = find(current->parent());
        }
        return false;
    }

    void dispatchInput(const XEvent& event)
    {
        UiWindowX11* window = find(event.xany.window);
        if (event.type == KeyPress || event.type == KeyRelease) {
            // X hands a key to the window under the pointer when that lies inside the focus window;
            // the owner of the focus gets it, as on Windows.
            if (m_focus != 0 && within(event.xany.window, m_focus))
                window = find(m_focus);
        }
        if (!window || !takesInput(*window))
            return;
        UiWindowEvents& events = window->events();
        switch (event.type) {
        case MotionNotify:
            events.onMouseMove({event.xmotion.x, event.xmotion.y, ButtonsHeld(event.xmotion.state),
                                ShiftOf(event.xmotion.state)});
            break;
        case ButtonPress:
        case ButtonRelease: {
            const XButtonEvent& button = event.xbutton;
            const MouseEvent mouse{button.x, button.y, ButtonOf(button.button), ShiftOf(button.state)};
            if (button.button == Button4 || button.button == Button5) {
                if (event.type == ButtonPress)
                    events.onMouseWheel(mouse, button.button == Button4 ? 120 : -120);
            } else if (mouse.button != 0) {
                if (event.type == ButtonPress)
                    events.onMouseDown(mouse);
                else
                    events.onMouseUp(mouse);
            }
            break;
        }
        case KeyPress: {
            XKeyEvent key = event.xkey;
            const int code = VirtualKeyOf(XLookupKeysym(&key, 0));
            const uint32_t character = CharacterOf(key);
            const Window target = window->window();
            // X gives the state before the event; Windows counts a modifier as down from its own press.
            if (code != 0)
                events.onKeyDown(code, ShiftOf(key.state) | ModifierOf(code));
            // The key's handler may have closed the window.
            if (character != 0 && find(target) == window)
                events.onChar(character);
            break;
        }
        case KeyRelease: {
            XKeyEvent key = event.xkey;
            if (const int code = VirtualKeyOf(XLookupKeysym(&key, 0)))
                events.onKeyUp(code, ShiftOf(key.state) & ~ModifierOf(code));
            break;
        }
        default:
            break;
        }
    }

    void dispatchFocus(const XFocusChangeEvent& focus)
    {
        // Only the window that gains or loses the focus itself counts: not its ancestors (virtual),
        // not the window under the pointer, not the grabs of a window manager.
        if (focus.mode != NotifyNormal && focus.mode != NotifyWhileGrabbed)
            return;
        if (focus.detail != NotifyAncestor && focus.detail != NotifyInferior && focus.detail != NotifyNonlinear)
            return;
        UiWindowX11* window = find(focus.window);
        if (!window)
            return;
        const bool gained = focus.type == FocusIn;
        if (gained)
            m_focus = focus.window;
        else if (m_focus == focus.window)
            m_focus = 0;
        window->events().onFocus(gained);
    }

    static int ReportConnectionLost(Display*) { return 0; }
    static void OnConnectionLost(Display*, void* self) { static_cast<UiSystemX11*>(self)->m_lost = true; }

    void catchSignals()
    {
        if (!m_signals)
            m_signals.emplace();
    }

    void stopCatchingSignals() { m_signals.reset(); }

    // Hands the signals that arrived and a newly lost connection to the handler; whether there was one.
    // Runs the posted tasks that have arrived, after taking the wake-up count.
    void runPosted()
    {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t read = ::read(m_postWake, &count, sizeof count);
        m_posted.runAll();
    }

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
        case MotionNotify:
        case ButtonPress:
        case ButtonRelease:
        case KeyPress:
        case KeyRelease:
            dispatchInput(event);
            break;
        case FocusIn:
        case FocusOut:
            dispatchFocus(event.xfocus);
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
    std::map<unsigned, Cursor> m_fontCursors;
    Cursor m_screenPointer = None;
    Window m_focus = 0;
    std::function<void(EndRequest)> m_endHandler;
    std::optional<EndSignals> m_signals;
    // Written by post from any thread so that a waiting pumpEvents wakes up.
    int m_postWake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    PostedTasks m_posted;
    bool m_lost = false;
    bool m_lostReported = false;
    // The last answers of the pointer queries and when they were asked.
    std::optional<std::pair<int, int>> m_cursorAnswer;
    uint64_t m_cursorAnswerMs = 0;
    bool m_windowAnswerValid = false;
    NativeWindow m_windowAnswer = 0;
    uint64_t m_windowAnswerMs = 0;
    std::pair<int, int> m_windowAnswerAt;
};

UiWindowX11::~UiWindowX11()
{
    m_system.forget(m_window);
    if (m_system.lost())
        return;
    XErrorTrap trap(m_system.display());
    if (!m_gone)
        XDestroyWindow(m_system.display(), m_window);
    if (m_ownPointer != None)
        XFreeCursor(m_system.display(), m_ownPointer);
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
    if (trap.failed())
        return false;
    m_parent = parent == 0 ? 0 : target;
    return true;
}

void UiWindowX11::takeFocus()
{
    if (m_gone || m_system.lost())
        return;
    // An unmapped window cannot take the focus; the server refuses it with an error the trap eats.
    XErrorTrap trap(m_system.display());
    XSetInputFocus(m_system.display(), m_window, RevertToParent, CurrentTime);
    XFlush(m_system.display());
}

// A cursor from a 32-bit picture with its hot spot at the centre. Pixels of the picture's top-left colour
// are transparent, every other pixel shows its colour. None when the picture is empty or the server
// refuses.
Cursor PictureCursor(Display* display, const gfx::Surface& picture)
{
    const int width = std::min(picture.width(), 256);
    const int height = std::min(picture.height(), 256);
    if (width <= 0 || height <= 0)
        return None;
    XcursorImage* image = XcursorImageCreate(width, height);
    if (!image)
        return None;
    image->xhot = static_cast<XcursorDim>(width / 2);
    image->yhot = static_cast<XcursorDim>(height / 2);
    const gfx::Pixel transparent = picture.at(0, 0) & 0xFFFFFF;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const gfx::Pixel p = picture.at(x, y) & 0xFFFFFF;
            image->pixels[y * width + x] = p == transparent ? 0 : (0xFF000000u | p);
        }
    const Cursor cursor = XcursorImageLoadCursor(display, image);
    XcursorImageDestroy(image);
    return cursor;
}

void UiWindowX11::setPointer(PointerShape shape, const gfx::Surface* icon)
{
    if (m_gone || m_system.lost())
        return;
    Display* display = m_system.display();
    XErrorTrap trap(display);
    const Cursor previous = m_ownPointer;
    m_ownPointer = shape == PointerShape::Custom && icon ? PictureCursor(display, *icon) : None;
    m_pointer = shape == PointerShape::Custom ? m_ownPointer : m_system.fontCursor(shape);
    m_system.showPointer(*this);
    if (previous != None)
        XFreeCursor(display, previous);
    XFlush(display);
}

void UiWindowX11::invalidateRect(gfx::Rect rect)
{
    const int left = std::max(0, rect.x), top = std::max(0, rect.y);
    const int right = std::min(m_width, rect.x + rect.width), bottom = std::min(m_height, rect.y + rect.height);
    if (right <= left || bottom <= top)
        return;
    if (!m_dirtyRect) {
        m_dirtyRect = gfx::Rect{left, top, right - left, bottom - top};
        return;
    }
    gfx::Rect& d = *m_dirtyRect;
    const int unionRight = std::max(d.x + d.width, right), unionBottom = std::max(d.y + d.height, bottom);
    d.x = std::min(d.x, left);
    d.y = std::min(d.y, top);
    d.width = unionRight - d.x;
    d.height = unionBottom - d.y;
}

void UiWindowX11::paint()
{
    // A whole repaint, or the dirty rectangle of the picture painted last.
    std::optional<gfx::Rect> part = m_dirty ? std::nullopt : m_dirtyRect;
    m_dirty = false;
    m_dirtyRect.reset();
    if (m_gone || m_system.lost() || m_width <= 0 || m_height <= 0)
        return;
    if (part && (m_picture.width() != m_width || m_picture.height() != m_height))
        part.reset();
    if (part) {
        m_events.onPaintRect(m_picture, *part);
    } else {
        m_picture = gfx::Surface(m_width, m_height, gfx::kBlack);
        m_events.onPaint(m_picture);
    }
    // The owner may have closed the window while painting.
    if (m_gone || m_picture.width() != m_width || m_picture.height() != m_height)
        return;
    const gfx::Rect area = part ? *part : gfx::Rect{0, 0, m_width, m_height};
    Display* display = m_system.display();
    Visual* visual = DefaultVisual(display, m_system.screen());
    const int depth = DefaultDepth(display, m_system.screen());
    XImage* image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                                 static_cast<unsigned>(area.width), static_cast<unsigned>(area.height), 32, 0);
    if (!image)
        return;
    std::vector<char> bytes(static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(area.height));
    image->data = bytes.data();
    const bool direct = image->bits_per_pixel == 32 && visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 &&
                        visual->blue_mask == 0xFF && image->byte_order == LSBFirst;
    for (int y = 0; y < area.height; ++y) {
        const gfx::Pixel* in = m_picture.row(area.y + y) + area.x;
        if (direct) {
            std::memcpy(image->data + static_cast<size_t>(y) * image->bytes_per_line, in,
                        static_cast<size_t>(area.width) * 4);
            continue;
        }
        for (int x = 0; x < area.width; ++x) {
            XPutPixel(image, x, y, ToMasks(in[x], visual->red_mask, visual->green_mask, visual->blue_mask));
        }
    }
    {
        XErrorTrap trap(display);
        XPutImage(display, m_window, m_system.gc(), image, 0, 0, area.x, area.y, static_cast<unsigned>(area.width),
                  static_cast<unsigned>(area.height));
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
