// The combo box through the form's event path: opening and choosing with the mouse, the keys and the
// wheel, typing, the disabled control, the list drawn over the controls below and scrolled to the entry.

#include <gtest/gtest.h>

#include <functional>

#include "forms/app.h"
#include "forms/block_text.h"
#include "forms/combo_box.h"
#include "forms/fake_ui.h"
#include "forms/form.h"
#include "forms/label.h"
#include "forms/text_layout.h"

namespace pap::forms {
namespace {

using pap::testing::FakeUi;
using pap::testing::FakeWindow;
using pap::testing::Journal;

// With block text (12-pixel font height) the combo at (20, 20), 41 x 20, opens its list at y 40: a
// one-pixel border, then rows 12 pixels high from y 41, and a scroll bar from x 44 to 59 (arrows
// 16 pixels high at y 41 and 121, the track between).
constexpr int kRowX = 30;
int RowY(int row) { return 41 + row * 12 + 6; }
constexpr int kBarX = 50;
constexpr gfx::Pixel kRed = gfx::Rgb(220, 0, 0);

class ComboTest : public ::testing::Test {
public:
    ComboTest()
    {
        app.setTextService(std::make_unique<pap::testing::BlockText>());
        form.setScaleMode(ScaleMode::Pixels);
        form.Move(0, 0, 300 * 15, 200 * 15);
        form.Show();
    }
    // The dialog's entries: an empty one, then 1 to 30.
    void fill(ComboBox& combo)
    {
        combo.Move(20, 20, 41, 20);
        combo.AddItem("");
        for (int i = 1; i <= 30; ++i)
            combo.AddItem(std::to_string(i));
        combo.Change = [this] { journal.push_back("Change"); };
        combo.Click = [this] { journal.push_back("Click"); };
    }
    void click(int x, int y)
    {
        window().mouseDown(x, y);
        window().mouseUp(x, y);
    }
    void type(const std::u32string& text)
    {
        for (char32_t c : text)
            window().events().onChar(c);
    }
    void wheel(int delta) { window().events().onMouseWheel(MouseEvent{kRowX, 30, 0, 0}, delta); }
    FakeWindow& window() { return *ui.windowTitled("Combo"); }

    FakeUi ui;
    App app{ui, "", "/opt/papyrant"};
    Form form{app, "Combo"};
    Journal journal;
};

TEST_F(ComboTest, EntriesAreChosenWithTheMouseTheKeysAndTheWheel)
{
    struct Case {
        const char* name;
        const char* before;
        std::function<void(ComboTest&, ComboBox&)> script;
        const char* after;
        Journal events;
    };
    const Journal chosen{"Change", "Click"};
    const Case cases[] = {
        {"a click on the field opens, a click on an entry takes it", "",
         [](ComboTest& t, ComboBox& c) {
             t.click(kRowX, 30);
             EXPECT_TRUE(c.DroppedDown());
             t.click(kRowX, RowY(3));
         },
         "3", chosen},
        {"a click on the button opens; a press there dragged onto an entry takes it", "",
         [](ComboTest& t, ComboBox&) {
             t.window().mouseDown(52, 30);
             t.window().mouseMove(kRowX, RowY(4), kLeftButton);
             t.window().mouseUp(kRowX, RowY(4));
         },
         "4", chosen},
        {"Alt+Down opens, Down moves the highlight, Enter takes it", "",
         [](ComboTest& t, ComboBox& c) {
             t.form.SetFocusTo(&c);
             t.window().keyDown(kKeyDown, kAltKey);
             EXPECT_TRUE(c.DroppedDown());
             t.window().keyDown(kKeyDown);
             t.window().keyDown(kKeyDown);
             EXPECT_EQ(c.Text(), "");
             t.window().keyDown(kKeyReturn);
         },
         "2", chosen},
        {"F4 opens, the wheel scrolls the list three rows a notch", "",
         [](ComboTest& t, ComboBox& c) {
             t.form.SetFocusTo(&c);
             t.window().keyDown(kKeyF4);
             t.wheel(-120);
             t.wheel(-60);
             t.wheel(-60);
             t.click(kRowX, RowY(0));
         },
         "6", chosen},
        {"Escape closes without taking the highlight", "5",
         [](ComboTest& t, ComboBox& c) {
             t.form.SetFocusTo(&c);
             t.window().keyDown(kKeyDown, kAltKey);
             t.window().keyDown(kKeyDown);
             t.window().keyDown(kKeyEscape);
         },
         "5", {}},
        {"closed, the arrows and the wheel step through the entries", "5",
         [](ComboTest& t, ComboBox& c) {
             t.form.SetFocusTo(&c);
             t.window().keyDown(kKeyDown);
             t.window().keyDown(kKeyUp);
             t.window().keyDown(kKeyUp);
             t.wheel(120);
             EXPECT_FALSE(c.DroppedDown());
         },
         "3", {"Change", "Click", "Change", "Click", "Change", "Click", "Change", "Click"}},
        {"a press outside closes the list and reaches nothing else", "5",
         [](ComboTest& t, ComboBox&) {
             t.click(kRowX, 30);
             t.click(150, 100);
         },
         "5", {}},
        {"the form's window losing the focus closes the list", "5",
         [](ComboTest& t, ComboBox&) {
             t.click(kRowX, 30);
             t.window().events().onFocus(false);
         },
         "5", {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        journal.clear();
        Label below(form);
        below.Move(100, 80, 100, 50);
        below.Click = [this] { journal.push_back("label Click"); };
        ComboBox combo(form);
        fill(combo);
        combo.setText(test.before);
        journal.clear();
        test.script(*this, combo);
        EXPECT_EQ(combo.Text(), test.after);
        EXPECT_EQ(journal, test.events);
        EXPECT_FALSE(combo.DroppedDown());
        EXPECT_EQ(form.popupOwner(), nullptr);
    }
}

TEST_F(ComboTest, TypedTextIsKeptAsItStands)
{
    ComboBox combo(form);
    fill(combo);
    click(kRowX, 30);
    window().keyDown(kKeyEscape);
    type(U"abc");
    window().keyDown(kKeyBack);
    EXPECT_EQ(combo.Text(), "ab");
    window().keyDown(kKeyHome);
    type(U"曲");
    window().keyDown(kKeyEnd);
    window().keyDown(kKeyLeft);
    window().keyDown(kKeyDelete);
    window().keyDown(kKeyLeft);
    window().keyDown(kKeyBack);
    // Control characters are keys, not text.
    type(U"\b\r\x1b");
    EXPECT_EQ(combo.Text(), "a");
    EXPECT_EQ(combo.ListIndex(), -1);
    EXPECT_EQ(journal, Journal(7, "Change"));
    type(U"1");
    EXPECT_EQ(combo.Text(), "1a");
    combo.setText("12");
    EXPECT_EQ(combo.ListIndex(), 12);
}

TEST_F(ComboTest, ADisabledComboIsGreyAndTakesNoInput)
{
    ComboBox combo(form);
    fill(combo);
    combo.setText("5");
    combo.setEnabled(false);
    journal.clear();
    EXPECT_FALSE(form.SetFocusTo(&combo));
    click(kRowX, 30);
    click(52, 30);
    window().keyDown(kKeyDown, kAltKey);
    window().keyDown(kKeyF4);
    window().keyDown(kKeyDown);
    type(U"x");
    wheel(-120);
    EXPECT_FALSE(combo.DroppedDown());
    EXPECT_EQ(combo.Text(), "5");
    EXPECT_TRUE(journal.empty());
    // The grey face, the text's grey copy in place and its white one a pixel down and right.
    gfx::Surface picture = window().paint();
    EXPECT_EQ(picture.at(37, 24), gfx::Rgb(0xEC, 0xE9, 0xD8));
    EXPECT_EQ(picture.at(23, 24), kDisabledText);
    EXPECT_EQ(picture.at(28, 34), kDisabledHighlight);
    // Enabled again: white, and it opens.
    combo.setEnabled(true);
    EXPECT_EQ(window().paint().at(37, 24), gfx::kWhite);
    click(kRowX, 30);
    EXPECT_TRUE(combo.DroppedDown());
}

TEST_F(ComboTest, TheOpenListIsDrawnOverTheControlsBelowIt)
{
    ComboBox combo(form);
    fill(combo);
    // Made after the combo: drawn after it, yet under its list.
    Label below(form);
    below.Move(10, 45, 100, 60);
    below.setBackColor(kRed);
    gfx::Surface shown = window().paint();
    EXPECT_EQ(shown.at(40, RowY(2)), kRed);
    click(kRowX, 30);
    ASSERT_TRUE(combo.DroppedDown());
    gfx::Surface open = window().paint();
    EXPECT_EQ(open.at(40, RowY(2)), gfx::kWhite);  // a row beside its text
    EXPECT_EQ(open.at(25, RowY(2)), gfx::kBlack);  // the text "2"
    EXPECT_EQ(open.at(20, RowY(2)), gfx::kBlack);  // the list's border
    EXPECT_EQ(open.at(15, RowY(2)), kRed);         // beside the list
    // Repainting the list's rectangle alone gives what a whole paint gives.
    window().events().onPaintRect(shown, gfx::Rect{20, 40, 41, 98});
    window().events().onPaintRect(shown, combo.pixelRect());
    EXPECT_TRUE(shown == open);
    // The pointer over the list is the combo's, even where the label lies below.
    EXPECT_EQ(form.controlAt(40, RowY(2)), &combo);
    window().keyDown(kKeyEscape);
    EXPECT_EQ(window().paint().at(40, RowY(2)), kRed);
}

TEST_F(ComboTest, TheListScrollsToTheEntryAndWithItsScrollBar)
{
    ComboBox combo(form);
    fill(combo);
    combo.setText("30");
    click(kRowX, 30);
    ASSERT_TRUE(combo.DroppedDown());
    // "30" is the last entry: the list shows 23 to 30, the highlight on its last row.
    gfx::Surface picture = window().paint();
    const gfx::Pixel highlight = picture.at(40, RowY(7));
    EXPECT_NE(highlight, gfx::kWhite);
    EXPECT_EQ(picture.at(40, RowY(6)), gfx::kWhite);
    // The thumb sits at the bottom of the track (y 105 to 120); dragged up to the top, it shows 0 to 7.
    window().mouseDown(kBarX, 110);
    window().mouseMove(kBarX, 40, kLeftButton);
    window().mouseUp(kBarX, 40);
    EXPECT_TRUE(combo.DroppedDown());
    click(kRowX, RowY(1));
    EXPECT_EQ(combo.Text(), "1");
    // The down arrow scrolls a row a press; a press on the track below the thumb a page.
    click(kRowX, 30);
    click(kBarX, 130);
    click(kBarX, 130);
    click(kRowX, RowY(0));
    EXPECT_EQ(combo.Text(), "3");
    click(kRowX, 30);
    click(kBarX, 115);
    click(kRowX, RowY(0));
    EXPECT_EQ(combo.Text(), "11");
    // Down past the last shown row scrolls it into view.
    form.SetFocusTo(&combo);
    window().keyDown(kKeyDown, kAltKey);
    for (int i = 0; i < 9; ++i)
        window().keyDown(kKeyDown);
    EXPECT_EQ(window().paint().at(40, RowY(7)), highlight);
    window().keyDown(kKeyReturn);
    EXPECT_EQ(combo.Text(), "20");
}

}  // namespace
}  // namespace pap::forms
