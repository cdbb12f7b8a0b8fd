#pragma once

// The controls the forms place: picture boxes (with a persistent image to draw into), image controls
// (a picture, shown at its size or stretched) and timers. Controls are members of their form and live
// as long as it; their position and size are in the form's scale.

#include <cstdint>
#include <functional>

#include "gfx/surface.h"

namespace pap::forms {

class Form;

class Control {
public:
    explicit Control(Form& container);
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
    void setVisible(bool visible);

    // Paints the control into the form's picture, at its place there in pixels.
    virtual void paint(gfx::Surface& target, gfx::Rect place) = 0;
    // The control's place in pixels of the form's inner area.
    gfx::Rect pixelRect();

protected:
    // The size changed (in the form's scale).
    virtual void resized() {}
    Form& container() { return m_container; }

private:
    Form& m_container;
    double m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    bool m_visible = true;
};

// A picture box that keeps what is drawn into it (its persistent image): its drawing surface stands
// for its device context, and Refresh shows what was drawn.
class PictureBox : public Control {
public:
    enum class Border { None = 0, FixedSingle = 1 };
    // The width of the fixed single border's sunken edge, in pixels.
    static constexpr int kBorderPixels = 2;

    explicit PictureBox(Form& container, Border border = Border::FixedSingle,
                        gfx::Pixel backColor = gfx::Rgb(0xF0, 0xF0, 0xF0));

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

protected:
    void resized() override;

private:
    Border m_border;
    gfx::Pixel m_backColor;
    gfx::Surface m_image;
};

// An image control: shows its picture at the picture's size (the control takes that size), or
// stretched to the control's size.
class Image : public Control {
public:
    explicit Image(Form& container, bool stretch = false);

    bool Stretch() const { return m_stretch; }
    void setStretch(bool stretch);
    const gfx::Surface& Picture() const { return m_picture; }
    void setPicture(gfx::Surface picture);

    void paint(gfx::Surface& target, gfx::Rect place) override;

private:
    bool m_stretch;
    gfx::Surface m_picture;
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
