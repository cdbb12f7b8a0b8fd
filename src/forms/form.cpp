#include "forms/form.h"

#include <algorithm>
#include <cmath>

#include "forms/controls.h"

namespace pap::forms {

Form::Form(App& app, std::string caption) : m_app(app), m_caption(std::move(caption)) {}

Form::~Form() { m_window.reset(); }

void Form::setCaption(const std::string& caption)
{
    m_caption = caption;
    if (m_window)
        m_window->setTitle(m_caption);
}

void Form::Load()
{
    if (m_loaded || m_app.ended())
        return;
    m_window = m_app.ui().createWindow(*this);
    m_windowGone = false;
    if (m_window) {
        m_window->setTitle(m_caption);
        applyBounds();
    }
    m_loaded = true;
    m_visible = false;
    m_app.formLoaded(*this);
    for (Timer* timer : m_timers)
        timer->restart();
    Form_Load();
}

void Form::Show(ShowMode mode)
{
    Load();
    if (!m_loaded || m_app.ended())
        return;
    m_visible = true;
    if (m_window) {
        m_window->setVisible(true);
        m_window->invalidate();
    }
    if (mode == ShowMode::Modal)
        m_app.RunUntil([this] { return !m_loaded; });
}

void Form::Hide()
{
    m_visible = false;
    if (m_window)
        m_window->setVisible(false);
}

bool Form::Unload(UnloadMode mode)
{
    if (!m_loaded)
        return true;
    if (m_unloading || m_app.ended())
        return false;
    m_unloading = true;
    int cancel = 0;
    Form_QueryUnload(cancel, mode);
    // A window that is gone cannot be kept: the form unloads whatever the handlers say.
    if (!m_app.ended() && (cancel == 0 || m_windowGone)) {
        cancel = 0;
        Form_Unload(cancel);
    }
    m_unloading = false;
    if (m_app.ended())
        return !m_loaded;
    if (cancel != 0 && !m_windowGone)
        return false;
    destroyWindow();
    m_loaded = false;
    m_visible = false;
    m_app.formUnloaded(*this);
    return true;
}

NativeWindow Form::hWnd() const { return m_window ? m_window->handle() : 0; }

void Form::Move(double left, double top, double width, double height)
{
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    if (m_window)
        applyBounds();
}

namespace {

// Twips to whole pixels, within the sizes a window can have.
int ToPixels(double twips, double twipsPerPixel)
{
    return static_cast<int>(std::lround(std::clamp(twips / twipsPerPixel, -double(gfx::kMaxSide), double(gfx::kMaxSide))));
}

}  // namespace

int Form::pixelWidth() { return std::max(0, ToPixels(m_width, m_app.Screen().TwipsPerPixelX)); }

int Form::pixelHeight() { return std::max(0, ToPixels(m_height, m_app.Screen().TwipsPerPixelY)); }

double Form::ScaleWidth()
{
    return m_scaleMode == ScaleMode::Pixels ? pixelWidth() : pixelWidth() * m_app.Screen().TwipsPerPixelX;
}

double Form::ScaleHeight()
{
    return m_scaleMode == ScaleMode::Pixels ? pixelHeight() : pixelHeight() * m_app.Screen().TwipsPerPixelY;
}

void Form::setBackColor(gfx::Pixel colour)
{
    m_backColor = colour;
    Refresh();
}

void Form::Refresh()
{
    if (m_window && m_visible)
        m_window->invalidate();
}

gfx::Rect Form::toPixels(double left, double top, double width, double height)
{
    double sx = 1, sy = 1;
    if (m_scaleMode == ScaleMode::Twips) {
        sx = 1 / m_app.Screen().TwipsPerPixelX;
        sy = 1 / m_app.Screen().TwipsPerPixelY;
    }
    auto px = [](double v) { return static_cast<int>(std::lround(std::clamp(v, -1e9, 1e9))); };
    return gfx::Rect{px(left * sx), px(top * sy), px(width * sx), px(height * sy)};
}

void Form::paintInto(gfx::Surface& target)
{
    target.fill(m_backColor);
    for (Control* control : m_controls)
        if (control->Visible())
            control->paint(target, control->pixelRect());
}

void Form::onPaint(gfx::Surface& target) { paintInto(target); }

void Form::onCloseRequest() { Unload(UnloadMode::FormControlMenu); }

void Form::onDestroyed()
{
    m_windowGone = true;
    Unload(UnloadMode::FormOwner);
}

void Form::applyBounds()
{
    const ScreenInfo& screen = m_app.Screen();
    m_window->setBounds(ToPixels(m_left, screen.TwipsPerPixelX), ToPixels(m_top, screen.TwipsPerPixelY), pixelWidth(),
                        pixelHeight());
    Refresh();
}

void Form::endNow()
{
    destroyWindow();
    m_loaded = false;
    m_visible = false;
}

void Form::destroyWindow()
{
    // The object of a window destroyed from outside only lets go of its handle.
    m_window.reset();
}

}  // namespace pap::forms
