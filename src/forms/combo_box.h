#pragma once

// The combo box: a text field with a list that drops down below it. The list opens on a click on the
// field or its button, or with Alt+Down or F4; an entry is chosen with the mouse, the wheel or the
// arrow keys; Enter or Escape close it (Escape without taking the entry under the highlight). Text
// typed into the field is kept as it stands. A disabled combo box is greyed and takes no input.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "forms/controls.h"
#include "platform/text.h"

namespace pap::forms {

class ComboBox : public Control {
public:
    explicit ComboBox(Form& container, ControlContainer* parent = nullptr);
    ~ComboBox() override;

    // The field's text (what Set reads): the chosen entry, or what was typed.
    const std::string& Text() const;
    void setText(std::string text);

    void AddItem(std::string item);
    void Clear();
    int ListCount() const;
    const std::string& List(int index) const;
    // The entry the text equals (-1: none). Setting it puts that entry into the field.
    int ListIndex() const;
    void setListIndex(int index);

    const FontSpec& Font() const;
    void setFont(const FontSpec& font);
    // The number of entries the open list shows at once before it scrolls.
    static constexpr int kVisibleRows = 8;
    bool DroppedDown() const;

    // Raised when the text changes by typing, and when an entry is chosen from the list.
    std::function<void()> Change;
    std::function<void()> Click;

    void setEnabled(bool enabled) override;
    void paint(gfx::Surface& target, gfx::Rect place) override;

private:
    struct State;

    bool takesFocus() const override { return true; }
    void gotFocus() override;
    void lostFocus() override;
    void mouseDown(const MouseEvent& event) override;
    void mouseMove(const MouseEvent& event) override;
    void mouseUp(const MouseEvent& event) override;
    void mouseWheel(const MouseEvent& event, int delta) override;
    void keyDown(int keyCode, int shift) override;
    void keyPress(uint32_t codePoint) override;
    void paintPopup(gfx::Surface& target, gfx::Rect place) override;
    void dismissPopup() override;

    // The open list's place relative to the control, and in pixels of the form's inner area.
    gfx::Rect listRect();
    gfx::Rect listFormRect();
    int rowHeight();
    int visibleRows() const;
    bool hasScrollBar() const;
    void open();
    // Closes the list; `take`: the highlighted entry becomes the text.
    void close(bool take);
    void take(int index);
    void scrollTo(int top);
    void setHighlight(int index);
    // Closed: the entry `step` entries from the current one goes into the field.
    void stepEntry(int step);
    void edited();
    void caretToView();
    void repaintField();
    void repaintList();

    std::unique_ptr<State> m_state;
};

}  // namespace pap::forms
