#pragma once

// The rectangle-outline control: a frame line of a colour and width drawn inside the control's box,
// transparent within. It has no window, takes no mouse input (what lies under it gets the clicks)
// and no focus.

#include "forms/controls.h"

namespace pap::forms {

class Shape : public Control {
public:
    explicit Shape(Form& container, ControlContainer* parent = nullptr);

    gfx::Pixel BorderColor() const { return m_borderColor; }
    void setBorderColor(gfx::Pixel colour);
    // The line's width in pixels (1 or more); it grows inwards from the control's edge.
    int BorderWidth() const { return m_borderWidth; }
    void setBorderWidth(int width);

    void paint(gfx::Surface& target, gfx::Rect place) override;
    bool hitTest(int, int) override { return false; }

private:
    gfx::Pixel m_borderColor = gfx::kBlack;
    int m_borderWidth = 1;
};

// Draws the outline of `box` into `target`, `width` pixels thick inwards, clipped to the target.
void DrawOutline(gfx::Surface& target, gfx::Rect box, int width, gfx::Pixel colour);

}  // namespace pap::forms
