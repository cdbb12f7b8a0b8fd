#include "forms/label.h"

#include "forms/app.h"
#include "forms/form.h"

namespace pap::forms {

void LabelLook::paint(TextService& text, gfx::Surface& target, gfx::Rect box) const
{
    if (!transparent)
        target.fillRect(box, backColor);
    DrawTextBox(text, target, box, font, caption, foreColor, alignment, wordWrap, enabled);
}

int LabelLook::captionHeight(TextService& text, int width) const
{
    return TextBoxHeight(text, font, caption, width, wordWrap);
}

Label::Label(Form& container, ControlContainer* parent) : Control(container, parent)
{
    m_look.font = container.Font();
    m_look.backColor = container.BackColor();
}

void Label::changed() { container().Refresh(); }

void Label::setCaption(std::string caption)
{
    m_look.caption = std::move(caption);
    changed();
}

void Label::setFont(const FontSpec& font)
{
    m_look.font = font;
    changed();
}

void Label::setForeColor(gfx::Pixel colour)
{
    m_look.foreColor = colour;
    changed();
}

void Label::setBackColor(gfx::Pixel colour)
{
    m_look.backColor = colour;
    changed();
}

void Label::setBackStyle(int style)
{
    m_look.transparent = style == 0;
    changed();
}

void Label::setAlignment(TextAlign alignment)
{
    m_look.alignment = alignment;
    changed();
}

void Label::setWordWrap(bool wrap)
{
    m_look.wordWrap = wrap;
    changed();
}

void Label::setEnabled(bool enabled)
{
    m_look.enabled = enabled;
    Control::setEnabled(enabled);
}

void Label::paint(gfx::Surface& target, gfx::Rect place)
{
    m_look.paint(container().app().text(), target, place);
}

void Label::mouseDown(const MouseEvent& event)
{
    m_click.down(event);
    if (MouseDown)
        MouseDown(event.button, event.shift, scaleX(event.x), scaleY(event.y));
}

void Label::mouseMove(const MouseEvent& event)
{
    if (MouseMove)
        MouseMove(event.button, event.shift, scaleX(event.x), scaleY(event.y));
}

void Label::mouseUp(const MouseEvent& event)
{
    bool click = m_click.up(event, pixelRect());
    if (MouseUp)
        MouseUp(event.button, event.shift, scaleX(event.x), scaleY(event.y));
    if (click && Click)
        Click();
}

}  // namespace pap::forms
