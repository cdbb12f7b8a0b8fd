#pragma once

// The controls the forms place: picture boxes (with a persistent image to draw into), image controls
// (a picture, shown at its size or stretched) and timers. Controls are members of their form and live
// as long as it; their position and size are in the form's scale.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gfx/surface.h"
#include "platform/ui.h"

namespace pap::forms {

class Form;
class Control;

// A control's mouse event handler: button (or held buttons for a move), shift state, and the position
// in the container's scale.
using MouseHandler = std::function<void(int button, int shift, float x, float y)>;

// A control that holds other controls (a picture box): their positions are relative to its inner area.
class ControlContainer {
public:
    virtual ~ControlContainer() = default;
    // The top-left corner of the inner area in pixels of the form's inner area.
    virtual gfx::Point innerOrigin() = 0;
    std::vector<Control*>& children() { return m_children; }

private:
    std::vector<Control*> m_children;
};

// When a windowless control raises Click: the left button went down on it and came up over it.
class ClickTracker {
public:
    void down(const MouseEvent& event);
    // Whether the release (relative to the control) makes a click of a control of that size.
    bool up(const MouseEvent& event, gfx::Rect place);

private:
    bool m_armed = false;
};

class Control {
public:
    // A control of the form, or of a container control of that form (null: the form itself).
    explicit Control(Form& container, ControlContainer* parent = nullptr);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    double Left() const { return m_left; }
    double Top() const { return m_top; }
    double Width() const { return m_width; }
    double Height() const { return m_height; }
    void Move(double left, double top, double width, double height);
    void setWidth(double width) { Move(m_left, m_top, width, m_height); }
    void setHeight(double height) { Move(m_left, m_top, m_width, height); }

    bool Visible() const { return m_visible; }
    virtual void setVisible(bool visible);
    // A disabled control takes no mouse input and no focus; controls that look disabled repaint.
    bool Enabled() const { return m_enabled; }
    virtual void setEnabled(bool enabled);

    // The name the form's design-time data knows the control by, and its element in a control array
    // (-1: not in an array).
    const std::string& Name() const { return m_name; }
    int Index() const { return m_index; }
    void setName(std::string name, int index = -1);

    // The pointer shown over the control (Custom: its MouseIcon picture).
    PointerShape MousePointer() const { return m_pointer; }
    const gfx::Surface& MouseIcon() const { return m_mouseIcon; }
    virtual void setMousePointer(PointerShape shape);
    virtual void setMouseIcon(gfx::Surface icon);

    // Focus order among the form's controls that take the focus (lower first; creation order at equal
    // values).
    int TabIndex() const { return m_tabIndex; }
    void setTabIndex(int tabIndex) { m_tabIndex = tabIndex; }

    // Paints the control into the form's picture, at its place there in pixels.
    virtual void paint(gfx::Surface& target, gfx::Rect place) = 0;
    // The control's place in pixels of the form's inner area.
    gfx::Rect pixelRect();
    // Whether it and every container around it are visible.
    bool shown() const;
    ControlContainer* parent() const { return m_parent; }

    // --- what the form calls ---
    // The form has loaded (its window exists) or is unloading (the window still exists).
    virtual void formLoaded() {}
    virtual void formUnloading() {}
    // The form was shown (or hidden again).
    virtual void formShown(bool /*shown*/) {}
    // Whether a point of the control's place (pixels relative to it) belongs to the control.
    virtual bool hitTest(int /*x*/, int /*y*/) { return true; }
    // A control with a window of its own (0: none) takes its input there, not through the form.
    virtual NativeWindow childWindow() const { return 0; }
    // Mouse input in pixels relative to the control's place.
    virtual void mouseDown(const MouseEvent& /*event*/) {}
    virtual void mouseMove(const MouseEvent& /*event*/) {}
    virtual void mouseUp(const MouseEvent& /*event*/) {}
    // Keyboard focus: whether the control takes it, and its arrival and departure.
    virtual bool takesFocus() const { return false; }
    virtual void gotFocus() {}
    virtual void lostFocus() {}
    virtual void keyDown(int /*keyCode*/, int /*shift*/) {}
    virtual void keyUp(int /*keyCode*/, int /*shift*/) {}
    virtual void keyPress(uint32_t /*codePoint*/) {}
    // The wheel turned by `delta` (120 per notch, positive away from the user), the pointer relative to
    // the control. It goes to the control whose pop-up is open, else to the focused control.
    virtual void mouseWheel(const MouseEvent& /*event*/, int /*delta*/) {}
    // The control's pop-up (see Form::openPopup): paints it at `place` of `target`, over every control.
    virtual void paintPopup(gfx::Surface& /*target*/, gfx::Rect /*place*/) {}
    // The pop-up must close now, without taking anything (the form's window lost the focus).
    virtual void dismissPopup() {}

    Form& form() { return m_container; }

protected:
    // The size changed (in the form's scale).
    virtual void resized() {}
    // The position or size changed.
    virtual void moved() {}
    Form& container() { return m_container; }
    // A position in pixels relative to the control, in the form's scale (what mouse events report).
    float scaleX(int pixels);
    float scaleY(int pixels);

private:
    Form& m_container;
    ControlContainer* m_parent;
    std::string m_name;
    int m_index = -1;
    int m_tabIndex = 0;
    double m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    bool m_visible = true;
    bool m_enabled = true;
    PointerShape m_pointer = PointerShape::Default;
    gfx::Surface m_mouseIcon;
};

// A picture box that keeps what is drawn into it (its persistent image): its drawing surface stands
// for its device context, and Refresh shows what was drawn.
// It holds other controls too: they are placed in its inner area and drawn over its picture.
class PictureBox : public Control, public ControlContainer {
public:
    enum class Border { None = 0, FixedSingle = 1 };
    // The width of the fixed single border's sunken edge, in pixels.
    static constexpr int kBorderPixels = 2;

    explicit PictureBox(Form& container, Border border = Border::FixedSingle,
                        gfx::Pixel backColor = gfx::Rgb(0xF0, 0xF0, 0xF0), ControlContainer* parent = nullptr);

    gfx::Point innerOrigin() override;
    MouseHandler MouseDown, MouseMove, MouseUp;
    std::function<void()> Click;
    void mouseDown(const MouseEvent& event) override;
    void mouseMove(const MouseEvent& event) override;
    void mouseUp(const MouseEvent& event) override;

    Border BorderStyle() const { return m_border; }
    void setBorderStyle(Border border);
    gfx::Pixel BackColor() const { return m_backColor; }
    // A new background colour clears the picture.
    void setBackColor(gfx::Pixel colour);

    // The drawing surface (hDC): the inner area in pixels, kept in step with the control's size.
    gfx::Surface& hDC() { return m_image; }
    // The persistent image: what has been drawn.
    const gfx::Surface& Image() const { return m_image; }
    // Clears the picture to the background colour.
    void Cls();
    // Repaints the control on screen.
    void Refresh();

    void paint(gfx::Surface& target, gfx::Rect place) override;
    // The box itself: its edge and its picture, without the controls it holds.
    void paintFrame(gfx::Surface& target, gfx::Rect place);
    // The controls it holds, in drawing order up to (not including) `stopAt`, clipped to the inner area.
    void paintChildren(gfx::Surface& target, gfx::Rect place, const Control* stopAt);

protected:
    void resized() override;

private:
    Border m_border;
    gfx::Pixel m_backColor;
    gfx::Surface m_image;
    ClickTracker m_click;
};

// An image control: shows its picture at the picture's size (the control takes that size), or
// stretched to the control's size.
class Image : public Control {
public:
    explicit Image(Form& container, bool stretch = false, ControlContainer* parent = nullptr);

    // Events, raised with the position in the form's scale.
    MouseHandler MouseDown, MouseMove, MouseUp;
    std::function<void()> Click;
    void mouseDown(const MouseEvent& event) override;
    void mouseMove(const MouseEvent& event) override;
    void mouseUp(const MouseEvent& event) override;

    bool Stretch() const { return m_stretch; }
    void setStretch(bool stretch);
    const gfx::Surface& Picture() const { return m_picture; }
    void setPicture(gfx::Surface picture);

    void paint(gfx::Surface& target, gfx::Rect place) override;

private:
    bool m_stretch;
    gfx::Surface m_picture;
    ClickTracker m_click;
};

// A timer: while it is enabled, its form is loaded and its interval is not 0, it ticks every Interval
// milliseconds, on the program's thread, one tick at a time, with the window events that wait dispatched
// between two ticks. A tick never interrupts another, its own included: ticks that fall due while a
// handler runs are not queued up; a late timer ticks once and counts its next interval from the end of
// that tick.
class Timer {
public:
    Timer(Form& owner, uint32_t interval, bool enabled, std::function<void()> onTimer);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    uint32_t Interval() const { return m_interval; }
    // A new interval starts the count again.
    void setInterval(uint32_t interval);
    bool Enabled() const { return m_enabled; }
    // Switching on starts the count from now; switching on again changes nothing.
    void setEnabled(bool enabled);

private:
    friend class App;
    friend class Form;

    bool active() const;
    void restart();

    Form& m_owner;
    uint32_t m_interval;
    bool m_enabled;
    std::function<void()> m_onTimer;
    uint64_t m_due = 0;
    bool m_inTick = false;
};

}  // namespace pap::forms
