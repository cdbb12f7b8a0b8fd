// GlWindowSystem over user32, gdi32 and WGL: one window class, one popup window with its own device
// context and one OpenGL context, as the renderer needs them.
//
// Implemented: class registration, display-mode change and restore, cursor counter, window creation,
// pixel format, context, the message pump and the default procedure, buffer swap, and the swap interval
// through WGL_EXT_swap_control.
// Not implemented: more than one window at a time (the renderer opens one).

#include <windows.h>

#include "platform/gl_window.h"

namespace pap {
namespace {

class GlWindowWin32 final : public GlWindowSystem {
public:
    ~GlWindowWin32() override;

    bool registerClass(const char* className, WindowProcFn proc, void* context) override;
    void unregisterClass(const char* className) override;
    bool changeDisplayMode(int width, int height, int bitsPerPixel) override;
    void restoreDisplayMode() override;
    int showCursor(bool show) override;
    bool createWindow(const char* className, const char* title, int width, int height) override;
    bool getDC() override;
    int choosePixelFormat(int colorBits, int depthBits) override;
    bool setPixelFormat(int format) override;
    bool createContext() override;
    bool makeCurrent() override;
    void deleteContext() override;
    void releaseDC() override;
    void destroyWindow() override;
    void showAndFocus() override;
    bool setSwapInterval(int interval) override;
    bool peekMessage(WindowMessage& out) override;
    void dispatchMessage(const WindowMessage& message) override;
    intptr_t defaultProc(const WindowMessage& message) override;
    void postQuit(int exitCode) override;
    void swapBuffers() override;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE m_instance = nullptr;
    HWND m_window = nullptr;
    HDC m_dc = nullptr;
    HGLRC m_context = nullptr;
    PIXELFORMATDESCRIPTOR m_pixelFormat{};
    MSG m_lastMessage{};
    WindowProcFn m_proc = nullptr;
    void* m_procContext = nullptr;
    // The window whose message the portable procedure is handling; messages sent during
    // CreateWindowExA arrive before m_window is known, and defaultProc needs their window.
    HWND m_handling = nullptr;
};

// The window procedure has no way to find its backend but a program-wide pointer: the class has no
// extra bytes and CreateWindowExA gets no creation parameter.
GlWindowWin32* g_registered = nullptr;

GlWindowWin32::~GlWindowWin32()
{
    if (g_registered == this)
        g_registered = nullptr;
}

LRESULT CALLBACK GlWindowWin32::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    GlWindowWin32* self = g_registered;
    if (!self || !self->m_proc)
        return DefWindowProcA(window, message, wParam, lParam);
    HWND outer = self->m_handling;
    self->m_handling = window;
    intptr_t result = self->m_proc(self->m_procContext, WindowMessage{message, wParam, lParam});
    self->m_handling = outer;
    return result;
}

bool GlWindowWin32::registerClass(const char* className, WindowProcFn proc, void* context)
{
    m_instance = GetModuleHandleA(nullptr);
    m_proc = proc;
    m_procContext = context;
    g_registered = this;

    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = &GlWindowWin32::windowProc;
    windowClass.hInstance = m_instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = className;
    return RegisterClassA(&windowClass) != 0;
}

void GlWindowWin32::unregisterClass(const char* className)
{
    UnregisterClassA(className, m_instance);
}

bool GlWindowWin32::changeDisplayMode(int width, int height, int bitsPerPixel)
{
    DEVMODEA mode{};
    mode.dmSize = sizeof(DEVMODEA);
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    mode.dmBitsPerPel = static_cast<DWORD>(bitsPerPixel);
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

void GlWindowWin32::restoreDisplayMode()
{
    ChangeDisplaySettingsA(nullptr, 0);
}

int GlWindowWin32::showCursor(bool show)
{
    return ShowCursor(show ? TRUE : FALSE);
}

bool GlWindowWin32::createWindow(const char* className, const char* title, int width, int height)
{
    constexpr DWORD kExStyle = WS_EX_APPWINDOW;
    constexpr DWORD kStyle = WS_POPUP;
    RECT rect{0, 0, width, height};
    AdjustWindowRectEx(&rect, kStyle, FALSE, kExStyle);
    m_window = CreateWindowExA(kExStyle, className, title, kStyle | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                               rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, m_instance,
                               nullptr);
    return m_window != nullptr;
}

bool GlWindowWin32::getDC()
{
    m_dc = GetDC(m_window);
    return m_dc != nullptr;
}

int GlWindowWin32::choosePixelFormat(int colorBits, int depthBits)
{
    m_pixelFormat = PIXELFORMATDESCRIPTOR{};
    m_pixelFormat.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    m_pixelFormat.nVersion = 1;
    m_pixelFormat.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    m_pixelFormat.iPixelType = PFD_TYPE_RGBA;
    m_pixelFormat.cColorBits = static_cast<BYTE>(colorBits);
    m_pixelFormat.cDepthBits = static_cast<BYTE>(depthBits);
    m_pixelFormat.iLayerType = PFD_MAIN_PLANE;
    return ChoosePixelFormat(m_dc, &m_pixelFormat);
}

bool GlWindowWin32::setPixelFormat(int format)
{
    return SetPixelFormat(m_dc, format, &m_pixelFormat) != FALSE;
}

bool GlWindowWin32::createContext()
{
    m_context = wglCreateContext(m_dc);
    return m_context != nullptr;
}

bool GlWindowWin32::makeCurrent()
{
    return wglMakeCurrent(m_dc, m_context) != FALSE;
}

void GlWindowWin32::deleteContext()
{
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(m_context);
    m_context = nullptr;
}

void GlWindowWin32::releaseDC()
{
    ReleaseDC(m_window, m_dc);
    m_dc = nullptr;
}

void GlWindowWin32::destroyWindow()
{
    DestroyWindow(m_window);
    m_window = nullptr;
}

void GlWindowWin32::showAndFocus()
{
    ShowWindow(m_window, SW_SHOW);
    SetForegroundWindow(m_window);
    SetFocus(m_window);
}

bool GlWindowWin32::setSwapInterval(int interval)
{
    using SwapIntervalFn = BOOL(WINAPI*)(int);
    PROC entry = wglGetProcAddress("wglSwapIntervalEXT");
    // Some drivers return small integers instead of null for entry points they lack.
    auto address = reinterpret_cast<intptr_t>(entry);
    if (address >= -1 && address <= 3)
        return false;
    // Through void (*)() so that the compiler accepts the change of function type.
    auto swapInterval = reinterpret_cast<SwapIntervalFn>(reinterpret_cast<void (*)()>(entry));
    return swapInterval(interval) != FALSE;
}

bool GlWindowWin32::peekMessage(WindowMessage& out)
{
    if (!PeekMessageA(&m_lastMessage, nullptr, 0, 0, PM_REMOVE))
        return false;
    out = WindowMessage{m_lastMessage.message, m_lastMessage.wParam, m_lastMessage.lParam};
    return true;
}

void GlWindowWin32::dispatchMessage(const WindowMessage& message)
{
    MSG msg = m_lastMessage;
    if (msg.message != message.message || msg.wParam != message.wParam || msg.lParam != message.lParam) {
        // Not the message just taken from the queue: address it to our window.
        msg = MSG{};
        msg.hwnd = m_window;
        msg.message = message.message;
        msg.wParam = message.wParam;
        msg.lParam = message.lParam;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

intptr_t GlWindowWin32::defaultProc(const WindowMessage& message)
{
    HWND window = m_handling ? m_handling : m_window;
    return DefWindowProcA(window, message.message, message.wParam, message.lParam);
}

void GlWindowWin32::postQuit(int exitCode)
{
    PostQuitMessage(exitCode);
}

void GlWindowWin32::swapBuffers()
{
    SwapBuffers(m_dc);
}

}  // namespace

std::unique_ptr<GlWindowSystem> MakeGlWindowSystem()
{
    return std::make_unique<GlWindowWin32>();
}

}  // namespace pap
