#pragma once

// Forms: top-level windows that the program loads (hidden), shows modelessly or modally, and unloads.
// A form's caption is its window title, which window search finds also while the form is hidden. The
// position and size of a form are in twips; its controls are placed in the form's scale (twips, or
// pixels). A derived form overrides the event handlers it has.

#include <cstdint>
#include <string>
#include <vector>

#include "forms/app.h"
#include "forms/property_bag.h"
#include "gfx/surface.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace pap::forms {

class Control;

// Why a form unloads, with the values of the forms runtime's QueryUnload constants.
enum class UnloadMode : int {
    FormControlMenu = 0,  // the user or another program asked the window to close
    FormCode = 1,         // Unload called by the program
    AppWindows = 2,       // the session is ending
    AppTaskManager = 3,   // the process was asked to end (the task manager, SIGTERM, SIGINT)
    FormMdiForm = 4,
    FormOwner = 5,        // the window's owner or parent went away
};

enum class ShowMode { Modeless = 0, Modal = 1 };

// The unit of a form's inner coordinates (the values of ScaleMode).
enum class ScaleMode { Twips = 1, Pixels = 3 };

class Form : private UiWindowEvents {
public:
    Form(App& app, std::string caption);
    ~Form() override;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    App& app() { return m_app; }

    const std::string& Caption() const { return m_caption; }
    void setCaption(const std::string& caption);

    // Creates the window, hidden, starts the form's enabled timers and raises Load. Nothing when the
    // form is loaded already.
    void Load();
    // Loads the form if needed and shows it. Modal: returns when the form has unloaded (or End).
    void Show(ShowMode mode = ShowMode::Modeless);
    void Hide();
    // Raises QueryUnload (which may cancel), then Unload (which may cancel too), then destroys the
    // window and the form's state. True when the form is no longer loaded.
    bool Unload(UnloadMode mode = UnloadMode::FormCode);

    bool Loaded() const { return m_loaded; }
    bool Visible() const { return m_visible; }
    // The window; 0 while the form is not loaded.
    NativeWindow hWnd() const;
    // The window object, for the window calls a form makes itself (style, parent); null while the form
    // is not loaded.
    UiWindow* window() { return m_window.get(); }

    // Position and size in twips.
    double Left() const { return m_left; }
    double Top() const { return m_top; }
    double Width() const { return m_width; }
    double Height() const { return m_height; }
    void Move(double left, double top, double width, double height);
    void setWidth(double width) { Move(m_left, m_top, width, m_height); }
    void setHeight(double height) { Move(m_left, m_top, m_width, height); }

    ScaleMode scaleMode() const { return m_scaleMode; }
    void setScaleMode(ScaleMode mode) { m_scaleMode = mode; }
    // The inner area in the form's scale (the form has no border: its whole area).
    double ScaleWidth();
    double ScaleHeight();

    gfx::Pixel BackColor() const { return m_backColor; }
    void setBackColor(gfx::Pixel colour);

    // Asks the window for a repaint.
    void Refresh();
    // Asks for a repaint of a rectangle (pixels of the inner area) only.
    void RefreshRect(gfx::Rect rect);

    // A rectangle of the form's scale in pixels of its inner area.
    gfx::Rect toPixels(double left, double top, double width, double height);

    // Paints the form and its controls into a surface of the inner area's size (the window's paint,
    // and pictures of it in tests).
    void paintInto(gfx::Surface& target);
    // What the form shows under `control` in the rectangle (pixels of the inner area): the form's
    // background and the controls below it. What a transparent control shows through.
    gfx::Surface pictureBelow(const Control& control, gfx::Rect rect);

    // The font controls take when they have none of their own (the ambient font of user controls).
    const FontSpec& Font() const { return m_font; }
    void setFont(const FontSpec& font) { m_font = font; }
    // Ambient UserMode: true when the program runs, false while a designer shows the form.
    bool UserMode() const { return m_userMode; }
    void setUserMode(bool userMode) { m_userMode = userMode; }
    // The stored property bags of the form's controls (its design-time data); user controls read their
    // own bag from it when the form loads. Null: none.
    DesignData* designData() { return m_designData; }
    void setDesignData(DesignData* data) { m_designData = data; }

    // The form's controls in drawing order.
    const std::vector<Control*>& controls() const { return m_controls; }
    // The control that has the keyboard focus, or null.
    Control* ActiveControl() const { return m_focus; }
    // Moves the focus to `control` (one that takes it, enabled and shown): the old one hears LostFocus,
    // then the new one GotFocus. False when it cannot take the focus.
    bool SetFocusTo(Control* control);
    // The control under a point of the inner area (pixels): the top-most shown and enabled control
    // whose place holds the point, inside containers the innermost; null over the form itself.
    Control* controlAt(int x, int y);
    // A window event for a control with a window of its own: the focus goes to it on a press.
    void childPressed(Control& control);
    // Forgets a control that goes away or can no longer take input (focus, mouse capture).
    void controlGone(Control& control);
    // The form's own pointer (over the form and over controls that ask for Default).
    void setMousePointer(PointerShape shape);
    // A control's pointer changed: shown now if the pointer is over it.
    void pointerChanged(Control& control);
    // A control's pop-up (an open drop-down list): `rect` (pixels of the inner area) is painted by the
    // control's paintPopup after every control, and while it is open the control takes all mouse input
    // (presses outside it included) and the wheel. One at a time: a new one replaces the old, which
    // hears dismissPopup. closePopup does nothing unless `owner`'s pop-up is open.
    void openPopup(Control& owner, gfx::Rect rect);
    void closePopup(Control& owner);
    Control* popupOwner() const { return m_popup; }
    // Whether the form's window is enabled (a modal form disables the others).
    bool WindowEnabled() const { return m_windowEnabled; }
    void setWindowEnabled(bool enabled);

protected:
    virtual void Form_Load() {}
    virtual void Form_QueryUnload(int& /*Cancel*/, UnloadMode /*UnloadMode*/) {}
    virtual void Form_Unload(int& /*Cancel*/) {}

private:
    friend class App;
    friend class Control;
    friend class Timer;

    // End: the window goes without any event and the form counts as not loaded.
    void endNow();
    void onPaint(gfx::Surface& target) override;
    void onPaintRect(gfx::Surface& target, gfx::Rect rect) override;
    void onCloseRequest() override;
    void onDestroyed() override;
    void onMouseMove(const MouseEvent& event) override;
    void onMouseDown(const MouseEvent& event) override;
    void onMouseUp(const MouseEvent& event) override;
    void onKeyDown(int keyCode, int shift) override;
    void onKeyUp(int keyCode, int shift) override;
    void onChar(uint32_t codePoint) override;
    void onMouseWheel(const MouseEvent& event, int delta) override;
    void onFocus(bool gained) override;
    // The event relative to a control's place.
    MouseEvent relativeTo(Control& control, const MouseEvent& event);
    // Tab and Shift+Tab: the next control in focus order that takes the focus.
    void cycleFocus(bool backwards);
    void paintControls(gfx::Surface& target, const std::vector<Control*>& controls, const Control* stopAt,
                       bool& stopped);

    void applyBounds();
    // The window's size in pixels.
    int pixelWidth();
    int pixelHeight();
    void destroyWindow();

    App& m_app;
    std::string m_caption;
    std::unique_ptr<UiWindow> m_window;
    bool m_loaded = false;
    bool m_visible = false;
    bool m_unloading = false;
    bool m_windowGone = false;
    double m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    ScaleMode m_scaleMode = ScaleMode::Twips;
    gfx::Pixel m_backColor = gfx::Rgb(0xF0, 0xF0, 0xF0);
    std::vector<Control*> m_controls;
    std::vector<Timer*> m_timers;
    FontSpec m_font;
    bool m_userMode = true;
    DesignData* m_designData = nullptr;
    Control* m_focus = nullptr;
    Control* m_capture = nullptr;
    Control* m_hover = nullptr;
    Control* m_popup = nullptr;
    gfx::Rect m_popupRect;
    PointerShape m_pointer = PointerShape::Default;
    void showPointerFor(Control* control);
    int m_buttonsHeld = 0;
    bool m_windowEnabled = true;
};

}  // namespace pap::forms
