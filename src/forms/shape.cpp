#include "forms/shape.h"

#include <algorithm>

#include "forms/form.h"

namespace pap::forms {

Shape::Shape(Form& container, ControlContainer* parent) : Control(container, parent) {}

void Shape::setBorderColor(gfx::Pixel colour)
{
    m_borderColor = colour;
    container().Refresh();
}

void Shape::setBorderWidth(int width)
{
    m_borderWidth = std::max(width, 1);
    container().Refresh();
}

void Shape::paint(gfx::Surface& target, gfx::Rect place)
{
    DrawOutline(target, place, m_borderWidth, m_borderColor);
}

void DrawOutline(gfx::Surface& target, gfx::Rect box, int width, gfx::Pixel colour)
{
    if (box.width <= 0 || box.height <= 0 || width <= 0)
        return;
    // Past half the box the bands meet: the whole box is line.
    const int across = std::min(width, (box.width + 1) / 2);
    const int down = std::min(width, (box.height + 1) / 2);
    // fillRect clips to the target.
    target.fillRect({box.x, box.y, box.width, down}, colour);
    target.fillRect({box.x, box.y + box.height - down, box.width, down}, colour);
    target.fillRect({box.x, box.y, across, box.height}, colour);
    target.fillRect({box.x + box.width - across, box.y, across, box.height}, colour);
}

}  // namespace pap::forms
