#pragma once

// The program's own push button. It draws a 4-pixel frame cut from the skin picture of its look over a
// vertical gradient, shows its caption through a windowless label that fills its width, watches the
// pointer every 100 ms to see it leave, and raises Click. It has a window of its own (so that window
// search under the pointer finds it) and no keyboard handling.
//
// States (`mode`): 1 normal, 2 pointer over it, 3 focused, 4 focused with the pointer over it. Every
// event except Initialize and Resize is ignored while the button is not enabled.

#include <cstdint>
#include <string>

#include "controls/button/skins.h"
#include "forms/label.h"
#include "forms/user_control.h"

namespace pap {

class Command : public forms::UserControl {
public:
    // The caption a button has when none is stored (reading and writing alike).
    static constexpr const char* kDefaultCaption = "Command1";
    // Boolean true of the forms runtime.
    static constexpr int16_t kTrue = -1;

    explicit Command(forms::Form& container, forms::ControlContainer* parent = nullptr);

    // --- properties ---
    std::string Caption() const { return m_label.caption; }
    void setCaption(const std::string& caption);
    forms::StoredFont Font() const;
    void setFont(const forms::StoredFont& font);
    // The caption's colour, 0x00BBGGRR.
    uint32_t FontColour();
    void setFontColour(uint32_t colour);
    // Enabled as the runtime's 16-bit boolean; any non-zero value enables the look, only true (-1)
    // lets Click through.
    int16_t EnabledGet();
    void EnabledLet(int16_t value);
    // 0 while the background is transparent; otherwise 255.
    uint8_t VisibleGet();
    void VisibleLet(uint8_t value);

    // The event.
    std::function<void()> Click;

    // Puts the button into its first state and starts its pointer watch, as at its creation (the
    // dialog calls it on every button when it loads).
    void Initialize() { UserControl_Initialize(); }

    // --- state, for tests and the demo ---
    uint8_t mode() const { return m_mode; }
    bool hoverShade() const { return m_hoverShade; }
    bool mouseIsDown() const { return m_mouseDown; }
    int16_t enabledValue() const { return m_enabled; }
    uint8_t firstRun() const { return m_firstRun; }
    // The skin the last paint used.
    CommandLook lastLook() const { return m_lastLook; }
    // The caption label's place in pixels of the control.
    gfx::Rect labelRect() const { return m_labelRect; }
    // One tick of the pointer watch (what the 100 ms timer runs).
    void WatchPointer();

protected:
    void UserControl_Initialize() override;
    void UserControl_ReadProperties(forms::PropertyBag& bag) override;
    void UserControl_WriteProperties(forms::PropertyBag& bag) override;
    void UserControl_Resize() override;
    void UserControl_GotFocus() override;
    void UserControl_LostFocus() override;
    void UserControl_MouseDown(int button, int shift, float x, float y) override;
    void UserControl_MouseMove(int button, int shift, float x, float y) override;
    void UserControl_MouseUp(int button, int shift, float x, float y) override;

    void paintConstituents(gfx::Surface& target, gfx::Point origin) override;

private:
    void PaintSkin(CommandLook look);
    void PaintGradient();
    void PointerLeft();
    void ApplyEnabledLook();
    void RefreshLook();
    forms::StoredFont ambientFont();

    uint8_t m_mode = 1;
    bool m_hoverShade = false;
    bool m_mouseDown = false;
    int16_t m_enabled = 0;
    uint8_t m_firstRun = 0;
    CommandLook m_lastLook = CommandLook::Normal;
    // LblMsg: the caption, drawn over the surface.
    forms::LabelLook m_label;
    gfx::Rect m_labelRect;
    forms::Timer m_tmrMouse;
};

}  // namespace pap
