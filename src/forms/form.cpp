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
    // The controls come to life before the form's own Load handler runs (user controls read their
    // stored properties here).
    for (size_t i = 0; i < m_controls.size() && m_loaded && !m_app.ended(); ++i)
        m_controls[i]->formLoaded();
    if (m_loaded && !m_app.ended())
        Form_Load();
}

void Form::Show(ShowMode mode)
{
    Load();
    if (!m_loaded || m_app.ended())
        return;
    const bool wasVisible = m_visible;
    m_visible = true;
    if (m_window) {
        m_window->setVisible(true);
        m_window->invalidate();
    }
    if (!wasVisible)
        for (size_t i = 0; i < m_controls.size() && m_loaded; ++i)
            m_controls[i]->formShown(true);
    if (mode != ShowMode::Modal || !m_loaded)
        return;
    // The other forms take no input while a modal form is up.
    std::vector<Form*> disabled;
    for (Form* other : m_app.loadedForms())
        if (other != this && other->WindowEnabled()) {
            other->setWindowEnabled(false);
            disabled.push_back(other);
        }
    if (m_window)
        m_window->takeFocus();
    m_app.RunUntil([this] { return !m_loaded; });
    for (Form* other : disabled)
        if (m_app.isLoaded(*other))
            other->setWindowEnabled(true);
}

void Form::Hide()
{
    if (m_visible)
        for (Control* control : m_controls)
            control->formShown(false);
    m_visible = false;
    if (m_window)
        m_window->setVisible(false);
}

void Form::setWindowEnabled(bool enabled)
{
    m_windowEnabled = enabled;
    if (m_window)
        m_window->setEnabled(enabled);
    if (!enabled) {
        m_capture = nullptr;
        m_buttonsHeld = 0;
        if (m_popup)
            m_popup->dismissPopup();
    }
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
    for (size_t i = 0; i < m_controls.size(); ++i)
        m_controls[i]->formUnloading();
    m_focus = nullptr;
    m_capture = nullptr;
    m_hover = nullptr;
    m_popup = nullptr;
    m_buttonsHeld = 0;
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

namespace {

bool Overlap(gfx::Rect a, gfx::Rect b)
{
    return a.x < b.x + b.width && a.y < b.y + b.height && b.x < a.x + a.width && b.y < a.y + a.height;
}

}  // namespace

void Form::paintControls(gfx::Surface& target, const std::vector<Control*>& controls, const Control* stopAt,
                         bool& stopped)
{
    for (Control* control : controls) {
        if (control == stopAt) {
            stopped = true;
            return;
        }
        if (control->parent() == nullptr && control->Visible())
            control->paint(target, control->pixelRect());
    }
}

void Form::paintInto(gfx::Surface& target)
{
    target.fill(m_backColor);
    bool stopped = false;
    paintControls(target, m_controls, nullptr, stopped);
    if (m_popup)
        m_popup->paintPopup(target, m_popupRect);
}

gfx::Surface Form::pictureBelow(const Control& control, gfx::Rect rect)
{
    // Only the rectangle is painted: the form's background, the top-level controls before the one
    // that holds `control`, then each picture box on the way down with its children before the next.
    gfx::Surface part(std::max(0, rect.width), std::max(0, rect.height), m_backColor);
    std::vector<Control*> chain;  // from `control` up to its top-level container
    for (Control* link = const_cast<Control*>(&control);;) {
        chain.push_back(link);
        auto* parentControl = dynamic_cast<Control*>(link->parent());
        if (parentControl == nullptr)
            break;
        link = parentControl;
    }
    auto shifted = [&rect](gfx::Rect place) {
        return gfx::Rect{place.x - rect.x, place.y - rect.y, place.width, place.height};
    };
    for (Control* other : m_controls) {
        if (other == chain.back())
            break;
        if (other->parent() == nullptr && other->Visible() && Overlap(other->pixelRect(), rect))
            other->paint(part, shifted(other->pixelRect()));
    }
    for (size_t i = chain.size() - 1; i > 0; --i) {
        auto* box = dynamic_cast<PictureBox*>(chain[i]);
        if (box == nullptr || !box->Visible())
            break;
        box->paintFrame(part, shifted(box->pixelRect()));
        box->paintChildren(part, shifted(box->pixelRect()), chain[i - 1]);
    }
    return part;
}

void Form::onPaint(gfx::Surface& target) { paintInto(target); }

void Form::onPaintRect(gfx::Surface& target, gfx::Rect rect)
{
    // The rectangle is painted afresh on its own (the background, then every control over it, in
    // order), so nothing outside it is drawn twice.
    gfx::Surface part(rect.width, rect.height, m_backColor);
    for (Control* control : m_controls) {
        if (control->parent() != nullptr || !control->Visible())
            continue;
        gfx::Rect place = control->pixelRect();
        if (!Overlap(place, rect))
            continue;
        control->paint(part, gfx::Rect{place.x - rect.x, place.y - rect.y, place.width, place.height});
    }
    if (m_popup && Overlap(m_popupRect, rect))
        m_popup->paintPopup(part, gfx::Rect{m_popupRect.x - rect.x, m_popupRect.y - rect.y, m_popupRect.width,
                                            m_popupRect.height});
    gfx::Blit(target, rect.x, rect.y, part);
}

void Form::RefreshRect(gfx::Rect rect)
{
    if (m_window && m_visible)
        m_window->invalidateRect(rect);
}

namespace {

// Controls in drawing order, those of containers after their container.
void TopMostFirst(std::vector<Control*>& out, const std::vector<Control*>& controls)
{
    for (auto it = controls.rbegin(); it != controls.rend(); ++it)
        out.push_back(*it);
}

}  // namespace

Control* Form::controlAt(int x, int y)
{
    if (m_popup && m_popupRect.contains(x, y))
        return m_popup;
    // Top-level controls, top-most (last drawn) first; a hit on a container looks among its children.
    std::vector<Control*> candidates;
    for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it)
        if ((*it)->parent() == nullptr)
            candidates.push_back(*it);
    for (;;) {
        Control* found = nullptr;
        for (Control* control : candidates) {
            if (!control->Visible())
                continue;
            gfx::Rect place = control->pixelRect();
            if (place.contains(x, y) && control->hitTest(x - place.x, y - place.y)) {
                found = control;
                break;
            }
        }
        if (found == nullptr)
            return nullptr;
        auto* container = dynamic_cast<ControlContainer*>(found);
        if (container != nullptr) {
            std::vector<Control*> inner;
            TopMostFirst(inner, container->children());
            bool childHit = false;
            for (Control* child : inner) {
                gfx::Rect place = child->pixelRect();
                if (child->Visible() && place.contains(x, y) && child->hitTest(x - place.x, y - place.y)) {
                    childHit = true;
                    break;
                }
            }
            if (childHit) {
                candidates = std::move(inner);
                continue;
            }
        }
        // A disabled control takes no input; what lies under it does not get it either.
        return found->Enabled() ? found : nullptr;
    }
}

MouseEvent Form::relativeTo(Control& control, const MouseEvent& event)
{
    gfx::Rect place = control.pixelRect();
    return MouseEvent{event.x - place.x, event.y - place.y, event.button, event.shift};
}

void Form::setMousePointer(PointerShape shape)
{
    m_pointer = shape;
    showPointerFor(m_hover);
}

void Form::pointerChanged(Control& control)
{
    if (m_hover == &control)
        showPointerFor(&control);
}

void Form::showPointerFor(Control* control)
{
    if (!m_window)
        return;
    if (control && control->childWindow() == 0 && control->MousePointer() != PointerShape::Default)
        m_window->setPointer(control->MousePointer(), &control->MouseIcon());
    else
        m_window->setPointer(m_pointer);
}

void Form::onMouseMove(const MouseEvent& event)
{
    Control* under = controlAt(event.x, event.y);
    if (under != m_hover) {
        m_hover = under;
        showPointerFor(under);
    }
    Control* target = m_popup ? m_popup : m_capture ? m_capture : under;
    if (target && target->childWindow() == 0)
        target->mouseMove(relativeTo(*target, event));
}

void Form::onMouseDown(const MouseEvent& event)
{
    Control* target = m_popup ? m_popup : m_capture ? m_capture : controlAt(event.x, event.y);
    m_buttonsHeld |= event.button;
    if (target == nullptr)
        return;
    m_capture = target;
    if (target->takesFocus())
        SetFocusTo(target);
    // The focus handlers may have taken the control away.
    if (m_capture == target)
        target->mouseDown(relativeTo(*target, event));
}

void Form::onMouseUp(const MouseEvent& event)
{
    Control* target = m_capture ? m_capture : m_popup ? m_popup : controlAt(event.x, event.y);
    m_buttonsHeld &= ~event.button;
    if (m_buttonsHeld == 0)
        m_capture = nullptr;
    if (target)
        target->mouseUp(relativeTo(*target, event));
}

void Form::onMouseWheel(const MouseEvent& event, int delta)
{
    Control* target = m_popup ? m_popup : m_focus;
    if (target && target->childWindow() == 0)
        target->mouseWheel(relativeTo(*target, event), delta);
}

void Form::onFocus(bool gained)
{
    if (!gained && m_popup)
        m_popup->dismissPopup();
}

void Form::openPopup(Control& owner, gfx::Rect rect)
{
    if (m_popup && m_popup != &owner) {
        Control* old = m_popup;
        old->dismissPopup();
        closePopup(*old);
    }
    if (m_popup == &owner)
        RefreshRect(m_popupRect);
    m_popup = &owner;
    m_popupRect = rect;
    RefreshRect(rect);
}

void Form::closePopup(Control& owner)
{
    if (m_popup != &owner)
        return;
    m_popup = nullptr;
    RefreshRect(m_popupRect);
}

void Form::childPressed(Control& control)
{
    if (control.takesFocus())
        SetFocusTo(&control);
}

void Form::onKeyDown(int keyCode, int shift)
{
    if (keyCode == kKeyTab && (shift & (kCtrlKey | kAltKey)) == 0) {
        cycleFocus((shift & kShiftKey) != 0);
        return;
    }
    if (m_focus)
        m_focus->keyDown(keyCode, shift);
}

void Form::onKeyUp(int keyCode, int shift)
{
    if (m_focus)
        m_focus->keyUp(keyCode, shift);
}

void Form::onChar(uint32_t codePoint)
{
    if (codePoint == '\t')
        return;
    if (m_focus)
        m_focus->keyPress(codePoint);
}

bool Form::SetFocusTo(Control* control)
{
    if (control == m_focus)
        return control != nullptr;
    if (control != nullptr && !(control->takesFocus() && control->Enabled() && control->shown()))
        return false;
    Control* old = m_focus;
    m_focus = control;
    if (old)
        old->lostFocus();
    if (control && m_focus == control)
        control->gotFocus();
    return true;
}

void Form::cycleFocus(bool backwards)
{
    std::vector<Control*> order;
    for (Control* control : m_controls)
        if (control->takesFocus() && control->Enabled() && control->shown())
            order.push_back(control);
    if (order.empty())
        return;
    std::stable_sort(order.begin(), order.end(), [](Control* a, Control* b) { return a->TabIndex() < b->TabIndex(); });
    auto at = std::find(order.begin(), order.end(), m_focus);
    size_t next = 0;
    if (at != order.end()) {
        size_t i = static_cast<size_t>(at - order.begin());
        next = backwards ? (i + order.size() - 1) % order.size() : (i + 1) % order.size();
    } else if (backwards) {
        next = order.size() - 1;
    }
    SetFocusTo(order[next]);
}

void Form::controlGone(Control& control)
{
    if (m_hover == &control)
        m_hover = nullptr;
    if (m_capture == &control)
        m_capture = nullptr;
    if (m_focus == &control)
        m_focus = nullptr;
    if (m_popup == &control)
        closePopup(control);
}

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
    m_hover = nullptr;
    m_focus = nullptr;
    m_capture = nullptr;
    m_popup = nullptr;
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
