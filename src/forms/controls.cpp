#include "forms/controls.h"

#include <algorithm>

#include "forms/app.h"
#include "forms/form.h"

namespace pap::forms {

Control::Control(Form& container, ControlContainer* parent) : m_container(container), m_parent(parent)
{
    m_container.m_controls.push_back(this);
    if (m_parent)
        m_parent->children().push_back(this);
    m_tabIndex = static_cast<int>(m_container.m_controls.size()) - 1;
}

Control::~Control()
{
    m_container.controlGone(*this);
    auto& list = m_container.m_controls;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (m_parent)
        std::erase(m_parent->children(), this);
}

void Control::setName(std::string name, int index)
{
    m_name = std::move(name);
    m_index = index;
}

void Control::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (!enabled)
        m_container.controlGone(*this);
    m_container.Refresh();
}

void Control::setMousePointer(PointerShape shape)
{
    m_pointer = shape;
    m_container.pointerChanged(*this);
}

void Control::setMouseIcon(gfx::Surface icon)
{
    m_mouseIcon = std::move(icon);
    m_container.pointerChanged(*this);
}

bool Control::shown() const
{
    if (!m_visible)
        return false;
    if (auto* parentControl = dynamic_cast<Control*>(m_parent))
        return parentControl->shown();
    return true;
}

float Control::scaleX(int pixels)
{
    return static_cast<float>(m_container.scaleMode() == ScaleMode::Twips ? pixels * m_container.app().Screen().TwipsPerPixelX : pixels);
}

float Control::scaleY(int pixels)
{
    return static_cast<float>(m_container.scaleMode() == ScaleMode::Twips ? pixels * m_container.app().Screen().TwipsPerPixelY : pixels);
}

void Control::Move(double left, double top, double width, double height)
{
    bool sized = width != m_width || height != m_height;
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    if (sized)
        resized();
    moved();
    m_container.Refresh();
}

void Control::setVisible(bool visible)
{
    m_visible = visible;
    if (!visible)
        m_container.controlGone(*this);
    m_container.Refresh();
}

gfx::Rect Control::pixelRect()
{
    gfx::Rect rect = m_container.toPixels(m_left, m_top, m_width, m_height);
    if (m_parent) {
        gfx::Point origin = m_parent->innerOrigin();
        rect.x += origin.x;
        rect.y += origin.y;
    }
    return rect;
}

void ClickTracker::down(const MouseEvent& event)
{
    if (event.button == kLeftButton)
        m_armed = true;
}

bool ClickTracker::up(const MouseEvent& event, gfx::Rect place)
{
    bool click = m_armed && event.button == kLeftButton && event.x >= 0 && event.y >= 0 && event.x < place.width &&
                 event.y < place.height;
    if (event.button == kLeftButton)
        m_armed = false;
    return click;
}

PictureBox::PictureBox(Form& container, Border border, gfx::Pixel backColor, ControlContainer* parent)
    : Control(container, parent), m_border(border), m_backColor(backColor)
{
}

gfx::Point PictureBox::innerOrigin()
{
    gfx::Rect place = pixelRect();
    int inset = m_border == Border::FixedSingle ? kBorderPixels : 0;
    return {place.x + inset, place.y + inset};
}

// A picture box reports positions in its inner area, inside the border.
void PictureBox::mouseDown(const MouseEvent& event)
{
    const int inset = m_border == Border::FixedSingle ? kBorderPixels : 0;
    m_click.down(event);
    if (MouseDown)
        MouseDown(event.button, event.shift, scaleX(event.x - inset), scaleY(event.y - inset));
}

void PictureBox::mouseMove(const MouseEvent& event)
{
    const int inset = m_border == Border::FixedSingle ? kBorderPixels : 0;
    if (MouseMove)
        MouseMove(event.button, event.shift, scaleX(event.x - inset), scaleY(event.y - inset));
}

void PictureBox::mouseUp(const MouseEvent& event)
{
    const int inset = m_border == Border::FixedSingle ? kBorderPixels : 0;
    bool click = m_click.up(event, pixelRect());
    if (MouseUp)
        MouseUp(event.button, event.shift, scaleX(event.x - inset), scaleY(event.y - inset));
    if (click && Click)
        Click();
}

void PictureBox::setBorderStyle(Border border)
{
    m_border = border;
    resized();
    container().Refresh();
}

void PictureBox::setBackColor(gfx::Pixel colour)
{
    m_backColor = colour;
    Cls();
}

void PictureBox::Cls()
{
    m_image.fill(m_backColor);
    container().Refresh();
}

void PictureBox::Refresh() { container().Refresh(); }

void PictureBox::resized()
{
    gfx::Rect place = pixelRect();
    int inset = m_border == Border::FixedSingle ? 2 * kBorderPixels : 0;
    m_image.resize(std::max(0, place.width - inset), std::max(0, place.height - inset), m_backColor);
}

void PictureBox::paint(gfx::Surface& target, gfx::Rect place)
{
    paintFrame(target, place);
    paintChildren(target, place, nullptr);
}

void PictureBox::paintFrame(gfx::Surface& target, gfx::Rect place)
{
    if (m_border == Border::FixedSingle) {
        // A sunken edge: dark above and to the left, light below and to the right.
        const gfx::Pixel dark = gfx::Rgb(0x80, 0x80, 0x80), darker = gfx::Rgb(0x40, 0x40, 0x40);
        const gfx::Pixel light = gfx::Rgb(0xFF, 0xFF, 0xFF), lighter = gfx::Rgb(0xE3, 0xE3, 0xE3);
        target.fillRect(place, light);
        target.fillRect({place.x, place.y, place.width - 1, place.height - 1}, dark);
        target.fillRect({place.x + 1, place.y + 1, place.width - 2, place.height - 2}, lighter);
        target.fillRect({place.x + 1, place.y + 1, place.width - 3, place.height - 3}, darker);
        target.fillRect({place.x + kBorderPixels, place.y + kBorderPixels, place.width - 2 * kBorderPixels,
                         place.height - 2 * kBorderPixels},
                        m_backColor);
        gfx::Blit(target, place.x + kBorderPixels, place.y + kBorderPixels, m_image);
    } else {
        target.fillRect(place, m_backColor);
        gfx::Blit(target, place.x, place.y, m_image);
    }
}

void PictureBox::paintChildren(gfx::Surface& target, gfx::Rect place, const Control* stopAt)
{
    if (children().empty())
        return;
    // The children are clipped to the inner area, and only the part of it that the target holds is
    // drawn: a partial repaint's target is just the dirty rectangle.
    const int inset = m_border == Border::FixedSingle ? kBorderPixels : 0;
    const int left = std::max(0, place.x + inset), top = std::max(0, place.y + inset);
    const int right = std::min(target.width(), place.x + inset + m_image.width());
    const int bottom = std::min(target.height(), place.y + inset + m_image.height());
    if (right <= left || bottom <= top)
        return;
    gfx::Surface inner(right - left, bottom - top);
    for (int y = 0; y < inner.height(); ++y)
        std::copy_n(target.row(top + y) + left, inner.width(), inner.row(y));
    // Children are placed relative to this box's own place, wherever `place` puts it in the target.
    const gfx::Rect own = pixelRect();
    const int shiftX = place.x - own.x - left, shiftY = place.y - own.y - top;
    for (Control* child : children()) {
        if (child == stopAt)
            break;
        if (!child->Visible())
            continue;
        gfx::Rect at = child->pixelRect();
        at.x += shiftX;
        at.y += shiftY;
        if (at.x >= inner.width() || at.y >= inner.height() || at.x + at.width <= 0 || at.y + at.height <= 0)
            continue;
        child->paint(inner, at);
    }
    gfx::Blit(target, left, top, inner);
}

Image::Image(Form& container, bool stretch, ControlContainer* parent) : Control(container, parent), m_stretch(stretch) {}

void Image::mouseDown(const MouseEvent& event)
{
    m_click.down(event);
    if (MouseDown)
        MouseDown(event.button, event.shift, scaleX(event.x), scaleY(event.y));
}

void Image::mouseMove(const MouseEvent& event)
{
    if (MouseMove)
        MouseMove(event.button, event.shift, scaleX(event.x), scaleY(event.y));
}

void Image::mouseUp(const MouseEvent& event)
{
    bool click = m_click.up(event, pixelRect());
    if (MouseUp)
        MouseUp(event.button, event.shift, scaleX(event.x), scaleY(event.y));
    if (click && Click)
        Click();
}

void Image::setStretch(bool stretch)
{
    m_stretch = stretch;
    container().Refresh();
}

void Image::setPicture(gfx::Surface picture)
{
    m_picture = std::move(picture);
    if (!m_stretch) {
        // Without stretching the control takes the picture's size.
        double unitX = 1, unitY = 1;
        if (container().scaleMode() == ScaleMode::Twips) {
            unitX = container().app().Screen().TwipsPerPixelX;
            unitY = container().app().Screen().TwipsPerPixelY;
        }
        Move(Left(), Top(), m_picture.width() * unitX, m_picture.height() * unitY);
    }
    container().Refresh();
}

void Image::paint(gfx::Surface& target, gfx::Rect place)
{
    if (m_picture.empty())
        return;
    if (m_stretch) {
        gfx::StretchBlit(target, place, m_picture);
        return;
    }
    gfx::Blit(target, place.x, place.y, m_picture);
}

Timer::Timer(Form& owner, uint32_t interval, bool enabled, std::function<void()> onTimer)
    : m_owner(owner), m_interval(interval), m_enabled(enabled), m_onTimer(std::move(onTimer))
{
    m_owner.m_timers.push_back(this);
    m_owner.m_app.addTimer(*this);
    if (m_owner.Loaded())
        restart();
}

Timer::~Timer()
{
    m_owner.m_app.removeTimer(*this);
    auto& list = m_owner.m_timers;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void Timer::setInterval(uint32_t interval)
{
    m_interval = interval;
    restart();
}

void Timer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (enabled)
        restart();
}

bool Timer::active() const { return m_enabled && m_interval > 0 && m_owner.Loaded() && !m_owner.m_app.ended(); }

void Timer::restart() { m_due = m_owner.m_app.ui().nowMs() + m_interval; }

}  // namespace pap::forms
