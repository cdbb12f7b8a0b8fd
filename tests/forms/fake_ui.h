#pragma once

// A recording fake of the window system for the forms runtime and the saver: windows that record what
// is done to them, a virtual clock that the event loop's waits advance, scripted foreign windows, a
// screen picture to copy, and the cursor counter. Calls are written into a journal that other fakes
// may share, so that a test sees the order of everything a program did.

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/posted_tasks.h"
#include "platform/ui.h"

namespace pap::testing {

using Journal = std::vector<std::string>;

class FakeUi;

class FakeWindow final : public UiWindow {
public:
    FakeWindow(FakeUi& ui, NativeWindow handle, UiWindowEvents& events);
    ~FakeWindow() override;

    NativeWindow handle() const override { return m_gone ? 0 : m_handle; }
    void setTitle(const std::string& text) override { title = text; }
    void setBounds(int x_, int y_, int width_, int height_) override
    {
        x = x_;
        y = y_;
        width = width_ < 1 ? 0 : width_;
        height = height_ < 1 ? 0 : height_;
    }
    void setVisible(bool visible_) override { visible = visible_; }
    uint32_t style() override { return styleBits; }
    void setStyle(uint32_t style_) override;
    bool setParent(NativeWindow parent_) override;
    void invalidate() override { ++invalidations; }
    void setEnabled(bool enabled_) override { isEnabled = enabled_; }
    bool enabled() override { return isEnabled; }
    void takeFocus() override;
    void setPointer(PointerShape shape, const gfx::Surface* icon) override
    {
        pointer = shape;
        pointerIcon = icon ? *icon : gfx::Surface();
    }

    // What the window shows: the owner's paint into a surface of the window's size.
    gfx::Surface paint()
    {
        gfx::Surface picture(width, height);
        m_events.onPaint(picture);
        return picture;
    }
    // The window manager's close button.
    void requestClose() { m_events.onCloseRequest(); }
    // Input as the window system delivers it (nothing reaches a disabled window).
    UiWindowEvents& events() { return m_events; }
    void mouseMove(int x_, int y_, int buttons = 0, int shift = 0)
    {
        if (isEnabled)
            m_events.onMouseMove({x_, y_, buttons, shift});
    }
    void mouseDown(int x_, int y_, int button = kLeftButton, int shift = 0)
    {
        if (isEnabled)
            m_events.onMouseDown({x_, y_, button, shift});
    }
    void mouseUp(int x_, int y_, int button = kLeftButton, int shift = 0)
    {
        if (isEnabled)
            m_events.onMouseUp({x_, y_, button, shift});
    }
    void keyDown(int key, int shift = 0)
    {
        if (isEnabled)
            m_events.onKeyDown(key, shift);
    }
    // The window is destroyed from outside (its parent went away).
    void destroyFromOutside();

    std::string title;
    int x = 0, y = 0, width = 0, height = 0;
    bool visible = false;
    uint32_t styleBits = 0;
    NativeWindow parent = 0;
    int invalidations = 0;
    bool isEnabled = true;
    bool focused = false;
    PointerShape pointer = PointerShape::Default;
    gfx::Surface pointerIcon;

private:
    FakeUi& m_ui;
    NativeWindow m_handle;
    UiWindowEvents& m_events;
    bool m_gone = false;
};

class FakeUi final : public UiSystem {
public:
    explicit FakeUi(Journal* journal = nullptr) : m_journal(journal ? journal : &m_ownJournal) {}

    // --- the script ---
    uint64_t now = 1000;
    // Virtual time beyond which a wait means the program hangs: the test fails with an exception.
    uint64_t deadline = 3600 * 1000;
    // Windows of other programs: title and handle. Found by findWindow.
    std::map<std::string, NativeWindow> foreignTitles;
    // Rectangles of windows of other programs (panes).
    std::map<NativeWindow, ScreenRect> foreignRects;
    std::optional<ScreenMetrics> metrics = ScreenMetrics{1024, 768, 15, 15};
    gfx::Surface screen{1024, 768, gfx::Rgb(10, 20, 30)};
    bool screenReadable = true;
    int cursorCount = 0;
    // Runs after every wait of the event loop, with the clock already advanced.
    std::function<void()> onPump;

    Journal& journal() { return *m_journal; }
    void record(const std::string& entry) { m_journal->push_back(entry); }
    // Our own windows, alive ones only, in order of creation.
    std::vector<FakeWindow*> windows;
    FakeWindow* windowTitled(const std::string& title)
    {
        for (FakeWindow* w : windows)
            if (w->title == title)
                return w;
        return nullptr;
    }

    // --- UiSystem ---
    std::unique_ptr<UiWindow> createWindow(UiWindowEvents& events) override
    {
        record("createWindow");
        auto window = std::make_unique<FakeWindow>(*this, m_nextHandle++, events);
        windows.push_back(window.get());
        return window;
    }
    std::unique_ptr<UiWindow> createChildWindow(UiWindowEvents& events, NativeWindow parent_) override
    {
        record("createChildWindow " + std::to_string(parent_));
        auto window = std::make_unique<FakeWindow>(*this, m_nextHandle++, events);
        window->parent = parent_;
        window->styleBits = kWindowStyleChild;
        windows.push_back(window.get());
        return window;
    }
    FakeWindow* windowWithHandle(NativeWindow handle)
    {
        for (FakeWindow* w : windows)
            if (w->handle() == handle)
                return w;
        return nullptr;
    }

    // The pointer on the screen, and the window found under it (the test says which).
    std::optional<std::pair<int, int>> pointerAt = std::pair{0, 0};
    NativeWindow windowUnderPointer = 0;
    PointerShape screenPointer = PointerShape::Default;
    FakeWindow* focusedWindow = nullptr;
    std::optional<std::pair<int, int>> cursorPos() override { return pointerAt; }
    NativeWindow windowFromPoint(int, int) override { return windowUnderPointer; }
    void setScreenPointer(PointerShape shape) override { screenPointer = shape; }

    void pumpEvents(uint32_t timeoutMs) override
    {
        now += timeoutMs;
        ++pumps;
        if (now > deadline)
            throw std::runtime_error("the event loop still waits at the deadline");
        if (onPump)
            onPump();
        m_posted.runAll();
    }
    // Posted tasks run in the next pumpEvents, as a real loop's would.
    void post(std::function<void()> task) override { m_posted.push(std::move(task)); }
    uint64_t nowMs() override { return now; }
    void setEndRequestHandler(std::function<void(EndRequest)> handler) override { m_endHandler = std::move(handler); }
    // The window system's end request, as its pump delivers it.
    void requestEnd(EndRequest request)
    {
        if (m_endHandler)
            m_endHandler(request);
    }

    NativeWindow findWindow(const std::string& title) override
    {
        record("FindWindow " + title);
        if (auto it = foreignTitles.find(title); it != foreignTitles.end())
            return it->second;
        for (FakeWindow* w : windows)
            if (w->title == title && w->parent == 0)
                return w->handle();
        return 0;
    }

    int showCursor(bool show) override
    {
        cursorCount += show ? 1 : -1;
        record(show ? "ShowCursor TRUE" : "ShowCursor FALSE");
        return cursorCount;
    }

    std::optional<ScreenRect> windowRect(NativeWindow window) override
    {
        record("GetWindowRect " + std::to_string(window));
        if (auto it = foreignRects.find(window); it != foreignRects.end())
            return it->second;
        if (FakeWindow* own = windowWithHandle(window); own && own->parent == 0)
            return ScreenRect{own->x, own->y, own->x + own->width, own->y + own->height};
        return std::nullopt;
    }

    std::optional<ScreenMetrics> screenMetrics() override { return metrics; }

    bool copyScreen(gfx::Surface& target, int width, int height) override
    {
        record("BitBlt " + std::to_string(width) + "x" + std::to_string(height));
        if (!screenReadable)
            return false;
        for (int yy = 0; yy < std::min({height, target.height(), screen.height()}); ++yy)
            for (int xx = 0; xx < std::min({width, target.width(), screen.width()}); ++xx)
                target.set(xx, yy, screen.at(xx, yy));
        return true;
    }

    bool copyGrabbedDesktop(NativeWindow window, gfx::Surface& target, int width, int height) override
    {
        record("GrabDesktop " + std::to_string(window) + " " + std::to_string(width) + "x" + std::to_string(height));
        if (grabbedDesktop.width() == 0)
            return false;
        for (int yy = 0; yy < std::min({height, target.height(), grabbedDesktop.height()}); ++yy)
            for (int xx = 0; xx < std::min({width, target.width(), grabbedDesktop.width()}); ++xx)
                target.set(xx, yy, grabbedDesktop.at(xx, yy));
        return true;
    }

    // What copyGrabbedDesktop gives; none while empty.
    gfx::Surface grabbedDesktop;
    int pumps = 0;

private:
    friend class FakeWindow;
    Journal m_ownJournal;
    Journal* m_journal;
    NativeWindow m_nextHandle = 0x1000;
    std::function<void(EndRequest)> m_endHandler;
    PostedTasks m_posted;
};

inline FakeWindow::FakeWindow(FakeUi& ui, NativeWindow handle, UiWindowEvents& events)
    : m_ui(ui), m_handle(handle), m_events(events)
{
}

inline void FakeWindow::takeFocus()
{
    if (m_ui.focusedWindow == this)
        return;
    if (FakeWindow* previous = m_ui.focusedWindow) {
        previous->focused = false;
        previous->m_events.onFocus(false);
    }
    m_ui.focusedWindow = this;
    focused = true;
    m_events.onFocus(true);
}

inline FakeWindow::~FakeWindow()
{
    if (m_ui.focusedWindow == this)
        m_ui.focusedWindow = nullptr;
    if (!m_gone)
        m_ui.record("destroyWindow");
    std::erase(m_ui.windows, this);
}

inline void FakeWindow::setStyle(uint32_t style_)
{
    char text[32];
    std::snprintf(text, sizeof text, "SetWindowLong 0x%08X", style_);
    m_ui.record(text);
    styleBits = style_;
}

inline bool FakeWindow::setParent(NativeWindow parent_)
{
    m_ui.record("SetParent " + std::to_string(parent_));
    if (parent_ != 0 && !m_ui.foreignRects.count(parent_))
        return false;
    parent = parent_;
    return true;
}

inline void FakeWindow::destroyFromOutside()
{
    m_gone = true;
    std::erase(m_ui.windows, this);
    m_events.onDestroyed();
}

}  // namespace pap::testing
