#pragma once

// User controls: controls a program builds itself on a drawing surface of their own. A windowed user
// control owns a child window of its form (window search under the pointer finds it, and it takes its
// own mouse input); a windowless one paints into the form's picture and gets its input from the form.
// Either way the control draws into a persistent picture (hDC) that Refresh shows, reads its ambient
// properties from the form, keeps its values in the form's stored property bags, and raises its events
// to the form through the handlers the form sets.

#include <cstdint>
#include <string_view>

#include "forms/controls.h"
#include "forms/form.h"
#include "forms/property_bag.h"
#include "platform/text.h"

namespace pap::forms {

// Units of ScaleX and ScaleY, with the forms runtime's values.
enum class ScaleUnit : int {
    Twips = 1,
    Points = 2,
    Pixels = 3,
    Inches = 5,
    Millimeters = 6,
    Centimeters = 7,
    Himetric = 8,
    ContainerPosition = 9,  // the container's scale
    ContainerSize = 10,     // the container's scale
};

enum class BackStyle : int { Transparent = 0, Opaque = 1 };

// A stored font object and the text service's font.
FontSpec ToFontSpec(const StoredFont& font);
StoredFont ToStoredFont(const FontSpec& font);
// A stored colour (0x00BBGGRR; system colours, with the high bit, as the classic scheme's) as a pixel.
gfx::Pixel ToPixel(StoredColour colour);

class UserControl : public Control, private UiWindowEvents {
public:
    UserControl(Form& container, bool windowed, ControlContainer* parent = nullptr);
    ~UserControl() override;

    // --- ambient properties ---
    bool AmbientUserMode() { return form().UserMode(); }
    const FontSpec& AmbientFont() { return form().Font(); }

    // --- the drawing surface ---
    // The persistent picture, in pixels, of the control's size.
    gfx::Surface& hDC() { return m_surface; }
    // Clears the picture: the back colour, or what lies under the control when the back is transparent.
    void Cls();
    // Draws the section (x2, y2, width2, height2) of `picture` into (x1, y1, width1, height1), each in
    // the control's scale; either size stretches its axis. Nearest source pixel, clipped to both.
    void PaintPicture(const gfx::Surface& picture, double x1, double y1, double width1, double height1, double x2,
                      double y2, double width2, double height2);
    // Shows what was drawn.
    void Refresh();
    // Resizes the control to width x height twips.
    void Size(double width, double height);
    double ScaleX(double value, ScaleUnit from, ScaleUnit to);
    double ScaleY(double value, ScaleUnit from, ScaleUnit to);
    ScaleMode scaleMode() const { return m_scaleMode; }
    void setScaleMode(ScaleMode mode) { m_scaleMode = mode; }
    // The inner size in the control's scale.
    double ScaleWidth();
    double ScaleHeight();
    BackStyle backStyle() const { return m_backStyle; }
    void setBackStyle(BackStyle style);
    gfx::Pixel BackColor() const { return m_backColor; }
    void setBackColor(gfx::Pixel colour) { m_backColor = colour; }
    // Paint events only when false: with AutoRedraw the persistent picture is shown as it is.
    bool AutoRedraw() const { return m_autoRedraw; }
    void setAutoRedraw(bool autoRedraw) { m_autoRedraw = autoRedraw; }
    bool CanGetFocus() const { return m_canGetFocus; }
    void setCanGetFocus(bool can) { m_canGetFocus = can; }
    bool windowed() const { return m_windowed; }
    UiWindow* window() { return m_window.get(); }

    // --- the property bag ---
    // Tells the container that a property changed (the designer saves the bag).
    void PropertyChanged(std::string_view name);
    // Writes the control's properties into a new bag (what the designer stores).
    PropertyBag SaveProperties();

    // --- Control ---
    void paint(gfx::Surface& target, gfx::Rect place) override;
    NativeWindow childWindow() const override { return m_window ? m_window->handle() : 0; }
    void formLoaded() override;
    void formUnloading() override;
    void formShown(bool shown) override;
    void mouseDown(const MouseEvent& event) override;
    void mouseMove(const MouseEvent& event) override;
    void mouseUp(const MouseEvent& event) override;
    bool takesFocus() const override { return m_canGetFocus; }
    void gotFocus() override { UserControl_GotFocus(); }
    void lostFocus() override { UserControl_LostFocus(); }
    void setMousePointer(PointerShape shape) override;
    void setMouseIcon(gfx::Surface icon) override;
    void setVisible(bool visible) override;

protected:
    // --- the events of the control itself ---
    virtual void UserControl_Initialize() {}
    virtual void UserControl_InitProperties() {}
    virtual void UserControl_ReadProperties(PropertyBag& /*bag*/) {}
    virtual void UserControl_WriteProperties(PropertyBag& /*bag*/) {}
    virtual void UserControl_Resize() {}
    virtual void UserControl_Show() {}
    virtual void UserControl_Hide() {}
    virtual void UserControl_Paint() {}
    virtual void UserControl_Terminate() {}
    virtual void UserControl_GotFocus() {}
    virtual void UserControl_LostFocus() {}
    // Positions in the control's scale.
    virtual void UserControl_MouseDown(int /*button*/, int /*shift*/, float /*x*/, float /*y*/) {}
    virtual void UserControl_MouseMove(int /*button*/, int /*shift*/, float /*x*/, float /*y*/) {}
    virtual void UserControl_MouseUp(int /*button*/, int /*shift*/, float /*x*/, float /*y*/) {}
    virtual void UserControl_Click() {}

    // Windowless parts drawn over the persistent picture (labels of a composite control); `origin` is
    // the control's top-left corner in `target`.
    virtual void paintConstituents(gfx::Surface& /*target*/, gfx::Point /*origin*/) {}

    void resized() override;
    void moved() override { placeWindow(); }
    // Pixels of the control's surface to its scale and back.
    double toScaleX(double pixels);
    double toScaleY(double pixels);
    double toPixelsX(double value);
    double toPixelsY(double value);

private:
    // UiWindowEvents of the child window.
    void onPaint(gfx::Surface& target) override;
    void onCloseRequest() override {}
    void onDestroyed() override { m_windowGone = true; }
    void onMouseMove(const MouseEvent& event) override;
    void onMouseDown(const MouseEvent& event) override;
    void onMouseUp(const MouseEvent& event) override;

    // The form's stored bag of this control, or null.
    PropertyBag* storedBag();
    void placeWindow();

    bool m_windowed;
    std::unique_ptr<UiWindow> m_window;
    bool m_windowGone = false;
    bool m_alive = false;
    gfx::Surface m_surface;
    ScaleMode m_scaleMode = ScaleMode::Twips;
    BackStyle m_backStyle = BackStyle::Opaque;
    gfx::Pixel m_backColor = gfx::Rgb(0xEC, 0xE9, 0xD8);
    bool m_autoRedraw = true;
    bool m_canGetFocus;
    ClickTracker m_click;
};

// The stored property bags of a form's named user controls, as a designer saves them: reading the form's
// design-time data and saving it again gives the same data.
DesignData SaveDesignData(Form& form);

}  // namespace pap::forms
