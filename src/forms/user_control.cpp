#include "forms/user_control.h"

#include <algorithm>
#include <cmath>

#include "gfx/raster.h"

namespace pap::forms {

namespace {

int RoundPixels(double value) { return static_cast<int>(std::lround(std::clamp(value, -1e9, 1e9))); }

}  // namespace

FontSpec ToFontSpec(const StoredFont& font)
{
    FontSpec wanted;
    wanted.name = font.name;
    wanted.sizePoints = font.sizeTenThousandths / 10000.0;
    wanted.weight = font.weight;
    wanted.italic = font.italic;
    wanted.underline = font.underline;
    wanted.strikethrough = font.strikethrough;
    wanted.charset = font.charset;
    return wanted;
}

StoredFont ToStoredFont(const FontSpec& font)
{
    StoredFont stored;
    stored.name = font.name;
    stored.sizeTenThousandths = static_cast<int32_t>(std::lround(font.sizePoints * 10000));
    stored.weight = font.weight;
    stored.italic = font.italic;
    stored.underline = font.underline;
    stored.strikethrough = font.strikethrough;
    stored.charset = font.charset;
    return stored;
}

gfx::Pixel ToPixel(StoredColour colour)
{
    uint32_t value = colour.value;
    if (value & 0x80000000u) {
        // The system colours a control's text and face use; others read as the window text's black.
        switch (value & 0xFF) {
        case 0x05: return gfx::kWhite;                   // window
        case 0x0F: return gfx::Rgb(0xEC, 0xE9, 0xD8);   // button face
        case 0x11: return gfx::Rgb(0xAC, 0xA8, 0x99);   // grey text
        default: return gfx::kBlack;
        }
    }
    return gfx::Rgb(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

UserControl::UserControl(Form& container, bool windowed, ControlContainer* parent)
    : Control(container, parent), m_windowed(windowed), m_canGetFocus(windowed)
{
}

UserControl::~UserControl() { m_window.reset(); }

double UserControl::toPixelsX(double value)
{
    return m_scaleMode == ScaleMode::Twips ? value / form().app().Screen().TwipsPerPixelX : value;
}

double UserControl::toPixelsY(double value)
{
    return m_scaleMode == ScaleMode::Twips ? value / form().app().Screen().TwipsPerPixelY : value;
}

double UserControl::toScaleX(double pixels)
{
    return m_scaleMode == ScaleMode::Twips ? pixels * form().app().Screen().TwipsPerPixelX : pixels;
}

double UserControl::toScaleY(double pixels)
{
    return m_scaleMode == ScaleMode::Twips ? pixels * form().app().Screen().TwipsPerPixelY : pixels;
}

double UserControl::ScaleWidth() { return toScaleX(m_surface.width()); }

double UserControl::ScaleHeight() { return toScaleY(m_surface.height()); }

namespace {

// Twips in one unit; 0 for the container's units, which depend on its scale.
double TwipsPer(ScaleUnit unit, double twipsPerPixel)
{
    switch (unit) {
    case ScaleUnit::Twips: return 1;
    case ScaleUnit::Points: return 20;
    case ScaleUnit::Pixels: return twipsPerPixel;
    case ScaleUnit::Inches: return 1440;
    case ScaleUnit::Millimeters: return 1440 / 25.4;
    case ScaleUnit::Centimeters: return 1440 / 2.54;
    case ScaleUnit::Himetric: return 1440 / 2540.0;
    case ScaleUnit::ContainerPosition:
    case ScaleUnit::ContainerSize: return 0;
    }
    return 1;
}

}  // namespace

double UserControl::ScaleX(double value, ScaleUnit from, ScaleUnit to)
{
    const double tpp = form().app().Screen().TwipsPerPixelX;
    const double container = form().scaleMode() == ScaleMode::Twips ? 1 : tpp;
    double fromTwips = TwipsPer(from, tpp), toTwips = TwipsPer(to, tpp);
    return value * (fromTwips == 0 ? container : fromTwips) / (toTwips == 0 ? container : toTwips);
}

double UserControl::ScaleY(double value, ScaleUnit from, ScaleUnit to)
{
    const double tpp = form().app().Screen().TwipsPerPixelY;
    const double container = form().scaleMode() == ScaleMode::Twips ? 1 : tpp;
    double fromTwips = TwipsPer(from, tpp), toTwips = TwipsPer(to, tpp);
    return value * (fromTwips == 0 ? container : fromTwips) / (toTwips == 0 ? container : toTwips);
}

void UserControl::Cls()
{
    if (m_backStyle == BackStyle::Opaque || !form().Loaded())
        m_surface.fill(m_backColor);
    else
        m_surface = form().pictureBelow(*this, {pixelRect().x, pixelRect().y, m_surface.width(), m_surface.height()});
}

void UserControl::PaintPicture(const gfx::Surface& picture, double x1, double y1, double width1, double height1,
                               double x2, double y2, double width2, double height2)
{
    // The picture's section is given in the control's scale too.
    gfx::Rect to{RoundPixels(toPixelsX(x1)), RoundPixels(toPixelsY(y1)), RoundPixels(toPixelsX(width1)),
                 RoundPixels(toPixelsY(height1))};
    gfx::Rect from{RoundPixels(toPixelsX(x2)), RoundPixels(toPixelsY(y2)), RoundPixels(toPixelsX(width2)),
                   RoundPixels(toPixelsY(height2))};
    gfx::PaintSection(m_surface, to, picture, from);
}

void UserControl::Refresh()
{
    // A windowed control shows its own window; a windowless one repaints its place on the form.
    if (m_window)
        m_window->invalidate();
    else if (parent() == nullptr)
        form().RefreshRect(pixelRect());
    else
        form().Refresh();
}

void UserControl::Size(double width, double height)
{
    double unitX = 1, unitY = 1;
    if (form().scaleMode() == ScaleMode::Pixels) {
        unitX = 1 / form().app().Screen().TwipsPerPixelX;
        unitY = 1 / form().app().Screen().TwipsPerPixelY;
    }
    Move(Left(), Top(), width * unitX, height * unitY);
}

void UserControl::setBackStyle(BackStyle style)
{
    m_backStyle = style;
    Refresh();
}

PropertyBag* UserControl::storedBag()
{
    DesignData* data = form().designData();
    if (data == nullptr || Name().empty())
        return nullptr;
    ControlData* entry = data->find(Name(), Index());
    return entry ? &entry->bag : nullptr;
}

void UserControl::PropertyChanged(std::string_view name)
{
    if (PropertyBag* bag = storedBag())
        bag->PropertyChanged(name);
}

PropertyBag UserControl::SaveProperties()
{
    PropertyBag bag;
    UserControl_WriteProperties(bag);
    return bag;
}

void UserControl::placeWindow()
{
    if (!m_window)
        return;
    gfx::Rect place = pixelRect();
    m_window->setBounds(place.x, place.y, place.width, place.height);
}

void UserControl::formLoaded()
{
    m_alive = true;
    if (m_windowed && form().hWnd() != 0) {
        m_window = form().app().ui().createChildWindow(*this, form().hWnd());
        m_windowGone = false;
        if (m_window) {
            placeWindow();
            m_window->setPointer(MousePointer(), &MouseIcon());
        }
    }
    gfx::Rect place = pixelRect();
    m_surface = gfx::Surface(std::max(0, place.width), std::max(0, place.height), m_backColor);
    UserControl_Initialize();
    // A running program reads every control's bag; one with nothing stored reads all its defaults. A
    // designer placing a new control initialises it instead.
    if (PropertyBag* bag = storedBag()) {
        UserControl_ReadProperties(*bag);
    } else if (AmbientUserMode()) {
        PropertyBag empty;
        UserControl_ReadProperties(empty);
    } else {
        UserControl_InitProperties();
    }
    UserControl_Resize();
    if (m_window)
        m_window->setVisible(Visible());
}

void UserControl::formShown(bool shown)
{
    if (!m_alive)
        return;
    if (shown) {
        UserControl_Show();
        if (!m_autoRedraw)
            UserControl_Paint();
        Refresh();
    } else {
        UserControl_Hide();
    }
}

void UserControl::formUnloading()
{
    if (!m_alive)
        return;
    m_alive = false;
    UserControl_Terminate();
    m_window.reset();
}

void UserControl::resized()
{
    if (!m_alive)
        return;
    gfx::Rect place = pixelRect();
    m_surface.resize(std::max(0, place.width), std::max(0, place.height), m_backColor);
    placeWindow();
    UserControl_Resize();
}

void UserControl::setMousePointer(PointerShape shape)
{
    Control::setMousePointer(shape);
    if (m_window)
        m_window->setPointer(shape, &MouseIcon());
}

void UserControl::setMouseIcon(gfx::Surface icon)
{
    Control::setMouseIcon(std::move(icon));
    if (m_window)
        m_window->setPointer(MousePointer(), &MouseIcon());
}

void UserControl::setVisible(bool visible)
{
    Control::setVisible(visible);
    if (m_window)
        m_window->setVisible(visible);
}

void UserControl::paint(gfx::Surface& target, gfx::Rect place)
{
    if (!m_autoRedraw && m_alive) {
        Cls();
        UserControl_Paint();
    }
    gfx::Blit(target, place.x, place.y, m_surface);
    paintConstituents(target, {place.x, place.y});
}

void UserControl::onPaint(gfx::Surface& target)
{
    if (!m_autoRedraw && m_alive) {
        Cls();
        UserControl_Paint();
    }
    gfx::Blit(target, 0, 0, m_surface);
    paintConstituents(target, {0, 0});
}

void UserControl::mouseDown(const MouseEvent& event)
{
    if (!Enabled())
        return;
    m_click.down(event);
    UserControl_MouseDown(event.button, event.shift, static_cast<float>(toScaleX(event.x)),
                          static_cast<float>(toScaleY(event.y)));
}

void UserControl::mouseMove(const MouseEvent& event)
{
    if (!Enabled())
        return;
    UserControl_MouseMove(event.button, event.shift, static_cast<float>(toScaleX(event.x)),
                          static_cast<float>(toScaleY(event.y)));
}

void UserControl::mouseUp(const MouseEvent& event)
{
    if (!Enabled())
        return;
    bool click = m_click.up(event, gfx::Rect{0, 0, m_surface.width(), m_surface.height()});
    UserControl_MouseUp(event.button, event.shift, static_cast<float>(toScaleX(event.x)),
                        static_cast<float>(toScaleY(event.y)));
    if (click)
        UserControl_Click();
}

void UserControl::onMouseDown(const MouseEvent& event)
{
    if (!Enabled() || !form().WindowEnabled())
        return;
    // A press on the control's own window gives it the focus first, as for any windowed control.
    form().childPressed(*this);
    mouseDown(event);
}

void UserControl::onMouseMove(const MouseEvent& event)
{
    if (form().WindowEnabled())
        mouseMove(event);
}

void UserControl::onMouseUp(const MouseEvent& event)
{
    if (form().WindowEnabled())
        mouseUp(event);
}

DesignData SaveDesignData(Form& form)
{
    DesignData data;
    for (Control* control : form.controls())
        if (auto* user = dynamic_cast<UserControl*>(control); user != nullptr && !user->Name().empty())
            data.controls.push_back({user->Name(), user->Index(), user->SaveProperties()});
    return data;
}

}  // namespace pap::forms
