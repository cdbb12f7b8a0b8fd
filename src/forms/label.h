#pragma once

// The label control: a caption in a font and colour, aligned in the control's box and wrapped at its
// width if asked, over the back colour or over what lies under it, greyed while disabled. It has no
// window and takes no focus; its mouse events go to its handlers.

#include <functional>
#include <string>

#include "forms/controls.h"
#include "forms/text_layout.h"
#include "platform/text.h"

namespace pap::forms {

// What a label draws, apart from the control: shared with user controls that draw a caption of their own.
struct LabelLook {
    std::string caption;
    FontSpec font;
    gfx::Pixel foreColor = gfx::kBlack;
    gfx::Pixel backColor = gfx::Rgb(0xEC, 0xE9, 0xD8);
    bool transparent = false;  // BackStyle 0
    TextAlign alignment = TextAlign::Left;
    bool wordWrap = false;
    bool enabled = true;

    // Draws into the box of `target`.
    void paint(TextService& text, gfx::Surface& target, gfx::Rect box) const;
    // The height in pixels the caption takes at a width (what AutoSize makes the label's height).
    int captionHeight(TextService& text, int width) const;
};

class Label : public Control {
public:
    explicit Label(Form& container, ControlContainer* parent = nullptr);

    const std::string& Caption() const { return m_look.caption; }
    void setCaption(std::string caption);
    const FontSpec& Font() const { return m_look.font; }
    void setFont(const FontSpec& font);
    gfx::Pixel ForeColor() const { return m_look.foreColor; }
    void setForeColor(gfx::Pixel colour);
    gfx::Pixel BackColor() const { return m_look.backColor; }
    void setBackColor(gfx::Pixel colour);
    // 0 transparent, 1 opaque.
    int BackStyle() const { return m_look.transparent ? 0 : 1; }
    void setBackStyle(int style);
    TextAlign Alignment() const { return m_look.alignment; }
    void setAlignment(TextAlign alignment);
    bool WordWrap() const { return m_look.wordWrap; }
    void setWordWrap(bool wrap);
    void setEnabled(bool enabled) override;

    const LabelLook& look() const { return m_look; }

    // Events, with positions in the form's scale.
    MouseHandler MouseDown, MouseMove, MouseUp;
    std::function<void()> Click;

    void paint(gfx::Surface& target, gfx::Rect place) override;
    void mouseDown(const MouseEvent& event) override;
    void mouseMove(const MouseEvent& event) override;
    void mouseUp(const MouseEvent& event) override;

private:
    void changed();

    LabelLook m_look;
    ClickTracker m_click;
};

}  // namespace pap::forms
