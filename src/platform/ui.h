#pragma once

// The window system as the forms runtime and the saver use it: plain windows that show a picture the
// caller paints, the event loop's wait, and the desktop services around them (window search by title,
// the cursor counter, window rectangles, the screen copy). Windows implements it with user32 and
// gdi32; Linux with Xlib and XFixes. Texts are UTF-8 on this side of the boundary.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "gfx/surface.h"
#include "platform/screen_info.h"

namespace pap {

// A window of the platform: an HWND on Windows, an X window id on Linux; 0 is none.
using NativeWindow = uint64_t;

// The window style bit that makes a window the child of another (WS_CHILD).
constexpr uint32_t kWindowStyleChild = 0x40000000;

struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const ScreenRect&) const = default;
};

// Mouse buttons with the forms runtime's values; as a set (or-ed) in a move's held buttons.
enum MouseButtons : int { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };
// Shift state with the forms runtime's values, or-ed.
enum ShiftKeys : int { kShiftKey = 1, kCtrlKey = 2, kAltKey = 4 };

// A mouse event in pixels of the window's client area. Down and up: `button` is the one button that
// changed; move: the set of buttons held.
struct MouseEvent {
    int x = 0;
    int y = 0;
    int button = 0;
    int shift = 0;
};

// Pointer shapes, with the forms runtime's MousePointer values where it has one.
enum class PointerShape : int {
    Default = 0,
    Arrow = 1,
    Hourglass = 11,
    Custom = 99,  // the picture given with it (MouseIcon)
    Hand = 1000,  // the pointing hand of links
};

// Virtual-key codes of the keys the forms handle (the Windows values; X11 maps its keysyms onto them).
enum VirtualKey : int {
    kKeyBack = 0x08,
    kKeyTab = 0x09,
    kKeyReturn = 0x0D,
    kKeyShift = 0x10,
    kKeyControl = 0x11,
    kKeyMenu = 0x12,  // Alt
    kKeyEscape = 0x1B,
    kKeySpace = 0x20,
    kKeyPageUp = 0x21,
    kKeyPageDown = 0x22,
    kKeyEnd = 0x23,
    kKeyHome = 0x24,
    kKeyLeft = 0x25,
    kKeyUp = 0x26,
    kKeyRight = 0x27,
    kKeyDown = 0x28,
    kKeyDelete = 0x2E,
    kKeyF4 = 0x73,
};

// What a window tells its owner. Called from UiSystem::pumpEvents on the program's one thread.
// Input arrives only while the window is enabled. A window that took a button press keeps the mouse
// (its moves and its release, also outside it) until every button is up.
class UiWindowEvents {
public:
    virtual ~UiWindowEvents() = default;
    // The window needs painting: fill `target` (the client area's size, black) with its content.
    virtual void onPaint(gfx::Surface& target) = 0;
    // Only `rect` needs painting: `target` holds what was painted before, and the owner repaints that
    // rectangle of it (the rest is shown as it is).
    virtual void onPaintRect(gfx::Surface& target, gfx::Rect /*rect*/) { onPaint(target); }
    // The user or another program asked the window to close (WM_CLOSE, WM_DELETE_WINDOW). The window
    // stays until its owner destroys it.
    virtual void onCloseRequest() = 0;
    // The window was destroyed from outside, most often with its parent: it is gone for good.
    virtual void onDestroyed() = 0;

    virtual void onMouseMove(const MouseEvent& /*event*/) {}
    virtual void onMouseDown(const MouseEvent& /*event*/) {}
    virtual void onMouseUp(const MouseEvent& /*event*/) {}
    // The wheel turned by `delta` (120 per notch, positive away from the user) with the pointer at x, y;
    // it goes to the window under the pointer (or the one that holds the mouse; Windows before 10 gives
    // it to the focus window).
    virtual void onMouseWheel(const MouseEvent& /*event*/, int /*delta*/) {}
    // A key went down (repeats included) or up: its virtual-key code and the shift state, in which a
    // modifier key counts as down from its own press. Keys go to the window that has the focus.
    virtual void onKeyDown(int /*keyCode*/, int /*shift*/) {}
    virtual void onKeyUp(int /*keyCode*/, int /*shift*/) {}
    // A character was typed (after the keyboard layout and input method): one Unicode code point.
    virtual void onChar(uint32_t /*codePoint*/) {}
    // The window got or lost the keyboard focus.
    virtual void onFocus(bool /*gained*/) {}
};

// One window of the program: created hidden and without a parent, destroyed with the object.
class UiWindow {
public:
    virtual ~UiWindow() = default;

    virtual NativeWindow handle() const = 0;
    // The title that window search finds, also while the window is hidden.
    virtual void setTitle(const std::string& title) = 0;
    // Position (relative to the parent, or to the screen for a top-level window) and size of the
    // client area, in pixels; sizes below 1 pixel are held as 0 and the window is then not drawn.
    virtual void setBounds(int x, int y, int width, int height) = 0;
    virtual void setVisible(bool visible) = 0;
    // GetWindowLongA / SetWindowLongA with GWL_STYLE. Linux keeps the bits for the caller and acts on
    // kWindowStyleChild only (a child is never a top-level window to a window manager).
    virtual uint32_t style() = 0;
    virtual void setStyle(uint32_t style) = 0;
    // SetParent: the window becomes a child of parent (0: a top-level window again). False when the
    // parent does not exist.
    virtual bool setParent(NativeWindow parent) = 0;
    // Asks for an onPaint soon (a visible window only).
    virtual void invalidate() = 0;
    // Asks for a repaint of a rectangle of the client area only (onPaintRect, where the platform can).
    virtual void invalidateRect(gfx::Rect /*rect*/) { invalidate(); }
    // EnableWindow: a disabled window gets no mouse or key input (it still paints).
    virtual void setEnabled(bool enabled) = 0;
    virtual bool enabled() = 0;
    // SetFocus: the window takes the keyboard focus (its top-level window is activated).
    virtual void takeFocus() = 0;
    // The pointer over the window (a child's own, else its parent's). `icon` is a 32-bit picture for
    // PointerShape::Custom, with its hot spot at the centre: pixels of its top-left pixel's colour are
    // transparent, the others show their colour. Other shapes ignore it.
    virtual void setPointer(PointerShape shape, const gfx::Surface* icon = nullptr) = 0;
};

// A request to end the program that comes from outside its windows.
enum class EndRequest {
    // The user's session is ending: logoff or shutdown (WM_ENDSESSION), the terminal hung up (SIGHUP),
    // the connection to the X server was lost.
    SessionEnding,
    // The user or another program asked the process to end (SIGTERM, SIGINT).
    Terminate,
};

class UiSystem {
public:
    virtual ~UiSystem() = default;

    // Who hears the end requests (null: nobody). They arrive on the program's thread from pumpEvents,
    // never from a signal handler. Linux: SIGTERM, SIGINT and SIGHUP are caught while a handler is
    // set, and after a lost X connection the window calls do nothing. Windows: the session's end is
    // handled before the window procedure returns from WM_ENDSESSION, since the process may be ended
    // right after.
    virtual void setEndRequestHandler(std::function<void(EndRequest)> handler) = 0;

    // A new top-level window, hidden, with no title yet. Null when the window system refuses.
    virtual std::unique_ptr<UiWindow> createWindow(UiWindowEvents& events) = 0;
    // A new child window of `parent` (one of ours), hidden, at (0, 0) with no size; it paints over its
    // parent and takes the input over its rectangle. Null when the window system refuses.
    virtual std::unique_ptr<UiWindow> createChildWindow(UiWindowEvents& events, NativeWindow parent) = 0;

    // Waits until window events or posted tasks arrive or timeoutMs has passed, and dispatches what
    // arrived.
    virtual void pumpEvents(uint32_t timeoutMs) = 0;
    // Callable from any thread: `task` runs on the program's thread inside pumpEvents, after the tasks
    // posted before it; a waiting pumpEvents wakes up for it.
    virtual void post(std::function<void()> task) = 0;
    // Milliseconds on a monotonic clock, the time base of the event loop's timers.
    virtual uint64_t nowMs() = 0;

    // FindWindowA with no class name: a top-level window, hidden ones included, whose title is
    // exactly `title`; 0 when there is none.
    virtual NativeWindow findWindow(const std::string& title) = 0;
    // ShowCursor: raises (show) or lowers the cursor's display counter by one and returns the new
    // count; the cursor is hidden while the count is below 0. Every hide of a process is undone when
    // it ends.
    virtual int showCursor(bool show) = 0;
    // GetWindowRect: the window's rectangle in screen pixels; empty when no such window exists.
    virtual std::optional<ScreenRect> windowRect(NativeWindow window) = 0;
    // The screen as the forms measure it; empty when there is no screen.
    virtual std::optional<ScreenMetrics> screenMetrics() = 0;
    // GetCursorPos: the pointer's position in screen pixels; empty when it cannot be read.
    virtual std::optional<std::pair<int, int>> cursorPos() = 0;
    // WindowFromPoint: the innermost visible window at a point of the screen, of any process (a child
    // window where one is); 0 over no window (the desktop itself).
    virtual NativeWindow windowFromPoint(int x, int y) = 0;
    // Screen.MousePointer: a shape shown over every window of the program while it is not Default
    // (Custom shows the arrow: the screen has no picture of its own).
    virtual void setScreenPointer(PointerShape shape) = 0;

    // BitBlt with SRCCOPY from the desktop's device context at (0, 0) into `target` at (0, 0), width by
    // height pixels clipped to the target: the top-left part of the primary screen. Pixels beyond the
    // screen are left as they were. False when the screen cannot be read.
    virtual bool copyScreen(gfx::Surface& target, int width, int height) = 0;
    // The desktop as a screen saver daemon grabbed it before it covered the screen with `window`, copied
    // like copyScreen: from the image its helper program gives for the window (which follows the user's
    // choice of image source), else from the snapshot the daemon keeps on the window. False when neither
    // can be had; systems without such a daemon have neither.
    virtual bool copyGrabbedDesktop(NativeWindow /*window*/, gfx::Surface& /*target*/, int /*width*/, int /*height*/)
    {
        return false;
    }
};

// The window system of this platform; null when there is none (no X display on Linux).
std::unique_ptr<UiSystem> MakeUiSystem();

}  // namespace pap
