#include "controls/button/command.h"

#include <cmath>
#include <cstdlib>

#include "gfx/dib.h"
#include "gfx/gradient.h"

namespace pap {

namespace {

// The gradient's two colours as the button keeps them: "&H" and six hex digits read as red, green, blue.
constexpr const char* kGradientLight = "&HFFFFFF";
constexpr const char* kGradientDark = "&HC6C5D7";

// A colour string's channels, each in the high byte of a 16-bit vertex channel.
gfx::TriVertex VertexColour(const char* text, int32_t x, int32_t y)
{
    uint32_t value = static_cast<uint32_t>(std::strtoul(text + 2, nullptr, 16));
    gfx::TriVertex vertex;
    vertex.x = x;
    vertex.y = y;
    vertex.red = static_cast<uint16_t>(((value >> 16) & 0xFF) << 8);
    vertex.green = static_cast<uint16_t>(((value >> 8) & 0xFF) << 8);
    vertex.blue = static_cast<uint16_t>((value & 0xFF) << 8);
    return vertex;
}

}  // namespace

Command::Command(forms::Form& container, forms::ControlContainer* parent)
    : forms::UserControl(container, true, parent), m_tmrMouse(container, 100, false, [this] { WatchPointer(); })
{
    setBackColor(gfx::Rgb(0xEC, 0xE9, 0xD8));
    m_label.transparent = true;
    m_label.alignment = TextAlign::Center;
    m_label.caption = kDefaultCaption;
}

forms::StoredFont Command::ambientFont() { return forms::ToStoredFont(AmbientFont()); }

// --- properties ---

void Command::setCaption(const std::string& caption)
{
    m_label.caption = caption;
    PropertyChanged("Caption");
    Refresh();
}

forms::StoredFont Command::Font() const { return forms::ToStoredFont(m_label.font); }

void Command::setFont(const forms::StoredFont& font)
{
    m_label.font = forms::ToFontSpec(font);
    PropertyChanged("Font");
    Refresh();
}

uint32_t Command::FontColour()
{
    uint32_t colour = m_label.foreColor;
    RefreshLook();
    // The label keeps a pixel; the property speaks 0x00BBGGRR.
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

void Command::setFontColour(uint32_t colour)
{
    m_label.foreColor = forms::ToPixel(forms::StoredColour{colour});
    RefreshLook();
    PropertyChanged("FontColour");
}

int16_t Command::EnabledGet()
{
    if (m_firstRun == 0) {
        RefreshLook();
        m_firstRun = 1;
        m_enabled = kTrue;
    }
    int16_t value = m_enabled;
    ApplyEnabledLook();
    return value;
}

void Command::EnabledLet(int16_t value)
{
    m_enabled = value;
    PropertyChanged("Enabled");
    ApplyEnabledLook();
}

uint8_t Command::VisibleGet()
{
    if (backStyle() == forms::BackStyle::Transparent)
        return 0;
    RefreshLook();
    return 255;
}

void Command::VisibleLet(uint8_t value)
{
    if (value == 0) {
        setBackStyle(forms::BackStyle::Transparent);
    } else {
        setBackStyle(forms::BackStyle::Opaque);
        RefreshLook();
    }
    PropertyChanged("Visible");
}

// --- the property bag ---

void Command::UserControl_ReadProperties(forms::PropertyBag& bag)
{
    m_enabled = bag.ReadProperty<bool>("Enabled", true) ? kTrue : 0;
    m_label.caption = bag.ReadProperty<std::string>("Caption", kDefaultCaption);
    // The font is applied as a whole object: face, size and style together.
    m_label.font = forms::ToFontSpec(bag.ReadProperty<forms::StoredFont>("Font", ambientFont()));
    m_firstRun = bag.ReadProperty<uint8_t>("FirstRun", 1);
    m_label.foreColor = forms::ToPixel(bag.ReadProperty<forms::StoredColour>("FontColour", forms::StoredColour{0}));
    setBackStyle(bag.ReadProperty<int16_t>("Visible", 1) == 0 ? forms::BackStyle::Transparent
                                                               : forms::BackStyle::Opaque);
    RefreshLook();
}

void Command::UserControl_WriteProperties(forms::PropertyBag& bag)
{
    bag.WriteProperty("Enabled", m_enabled != 0, true);
    bag.WriteProperty("Caption", m_label.caption, std::string(kDefaultCaption));
    bag.WriteProperty("FirstRun", m_firstRun, uint8_t{1});
    bag.WriteProperty("Font", Font(), ambientFont());
    uint32_t colour = m_label.foreColor;
    bag.WriteProperty("FontColour", forms::StoredColour{((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF)},
                      forms::StoredColour{0});
    bag.WriteProperty("Visible", int16_t{backStyle() == forms::BackStyle::Transparent ? int16_t{0} : int16_t{1}},
                      int16_t{1});
    RefreshLook();
}

// --- looks ---

void Command::PaintSkin(CommandLook look)
{
    if (m_mode == 1)
        m_hoverShade = false;
    else if (m_mode == 2)
        m_hoverShade = true;
    else if (m_mode == 3)
        m_hoverShade = false;
    m_lastLook = look;

    Cls();
    PaintGradient();

    const gfx::Surface& skin = CommandSkin(look);
    const double W = ScaleWidth(), H = ScaleHeight();
    // Corners 1:1, edges stretched along their length; the centre is the gradient's. All in twips.
    PaintPicture(skin, 1, 1, 60, 60, 0, 0, 60, 60);                       // top-left corner
    PaintPicture(skin, 60, 1, W - 120, 60, 60, 1, 840, 60);               // top edge
    PaintPicture(skin, W - 60, 1, 60, 60, 900, 1, 60, 60);                // top-right corner
    PaintPicture(skin, W - 60, 60, 60, H - 120, 900, 60, 60, 255);        // right edge
    PaintPicture(skin, W - 60, H - 60, 60, 105, 900, 315, 60, 105);       // bottom-right corner
    PaintPicture(skin, 60, H - 60, W - 120, 60, 60, 315, 840, 60);        // bottom edge
    PaintPicture(skin, 1, H - 60, 60, 60, 0, 315, 60, 60);                // bottom-left corner
    PaintPicture(skin, 1, 60, 60, H - 120, 1, 60, 60, 255);               // left edge

    Refresh();

    // The caption label fills the width, centred 10 twips above the middle.
    const int widthPixels = hDC().width();
    const double labelHeight = toScaleY(m_label.captionHeight(form().app().text(), widthPixels));
    const double top = (H - labelHeight - 20) / 2;
    m_labelRect = gfx::Rect{0, static_cast<int>(std::lround(toPixelsY(top))), widthPixels,
                            static_cast<int>(std::lround(toPixelsY(labelHeight)))};
}

void Command::PaintGradient()
{
    setScaleMode(forms::ScaleMode::Pixels);
    const int right = static_cast<int>(ScaleWidth()) - 1;
    const int bottom = static_cast<int>(ScaleHeight()) - 1;
    gfx::TriVertex vertices[2] = {VertexColour(kGradientLight, 0, 0), VertexColour(kGradientDark, right, bottom)};
    if (m_hoverShade) {
        // The pointer is over an unfocused button: dark at the top, light at the bottom.
        vertices[0] = VertexColour(kGradientDark, 0, 0);
        vertices[1] = VertexColour(kGradientLight, right, bottom);
    }
    const gfx::GradientRect mesh{0, 1};
    gfx::Dib target = gfx::Dib::View(hDC());
    gfx::GradientFillRectV(target, vertices, {&mesh, 1});
    setScaleMode(forms::ScaleMode::Twips);
    Refresh();
}

void Command::paintConstituents(gfx::Surface& target, gfx::Point origin)
{
    gfx::Rect box = m_labelRect;
    box.x += origin.x;
    box.y += origin.y;
    // The label is clipped to the control.
    gfx::Surface& own = hDC();
    if (origin.x == 0 && origin.y == 0 && target.width() == own.width() && target.height() == own.height()) {
        m_label.paint(form().app().text(), target, box);
        return;
    }
    gfx::Surface clipped(own.width(), own.height());
    for (int y = 0; y < own.height(); ++y)
        for (int x = 0; x < own.width(); ++x)
            if (origin.x + x >= 0 && origin.y + y >= 0 && origin.x + x < target.width() && origin.y + y < target.height())
                clipped.set(x, y, target.at(origin.x + x, origin.y + y));
    m_label.paint(form().app().text(), clipped, m_labelRect);
    gfx::Blit(target, origin.x, origin.y, clipped);
}

void Command::ApplyEnabledLook()
{
    if (m_enabled != 0) {
        PaintSkin(CommandLook::Normal);
        m_label.enabled = true;
    } else {
        PaintSkin(CommandLook::Disable);
        m_label.enabled = false;
    }
    Refresh();
}

void Command::RefreshLook()
{
    if (m_enabled == 0)
        return;
    m_label.enabled = true;
    if (m_firstRun == 0)
        m_label.foreColor = gfx::kBlack;
    PaintSkin(CommandLook::Normal);
}

void Command::PointerLeft()
{
    if (m_mode == 2) {
        m_mode = 1;
        PaintSkin(CommandLook::Normal);
    } else if (m_mode == 4) {
        m_mode = 3;
        PaintSkin(CommandLook::Selected);
    }
}

void Command::WatchPointer()
{
    if (m_enabled == 0)
        return;
    UiSystem& ui = form().app().ui();
    std::optional<std::pair<int, int>> at = ui.cursorPos();
    if (!at)
        return;
    const NativeWindow found = ui.windowFromPoint(at->first, at->second);
    const NativeWindow parentWindow = form().hWnd();
    const NativeWindow own = childWindow();
    if (found == parentWindow)
        PointerLeft();
    else if (found != own && found != parentWindow)
        PointerLeft();
}

// --- events ---

void Command::UserControl_Initialize()
{
    m_mode = 1;
    m_tmrMouse.setInterval(100);
    m_tmrMouse.setEnabled(true);
}

void Command::UserControl_Resize() { ApplyEnabledLook(); }

void Command::UserControl_GotFocus()
{
    if (m_enabled == 0)
        return;
    if (m_mode != 2) {
        m_mode = 3;
        PaintSkin(CommandLook::Selected);
    } else {
        m_mode = 4;
        PaintSkin(CommandLook::Pressed);
    }
}

void Command::UserControl_LostFocus()
{
    if (m_enabled == 0)
        return;
    if (m_mode != 1) {
        m_mode = 1;
        PaintSkin(CommandLook::Normal);
    }
}

void Command::UserControl_MouseDown(int button, int /*shift*/, float /*x*/, float /*y*/)
{
    if (m_enabled == 0)
        return;
    if (button == kLeftButton) {
        m_mouseDown = true;
        PaintSkin(CommandLook::Pressed);
    }
}

void Command::UserControl_MouseMove(int /*button*/, int /*shift*/, float /*x*/, float /*y*/)
{
    if (m_enabled == 0)
        return;
    if (m_mode == 1) {
        m_mode = 2;
        PaintSkin(CommandLook::HighLight);
    }
    if (m_mode == 3 && !m_mouseDown) {
        m_mode = 4;
        PaintSkin(CommandLook::HighLightSelect);
    }
}

void Command::UserControl_MouseUp(int button, int /*shift*/, float /*x*/, float /*y*/)
{
    if (m_enabled == 0)
        return;
    if (button == kLeftButton) {
        m_mouseDown = false;
        if (m_mode == 2)
            PaintSkin(CommandLook::Normal);
        if (m_mode == 4)
            PaintSkin(CommandLook::HighLightSelect);
    }
    if (m_mode != 3 && m_enabled == kTrue && Click)
        Click();
}

}  // namespace pap
