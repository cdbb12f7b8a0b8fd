// UiSystem over user32 and gdi32: the program's forms are borderless popup windows of one class that
// show a picture painted into a 32-bit top-down DIB.
//
// Implemented: window creation (top-level and child), title (ANSI code page), bounds, visibility, style,
// parent, painting,
// close requests, destruction from outside (with the parent, also from another thread or process), the
// session's end (every top-level window gets WM_ENDSESSION, hidden ones too; the first hands it to the
// end-request handler, which has done its work when the message returns), the message wait and pump,
// window search, the cursor counter, window rectangles, screen metrics and the screen copy; input: mouse
// with capture from a press until every button is up, wheel, keys, characters (the class and the pump
// are Unicode, so WM_CHAR carries UTF-16, surrogate pairs joined), focus, enabling; pointer shapes per
// window and for the whole program through WM_SETCURSOR; the pointer's position and the window under a
// point.

#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "base/code_page.h"
#include "platform/posted_tasks.h"
#include "platform/ui.h"

namespace pap {
namespace {

constexpr const wchar_t* kFormClass = L"PapyrantForm";

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

// The pointer shown over every window of the program while set (null: each window's own), shared
// likewise.
using ScreenPointer = std::shared_ptr<HCURSOR>;

int KeyShift()
{
    return (GetKeyState(VK_SHIFT) < 0 ? kShiftKey : 0) | (GetKeyState(VK_CONTROL) < 0 ? kCtrlKey : 0) |
           (GetKeyState(VK_MENU) < 0 ? kAltKey : 0);
}

// The shift state of a mouse message's key flags; Alt is not among them.
int MouseShift(WPARAM flags)
{
    return ((flags & MK_SHIFT) ? kShiftKey : 0) | ((flags & MK_CONTROL) ? kCtrlKey : 0) |
           (GetKeyState(VK_MENU) < 0 ? kAltKey : 0);
}

int MouseButtonsHeld(WPARAM flags)
{
    return ((flags & MK_LBUTTON) ? kLeftButton : 0) | ((flags & MK_RBUTTON) ? kRightButton : 0) |
           ((flags & MK_MBUTTON) ? kMiddleButton : 0);
}

MouseEvent MouseAt(LPARAM position, int button, int shift)
{
    return MouseEvent{GET_X_LPARAM(position), GET_Y_LPARAM(position), button, shift};
}

// The system cursor of a shape; null for Default and Custom.
HCURSOR SystemPointer(PointerShape shape)
{
    switch (shape) {
    case PointerShape::Arrow:
        return LoadCursor(nullptr, IDC_ARROW);
    case PointerShape::Hourglass:
        return LoadCursor(nullptr, IDC_WAIT);
    case PointerShape::Hand:
        return LoadCursor(nullptr, IDC_HAND);
    default:
        return nullptr;
    }
}

// A cursor from a 32-bit picture with its hot spot at the centre. Pixels of the picture's top-left colour
// are transparent, every other pixel shows its colour. Null when the picture is empty or the system
// refuses.
HCURSOR PictureCursor(const gfx::Surface& picture)
{
    const int width = std::min(picture.width(), 256);
    const int height = std::min(picture.height(), 256);
    if (width <= 0 || height <= 0)
        return nullptr;
    // The AND mask: 1 keeps the screen (transparent), rows padded to 16 bits, the leftmost pixel in the
    // high bit. The colour is XOR-ed over it, so transparent pixels are black there.
    const int stride = (width + 15) / 16 * 2;
    std::vector<uint8_t> mask(static_cast<size_t>(stride) * static_cast<size_t>(height), 0);
    const gfx::Pixel transparent = picture.at(0, 0) & 0xFFFFFF;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!colour || !bits) {
        if (colour)
            DeleteObject(colour);
        return nullptr;
    }
    auto* out = static_cast<uint32_t*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const gfx::Pixel p = picture.at(x, y) & 0xFFFFFF;
            const bool clear = p == transparent;
            out[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = clear ? 0 : p;
            if (clear)
                mask[static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x / 8)] |=
                    static_cast<uint8_t>(0x80 >> (x % 8));
        }
    HBITMAP maskBitmap = CreateBitmap(width, height, 1, 1, mask.data());
    HCURSOR cursor = nullptr;
    if (maskBitmap) {
        ICONINFO icon{};
        icon.fIcon = FALSE;
        icon.xHotspot = static_cast<DWORD>(width / 2);
        icon.yHotspot = static_cast<DWORD>(height / 2);
        icon.hbmMask = maskBitmap;
        icon.hbmColor = colour;
        cursor = CreateIconIndirect(&icon);
        DeleteObject(maskBitmap);
    }
    DeleteObject(colour);
    return cursor;
}

// Whether the window and every parent it is a child of are enabled: the system already keeps input
// from disabled windows, and this keeps it also from the children of one and from the keys posted to a
// disabled active window.
bool TakesInput(HWND window)
{
    for (int depth = 0; window && depth < 64; ++depth) {
        if (!IsWindowEnabled(window))
            return false;
        window = (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) ? GetParent(window) : nullptr;
    }
    return true;
}

// Asks the window under the pointer to set its pointer again, when it is one of this process's.
void RefreshPointer()
{
    POINT position{};
    if (!GetCursorPos(&position))
        return;
    HWND under = WindowFromPoint(position);
    DWORD process = 0;
    if (!under || !GetWindowThreadProcessId(under, &process) || process != GetCurrentProcessId())
        return;
    SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

class UiWindowWin32 final : public UiWindow {
public:
    UiWindowWin32(UiWindowEvents& events, const std::shared_ptr<EndRequestHandler>& endHandler,
                  const ScreenPointer& screenPointer)
        : m_events(events), m_endHandler(endHandler), m_screenPointer(screenPointer)
    {
    }
    ~UiWindowWin32() override;

    // Makes the window, a child of `parent` when one is given; false when CreateWindowExW refuses.
    bool create(HINSTANCE instance, HWND parent);

    NativeWindow handle() const override { return fromHwnd(m_window); }
    void setTitle(const std::string& title) override;
    void setBounds(int x, int y, int width, int height) override;
    void setVisible(bool visible) override;
    uint32_t style() override;
    void setStyle(uint32_t style) override;
    bool setParent(NativeWindow parent) override;
    void invalidate() override;
    void setEnabled(bool enabled) override;
    bool enabled() override { return m_window && IsWindowEnabled(m_window) != FALSE; }
    void takeFocus() override;
    void setPointer(PointerShape shape, const gfx::Surface* icon) override;

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void paint(HWND window);
    // The input messages; whether the message was one.
    static bool handleInput(UiWindowWin32& self, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UiWindowEvents& m_events;
    std::shared_ptr<EndRequestHandler> m_endHandler;
    ScreenPointer m_screenPointer;
    // Null once the window is gone, whoever destroyed it.
    HWND m_window = nullptr;
    // Null: the class's arrow, or the parent's pointer for a child.
    HCURSOR m_pointer = nullptr;
    // Made from a picture, destroyed with the window or the next shape.
    HCURSOR m_ownPointer = nullptr;
    // The first half of a surrogate pair typed in two WM_CHAR messages.
    wchar_t m_highSurrogate = 0;
};

UiWindowWin32::~UiWindowWin32()
{
    if (!m_window)
        return;
    // Detached first: the messages of the destruction reach no object and raise no onDestroyed.
    SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
    if (IsWindow(m_window))
        DestroyWindow(m_window);
    if (m_ownPointer)
        DestroyCursor(m_ownPointer);
}

bool UiWindowWin32::create(HINSTANCE instance, HWND parent)
{
    // Size 0: not drawn until the owner gives it bounds. m_window is set at WM_NCCREATE.
    const DWORD style = parent ? WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN : WS_POPUP | WS_CLIPCHILDREN;
    HWND window = CreateWindowExW(0, kFormClass, L"", style, 0, 0, 0, 0, parent, nullptr, instance, this);
    return window && m_window == window;
}

bool UiWindowWin32::handleInput(UiWindowWin32& self, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Each callback may destroy this object: nothing of it is touched after one.
    UiWindowEvents& events = self.m_events;
    const bool input = (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
                       (message >= WM_KEYFIRST && message <= WM_KEYLAST);
    if (input && !TakesInput(window))
        return true;
    switch (message) {
    case WM_MOUSEMOVE:
        events.onMouseMove(MouseAt(lParam, MouseButtonsHeld(wParam), MouseShift(wParam)));
        return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        // The window that took the press keeps the mouse until every button is up.
        SetCapture(window);
        const int button = message == WM_LBUTTONDOWN ? kLeftButton : message == WM_RBUTTONDOWN ? kRightButton : kMiddleButton;
        events.onMouseDown(MouseAt(lParam, button, MouseShift(wParam)));
        return true;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        if (MouseButtonsHeld(wParam) == 0 && GetCapture() == window)
            ReleaseCapture();
        const int button = message == WM_LBUTTONUP ? kLeftButton : message == WM_RBUTTONUP ? kRightButton : kMiddleButton;
        events.onMouseUp(MouseAt(lParam, button, MouseShift(wParam)));
        return true;
    }
    case WM_MOUSEWHEEL: {
        // The position comes in screen pixels.
        POINT position{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(window, &position);
        events.onMouseWheel(MouseEvent{position.x, position.y, 0, MouseShift(GET_KEYSTATE_WPARAM(wParam))},
                            GET_WHEEL_DELTA_WPARAM(wParam));
        return true;
    }
    case WM_KEYDOWN:
        events.onKeyDown(static_cast<int>(wParam), KeyShift());
        return true;
    case WM_KEYUP:
        events.onKeyUp(static_cast<int>(wParam), KeyShift());
        return true;
    case WM_CHAR: {
        const auto unit = static_cast<wchar_t>(wParam);
        if (unit >= 0xD800 && unit < 0xDC00) {
            self.m_highSurrogate = unit;
            return true;
        }
        uint32_t codePoint = unit;
        if (unit >= 0xDC00 && unit < 0xE000) {
            if (!self.m_highSurrogate)
                return true;
            codePoint = 0x10000 + ((static_cast<uint32_t>(self.m_highSurrogate) - 0xD800) << 10) + (unit - 0xDC00);
        }
        self.m_highSurrogate = 0;
        events.onChar(codePoint);
        return true;
    }
    case WM_SETFOCUS:
        events.onFocus(true);
        return true;
    case WM_KILLFOCUS:
        events.onFocus(false);
        return true;
    default:
        return false;
    }
}

LRESULT CALLBACK UiWindowWin32::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<UiWindowWin32*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        return DefWindowProcW(window, message, wParam, lParam);
    }
    auto* self = reinterpret_cast<UiWindowWin32*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    if (handleInput(*self, window, message, wParam, lParam))
        return 0;

    switch (message) {
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP: {
        // Alt and F10 combinations: the owner sees them, and the system still gets its Alt+F4 and menus.
        const int shift = KeyShift();
        if (message == WM_SYSKEYDOWN)
            self->m_events.onKeyDown(static_cast<int>(wParam), shift);
        else
            self->m_events.onKeyUp(static_cast<int>(wParam), shift);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            // A child with no pointer of its own leaves it to its parent, which DefWindowProc asks.
            HCURSOR cursor = *self->m_screenPointer ? *self->m_screenPointer : self->m_pointer;
            if (cursor) {
                SetCursor(cursor);
                return TRUE;
            }
        }
        return DefWindowProcW(window, message, wParam, lParam);
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
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_window = nullptr;
        self->m_events.onDestroyed();
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void UiWindowWin32::setEnabled(bool enabled)
{
    if (m_window)
        EnableWindow(m_window, enabled ? TRUE : FALSE);
}

void UiWindowWin32::takeFocus()
{
    if (!m_window)
        return;
    // A top-level window of a process that is not in front is brought there first, or SetFocus would
    // only mark it.
    HWND root = GetAncestor(m_window, GA_ROOT);
    if (root && GetForegroundWindow() != root)
        SetForegroundWindow(root);
    SetFocus(m_window);
}

void UiWindowWin32::setPointer(PointerShape shape, const gfx::Surface* icon)
{
    if (!m_window)
        return;
    HCURSOR previous = m_ownPointer;
    m_ownPointer = shape == PointerShape::Custom && icon ? PictureCursor(*icon) : nullptr;
    m_pointer = shape == PointerShape::Custom ? m_ownPointer : SystemPointer(shape);
    RefreshPointer();
    // Not destroyed while it may still be the one shown.
    if (previous) {
        if (GetCursor() == previous)
            SetCursor(LoadCursor(nullptr, IDC_ARROW));
        DestroyCursor(previous);
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
    ~UiSystemWin32() override
    {
        *m_screenPointer = nullptr;
        if (m_postWake)
            CloseHandle(m_postWake);
    }

    void setEndRequestHandler(EndRequestHandler handler) override { *m_endHandler = std::move(handler); }

    std::unique_ptr<UiWindow> createWindow(UiWindowEvents& events) override;
    void pumpEvents(uint32_t timeoutMs) override;
    void post(std::function<void()> task) override
    {
        m_posted.push(std::move(task));
        SetEvent(m_postWake);
    }
    uint64_t nowMs() override { return GetTickCount64(); }
    NativeWindow findWindow(const std::string& title) override;
    int showCursor(bool show) override { return ShowCursor(show ? TRUE : FALSE); }
    std::optional<ScreenRect> windowRect(NativeWindow window) override;
    std::optional<ScreenMetrics> screenMetrics() override { return QueryScreenMetrics(); }
    bool copyScreen(gfx::Surface& target, int width, int height) override;
    std::unique_ptr<UiWindow> createChildWindow(UiWindowEvents& events, NativeWindow parent) override;
    std::optional<std::pair<int, int>> cursorPos() override;
    NativeWindow windowFromPoint(int x, int y) override { return fromHwnd(WindowFromPoint(POINT{x, y})); }
    void setScreenPointer(PointerShape shape) override;

private:
    HINSTANCE m_instance;
    std::shared_ptr<EndRequestHandler> m_endHandler = std::make_shared<EndRequestHandler>();
    ScreenPointer m_screenPointer = std::make_shared<HCURSOR>(nullptr);
    // Set by post from any thread so that a waiting pumpEvents wakes up (auto-reset).
    HANDLE m_postWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    PostedTasks m_posted;
};

std::unique_ptr<UiWindow> UiSystemWin32::createWindow(UiWindowEvents& events)
{
    auto window = std::make_unique<UiWindowWin32>(events, m_endHandler, m_screenPointer);
    if (!window->create(m_instance, nullptr))
        return nullptr;
    return window;
}

std::unique_ptr<UiWindow> UiSystemWin32::createChildWindow(UiWindowEvents& events, NativeWindow parent)
{
    HWND parentWindow = toHwnd(parent);
    if (!parentWindow || !IsWindow(parentWindow))
        return nullptr;
    auto window = std::make_unique<UiWindowWin32>(events, m_endHandler, m_screenPointer);
    if (!window->create(m_instance, parentWindow))
        return nullptr;
    return window;
}

std::optional<std::pair<int, int>> UiSystemWin32::cursorPos()
{
    POINT position{};
    if (!GetCursorPos(&position))
        return std::nullopt;
    return std::make_pair(static_cast<int>(position.x), static_cast<int>(position.y));
}

void UiSystemWin32::setScreenPointer(PointerShape shape)
{
    // The screen has no picture of its own: a custom shape shows the arrow.
    *m_screenPointer = SystemPointer(shape == PointerShape::Custom ? PointerShape::Arrow : shape);
    RefreshPointer();
}

void UiSystemWin32::pumpEvents(uint32_t timeoutMs)
{
    // MWMO_INPUTAVAILABLE: messages already seen but still queued also end the wait.
    MsgWaitForMultipleObjectsEx(m_postWake ? 1 : 0, &m_postWake, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    // Unicode, so that the characters TranslateMessage makes reach the windows as UTF-16.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    m_posted.runAll();
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
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = UiWindowWin32::windowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kFormClass;
        return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
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
