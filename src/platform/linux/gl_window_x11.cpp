// The render window on X11: Xlib and GLX.
//
// Implemented:
// - the window "class" is the display connection: registerClass opens it, unregisterClass closes it;
// - one undecorated window (_MOTIF_WM_HINTS) covering the whole screen, asking the window manager for
//   _NET_WM_STATE_FULLSCREEN and _NET_WM_STATE_ABOVE; WM_CLASS "OpenGL", WM_NAME and _NET_WM_NAME the title;
// - no display-mode switch (X does not undo one when a program dies, and the projection fills any screen):
//   changeDisplayMode only holds off the server's screen saver and DPMS, restoreDisplayMode gives them back.
//   The MIT-SCREEN-SAVER extension's suspension holds them off for as long as the connection lives, so the
//   server lets go even of a killed renderer; without it the saver's timeout and DPMS are switched off;
// - SIGTERM, SIGINT and SIGHUP as a close request, so that the run ends through the loop and its tear-down;
// - the cursor counter of ShowCursor; below zero the cursor is hidden, by an invisible cursor on the window
//   and by XFixes on the root window (hide and show kept paired);
// - X events as window messages: keys with Windows virtual-key codes (synthetic events included), the
//   close request, map/unmap/hidden as WM_ACTIVATE with the minimised flag, size changes as WM_SIZE;
// - swap interval through GLX_EXT_swap_control, GLX_MESA_swap_control or GLX_SGI_swap_control.
// - hosted in another program's window (an XScreenSaver daemon's, or the root window): a child window
//   that fills the host and follows its size, without input, cursor handling or holding off the screen
//   saver; the host's destruction is a close request.
// Not implemented: WM_SYSCOMMAND (X has no screen-saver or monitor-power commands to swallow).

#include <GL/glx.h>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/dpms.h>
#include <X11/extensions/scrnsaver.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <thread>

#include "end_signals.h"
#include "gl_window_x11.h"
#include "platform/gl_window.h"
#include "x_error_trap.h"

namespace pap {

namespace {

constexpr uint32_t kWmSysKeyDown = 0x0104;
constexpr uint32_t kWmSysKeyUp = 0x0105;
constexpr uintptr_t kWaActive = 1;
constexpr uintptr_t kMinimisedFlag = uintptr_t{1} << 16;

// The Windows virtual-key code of a key symbol; 0 for a key that has none.
uint32_t virtualKeyOf(KeySym sym)
{
    if (sym >= XK_a && sym <= XK_z)
        return static_cast<uint32_t>('A' + (sym - XK_a));
    if ((sym >= XK_A && sym <= XK_Z) || (sym >= XK_0 && sym <= XK_9))
        return static_cast<uint32_t>(sym);
    if (sym >= XK_F1 && sym <= XK_F24)
        return static_cast<uint32_t>(0x70 + (sym - XK_F1));
    if (sym >= XK_KP_0 && sym <= XK_KP_9)
        return static_cast<uint32_t>(0x60 + (sym - XK_KP_0));
    switch (sym) {
    case XK_BackSpace: return 0x08;
    case XK_Tab:
    case XK_ISO_Left_Tab: return 0x09;
    case XK_Clear:
    case XK_KP_Begin: return 0x0C;
    case XK_Return:
    case XK_KP_Enter: return 0x0D;
    case XK_Shift_L:
    case XK_Shift_R: return 0x10;
    case XK_Control_L:
    case XK_Control_R: return 0x11;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R: return 0x12;
    case XK_Pause: return 0x13;
    case XK_Caps_Lock: return 0x14;
    case XK_Escape: return 0x1B;
    case XK_space:
    case XK_KP_Space: return 0x20;
    case XK_Prior:
    case XK_KP_Prior: return 0x21;
    case XK_Next:
    case XK_KP_Next: return 0x22;
    case XK_End:
    case XK_KP_End: return 0x23;
    case XK_Home:
    case XK_KP_Home: return 0x24;
    case XK_Left:
    case XK_KP_Left: return 0x25;
    case XK_Up:
    case XK_KP_Up: return 0x26;
    case XK_Right:
    case XK_KP_Right: return 0x27;
    case XK_Down:
    case XK_KP_Down: return 0x28;
    case XK_Select: return 0x29;
    case XK_Print: return 0x2C;
    case XK_Insert:
    case XK_KP_Insert: return 0x2D;
    case XK_Delete:
    case XK_KP_Delete: return 0x2E;
    case XK_Help: return 0x2F;
    case XK_Super_L: return 0x5B;
    case XK_Super_R: return 0x5C;
    case XK_Menu: return 0x5D;
    case XK_KP_Multiply: return 0x6A;
    case XK_KP_Add: return 0x6B;
    case XK_KP_Separator: return 0x6C;
    case XK_KP_Subtract: return 0x6D;
    case XK_KP_Decimal: return 0x6E;
    case XK_KP_Divide: return 0x6F;
    case XK_Num_Lock: return 0x90;
    case XK_Scroll_Lock: return 0x91;
    case XK_semicolon: return 0xBA;
    case XK_equal: return 0xBB;
    case XK_comma: return 0xBC;
    case XK_minus: return 0xBD;
    case XK_period: return 0xBE;
    case XK_slash: return 0xBF;
    case XK_grave: return 0xC0;
    case XK_bracketleft: return 0xDB;
    case XK_backslash: return 0xDC;
    case XK_bracketright: return 0xDD;
    case XK_apostrophe: return 0xDE;
    case XK_less: return 0xE2;
    default: return 0;
    }
}

bool hasExtension(const char* list, const char* name)
{
    if (!list)
        return false;
    const size_t length = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += length) {
        const bool startsWord = p == list || p[-1] == ' ';
        const bool endsWord = p[length] == ' ' || p[length] == '\0';
        if (startsWord && endsWord)
            return true;
    }
    return false;
}

class GlWindowX11 final : public GlWindowSystem {
public:
    GlWindowX11() = default;
    GlWindowX11(bool hosted, Window host) : m_hosted(hosted), m_host(host) {}

    ~GlWindowX11() override
    {
        // The renderer tears everything down itself; this only guards against a connection left open.
        if (m_display)
            XCloseDisplay(m_display);
    }

    bool registerClass(const char*, WindowProcFn proc, void* context) override
    {
        if (!m_display)
            m_display = XOpenDisplay(nullptr);
        if (!m_display)
            return false;
        XSetErrorHandler(RecordXError);
        m_screen = DefaultScreen(m_display);
        m_root = RootWindow(m_display, m_screen);
        if (m_hosted && m_host == 0)
            m_host = m_root;
        internAtoms();
        // Held keys then repeat as presses alone, as on Windows, instead of release-press pairs.
        Bool supported = False;
        XkbSetDetectableAutoRepeat(m_display, True, &supported);
        int eventBase = 0;
        int errorBase = 0;
        m_haveXFixes = XFixesQueryExtension(m_display, &eventBase, &errorBase);
        m_proc = proc;
        m_procContext = context;
        // A request to end the process becomes a close request, so that the run ends through the loop.
        m_signals.emplace();
        return true;
    }

    void unregisterClass(const char*) override
    {
        if (!m_display)
            return;
        XCloseDisplay(m_display);
        m_display = nullptr;
        m_signals.reset();
        m_haveXFixes = false;
        m_cursorHiddenByXFixes = false;
        m_proc = nullptr;
        m_procContext = nullptr;
    }

    bool changeDisplayMode(int, int, int) override
    {
        if (!m_display)
            return false;
        // A hosted window is the screen saver's own drawing: nothing to hold off.
        if (m_hosted || m_saverHold != SaverHold::Released)
            return true;
        // The screen saver and DPMS would blank the screen over the animation.
        int eventBase = 0;
        int errorBase = 0;
        int major = 0;
        int minor = 0;
        if (XScreenSaverQueryExtension(m_display, &eventBase, &errorBase) &&
            XScreenSaverQueryVersion(m_display, &major, &minor) && (major > 1 || (major == 1 && minor >= 1))) {
            XScreenSaverSuspend(m_display, True);
            m_saverHold = SaverHold::Suspended;
        } else {
            switchSaverOff();
            m_saverHold = SaverHold::SwitchedOff;
        }
        // Neither way ends a saver that is already on.
        XResetScreenSaver(m_display);
        XFlush(m_display);
        return true;
    }

    void restoreDisplayMode() override
    {
        if (!m_display || m_saverHold == SaverHold::Released)
            return;
        if (m_saverHold == SaverHold::Suspended) {
            XScreenSaverSuspend(m_display, False);
        } else {
            XSetScreenSaver(m_display, m_saverTimeout, m_saverInterval, m_saverBlanking, m_saverExposures);
            if (m_dpmsWasEnabled)
                DPMSEnable(m_display);
        }
        XFlush(m_display);
        m_saverHold = SaverHold::Released;
    }

    int showCursor(bool show) override
    {
        m_cursorCount += show ? 1 : -1;
        applyCursor();
        return m_cursorCount;
    }

    bool createWindow(const char*, const char* title, int, int) override
    {
        if (!m_display || m_window)
            return false;
        m_title = title;
        if (m_hosted) {
            // The host's size; its size changes and its end come as StructureNotify events.
            XErrorTrap trap(m_display);
            XWindowAttributes host{};
            if (!XGetWindowAttributes(m_display, m_host, &host) || trap.failed())
                return false;
            XSelectInput(m_display, m_host, host.your_event_mask | StructureNotifyMask);
            if (trap.failed())
                return false;
            m_width = host.width;
            m_height = host.height;
            return makeWindow(DefaultVisual(m_display, m_screen), DefaultDepth(m_display, m_screen));
        }
        // Full screen at the current mode: the requested size only matters where the mode is switched.
        m_width = DisplayWidth(m_display, m_screen);
        m_height = DisplayHeight(m_display, m_screen);
        return makeWindow(DefaultVisual(m_display, m_screen), DefaultDepth(m_display, m_screen));
    }

    bool getDC() override { return m_window != 0; }

    int choosePixelFormat(int colorBits, int depthBits) override
    {
        if (!m_display)
            return 0;
        XErrorTrap trap(m_display);
        // The closest double-buffered RGBA visual: the channel sizes are minimums, and 8 bits per channel
        // are asked for first when 24 or more colour bits are wanted.
        const int wantedChannel = colorBits >= 24 ? 8 : 4;
        XVisualInfo* info = nullptr;
        for (int channel : {wantedChannel, 1}) {
            int attributes[] = {GLX_RGBA,       GLX_DOUBLEBUFFER, GLX_RED_SIZE,   channel,   GLX_GREEN_SIZE,
                                channel,        GLX_BLUE_SIZE,    channel,        GLX_DEPTH_SIZE, depthBits,
                                None};
            info = glXChooseVisual(m_display, m_screen, attributes);
            if (info)
                break;
        }
        if (!info)
            return 0;
        const int format = info->depth >= 16 ? static_cast<int>(info->visualid) : 0;
        XFree(info);
        return trap.failed() ? 0 : format;
    }

    bool setPixelFormat(int format) override
    {
        if (!m_display || !m_window || format <= 0)
            return false;
        XVisualInfo wanted{};
        wanted.visualid = static_cast<VisualID>(format);
        wanted.screen = m_screen;
        int count = 0;
        XVisualInfo* info = XGetVisualInfo(m_display, VisualIDMask | VisualScreenMask, &wanted, &count);
        if (!info || count < 1) {
            if (info)
                XFree(info);
            return false;
        }
        m_visualInfo = info[0];
        XFree(info);
        m_haveVisualInfo = true;
        // An X window's visual is fixed when it is made; the window is not shown yet, so one with another
        // visual is made again with the chosen one.
        if (XVisualIDFromVisual(m_windowVisual) == m_visualInfo.visualid)
            return true;
        destroyWindow();
        return makeWindow(m_visualInfo.visual, m_visualInfo.depth);
    }

    bool createContext() override
    {
        if (!m_display || !m_haveVisualInfo || m_glContext)
            return false;
        for (Bool direct : {True, False}) {
            XErrorTrap trap(m_display);
            GLXContext context = glXCreateContext(m_display, &m_visualInfo, nullptr, direct);
            if (context && !trap.failed()) {
                m_glContext = context;
                return true;
            }
            if (context)
                glXDestroyContext(m_display, context);
        }
        return false;
    }

    bool makeCurrent() override
    {
        if (!m_display || !m_window || !m_glContext)
            return false;
        XErrorTrap trap(m_display);
        const bool made = glXMakeCurrent(m_display, m_window, m_glContext);
        return made && !trap.failed();
    }

    void deleteContext() override
    {
        if (!m_display || !m_glContext)
            return;
        XErrorTrap trap(m_display);
        glXMakeCurrent(m_display, None, nullptr);
        glXDestroyContext(m_display, m_glContext);
        m_glContext = nullptr;
    }

    void releaseDC() override {}

    void destroyWindow() override
    {
        if (!m_display || !m_window)
            return;
        XDestroyWindow(m_display, m_window);
        if (m_colormap)
            XFreeColormap(m_display, m_colormap);
        if (m_invisibleCursor)
            XFreeCursor(m_display, m_invisibleCursor);
        XFlush(m_display);
        m_window = 0;
        m_colormap = 0;
        m_invisibleCursor = 0;
        m_windowVisual = nullptr;
        m_mapped = false;
        m_hidden = false;
        m_minimised = false;
    }

    void showAndFocus() override
    {
        if (!m_display || !m_window)
            return;
        if (m_hosted) {
            // The daemon holds the keyboard and the pointer; the window only shows.
            XMapRaised(m_display, m_window);
            XFlush(m_display);
            m_queue.push_back(sizeMessage(m_width, m_height));
            return;
        }
        XMapRaised(m_display, m_window);
        XFlush(m_display);
        waitUntilViewable();
        {
            XErrorTrap trap(m_display);
            XSetInputFocus(m_display, m_window, RevertToParent, CurrentTime);
        }
        // A window manager keeps the focus to itself unless asked through _NET_ACTIVE_WINDOW.
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = m_window;
        event.xclient.message_type = m_atomNetActiveWindow;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 1;  // from an application
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, m_root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XFlush(m_display);
        // The view was set up for the requested size; the window has the screen's.
        m_queue.push_back(sizeMessage(m_width, m_height));
    }

    bool setSwapInterval(int interval) override
    {
        if (!m_display || !m_window)
            return false;
        const char* extensions = glXQueryExtensionsString(m_display, m_screen);
        XErrorTrap trap(m_display);
        if (hasExtension(extensions, "GLX_EXT_swap_control")) {
            using SwapIntervalExt = void (*)(Display*, GLXDrawable, int);
            auto fn = reinterpret_cast<SwapIntervalExt>(
                glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalEXT")));
            if (fn) {
                fn(m_display, m_window, interval);
                return !trap.failed();
            }
        }
        if (hasExtension(extensions, "GLX_MESA_swap_control")) {
            using SwapIntervalMesa = int (*)(unsigned);
            auto fn = reinterpret_cast<SwapIntervalMesa>(
                glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalMESA")));
            if (fn)
                return fn(static_cast<unsigned>(interval)) == 0 && !trap.failed();
        }
        if (interval > 0 && hasExtension(extensions, "GLX_SGI_swap_control")) {
            using SwapIntervalSgi = int (*)(int);
            auto fn = reinterpret_cast<SwapIntervalSgi>(
                glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalSGI")));
            if (fn)
                return fn(interval) == 0 && !trap.failed();
        }
        return false;
    }

    bool peekMessage(WindowMessage& out) override
    {
        if (m_signals && m_signals->take() != 0)
            m_queue.push_back(WindowMessage{kWmClose, 0, 0});
        while (m_queue.empty()) {
            if (!m_display || XPending(m_display) == 0)
                return false;
            XEvent event;
            XNextEvent(m_display, &event);
            translate(event);
        }
        out = m_queue.front();
        m_queue.pop_front();
        return true;
    }

    void dispatchMessage(const WindowMessage& message) override
    {
        if (m_proc)
            m_proc(m_procContext, message);
    }

    intptr_t defaultProc(const WindowMessage&) override { return 0; }

    void postQuit(int exitCode) override
    {
        m_queue.push_back(WindowMessage{kWmQuit, static_cast<uintptr_t>(exitCode), 0});
    }

    void swapBuffers() override
    {
        if (m_display && m_window)
            glXSwapBuffers(m_display, m_window);
    }

private:
    // The server-wide settings, taken back by restoreDisplayMode: only for servers without the suspension.
    void switchSaverOff()
    {
        XGetScreenSaver(m_display, &m_saverTimeout, &m_saverInterval, &m_saverBlanking, &m_saverExposures);
        XSetScreenSaver(m_display, 0, m_saverInterval, m_saverBlanking, m_saverExposures);
        int eventBase = 0;
        int errorBase = 0;
        m_dpmsWasEnabled = false;
        if (DPMSQueryExtension(m_display, &eventBase, &errorBase) && DPMSCapable(m_display)) {
            CARD16 level = 0;
            BOOL enabled = False;
            if (DPMSInfo(m_display, &level, &enabled) && enabled) {
                DPMSDisable(m_display);
                m_dpmsWasEnabled = true;
            }
        }
    }

    void internAtoms()
    {
        m_atomProtocols = XInternAtom(m_display, "WM_PROTOCOLS", False);
        m_atomDeleteWindow = XInternAtom(m_display, "WM_DELETE_WINDOW", False);
        m_atomPing = XInternAtom(m_display, "_NET_WM_PING", False);
        m_atomUtf8 = XInternAtom(m_display, "UTF8_STRING", False);
        m_atomNetWmName = XInternAtom(m_display, "_NET_WM_NAME", False);
        m_atomNetWmState = XInternAtom(m_display, "_NET_WM_STATE", False);
        m_atomFullscreen = XInternAtom(m_display, "_NET_WM_STATE_FULLSCREEN", False);
        m_atomAbove = XInternAtom(m_display, "_NET_WM_STATE_ABOVE", False);
        m_atomHidden = XInternAtom(m_display, "_NET_WM_STATE_HIDDEN", False);
        m_atomMotifHints = XInternAtom(m_display, "_MOTIF_WM_HINTS", False);
        m_atomNetWmPid = XInternAtom(m_display, "_NET_WM_PID", False);
        m_atomBypassCompositor = XInternAtom(m_display, "_NET_WM_BYPASS_COMPOSITOR", False);
        m_atomNetActiveWindow = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False);
    }

    bool makeWindow(Visual* visual, int depth)
    {
        XErrorTrap trap(m_display);
        XSetWindowAttributes attributes{};
        unsigned long mask = CWBorderPixel | CWEventMask | CWBackPixmap;
        attributes.background_pixmap = None;  // no background: what was on screen stays until the first frame
        attributes.border_pixel = 0;
        attributes.event_mask = KeyPressMask | KeyReleaseMask | StructureNotifyMask | PropertyChangeMask;
        const Window parent = m_hosted ? m_host : m_root;
        if (m_hosted) {
            attributes.event_mask = StructureNotifyMask;
            // On the root window no window manager may frame or move it.
            attributes.override_redirect = parent == m_root;
            mask |= CWOverrideRedirect;
        }
        m_colormap = 0;
        if (visual != DefaultVisual(m_display, m_screen)) {
            m_colormap = XCreateColormap(m_display, m_root, visual, AllocNone);
            attributes.colormap = m_colormap;
            mask |= CWColormap;
        }
        m_window = XCreateWindow(m_display, parent, 0, 0, static_cast<unsigned>(m_width),
                                 static_cast<unsigned>(m_height), 0, depth, InputOutput, visual, mask, &attributes);
        if (!m_window || trap.failed()) {
            if (m_window)
                XDestroyWindow(m_display, m_window);
            if (m_colormap)
                XFreeColormap(m_display, m_colormap);
            m_window = 0;
            m_colormap = 0;
            return false;
        }
        m_windowVisual = visual;
        m_reportedWidth = m_width;
        m_reportedHeight = m_height;
        setWindowProperties();
        applyCursor();
        return !trap.failed();
    }

    void setWindowProperties()
    {
        char* title = const_cast<char*>(m_title.c_str());
        XTextProperty name{};
        if (Xutf8TextListToTextProperty(m_display, &title, 1, XStdICCTextStyle, &name) >= Success) {
            XSetWMName(m_display, m_window, &name);
            XSetWMIconName(m_display, m_window, &name);
            XFree(name.value);
        }
        XStoreName(m_display, m_window, m_title.c_str());
        XChangeProperty(m_display, m_window, m_atomNetWmName, m_atomUtf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(m_title.data()), static_cast<int>(m_title.size()));

        XClassHint classHint{};
        char className[] = "OpenGL";
        classHint.res_name = className;
        classHint.res_class = className;
        XSetClassHint(m_display, m_window, &classHint);

        XWMHints hints{};
        hints.flags = InputHint | StateHint;
        hints.input = True;
        hints.initial_state = NormalState;
        XSetWMHints(m_display, m_window, &hints);

        XSizeHints size{};
        size.flags = PPosition | PSize;
        size.width = m_width;
        size.height = m_height;
        XSetWMNormalHints(m_display, m_window, &size);

        Atom protocols[] = {m_atomDeleteWindow, m_atomPing};
        XSetWMProtocols(m_display, m_window, protocols, 2);

        // _MOTIF_WM_HINTS: flags, functions, decorations, input mode, status; flag 2 = decorations given.
        const long motif[5] = {2, 0, 0, 0, 0};
        XChangeProperty(m_display, m_window, m_atomMotifHints, m_atomMotifHints, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(motif), 5);
        const Atom state[2] = {m_atomFullscreen, m_atomAbove};
        XChangeProperty(m_display, m_window, m_atomNetWmState, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(state), 2);
        const long pid = static_cast<long>(getpid());
        XChangeProperty(m_display, m_window, m_atomNetWmPid, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&pid), 1);
        const long bypass = 1;
        XChangeProperty(m_display, m_window, m_atomBypassCompositor, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&bypass), 1);
    }

    // Hidden below a count of zero, as ShowCursor does. XFixes hides it over every window for as long as
    // this connection lives; the invisible cursor covers servers without XFixes.
    void applyCursor()
    {
        if (!m_display || m_hosted)
            return;
        const bool hide = m_cursorCount < 0;
        if (m_haveXFixes && hide != m_cursorHiddenByXFixes) {
            if (hide)
                XFixesHideCursor(m_display, m_root);
            else
                XFixesShowCursor(m_display, m_root);
            m_cursorHiddenByXFixes = hide;
        }
        if (m_window) {
            if (hide) {
                if (!m_invisibleCursor)
                    m_invisibleCursor = makeInvisibleCursor();
                XDefineCursor(m_display, m_window, m_invisibleCursor);
            } else {
                XUndefineCursor(m_display, m_window);
            }
        }
        XFlush(m_display);
    }

    Cursor makeInvisibleCursor()
    {
        const char empty[1] = {0};
        Pixmap bitmap = XCreateBitmapFromData(m_display, m_root, empty, 1, 1);
        XColor black{};
        Cursor cursor = XCreatePixmapCursor(m_display, bitmap, bitmap, &black, &black, 0, 0);
        XFreePixmap(m_display, bitmap);
        return cursor;
    }

    void waitUntilViewable()
    {
        // Without a window manager the map is immediate; with one it takes a round trip through it.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        for (;;) {
            XWindowAttributes attributes{};
            if (!XGetWindowAttributes(m_display, m_window, &attributes) || attributes.map_state == IsViewable)
                return;
            if (std::chrono::steady_clock::now() >= deadline)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    static WindowMessage sizeMessage(int width, int height)
    {
        const auto lParam = static_cast<intptr_t>((static_cast<uint32_t>(height & 0xFFFF) << 16) |
                                                  static_cast<uint32_t>(width & 0xFFFF));
        return WindowMessage{kWmSize, 0, lParam};
    }

    void translate(XEvent& event)
    {
        switch (event.type) {
        case KeyPress:
        case KeyRelease:
            translateKey(event.xkey);
            break;
        case ClientMessage:
            if (event.xclient.message_type != m_atomProtocols || event.xclient.format != 32)
                break;
            if (static_cast<Atom>(event.xclient.data.l[0]) == m_atomDeleteWindow) {
                m_queue.push_back(WindowMessage{kWmClose, 0, 0});
            } else if (static_cast<Atom>(event.xclient.data.l[0]) == m_atomPing) {
                event.xclient.window = m_root;
                XSendEvent(m_display, m_root, False, SubstructureNotifyMask | SubstructureRedirectMask, &event);
            }
            break;
        case MapNotify:
            if (event.xmap.window == m_window) {
                m_mapped = true;
                updateMinimised(true);
            }
            break;
        case UnmapNotify:
            if (event.xunmap.window == m_window) {
                m_mapped = false;
                updateMinimised(false);
            }
            break;
        case PropertyNotify:
            if (event.xproperty.window == m_window && event.xproperty.atom == m_atomNetWmState) {
                m_hidden = stateHasHidden();
                updateMinimised(false);
            }
            break;
        case DestroyNotify:
            // The host went away, and our window with it.
            if (m_hosted && (event.xdestroywindow.window == m_host || event.xdestroywindow.window == m_window))
                m_queue.push_back(WindowMessage{kWmClose, 0, 0});
            break;
        case ConfigureNotify:
            if (m_hosted && m_window && event.xconfigure.window == m_host &&
                (event.xconfigure.width != m_width || event.xconfigure.height != m_height)) {
                m_width = event.xconfigure.width;
                m_height = event.xconfigure.height;
                XResizeWindow(m_display, m_window, static_cast<unsigned>(m_width), static_cast<unsigned>(m_height));
                break;
            }
            if (event.xconfigure.window == m_window &&
                (event.xconfigure.width != m_reportedWidth || event.xconfigure.height != m_reportedHeight)) {
                m_reportedWidth = event.xconfigure.width;
                m_reportedHeight = event.xconfigure.height;
                m_queue.push_back(sizeMessage(m_reportedWidth, m_reportedHeight));
            }
            break;
        default:
            break;
        }
    }

    void translateKey(XKeyEvent& key)
    {
        // Synthetic events (send_event set, as from xdotool to an unfocused window) count like real ones.
        KeySym sym = XLookupKeysym(&key, 0);
        if (IsKeypadKey(sym)) {
            // The keypad's symbol depends on Num Lock: digits with it on, cursor keys with it off.
            KeySym withModifiers = NoSymbol;
            char text[8];
            XLookupString(&key, text, sizeof text, &withModifiers, nullptr);
            if (withModifiers != NoSymbol)
                sym = withModifiers;
        }
        const uint32_t vk = virtualKeyOf(sym);
        if (vk == 0)
            return;
        const bool press = key.type == KeyPress;
        const unsigned code = key.keycode & 0xFF;
        const bool wasDown = m_keycodeDown[code];
        m_keycodeDown[code] = press;
        // Alt and F10, and any key while Alt is held, are system keys, which the window procedure does not
        // record.
        const bool system = vk == 0x12 || vk == 0x79 || (key.state & Mod1Mask) != 0;
        uint32_t message = press ? kWmKeyDown : kWmKeyUp;
        if (system)
            message = press ? kWmSysKeyDown : kWmSysKeyUp;
        // lParam: repeat count 1, scan code, previous key state (bit 30), transition state (bit 31).
        uint32_t lParam = 1 | (((code - 8) & 0xFF) << 16);
        if (wasDown || !press)
            lParam |= 1u << 30;
        if (!press)
            lParam |= 1u << 31;
        if (system && (key.state & Mod1Mask))
            lParam |= 1u << 29;
        m_queue.push_back(WindowMessage{message, vk, static_cast<intptr_t>(lParam)});
    }

    bool stateHasHidden()
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        bool hidden = false;
        if (XGetWindowProperty(m_display, m_window, m_atomNetWmState, 0, 64, False, XA_ATOM, &type, &format,
                               &count, &after, &data) == Success &&
            data && format == 32) {
            const Atom* atoms = reinterpret_cast<const Atom*>(data);
            for (unsigned long i = 0; i < count; ++i)
                hidden = hidden || atoms[i] == m_atomHidden;
        }
        if (data)
            XFree(data);
        return hidden;
    }

    // WM_ACTIVATE with the minimised flag when that changes, and on every map (activation).
    void updateMinimised(bool always)
    {
        const bool minimised = !m_mapped || m_hidden;
        if (minimised == m_minimised && !always)
            return;
        m_minimised = minimised;
        m_queue.push_back(WindowMessage{kWmActivate, minimised ? kMinimisedFlag : kWaActive, 0});
    }

    const bool m_hosted = false;
    Window m_host = 0;
    Display* m_display = nullptr;
    int m_screen = 0;
    Window m_root = 0;
    Window m_window = 0;
    Visual* m_windowVisual = nullptr;
    Colormap m_colormap = 0;
    Cursor m_invisibleCursor = 0;
    XVisualInfo m_visualInfo{};
    bool m_haveVisualInfo = false;
    GLXContext m_glContext = nullptr;
    std::string m_title;
    int m_width = 0;
    int m_height = 0;
    int m_reportedWidth = 0;
    int m_reportedHeight = 0;

    WindowProcFn m_proc = nullptr;
    void* m_procContext = nullptr;
    std::deque<WindowMessage> m_queue;
    bool m_keycodeDown[256] = {};
    bool m_mapped = false;
    bool m_hidden = false;
    bool m_minimised = false;

    int m_cursorCount = 0;
    bool m_haveXFixes = false;
    bool m_cursorHiddenByXFixes = false;

    enum class SaverHold { Released, Suspended, SwitchedOff };
    SaverHold m_saverHold = SaverHold::Released;
    int m_saverTimeout = 0;
    int m_saverInterval = 0;
    int m_saverBlanking = 0;
    int m_saverExposures = 0;
    bool m_dpmsWasEnabled = false;

    std::optional<EndSignals> m_signals;

    Atom m_atomProtocols = 0;
    Atom m_atomDeleteWindow = 0;
    Atom m_atomPing = 0;
    Atom m_atomUtf8 = 0;
    Atom m_atomNetWmName = 0;
    Atom m_atomNetWmState = 0;
    Atom m_atomFullscreen = 0;
    Atom m_atomAbove = 0;
    Atom m_atomHidden = 0;
    Atom m_atomMotifHints = 0;
    Atom m_atomNetWmPid = 0;
    Atom m_atomBypassCompositor = 0;
    Atom m_atomNetActiveWindow = 0;
};

}  // namespace

std::unique_ptr<GlWindowSystem> MakeGlWindowSystem() { return std::make_unique<GlWindowX11>(); }

std::unique_ptr<GlWindowSystem> MakeHostedGlWindowSystem(unsigned long host)
{
    return std::make_unique<GlWindowX11>(true, static_cast<Window>(host));
}

}  // namespace pap
