// UiSystem over user32 and gdi32: the program's forms are borderless popup windows of one class that
// show a picture painted into a 32-bit top-down DIB.
//
// Implemented: window creation, title (ANSI code page), bounds, visibility, style, parent, painting,
// close requests, destruction from outside (with the parent, also from another thread or process), the
// session's end (every top-level window gets WM_ENDSESSION, hidden ones too; the first hands it to the
// end-request handler, which has done its work when the message returns), the message wait and pump,
// window search, the cursor counter, window rectangles, screen metrics and the screen copy.
// Not implemented: input events (the forms runtime takes none from this interface).

#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "base/code_page.h"
#include "platform/ui.h"

namespace pap {
namespace {

constexpr const char* kFormClass = "PapyrantForm";

HWND toHwnd(NativeWindow window) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(window)); }
NativeWindow fromHwnd(HWND window) { return static_cast<NativeWindow>(reinterpret_cast<uintptr_t>(window)); }

// A 32-bit top-down DIB header: the layout of gfx::Surface.
BITMAPINFO topDownInfo(int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// The receiver of the end requests, shared by the system and its windows.
using EndRequestHandler = std::function<void(EndRequest)>;

class UiWindowWin32 final : public UiWindow {
public:
    UiWindowWin32(UiWindowEvents& events, const std::shared_ptr<EndRequestHandler>& endHandler)
        : m_events(events), m_endHandler(endHandler)
    {
    }
    ~UiWindowWin32() override;

    // Makes the window; false when CreateWindowExA refuses.
    bool create(HINSTANCE instance);

    NativeWindow handle() const override { return fromHwnd(m_window); }
    void setTitle(const std::string& title) override;
    void setBounds(int x, int y, int width, int height) override;
    void setVisible(bool visible) override;
    uint32_t style() override;
    void setStyle(uint32_t style) override;
    bool setParent(NativeWindow parent) override;
    void invalidate() override;
    // Placeholders until the input backend lands.
    void setEnabled(bool enabled) override { EnableWindow(m_window, enabled ? TRUE : FALSE); }
    bool enabled() override { return IsWindowEnabled(m_window) != FALSE; }
    void takeFocus() override {}
    void setPointer(PointerShape, const gfx::Surface*) override {}

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void paint(HWND window);

    UiWindowEvents& m_events;
    std::shared_ptr<EndRequestHandler> m_endHandler;
    // Null once the window is gone, whoever destroyed it.
    HWND m_window = nullptr;
};

UiWindowWin32::~UiWindowWin32()
{
    if (!m_window)
        return;
    // Detached first: the messages of the destruction reach no object and raise no onDestroyed.
    SetWindowLongPtrA(m_window, GWLP_USERDATA, 0);
    if (IsWindow(m_window))
        DestroyWindow(m_window);
}

bool UiWindowWin32::create(HINSTANCE instance)
{
    // Size 0: not drawn until the owner gives it bounds. m_window is set at WM_NCCREATE.
    HWND window = CreateWindowExA(0, kFormClass, "", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, this);
    return window && m_window == window;
}

LRESULT CALLBACK UiWindowWin32::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<UiWindowWin32*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->m_window = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        return DefWindowProcA(window, message, wParam, lParam);
    }
    auto* self = reinterpret_cast<UiWindowWin32*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_PAINT:
        self->paint(window);
        return 0;
    case WM_ERASEBKGND:
        // The paint covers the whole client area; erasing first would only flicker.
        return 1;
    case WM_CLOSE:
        // The owner decides; the callback may destroy this object, so nothing of it is touched after.
        self->m_events.onCloseRequest();
        return 0;
    case WM_QUERYENDSESSION:
        // The program never holds the session up; its end comes with WM_ENDSESSION.
        return TRUE;
    case WM_ENDSESSION: {
        // The process may be ended as soon as this returns: the program's unload runs now. It may
        // destroy this window and its object, so only the copied handler is touched.
        if (wParam) {
            std::shared_ptr<EndRequestHandler> handler = self->m_endHandler;
            if (handler && *handler) {
                EndRequestHandler call = *handler;
                call(EndRequest::SessionEnding);
            }
        }
        return 0;
    }
    case WM_DESTROY:
        // Not caused by the destructor (which detaches first): the parent went, or someone else
        // destroyed the window. The owner may delete this object in the callback.
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->m_window = nullptr;
        self->m_events.onDestroyed();
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void UiWindowWin32::paint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client{};
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (dc && width > 0 && height > 0) {
        gfx::Surface surface(width, height, gfx::kBlack);
        if (!surface.empty()) {
            m_events.onPaint(surface);
            const BITMAPINFO info = topDownInfo(width, height);
            StretchDIBits(dc, 0, 0, width, height, 0, 0, width, height, surface.data(), &info, DIB_RGB_COLORS,
                          SRCCOPY);
        }
    }
    EndPaint(window, &ps);
}

void UiWindowWin32::setTitle(const std::string& title)
{
    if (m_window)
        SetWindowTextA(m_window, ToAnsi(title).c_str());
}

void UiWindowWin32::setBounds(int x, int y, int width, int height)
{
    if (!m_window)
        return;
    width = std::max(width, 0);
    height = std::max(height, 0);
    // The window rectangle around a client rectangle of that size: the same rectangle for the
    // borderless styles the forms use, larger when the owner gave the window a frame.
    RECT rect{x, y, x + width, y + height};
    if (width > 0 && height > 0) {
        const auto style = static_cast<DWORD>(GetWindowLongA(m_window, GWL_STYLE));
        const auto exStyle = static_cast<DWORD>(GetWindowLongA(m_window, GWL_EXSTYLE));
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    }
    SetWindowPos(m_window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void UiWindowWin32::setVisible(bool visible)
{
    if (m_window)
        ShowWindow(m_window, visible ? SW_SHOW : SW_HIDE);
}

uint32_t UiWindowWin32::style()
{
    return m_window ? static_cast<uint32_t>(GetWindowLongA(m_window, GWL_STYLE)) : 0;
}

void UiWindowWin32::setStyle(uint32_t style)
{
    // A window is a child or a popup, never both: a popup that becomes a child must lose WS_POPUP before
    // it gets a parent, or the system keeps treating it as a top-level window with an owner.
    if (style & WS_CHILD)
        style &= ~static_cast<uint32_t>(WS_POPUP);
    if (m_window)
        SetWindowLongA(m_window, GWL_STYLE, static_cast<LONG>(style));
}

bool UiWindowWin32::setParent(NativeWindow parent)
{
    HWND parentWindow = toHwnd(parent);
    if (!m_window || (parentWindow && !IsWindow(parentWindow)))
        return false;
    // SetParent returns the previous parent, the desktop window for a top-level window; null is failure.
    SetLastError(ERROR_SUCCESS);
    HWND previous = SetParent(m_window, parentWindow);
    return previous || GetLastError() == ERROR_SUCCESS;
}

void UiWindowWin32::invalidate()
{
    if (m_window)
        InvalidateRect(m_window, nullptr, FALSE);
}

class UiSystemWin32 final : public UiSystem {
public:
    explicit UiSystemWin32(HINSTANCE instance) : m_instance(instance) {}

    void setEndRequestHandler(EndRequestHandler handler) override { *m_endHandler = std::move(handler); }

    std::unique_ptr<UiWindow> createWindow(UiWindowEvents& events) override;
    void pumpEvents(uint32_t timeoutMs) override;
    uint64_t nowMs() override { return GetTickCount64(); }
    NativeWindow findWindow(const std::string& title) override;
    int showCursor(bool show) override { return ShowCursor(show ? TRUE : FALSE); }
    std::optional<ScreenRect> windowRect(NativeWindow window) override;
    std::optional<ScreenMetrics> screenMetrics() override { return QueryScreenMetrics(); }
    bool copyScreen(gfx::Surface& target, int width, int height) override;
    std::unique_ptr<UiWindow> createChildWindow(UiWindowEvents&, NativeWindow) override { return nullptr; }
    std::optional<std::pair<int, int>> cursorPos() override { return std::nullopt; }
    NativeWindow windowFromPoint(int, int) override { return 0; }
    void setScreenPointer(PointerShape) override {}

private:
    HINSTANCE m_instance;
    std::shared_ptr<EndRequestHandler> m_endHandler = std::make_shared<EndRequestHandler>();
};

std::unique_ptr<UiWindow> UiSystemWin32::createWindow(UiWindowEvents& events)
{
    auto window = std::make_unique<UiWindowWin32>(events, m_endHandler);
    if (!window->create(m_instance))
        return nullptr;
    return window;
}

void UiSystemWin32::pumpEvents(uint32_t timeoutMs)
{
    // MWMO_INPUTAVAILABLE: messages already seen but still queued also end the wait.
    MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

NativeWindow UiSystemWin32::findWindow(const std::string& title)
{
    return fromHwnd(FindWindowA(nullptr, ToAnsi(title).c_str()));
}

std::optional<ScreenRect> UiSystemWin32::windowRect(NativeWindow window)
{
    HWND hwnd = toHwnd(window);
    RECT rect;
    if (!hwnd || !IsWindow(hwnd) || !GetWindowRect(hwnd, &rect))
        return std::nullopt;
    return ScreenRect{rect.left, rect.top, rect.right, rect.bottom};
}

bool UiSystemWin32::copyScreen(gfx::Surface& target, int width, int height)
{
    HWND desktop = GetDesktopWindow();
    HDC screen = GetDC(desktop);
    if (!screen)
        return false;
    width = std::min({width, target.width(), GetSystemMetrics(SM_CXSCREEN)});
    height = std::min({height, target.height(), GetSystemMetrics(SM_CYSCREEN)});
    if (width <= 0 || height <= 0) {
        ReleaseDC(desktop, screen);
        return true;
    }

    bool copied = false;
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    const BITMAPINFO info = topDownInfo(width, height);
    HBITMAP bitmap = memory ? CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY) != FALSE;
        GdiFlush();
        if (copied) {
            const auto* source = static_cast<const gfx::Pixel*>(bits);
            for (int y = 0; y < height; ++y) {
                const gfx::Pixel* from = source + static_cast<size_t>(y) * static_cast<size_t>(width);
                gfx::Pixel* to = target.row(y);
                for (int x = 0; x < width; ++x)
                    to[x] = from[x] & 0x00FFFFFF;
            }
        }
        SelectObject(memory, old);
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
    ReleaseDC(desktop, screen);
    return copied;
}

// The forms' window class, registered once for the process.
bool registerFormClass(HINSTANCE instance)
{
    static const bool registered = [instance] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = UiWindowWin32::windowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kFormClass;
        return RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

}  // namespace

std::unique_ptr<UiSystem> MakeUiSystem()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!registerFormClass(instance))
        return nullptr;
    return std::make_unique<UiSystemWin32>(instance);
}

}  // namespace pap
