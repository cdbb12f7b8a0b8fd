#pragma once

// The operating-system side of the renderer's full-screen OpenGL window. Each call is one step of the
// render window's set-up, loop or tear-down, named after the Windows call it stands for; the portable
// renderer runs the steps in its own order and decides what a failure means.

#include <cstdint>
#include <memory>

namespace pap {

// Window messages, numbered as on Windows. The Linux backend translates X events into these.
enum : uint32_t {
    kWmSize = 0x0005,
    kWmActivate = 0x0006,
    kWmClose = 0x0010,
    kWmQuit = 0x0012,
    kWmKeyDown = 0x0100,
    kWmKeyUp = 0x0101,
    kWmSysCommand = 0x0112,
};

// System commands that the render window swallows.
constexpr uintptr_t kScScreenSave = 0xF140;
constexpr uintptr_t kScMonitorPower = 0xF170;

struct WindowMessage {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// The window procedure: called for every message dispatched to (or sent to) the window.
using WindowProcFn = intptr_t (*)(void* context, const WindowMessage& message);

class GlWindowSystem {
public:
    virtual ~GlWindowSystem() = default;

    // RegisterClassA: remembers the procedure that handles the window's messages.
    virtual bool registerClass(const char* className, WindowProcFn proc, void* context) = 0;
    // UnregisterClassA.
    virtual void unregisterClass(const char* className) = 0;
    // ChangeDisplaySettingsA with a mode and CDS_FULLSCREEN; true on DISP_CHANGE_SUCCESSFUL.
    virtual bool changeDisplayMode(int width, int height, int bitsPerPixel) = 0;
    // ChangeDisplaySettingsA with no mode: back to the stored display mode.
    virtual void restoreDisplayMode() = 0;
    // ShowCursor: moves the display counter by one; returns the new count.
    virtual int showCursor(bool show) = 0;
    // AdjustWindowRectEx and CreateWindowExA of a popup window of the class at (0, 0).
    virtual bool createWindow(const char* className, const char* title, int width, int height) = 0;
    // GetDC of the window.
    virtual bool getDC() = 0;
    // ChoosePixelFormat for a double-buffered RGBA format; 0 when none fits.
    virtual int choosePixelFormat(int colorBits, int depthBits) = 0;
    // SetPixelFormat.
    virtual bool setPixelFormat(int format) = 0;
    // wglCreateContext.
    virtual bool createContext() = 0;
    // wglMakeCurrent of the window's device context and the context.
    virtual bool makeCurrent() = 0;
    // wglMakeCurrent with nothing, then wglDeleteContext.
    virtual void deleteContext() = 0;
    // ReleaseDC.
    virtual void releaseDC() = 0;
    // DestroyWindow.
    virtual void destroyWindow() = 0;
    // ShowWindow (SW_SHOW), SetForegroundWindow, SetFocus.
    virtual void showAndFocus() = 0;
    // Asks for a swap interval of one frame where the driver offers it; false when it does not.
    virtual bool setSwapInterval(int interval) = 0;
    // PeekMessageA with PM_REMOVE; false when the queue is empty.
    virtual bool peekMessage(WindowMessage& out) = 0;
    // TranslateMessage and DispatchMessageA: hands the message to the window procedure.
    virtual void dispatchMessage(const WindowMessage& message) = 0;
    // DefWindowProcA.
    virtual intptr_t defaultProc(const WindowMessage& message) = 0;
    // PostQuitMessage.
    virtual void postQuit(int exitCode) = 0;
    // SwapBuffers of the window's device context.
    virtual void swapBuffers() = 0;
};

// The backend of this platform.
std::unique_ptr<GlWindowSystem> MakeGlWindowSystem();

}  // namespace pap
